#pragma once

#include <QWidget>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

class QCheckBox;
class QCloseEvent;
class QListWidget;
class QPushButton;
class QStackedWidget;

namespace modrake {
class Program;
}

namespace modrake::gui {

class QtManageWindow;
class QtUi;

// The window "Modrake": the function list, "JUST FIX IT!", "Options" and
// "Execute", and below them either the Execution Log or the options panel.
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

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void Execute();
  // Runs job on a worker while the command controls are disabled; job
  // returns true when the options panel is to be shown afterwards.
  void StartWorker(std::function<bool()> job);
  void RunWorker(const std::function<bool()>& job);  // on the worker
  void FinishWorker(bool showOptions);
  void ShowOptions();
  void HideOptions();
  void Done();
  void SetCommandsEnabled(bool enabled);
  // The boxes show the options; the Ignore boxes are usable only while their
  // master is active.
  void ShowBoxes();

  Program& program_;
  QtUi& ui_;
  std::unique_ptr<QtManageWindow> manageWindow_;

  QListWidget* functions_ = nullptr;
  QPushButton* justFixIt_ = nullptr;
  QPushButton* options_ = nullptr;
  QPushButton* execute_ = nullptr;
  QStackedWidget* lowerArea_ = nullptr;
  QWidget* logPage_ = nullptr;
  QWidget* optionsPage_ = nullptr;
  QListWidget* log_ = nullptr;
  std::vector<QCheckBox*> boxes_;  // in the order of SettingKeys()

  std::thread worker_;
  bool busy_ = false;
};

}  // namespace modrake::gui
