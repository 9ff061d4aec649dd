#include "core/execution_log.hpp"

#include <gtest/gtest.h>

#include "core/fatal_error.hpp"
#include "support/recording_ui.hpp"
#include "support/test_support.hpp"

namespace modrake {
namespace {

using test::RecordingUi;

TEST(ExecutionLogTest, BangLinesGoToTheListAndOthersToTheFile) {
  test::TempDir dir;
  RecordingUi ui;
  ExecutionLog log(ui, dir / "modrake.log");
  log.OpenLog();
  log.Log("!Loading %s\n", "Morrowind.esm");
  log.Log("    deleted AMBI\n");
  log.Log("!Cleaned %u file(s) ; with a comment", 2u);
  log.CloseLog();
  EXPECT_EQ(ui.lines, (std::vector<std::string>{"Loading Morrowind.esm", "Cleaned 2 file(s)"}));
  EXPECT_EQ(test::ReadFile(dir / "modrake.log"), "    deleted AMBI\n");
}

TEST(ExecutionLogTest, EachCommandRotatesThePreviousLogIntoTheBackup) {
  test::TempDir dir;
  RecordingUi ui;
  ExecutionLog log(ui, dir / "modrake.log");
  for (const char* run : {"first\n", "second\n", "third\n"}) {
    log.OpenLog();
    log.Log("%s", run);
    log.CloseLog();
  }
  EXPECT_EQ(test::ReadFile(dir / "modrake.log"), "third\n");
  EXPECT_EQ(test::ReadFile(dir / "modrake.bak"), "second\n");
}

TEST(ExecutionLogTest, PipelineKeepsOneLogAcrossCommands) {
  test::TempDir dir;
  RecordingUi ui;
  ExecutionLog log(ui, dir / "modrake.log");
  log.OpenLog();
  log.Log("before\n");
  log.CloseLog();
  log.OpenLog();
  log.pipeline = true;
  for (const char* step : {"clean\n", "merge\n"}) {
    log.OpenLog();
    log.Log("%s", step);
    log.CloseLog();
  }
  log.pipeline = false;
  log.CloseLog();
  EXPECT_EQ(test::ReadFile(dir / "modrake.log"), "clean\nmerge\n");
  EXPECT_EQ(test::ReadFile(dir / "modrake.bak"), "before\n");
}

TEST(ExecutionLogTest, FatalErrorGoesToAnOpenLogAndAsksToCheckIt) {
  test::TempDir dir;
  RecordingUi ui;
  ExecutionLog log(ui, dir / "modrake.log");
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
  EXPECT_EQ(test::ReadFile(dir / "modrake.log"),
            lines + "\nERROR: Cannot open file y.esp\n\nOperation has been aborted.\n");
}

TEST(ExecutionLogTest, UnwritableLogDropsFileLinesSilently) {
  test::TempDir dir;
  RecordingUi ui;
  ExecutionLog log(ui, dir / "missing folder" / "modrake.log");
  log.OpenLog();
  log.Log("nowhere\n");
  log.Log("!still shown");
  log.CloseLog();
  EXPECT_EQ(ui.lines, std::vector<std::string>{"still shown"});
}

TEST(ExecutionLogTest, AskUserFormatsTheQuestionWithTheLogOnDisk) {
  // The user may open the log before answering: it holds every line so far.
  struct LogReadingUi : RecordingUi {
    std::filesystem::path logPath;
    std::string logAtQuestion;
    Answer Ask(const std::string& title, const std::string& text, BoxStyle style) override {
      logAtQuestion = test::ReadFile(logPath);
      return RecordingUi::Ask(title, text, style);
    }
  };
  test::TempDir dir;
  LogReadingUi ui;
  ui.logPath = dir / "modrake.log";
  ExecutionLog log(ui, ui.logPath);
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
