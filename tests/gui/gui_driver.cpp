#include "gui_driver.hpp"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStackedWidget>
#include <QTest>
#include <sstream>

namespace modrake::test {

GuiGame::GuiGame(const samplegame::SampleGameOptions& options) : program(ui, home.path()) {
  samplegame::WriteSampleGame(dir.path(), options);
  program.LoadGame(dir.path());
  window = std::make_unique<gui::MainWindow>(program, ui);
  window->show();
}

GuiGame::~GuiGame() {
  // A test that failed may leave the worker waiting for an answer or for
  // another run: it is cancelled and its dialogs closed, so that the test
  // ends with its failure instead of hanging.
  window->Cancel();
  (void)QTest::qWaitFor(
      [this] {
        if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
          dialog->reject();
        }
        return !window->Busy();
      },
      120000);
  window.reset();
}

std::filesystem::path GuiGame::Data(const std::string& name) const {
  return name.empty() ? dir / "Data Files" : dir / "Data Files" / name;
}

std::vector<std::string> GuiGame::GameFiles() const {
  std::istringstream ini(ReadFile(dir / "Morrowind.ini"));
  std::vector<std::string> files;
  bool inSection = false;
  for (std::string line; std::getline(ini, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty() && line.front() == '[') {
      inSection = line == "[Game Files]";
      continue;
    }
    size_t equals = line.find('=');
    if (inSection && equals != std::string::npos) files.push_back(line.substr(equals + 1));
  }
  return files;
}

QStringList GuiGame::LogLines() const {
  return Log()->Lines();
}

gui::LogView* GuiGame::Log() const {
  return window->findChild<gui::LogView*>(QStringLiteral("log"));
}

QPushButton* GuiGame::Button(const char* name) const {
  return window->findChild<QPushButton*>(QString::fromUtf8(name));
}

QCheckBox* GuiGame::Box(const char* key) const {
  return window->findChild<QCheckBox*>(QString::fromUtf8(key));
}

QListWidget* GuiGame::Functions() const {
  return window->findChild<QListWidget*>(QStringLiteral("functions"));
}

bool GuiGame::CommandsEnabled() const {
  return Functions()->isEnabled() && Button("justFixIt")->isEnabled() &&
         Button("options")->isEnabled() && Button("execute")->isEnabled();
}

bool GuiGame::OptionsShown() const {
  return window->findChild<QWidget*>(QStringLiteral("optionsPanel"))->isVisible();
}

void GuiGame::Execute(int entry) {
  Functions()->setCurrentRow(entry);
  Button("execute")->click();
}

bool GuiGame::WaitIdle(int milliseconds) const {
  return QTest::qWaitFor([this] { return !window->Busy(); }, milliseconds);
}

DialogScript::DialogScript() {
  connect(&timer_, &QTimer::timeout, this, &DialogScript::Poll);
  timer_.start(10);
}

DialogScript& DialogScript::Answer(QMessageBox::StandardButton button,
                                   std::function<void()> check) {
  steps_.push_back({Step::kBox, button, std::move(check), {}, {}});
  return *this;
}

DialogScript& DialogScript::Choose(std::vector<std::filesystem::path> files) {
  steps_.push_back({Step::kFiles, QMessageBox::NoButton, {}, std::move(files), {}});
  return *this;
}

DialogScript& DialogScript::Manage(std::function<void(gui::DataFilesDialog&)> steps) {
  steps_.push_back({Step::kManage, QMessageBox::NoButton, {}, {}, std::move(steps)});
  return *this;
}

void DialogScript::Poll() {
  QWidget* modal = QApplication::activeModalWidget();
  // A dialog is answered once, though it stays open until its loop returns.
  if (!modal || modal->property("answered").toBool()) return;
  modal->setProperty("answered", true);

  auto* box = qobject_cast<QMessageBox*>(modal);
  auto* files = qobject_cast<QFileDialog*>(modal);
  auto* manage = qobject_cast<gui::DataFilesDialog*>(modal);
  Step::Kind kind = box ? Step::kBox : files ? Step::kFiles : Step::kManage;
  if (box) {
    boxes.push_back(
        {box->windowTitle(), box->text(), box->icon(), box->standardButton(box->defaultButton())});
  }
  if ((!box && !files && !manage) || steps_.empty() || steps_.front().kind != kind) {
    unexpected << modal->windowTitle() + QStringLiteral(": ") + (box ? box->text() : QString());
    if (auto* dialog = qobject_cast<QDialog*>(modal)) dialog->reject();
    return;
  }
  Step step = std::move(steps_.front());
  steps_.pop_front();
  // Started anew, the timer also fires while this step waits in a dialog it
  // opened (a timer whose handler runs is not fired again).
  timer_.start(10);
  if (box) {
    if (step.check) step.check();
    if (QAbstractButton* button = box->button(step.button)) {
      button->click();
    } else {
      unexpected << QStringLiteral("no such button on: ") + box->text();
      box->reject();
    }
  } else if (files) {
    if (step.files.empty()) {
      files->reject();
      return;
    }
    files->setDirectory(QFile::decodeName(step.files.front().parent_path().c_str()));
    QStringList names;
    for (const auto& file : step.files) {
      names << QStringLiteral("\"%1\"").arg(QFile::decodeName(file.filename().c_str()));
    }
    // Typed into the name box, as a user would. QFileDialog::selectFile
    // leaves that box alone while it has the focus, which it takes when the
    // dialog is activated, on the offscreen platform in the first pass of
    // the dialog's own event loop: a poll after that chose nothing, Open
    // kept the dialog up, and the worker waited for ever for its files.
    auto* name = files->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    if (!name) {
      unexpected << QStringLiteral("the file dialog has no name box");
      files->reject();
      return;
    }
    name->setText(names.join(QLatin1Char(' ')));
    // Typing selects the names the dialog has listed so far, and a selection
    // would be chosen instead of the typed names: without it, all of them.
    for (const char* list : {"listView", "treeView"}) {
      if (auto* view = files->findChild<QAbstractItemView*>(QString::fromLatin1(list))) {
        view->clearSelection();
      }
    }
    static_cast<QDialog*>(files)->accept();  // public in QDialog
    // Never leave it up unanswered: that would hang the test instead of failing it.
    if (files->isVisible()) {
      unexpected << QStringLiteral("the file dialog did not take: ") + names.join(' ');
      files->reject();
    }
  } else {
    step.manage(*manage);
    // A failed check leaves the window open: close it so the test can end.
    if (QTest::currentTestFailed()) manage->reject();
  }
}

void ClickLater(QPushButton* button) {
  QTimer::singleShot(0, button, &QPushButton::click);
}

bool EsmtoolReadsAll(const std::vector<std::filesystem::path>& files) {
  for (const auto& file : files) {
    if (!EsmtoolReads(file)) return false;
  }
  return true;
}

}  // namespace modrake::test
