#include "gui_driver.hpp"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QTest>

namespace modrake::test {

GuiGame::GuiGame(const samplegame::SampleGameOptions& options) : program(ui, home.path()) {
  samplegame::WriteSampleGame(dir.path(), options);
  program.LoadGame(dir.path());
  window = std::make_unique<gui::MainWindow>(program, ui);
  window->show();
}

GuiGame::~GuiGame() {
  // A failed test may leave the worker waiting: cancel it and close its dialogs, not hang.
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

bool GuiGame::CommandsEnabled() const {
  return Functions()->isEnabled() && Button("justFixIt")->isEnabled() &&
         Button("options")->isEnabled() && Button("execute")->isEnabled();
}

void GuiGame::Execute(int entry) {
  Functions()->setCurrentRow(entry);
  Button("execute")->click();
}

bool GuiGame::WaitIdle(int milliseconds) const {
  return QTest::qWaitFor([this] { return !window->Busy(); }, milliseconds);
}

bool GuiGame::Settled(const DialogScript& script) const {
  bool idle = WaitIdle();
  if (!script.Finished()) qWarning("unanswered: %s", qPrintable(script.unexpected.join('\n')));
  return idle && script.Finished();
}

bool GuiGame::Run(int entry, const DialogScript& script) {
  Execute(entry);
  return Settled(script);
}

DialogScript::DialogScript() {
  connect(&timer_, &QTimer::timeout, this, &DialogScript::Poll);
  timer_.start(10);
}

DialogScript& DialogScript::Add(Step step) {
  steps_.push_back(std::move(step));
  return *this;
}

DialogScript& DialogScript::Answer(QMessageBox::StandardButton button,
                                   std::function<void()> check) {
  return Add([this, button, check](QWidget* modal) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    if (!box) return false;
    if (check) check();
    if (QAbstractButton* pressed = box->button(button)) {
      pressed->click();
    } else {
      unexpected << QStringLiteral("no such button on: ") + box->text();
      box->reject();
    }
    return true;
  });
}

DialogScript& DialogScript::Choose(std::vector<std::filesystem::path> chosen) {
  return Add([this, chosen](QWidget* modal) {
    auto* files = qobject_cast<QFileDialog*>(modal);
    if (!files) return false;
    files->setDirectory(QFile::decodeName(chosen.front().parent_path().c_str()));
    QStringList names;
    for (const auto& file : chosen) {
      names << QStringLiteral("\"%1\"").arg(QFile::decodeName(file.filename().c_str()));
    }
    // Typed into the name box: selectFile leaves that box alone once it has the focus.
    auto* name = files->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    if (!name) {
      unexpected << QStringLiteral("the file dialog has no name box");
      files->reject();
      return true;
    }
    name->setText(names.join(QLatin1Char(' ')));
    // Typing selects the names listed so far, which would be chosen instead of all typed.
    for (const char* list : {"listView", "treeView"}) {
      if (auto* view = files->findChild<QAbstractItemView*>(QString::fromLatin1(list))) {
        view->clearSelection();
      }
    }
    static_cast<QDialog*>(files)->accept();  // public in QDialog
    // Never leave it up unanswered: that would hang the test.
    if (files->isVisible()) {
      unexpected << QStringLiteral("the file dialog did not take: ") + names.join(' ');
      files->reject();
    }
    return true;
  });
}

DialogScript& DialogScript::Manage(std::function<void(gui::DataFilesDialog&)> steps) {
  return Add([steps](QWidget* modal) {
    auto* manage = qobject_cast<gui::DataFilesDialog*>(modal);
    if (!manage) return false;
    steps(*manage);
    // A failed check leaves the window open: close it so the test can end.
    if (QTest::currentTestFailed()) manage->reject();
    return true;
  });
}

void DialogScript::Poll() {
  QWidget* modal = QApplication::activeModalWidget();
  // A dialog is answered once, though it stays open until its loop returns.
  if (!modal || modal->property("answered").toBool()) return;
  modal->setProperty("answered", true);
  auto* box = qobject_cast<QMessageBox*>(modal);
  if (box) {
    boxes.push_back(
        {box->windowTitle(), box->text(), box->icon(), box->standardButton(box->defaultButton())});
  }
  Step step = steps_.empty() ? Step() : std::move(steps_.front());
  if (!steps_.empty()) steps_.pop_front();
  // Started anew, the timer also fires while this step waits in a dialog it
  // opened (a timer whose handler runs is not fired again).
  timer_.start(10);
  if (!step || !step(modal)) {
    unexpected << modal->windowTitle() + QStringLiteral(": ") + (box ? box->text() : QString());
    if (auto* dialog = qobject_cast<QDialog*>(modal)) dialog->reject();
  }
}

}  // namespace modrake::test
