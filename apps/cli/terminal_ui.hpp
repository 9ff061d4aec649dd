#pragma once

#include <cstdio>
#include <filesystem>
#include <vector>

#include "core/execution_log.hpp"  // Ui

namespace modrake {

// How questions are answered without a window.
enum class AnswerMode { AskTerminal, AlwaysYes, AlwaysNo };

// Ui for the command line: Execution Log lines on standard output, errors on
// standard error, questions on the terminal (or answered by --yes/--no).
class TerminalUi : public Ui {
 public:
  TerminalUi(AnswerMode mode, std::FILE* out = stdout, std::FILE* err = stderr);

  Answer Ask(const std::string& title, const std::string& text, BoxStyle style) override;
  void ShowError(const std::string& title, const std::string& text) override;
  std::vector<std::filesystem::path> ChooseFiles() override;
  void AddLogLine(const std::string& line) override;
  void ClearLogList() override;
  // On standard error, so that the output lines stay those of the list.
  void ShowWaiting(const std::string& text) override;

  // The files given on the command line play the part of the file dialog.
  void SetChosenFiles(std::vector<std::filesystem::path> files) { chosen_ = std::move(files); }
  // Whether an error box was shown: the command failed even though it ended
  // without a fatal error.
  bool ErrorShown() const { return errorShown_; }

 private:
  AnswerMode mode_;
  std::FILE* out_;
  std::FILE* err_;
  std::vector<std::filesystem::path> chosen_;
  bool errorShown_ = false;
};

}  // namespace modrake
