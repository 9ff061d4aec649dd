#pragma once

#include <QWidget>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "core/options.hpp"

class QAction;
class QCheckBox;
class QCloseEvent;
class QKeyEvent;
class QLabel;
class QLayout;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class QSettings;
class QStackedWidget;
class QTimer;

namespace modrake {
class Program;
}

namespace modrake::gui {

struct DialogUnits;
class LogView;
class QtManageWindow;
class QtUi;
struct ProgressShown;

// The window "Modrake": the function list, "JUST FIX IT!", "Options" and
// "Execute", and below them either the Execution Log or the options panel;
// a menu bar above, and while a command runs, its progress and Cancel below.
// Each command runs on a worker thread while the window keeps painting.
class MainWindow : public QWidget {
  Q_OBJECT

 public:
  // The program's game must be loaded.
  MainWindow(Program& program, QtUi& ui);
  ~MainWindow() override;

  // A command runs: the command controls are disabled and closing is refused.
  bool Busy() const { return busy_; }
  // Starts an entry of the function list or JUST FIX IT! (kJustFixItCommand),
  // as the buttons do; any other index runs nothing. Ignored while busy.
  void Start(int command);
  // What Cancel does: the command stops before its next file.
  void Cancel();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // The parts of the window, top to bottom: the function list with its
  // buttons (returned, for the window's layout), the log page, the options
  // panel and the status line.
  QLayout* BuildCommands(const DialogUnits& units);
  void BuildLogPage(const DialogUnits& units);
  void BuildOptionsPage(const DialogUnits& units);
  void BuildStatusLine(const DialogUnits& units);
  void BuildMenu();
  void BuildTabOrder();
  void Execute();
  // "Undo last run": the newest run not undone yet comes back, or the
  // refusal names what changed since.
  void UndoLast();
  // The button and the line below it name the run it would undo.
  void ShowRunToUndo();
  // Runs job on a worker while the command controls are disabled; job
  // returns true when the options panel is to be shown afterwards.
  void StartWorker(std::function<bool()> job);
  void RunWorker(const std::function<bool()>& job);  // on the worker
  void FinishWorker(bool showOptions);
  void ShowProgress(const ProgressShown& progress);
  // A word in the progress line that stays a few seconds.
  void Notice(const QString& text);
  void ShowOptions();
  void HideOptions();
  void Done();
  // Esc on the options panel: the boxes go back to what they were when it
  // opened, and the panel closes without saving.
  void DiscardOptions();
  bool OptionsChanged() const;
  void SetCommandsEnabled(bool enabled);
  // The boxes show the options; the Ignore boxes are usable only while their
  // master is active.
  void ShowBoxes();
  void ShowFindBar();
  void SaveLogAs();
  void About();
  QString LogText() const;

  Program& program_;
  QtUi& ui_;
  std::unique_ptr<QtManageWindow> manageWindow_;
  std::unique_ptr<QSettings> settings_;  // the window's place and look

  QListWidget* functions_ = nullptr;
  QPushButton* justFixIt_ = nullptr;
  QPushButton* options_ = nullptr;
  QPushButton* execute_ = nullptr;
  QCheckBox* preview_ = nullptr;
  QPushButton* undo_ = nullptr;
  QLabel* runToUndo_ = nullptr;
  QStackedWidget* lowerArea_ = nullptr;
  QWidget* logPage_ = nullptr;
  QWidget* optionsPage_ = nullptr;
  LogView* log_ = nullptr;
  QWidget* findBar_ = nullptr;
  QLineEdit* findText_ = nullptr;
  QPushButton* findNext_ = nullptr;
  QPushButton* done_ = nullptr;
  std::vector<QCheckBox*> boxes_;  // in the order of SettingKeys()
  QWidget* progressRow_ = nullptr;
  QLabel* progressText_ = nullptr;
  QProgressBar* progressBar_ = nullptr;
  QPushButton* cancel_ = nullptr;
  QTimer* noticeTimer_ = nullptr;  // runs while a notice is shown
  QAction* wrapLines_ = nullptr;

  CheckBoxes boxesWhenShown_;  // the options as the panel found them
  std::thread worker_;
  bool busy_ = false;
  bool cancelling_ = false;
  bool closeWhenIdle_ = false;
};

}  // namespace modrake::gui
