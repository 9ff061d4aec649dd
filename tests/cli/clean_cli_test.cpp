#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <map>
#include <memory>
#include <thread>

#include "core/text.hpp"
#include "platform/file_io.hpp"
#include "platform/run_lock.hpp"
#include "support/game_folder.hpp"
#include "support/records.hpp"
#include "support/sample_game_run.hpp"
#include "support/test_support.hpp"

namespace modrake {
namespace {

using test::RunModrake;
using test::TempDir;

TEST(CleanCliTest, CleansInPlaceOnlyWhatNeedsItAndAsksAboutDuplicates) {
  test::SampleGameRun run;
  auto first = run.Run({"clean", "--keep-names", run.Data("Identical_To_Masters.esp").string()});
  ASSERT_EQ(first.exitCode, 0) << first.err;
  EXPECT_EQ(first.out.rfind("Loading Morrowind.esm\n", 0), 0u) << first.out;
  for (const std::string& part : {std::string("\nProcessing Identical_To_Masters.esp\n"),
                                  std::string("\nUpdated \"Identical_To_Masters.esp\"\n"),
                                  "\nCleaned 1 file(s)\nCheck \"" +
                                      (run.home / "modrake.log").string() + "\" for details\n"}) {
    EXPECT_NE(first.out.find(part), std::string::npos) << part << first.out;
  }
  std::string log = test::ReadLog(run.home / "modrake.log");
  EXPECT_EQ(log.rfind("File: Identical_To_Masters.esp\n==============================\n", 0), 0u);

  auto second = run.Run({"clean", "--keep-names", run.Data("Identical_To_Masters.esp").string()});
  ASSERT_EQ(second.exitCode, 0) << second.err;
  EXPECT_TRUE(test::Contains(second.out, "Loaded ")) << "the master cache is used";
  EXPECT_TRUE(
      test::Contains(second.out, "Identical_To_Masters.esp is already clean\n\nCleaned 0 file(s)"))
      << second.out;

  // Duplicates declined leave the file alone.
  std::string before = test::ReadFile(run.Data("Duplicate_Records.esp"));
  auto result =
      run.Run({"--no", "clean", "--keep-names", run.Data("Duplicate_Records.esp").string()});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  EXPECT_TRUE(test::Contains(result.out,
                             "WARNING! Duplicate objects were found in the plugin!\n"
                             "Skipped \"Duplicate_Records.esp\" per user request"))
      << result.out;
  EXPECT_EQ(test::ReadFile(run.Data("Duplicate_Records.esp")), before);
}

TEST(CleanCliTest, EveryScenarioPluginCleansIntoTheSubfolder) {
  test::SampleGameRun run;
  std::vector<std::string> args = {"--yes", "clean", "--subfolder", "--keep-time"};
  for (const auto& entry : std::filesystem::directory_iterator(run.Data())) {
    if (entry.path().extension() == ".esp" || entry.path().extension() == ".ESP")
      args.push_back(entry.path().string());
  }
  auto result = run.Run(args);
  ASSERT_EQ(result.exitCode, 0) << result.err;
  EXPECT_TRUE(std::filesystem::exists(run.Data("Clean/Clean Identical_To_Masters.esp")));
  EXPECT_FALSE(std::filesystem::exists(run.Data("Clean/Clean Already_Clean.esp")));
  auto original = QueryFileStatus(run.Data("Junk_Cells.esp"));
  auto cleaned = QueryFileStatus(run.Data("Clean/Clean Junk_Cells.esp"));
  ASSERT_TRUE(original && cleaned);
  EXPECT_EQ(cleaned->modified, original->modified) << "--keep-time";
  EXPECT_LT(cleaned->size, original->size);
}

TEST(CleanCliTest, AnErrorInTheMiddleOfAFixFailsAndKeepsWhatWasCleaned) {
  test::SampleGameRun game;
  const std::filesystem::path data = game.Data();
  // The last active plugin in load order is cleaned last: cut its last record short.
  std::filesystem::path broken = data / "MixedCase_Plugin.ESP";
  auto status = QueryFileStatus(broken);
  ASSERT_TRUE(status);
  std::string bytes = test::ReadFile(broken);
  test::WriteFile(broken, bytes.substr(0, bytes.size() - 3));
  SetFileTime(broken, status->modified);
  std::string junk = test::ReadFile(data / "Junk_Cells.esp");
  // What a killed run left goes with the next run that writes there.
  const auto leftover = data / ".Junk_Cells.esp.Ab12Cd.modrake-partial";
  test::WriteFile(leftover, "half");

  auto run = game.Run({"--yes", "fix"});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.err.rfind("Modrake Error: Invalid record in file ", 0), 0u) << run.err;
  EXPECT_NE(test::ReadFile(data / "Junk_Cells.esp"), junk);
  EXPECT_FALSE(std::filesystem::exists(leftover));
  EXPECT_TRUE(test::Contains(test::ReadLog(game.home / "modrake.log"), "\nERROR: Invalid record"));
}

// Each restricted option keeps what it names; an unattended fix keeps a new empty cell.
TEST(CleanCliTest, WhatCleanKeepsFollowsItsOptions) {
  const struct {
    std::vector<std::string> args;
    bool cellKept, responseKept;
  } cases[] = {
      {{"--yes", "clean"}, false, false},
      {{"--yes", "clean", "--restricted-cells"}, true, false},
      {{"--yes", "clean", "--restricted-dialogs"}, false, true},
      {{"--yes", "fix"}, true, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args.back());
    test::GameFolder game;
    game.AddPlugin("Morrowind.esm", 1000, {},
                   test::Dial("Greeting") + test::Response("100", "", "101", "Hello."));
    game.AddPlugin("p.esp", 2000, {},
                   test::RecordBytes(
                       "CELL", test::ZField("NAME", "New Place") +
                                   test::Field("DATA", test::Bytes().U32(1).I32(0).I32(0).str())) +
                       test::Dial("Greeting") + test::Response("100", "other", "101", "Hello."));
    game.WriteGameFiles({"Morrowind.esm", "p.esp"});
    std::vector<std::string> args = c.args;
    if (c.args[1] == "clean")
      args.insert(args.end(), {"--keep-names", (game.data() / "p.esp").string()});
    auto result = game.Run(args);
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const std::string plugin = test::ReadFile(game.data() / "p.esp");
    EXPECT_EQ(test::Contains(plugin, "New Place"), c.cellKept);
    EXPECT_EQ(test::Contains(plugin, "Hello."), c.responseKept);
    EXPECT_TRUE(test::EsmtoolReads(game.data() / "p.esp"));
  }
}

// Ctrl+C stops a clean between files: finished files are whole, the rest untouched.
TEST(CleanInterruptCliTest, CtrlCStopsBetweenFilesAndLeavesEveryFileWhole) {
  SKIP_ON_WINDOWS("Ctrl+C reaches a console program there, not a signal a test can send");
#ifndef _WIN32
  TempDir game;
  TempDir home;
  ASSERT_EQ(RunModrake({"--home", home.path().string(), "sample-game", game.path().string(),
                        "--plugins", "300"})
                .exitCode,
            0);
  std::vector<std::string> args = {"--game", game.path().string(), "--home", home.path().string(),
                                   "clean",  "--keep-names"};
  std::map<std::string, std::string> before;
  for (int i = 1; i <= 300; ++i) {
    std::filesystem::path file = game / FormatText("Data Files/Generated_Plugin_%03d.esp", i);
    before[file] = test::ReadFile(file);
    args.push_back(file);
  }
  for (bool waiting : {true, false}) {
    SCOPED_TRACE(waiting ? "while waiting" : "between files");
    auto other = std::make_unique<RunLock>();
    if (waiting) {
      ASSERT_TRUE(other->TryAdd(game.path()));
    }
    // Its output goes through a pipe of one page: the run cannot get further
    // ahead of this test than that page holds.
    test::BackgroundRun run(MODRAKE_CLI_BINARY, args, {}, true);
    if (waiting) {
      for (int i = 0; i < 600 && run.ErrorsSoFar().find("Waiting") == std::string::npos; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
      }
    } else {
      std::string line;
      while (run.ReadOutputLine(line) && line != "Processing Generated_Plugin_010.esp") {
      }
    }
    run.Signal(SIGINT);
    auto result = run.Wait();
    EXPECT_EQ(result.exitCode, 128 + SIGINT) << result.err;
    EXPECT_NE(result.out.find("\nOperation has been canceled\n"), std::string::npos) << result.out;
    size_t cleaned = 0;
    for (const auto& [file, bytes] : before) {
      std::string name = std::filesystem::path(file).filename();
      if (result.out.find("\nProcessing " + name + "\n") == std::string::npos) {
        EXPECT_EQ(test::ReadFile(file), bytes) << name;
      } else {
        ++cleaned;
        EXPECT_TRUE(test::EsmtoolReads(file)) << name;
      }
    }
    if (waiting) {
      EXPECT_EQ(cleaned, 0u);
    } else {
      EXPECT_GE(cleaned, 10u);
      EXPECT_LT(cleaned, 300u);
      EXPECT_NE(result.out.find("\nCanceled before Generated_Plugin_"), std::string::npos);
      EXPECT_TRUE(
          test::Contains(test::ReadLog(home / "modrake.log"), "Operation has been canceled."));
    }
  }
#endif
}

}  // namespace
}  // namespace modrake
