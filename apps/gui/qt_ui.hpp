#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <condition_variable>
#include <deque>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/execution_log.hpp"  // Ui

class QWidget;

namespace modrake::gui {

class LogView;

// What the window shows of a run's progress: the step after `done` of
// `total` (0: none runs), or why it waits.
struct ProgressShown {
  size_t done = 0;
  size_t total = 0;
  QString item;
  QString waiting;  // empty unless it waits for another run
};

// Text of the core (UTF-8, or the game's single-byte code page in names read
// from plugins) as Qt shows it.
QString ToQString(const std::string& text);

// The Ui of the window. Commands run on a worker thread; everything they show
// reaches the widgets on the interface thread. Lines go through a queue that
// the interface thread drains; questions, the file dialog and error boxes
// block the worker until the interface thread has the answer.
//
// Every hand-over between the threads goes through this object's mutex, so
// that what the worker made is complete before the interface thread reads it.
class QtUi : public QObject, public Ui {
  Q_OBJECT

 public:
  QtUi();
  ~QtUi() override;

  // The Execution Log list, and the window that owns the message boxes.
  void SetLogList(LogView* list);
  void SetOwner(QWidget* owner);
  // Where the window shows progress; called on the interface thread.
  void SetProgressView(std::function<void(const ProgressShown&)> view);
  // The log file that error boxes name.
  void SetLogFile(const std::filesystem::path& file);
  // Where the file dialog opens the first time.
  void SetStartFolder(const std::filesystem::path& folder);

  Answer Ask(const std::string& title, const std::string& text, BoxStyle style) override;
  void ShowError(const std::string& title, const std::string& text) override;
  std::vector<std::filesystem::path> ChooseFiles() override;
  void AddLogLine(const std::string& line) override;
  void ClearLogList() override;
  // In the window's progress line instead of the list: it goes once the
  // wait is over.
  void ShowWaiting(const std::string& text) override;
  void ShowProgress(size_t done, size_t total, const std::string& item) override;

  // Runs work on the interface thread and waits until it is done; on the
  // interface thread it runs at once. An exception thrown by work is thrown
  // again to the caller.
  void RunOnInterfaceThread(const std::function<void()>& work);
  // Runs work on the interface thread after everything queued before it;
  // does not wait.
  void Post(std::function<void()> work);

  bool OnInterfaceThread() const;

 private:
  Q_INVOKABLE void Deliver();

  struct Item {
    enum Kind { kLine, kClear, kWork, kProgress, kWaiting } kind = kLine;
    std::string line;  // also the item of a step, or why it waits
    std::function<void()> work;
    size_t done = 0;
    size_t total = 0;
  };
  void ShowProgressItem(const Item& item);
  void Enqueue(Item item);
  void Apply(Item& item);
  QWidget* BoxOwner() const;

  std::mutex mutex_;
  std::condition_variable answered_;
  std::deque<Item> queue_;
  bool deliveryScheduled_ = false;
  const std::thread::id interfaceThread_ = std::this_thread::get_id();

  // Used on the interface thread only.
  QPointer<LogView> logList_;
  QPointer<QWidget> owner_;
  std::function<void(const ProgressShown&)> progressView_;
  std::filesystem::path fileFolder_;
  std::filesystem::path logFile_;
};

}  // namespace modrake::gui
