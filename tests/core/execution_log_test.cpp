#include "core/execution_log.hpp"

#include <gtest/gtest.h>

#include "core/fatal_error.hpp"
#include "support/recording_ui.hpp"
#include "support/test_support.hpp"

namespace modrake {
namespace {

using test::RecordingUi;

// Keeps what the log held when a question came: the user may open it first.
struct LogReadingUi : RecordingUi {
  std::filesystem::path logPath;
  std::string logAtQuestion;
  Answer Ask(const std::string& title, const std::string& text, BoxStyle style) override {
    logAtQuestion = test::ReadLog(logPath);
    return RecordingUi::Ask(title, text, style);
  }
};

struct ExecutionLogTest : ::testing::Test {
  test::TempDir dir;
  LogReadingUi ui;
  ExecutionLog log{ui, dir / "modrake.log"};
};

TEST_F(ExecutionLogTest, ListAndFileAndOneBackupPerCommand) {
  auto command = [&](const char* line) {
    log.OpenLog();
    log.Log("%s", line);
    log.CloseLog();
  };
  log.OpenLog();
  log.Log("!Loading %s\n", "Morrowind.esm");
  log.Log("    deleted AMBI\n");
  log.Log("!Cleaned %u file(s) ; with a comment", 2u);
  log.CloseLog();
  EXPECT_EQ(ui.lines, (std::vector<std::string>{"Loading Morrowind.esm", "Cleaned 2 file(s)"}));
  EXPECT_EQ(test::ReadLog(dir / "modrake.log"), "    deleted AMBI\n");
  command("before\n");
  log.OpenLog();
  log.pipeline = true;
  command("clean\n");
  command("merge\n");
  log.pipeline = false;
  log.CloseLog();
  EXPECT_EQ(test::ReadLog(dir / "modrake.log"), "clean\nmerge\n");
  EXPECT_EQ(test::ReadLog(dir / "modrake.bak"), "before\n");

  ExecutionLog nowhere(ui, dir / "missing folder" / "modrake.log");
  nowhere.OpenLog();
  nowhere.Log("nowhere\n");
  nowhere.Log("!still shown");
  nowhere.CloseLog();
  EXPECT_EQ(ui.lines.back(), "still shown");
}

TEST_F(ExecutionLogTest, FatalErrorGoesToAnOpenLogAndAsksToCheckIt) {
  EXPECT_EQ(log.ReportFatal("Cannot open file x.esp"), "Cannot open file x.esp");
  log.OpenLog();
  // More than the log's buffer holds: every line reaches the file before the error.
  std::string lines;
  for (int i = 0; i < 5000; ++i) {
    std::string line = "    line " + std::to_string(i) + " of the detailed account\n";
    log.Log("%s", line.c_str());
    lines += line;
  }
  std::string shown;
  try {
    FatalError("Cannot open file %s", "y.esp");
  } catch (const FatalException& e) {
    shown = log.ReportFatal(e.what());
  }
  EXPECT_EQ(shown, "Cannot open file y.esp\n\nDo not forget to check Modrake.log file! ");
  EXPECT_FALSE(log.IsOpen());
  EXPECT_EQ(test::ReadLog(dir / "modrake.log"),
            lines + "\nERROR: Cannot open file y.esp\n\nOperation has been aborted.\n");
}

TEST_F(ExecutionLogTest, AQuestionComesWithTheLogOnDisk) {
  ui.logPath = dir / "modrake.log";
  log.OpenLog();
  log.Log("  duplicate BOOK bk_a\n");
  EXPECT_EQ(log.AskUser(BoxStyle::YesNoWarning, "File %s contains duplicate objects.", "a.esp"),
            Answer::No);
  EXPECT_EQ(ui.asked, std::vector<std::string>{"File a.esp contains duplicate objects."});
  EXPECT_EQ(ui.logAtQuestion, "  duplicate BOOK bk_a\n");
  log.CloseLog();
}

}  // namespace
}  // namespace modrake
