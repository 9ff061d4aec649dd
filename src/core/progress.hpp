#pragma once

#include <atomic>
#include <cstddef>
#include <string>

namespace modrake {

class Ui;

// Thrown at a file boundary once the user has cancelled the run. A cancel is
// no error, so it is no std::exception either: nothing that turns errors into
// messages takes it for one, and it passes every handler that cleans up and
// throws again.
struct RunCancelled {
  std::string next;  // the file the run stopped before; empty when it stopped waiting
};

// How far the running command has got, and whether the user wants it to stop.
// Cancel may come from any thread (the window's Cancel button) or from a flag
// that a signal handler sets (Ctrl+C on the command line); the command looks
// at it only between files, so every file is either done or untouched.
class Progress {
 public:
  explicit Progress(Ui& ui) : ui_(ui) {}
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;

  // Also cancelled whenever that flag is set; the flag must outlive this.
  void WatchFlag(const std::atomic<bool>* flag) { flag_ = flag; }

  void Cancel() { cancelled_ = true; }
  bool Cancelled() const { return cancelled_ || (flag_ && flag_->load()); }
  // A new run starts uncancelled.
  void Reset() { cancelled_ = false; }

 private:
  friend class ProgressTask;

  Ui& ui_;
  const std::atomic<bool>* flag_ = nullptr;
  std::atomic<bool> cancelled_{false};
  // Used by the thread that runs the command only.
  int depth_ = 0;
  size_t done_ = 0;
  size_t total_ = 0;
};

// One command's share of a run: a number of steps, usually its files. A task
// inside another (a merge inside JUST FIX IT!) shows its files, but the
// outermost task counts the steps.
class ProgressTask {
 public:
  // Without a Progress nothing is shown and nothing is ever cancelled.
  ProgressTask(Progress* progress, size_t total);
  ~ProgressTask();
  ProgressTask(const ProgressTask&) = delete;
  ProgressTask& operator=(const ProgressTask&) = delete;

  // Before the next step: throws RunCancelled when the run was cancelled,
  // else shows that item as the one being worked on.
  void Step(const std::string& item);

 private:
  Progress* progress_;
  bool outermost_ = false;
  size_t steps_ = 0;
};

}  // namespace modrake
