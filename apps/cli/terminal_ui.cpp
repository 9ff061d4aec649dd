#include "terminal_ui.hpp"

#include <unistd.h>

#include <string>

#include "core/text.hpp"

namespace modrake {

TerminalUi::TerminalUi(AnswerMode mode, std::FILE* out, std::FILE* err)
    : mode_(mode), out_(out), err_(err) {}

Answer TerminalUi::Ask(const std::string& title, const std::string& text, BoxStyle style) {
  bool yesNo = style == BoxStyle::YesNoQuestion || style == BoxStyle::YesNoWarning;
  if (!yesNo) {
    errorShown_ = errorShown_ || style == BoxStyle::OkError;
    // An OK box only informs: its text belongs with the other output lines.
    std::fprintf(out_, "%s\n", ScreenText(text).c_str());
    std::fflush(out_);
    return Answer::Ok;
  }
  if (mode_ == AnswerMode::AlwaysYes) return Answer::Yes;
  if (mode_ == AnswerMode::AlwaysNo) return Answer::No;
  if (!isatty(STDIN_FILENO)) return Answer::No;

  std::fflush(out_);
  std::fprintf(err_, "%s: %s [y/N] ", ScreenText(title).c_str(), ScreenText(text).c_str());
  std::fflush(err_);
  std::string reply;
  for (int c = std::fgetc(stdin); c != EOF && c != '\n'; c = std::fgetc(stdin)) {
    reply.push_back(static_cast<char>(c));
  }
  size_t first = reply.find_first_not_of(" \t");
  if (first != std::string::npos && (reply[first] == 'y' || reply[first] == 'Y')) {
    return Answer::Yes;
  }
  return Answer::No;
}

void TerminalUi::ShowError(const std::string& title, const std::string& text) {
  std::fflush(out_);
  std::fprintf(err_, "%s: %s\n", ScreenText(title).c_str(), ScreenText(text).c_str());
  std::fflush(err_);
}

std::vector<std::filesystem::path> TerminalUi::ChooseFiles() {
  return chosen_;
}

void TerminalUi::AddLogLine(const std::string& line) {
  std::fputs(ScreenText(line).c_str(), out_);
  std::fputc('\n', out_);
}

void TerminalUi::ClearLogList() {}

void TerminalUi::ShowWaiting(const std::string& text) {
  std::fflush(out_);
  std::fprintf(err_, "%s\n", ScreenText(text).c_str());
  std::fflush(err_);
}

}  // namespace modrake
