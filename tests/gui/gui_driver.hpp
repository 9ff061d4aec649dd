#pragma once

#include <QCheckBox>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
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

namespace modrake::test {

// What a message box showed.
struct ShownBox {
  QString title;
  QString text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
};

// Answers the expected dialogs in order; an unexpected one is closed and reported.
class DialogScript : public QObject {
 public:
  DialogScript();

  // The next message box: press that button. check runs first, while the box is open.
  DialogScript& Answer(QMessageBox::StandardButton button, std::function<void()> check = {});
  // The next file dialog: choose these files.
  DialogScript& Choose(std::vector<std::filesystem::path> files);
  // The next Manage active plugins window: run the steps on it.
  DialogScript& Manage(std::function<void(gui::DataFilesDialog&)> steps);

  // Every step was used and nothing unexpected was shown.
  bool Finished() const { return steps_.empty() && unexpected.isEmpty(); }

  std::vector<ShownBox> boxes;
  QStringList unexpected;

 private:
  // Answers a dialog of its kind; false for any other.
  using Step = std::function<bool(QWidget*)>;
  DialogScript& Add(Step step);
  void Poll();

  std::deque<Step> steps_;
  QTimer timer_;
};

// The window opened on a temporary sample game, as modrake-gui --game DIR --home HOME.
class GuiGame {
 public:
  explicit GuiGame(const samplegame::SampleGameOptions& options = {});
  ~GuiGame();

  std::filesystem::path Data(const std::string& name = {}) const {
    return dir / "Data Files" / name;
  }
  std::string Ini() const { return ReadFile(dir / "Morrowind.ini"); }
  // Whether morrowind.ini lists the plugin in [Game Files].
  bool Active(const std::string& name) const {
    return Ini().find("=" + name + "\r\n") != std::string::npos;
  }
  template <class Widget = QWidget>
  Widget* Find(const char* name) const {
    return window->findChild<Widget*>(QString::fromUtf8(name));
  }
  QPushButton* Button(const char* name) const { return Find<QPushButton>(name); }
  QCheckBox* Box(const char* key) const { return Find<QCheckBox>(key); }
  QListWidget* Functions() const { return Find<QListWidget>("functions"); }
  gui::LogView* Log() const { return Find<gui::LogView>("log"); }
  QStringList LogLines() const { return Log()->Lines(); }
  bool OptionsShown() const { return Find("optionsPanel")->isVisible(); }
  // Whether the function list and the three buttons can be used.
  bool CommandsEnabled() const;

  // Selects an entry of the function list and presses Execute.
  void Execute(int entry);
  bool WaitIdle(int milliseconds = 120000) const;
  // Waits until the worker has ended and the script was played out, saying what was not.
  bool Settled(const DialogScript& script) const;
  bool Run(int entry, const DialogScript& script);

  TempDir dir;
  TempDir home;
  gui::QtUi ui;
  Program program;
  std::unique_ptr<gui::MainWindow> window;
};

}  // namespace modrake::test
