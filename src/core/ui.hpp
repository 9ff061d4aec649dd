#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

namespace modrake {

// What a message box looks like: its buttons and its icon.
enum class BoxStyle {
  YesNoQuestion,  // Yes/No, question icon, No is the default
  YesNoWarning,   // Yes/No, warning icon, No is the default
  OkError,
  OkWarning,
  OkInformation,
};

enum class Answer { Yes, No, Ok };

// The user's side of every command: questions, message boxes, the file
// dialog and the Execution Log list. The terminal and the window each
// implement it; the core never talks to a user any other way.
class Ui {
 public:
  virtual ~Ui() = default;

  virtual Answer Ask(const std::string& title, const std::string& text, BoxStyle style) = 0;
  virtual void ShowError(const std::string& title, const std::string& text) = 0;

  // Plugin files the user picked; empty when the choice was cancelled.
  virtual std::vector<std::filesystem::path> ChooseFiles() = 0;

  virtual void AddLogLine(const std::string& line) = 0;
  virtual void ClearLogList() = 0;

  // Why nothing happens for a while (another run holds the game); the list
  // shows it unless the front end has a better place. An empty text: the
  // wait is over.
  virtual void ShowWaiting(const std::string& text) {
    if (!text.empty()) AddLogLine(text);
  }

  // A long command works on item, the step after `done` of `total`; a total
  // of 0: it has ended. Front ends without a place for it show nothing.
  virtual void ShowProgress(size_t done, size_t total, const std::string& item) {
    (void)done, (void)total, (void)item;
  }
};

}  // namespace modrake
