#pragma once

#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "data_files_dialog.hpp"
#include "log_view.hpp"
#include "main_window.hpp"
#include "qt_ui.hpp"
#include "samplegame/sample_game.hpp"
#include "shell/program.hpp"
#include "support/test_support.hpp"

class QCheckBox;
class QListWidget;
class QPushButton;

namespace modrake::test {

// A sample game in a temporary folder and the window opened on it, as
// modrake-gui --game DIR --home HOME opens it.
class GuiGame {
 public:
  explicit GuiGame(const samplegame::SampleGameOptions& options = {});
  ~GuiGame();

  std::filesystem::path Data(const std::string& name = {}) const;
  // The values of [Game Files] in morrowind.ini, in their order.
  std::vector<std::string> GameFiles() const;
  // Lines of the Execution Log list.
  QStringList LogLines() const;
  gui::LogView* Log() const;

  QPushButton* Button(const char* name) const;
  QCheckBox* Box(const char* key) const;
  QListWidget* Functions() const;
  // Whether the function list and the three buttons can be used.
  bool CommandsEnabled() const;
  bool OptionsShown() const;

  // Selects an entry of the function list and presses Execute.
  void Execute(int entry);
  // Waits until the worker has ended.
  bool WaitIdle(int milliseconds = 120000) const;

  TempDir dir;
  TempDir home;
  gui::QtUi ui;
  Program program;
  std::unique_ptr<gui::MainWindow> window;
};

// What a message box showed.
struct ShownBox {
  QString title;
  QString text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
};

// Answers the dialogs the window opens, in the order the test expects them,
// and keeps what the message boxes showed. A dialog it does not expect is
// closed and reported in unexpected.
class DialogScript : public QObject {
 public:
  DialogScript();

  // The next message box: press that button. check runs first, while the box is open.
  DialogScript& Answer(QMessageBox::StandardButton button, std::function<void()> check = {});
  // The next file dialog: choose these files (empty: cancel).
  DialogScript& Choose(std::vector<std::filesystem::path> files);
  // The next Manage active plugins window: run the steps on it.
  DialogScript& Manage(std::function<void(gui::DataFilesDialog&)> steps);

  // Every step was used and nothing unexpected was shown.
  bool Finished() const { return steps_.empty() && unexpected.isEmpty(); }

  std::vector<ShownBox> boxes;
  QStringList unexpected;

 private:
  struct Step {
    enum Kind { kBox, kFiles, kManage } kind;
    QMessageBox::StandardButton button = QMessageBox::NoButton;
    std::function<void()> check;
    std::vector<std::filesystem::path> files;
    std::function<void(gui::DataFilesDialog&)> manage;
  };
  void Poll();

  std::deque<Step> steps_;
  QTimer timer_;
};

// Presses a button once the current event is handled, so that a dialog it
// opens is answered by the script instead of blocking the caller.
void ClickLater(QPushButton* button);

// The window's files checked by OpenMW's esmtool (true when it is absent).
bool EsmtoolReadsAll(const std::vector<std::filesystem::path>& files);

}  // namespace modrake::test
