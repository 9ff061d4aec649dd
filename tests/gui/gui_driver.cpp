#include "gui_driver.hpp"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QFileDialog>
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
  WaitIdle();
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
  QStringList lines;
  auto* log = window->findChild<QListWidget*>(QStringLiteral("log"));
  for (int i = 0; i < log->count(); ++i) lines << log->item(i)->text();
  return lines;
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
    files->selectFile(names.join(QLatin1Char(' ')));
    static_cast<QDialog*>(files)->accept();  // public in QDialog
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
