#pragma once

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "core/execution_log.hpp"  // Ui

namespace modrake {

// How questions are answered without a window.
enum class AnswerMode { AskTerminal, AlwaysYes, AlwaysNo };

// Ui for the command line: Execution Log lines on standard output, errors on
// standard error, questions on the terminal (or answered by --yes/--no), and
// the progress of long work as one line on standard error when that is a
// terminal.
class TerminalUi : public Ui {
 public:
  TerminalUi(AnswerMode mode, std::FILE* out = stdout, std::FILE* err = stderr);

  Answer Ask(const std::string& title, const std::string& text, BoxStyle style) override;
  void ShowError(const std::string& title, const std::string& text) override;
  std::vector<std::filesystem::path> ChooseFiles() override;
  void AddLogLine(const std::string& line) override;
  void ClearLogList() override;
  // Where the Execution Log lines go from now on (a document on standard
  // output sends them to standard error).
  void SendLinesTo(std::FILE* out) { out_ = out; }
  // On standard error, so that the output lines stay those of the list.
  void ShowWaiting(const std::string& text) override;
  void ShowProgress(size_t done, size_t total, const std::string& item) override;

  // The flag that Ctrl+C sets: a question waiting for its answer gives up.
  void WatchInterrupt(const std::atomic<bool>* flag) { interrupted_ = flag; }

  // The files given on the command line play the part of the file dialog.
  void SetChosenFiles(std::vector<std::filesystem::path> files) { chosen_ = std::move(files); }
  // Whether an error box was shown: the command failed even though it ended
  // without a fatal error.
  bool ErrorShown() const { return errorShown_; }
  // The questions that could not be asked (no terminal, no --yes or --no):
  // each was answered No, and the command said nothing of it yet.
  const std::vector<std::string>& Unanswered() const { return unanswered_; }

 private:
  AnswerMode mode_;
  std::FILE* out_;
  std::FILE* err_;
  // The progress line is drawn only on a terminal; lines written meanwhile
  // go above it.
  void HideProgress();  // erases it; the next line or step draws it again
  void DrawProgress();

  std::vector<std::filesystem::path> chosen_;
  bool errorShown_ = false;
  bool progressTerminal_;
  std::string progress_;  // the step that runs; empty when none does
  bool progressDrawn_ = false;
  const std::atomic<bool>* interrupted_ = nullptr;
  std::vector<std::string> unanswered_;
};

}  // namespace modrake
