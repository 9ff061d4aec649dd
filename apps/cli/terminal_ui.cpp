#include "terminal_ui.hpp"

#include <string>

#include "core/progress.hpp"
#include "core/terminal.hpp"
#include "core/text.hpp"

namespace modrake {

TerminalUi::TerminalUi(AnswerMode mode, std::FILE* out, std::FILE* err)
    : mode_(mode), out_(out), err_(err), progressTerminal_(IsTerminal(err)) {}

Answer TerminalUi::Ask(const std::string& title, const std::string& text, BoxStyle style) {
  HideProgress();
  bool yesNo = style == BoxStyle::YesNoQuestion || style == BoxStyle::YesNoWarning;
  if (!yesNo) {
    errorShown_ = errorShown_ || style == BoxStyle::OkError;
    // An OK box only informs: its text belongs with the other output lines.
    std::fprintf(out_, "%s\n", Utf8Text(text).c_str());
    std::fflush(out_);
    return Answer::Ok;
  }
  if (mode_ == AnswerMode::AlwaysYes) return Answer::Yes;
  if (mode_ == AnswerMode::AlwaysNo) return Answer::No;
  if (!IsTerminal(stdin)) {
    unanswered_.push_back(text);
    return Answer::No;
  }

  std::fflush(out_);
  std::fprintf(err_, "%s: %s [y/N] ", Utf8Text(title).c_str(), Utf8Text(text).c_str());
  std::fflush(err_);
  std::string reply;
  if (!ReadTerminalLine(reply, interrupted_)) {
    // Ctrl+C while the question waits cancels the run rather than answering it.
    std::fputc('\n', err_);
    throw RunCancelled{};
  }
  size_t first = reply.find_first_not_of(" \t");
  if (first != std::string::npos && (reply[first] == 'y' || reply[first] == 'Y')) {
    return Answer::Yes;
  }
  return Answer::No;
}

void TerminalUi::ShowError(const std::string& title, const std::string& text) {
  HideProgress();
  std::fflush(out_);
  std::fprintf(err_, "%s: %s\n", Utf8Text(title).c_str(), Utf8Text(text).c_str());
  std::fflush(err_);
}

std::vector<std::filesystem::path> TerminalUi::ChooseFiles() {
  return chosen_;
}

void TerminalUi::AddLogLine(const std::string& line) {
  bool redraw = progressDrawn_;
  HideProgress();
  std::fputs(Utf8Text(line).c_str(), out_);
  std::fputc('\n', out_);
  if (redraw) {
    std::fflush(out_);
    DrawProgress();
  }
}

void TerminalUi::ClearLogList() {}

void TerminalUi::ShowWaiting(const std::string& text) {
  if (text.empty()) return;
  HideProgress();
  std::fflush(out_);
  std::fprintf(err_, "%s\n", Utf8Text(text).c_str());
  std::fflush(err_);
}

void TerminalUi::ShowProgress(size_t done, size_t total, const std::string& item) {
  if (!progressTerminal_) return;
  HideProgress();
  progress_.clear();
  if (total == 0) return;
  progress_ = FormatText("[%zu/%zu] ", done + 1, total) + Utf8Text(item);
  std::fflush(out_);
  DrawProgress();
}

void TerminalUi::DrawProgress() {
  if (progress_.empty()) return;
  // Cut to the width of the terminal, never inside a UTF-8 sequence.
  size_t width = TerminalColumns(err_) - 1;
  size_t cut = progress_.size();
  if (cut > width) {
    cut = width;
    while (cut > 0 && (static_cast<unsigned char>(progress_[cut]) & 0xC0) == 0x80) --cut;
  }
  std::fputc('\r', err_);
  std::fwrite(progress_.data(), 1, cut, err_);
  std::fputs("\x1b[K", err_);
  std::fflush(err_);
  progressDrawn_ = true;
}

void TerminalUi::HideProgress() {
  if (!progressDrawn_) return;
  std::fputs("\r\x1b[K", err_);
  std::fflush(err_);
  progressDrawn_ = false;
}

}  // namespace modrake
