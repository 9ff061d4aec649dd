#pragma once

#include <functional>
#include <string>
#include <vector>

#include "core/ui.hpp"

namespace modrake::test {

// A Ui that keeps what a command shows and answers questions with `answer`.
class RecordingUi : public Ui {
 public:
  Answer Ask(const std::string& title, const std::string& text, BoxStyle) override {
    titles.push_back(title);
    asked.push_back(text);
    return answer;
  }
  void ShowError(const std::string&, const std::string&) override {}
  std::vector<std::filesystem::path> ChooseFiles() override { return chosen; }
  void AddLogLine(const std::string& line) override { lines.push_back(line); }
  void ClearLogList() override { lines.clear(); }
  void ShowWaiting(const std::string& text) override {
    // An empty text: the wait is over.
    if (text.empty()) {
      ++waitsEnded;
    } else if (onWaiting) {
      onWaiting();
    }
  }

  Answer answer = Answer::No;
  std::vector<std::filesystem::path> chosen;
  std::vector<std::string> lines;
  std::vector<std::string> titles;  // of the questions and message boxes
  std::vector<std::string> asked;
  int waitsEnded = 0;
  std::function<void()> onWaiting;
};

}  // namespace modrake::test
