// A preview changes nothing; undo brings the game back byte for byte.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <random>
#include <sstream>
#include <thread>

#include "support/records.hpp"
#include "support/sample_game_run.hpp"
#include "support/test_support.hpp"

namespace modrake {
namespace {

using test::SampleGameRun;
using test::Snapshot;

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// What a real run says, as a preview says it.
std::string AsPreview(const std::string& text) {
  std::string out;
  for (std::string line : Lines(text)) {
    const std::string_view activated = " has been activated in the ";
    size_t equals = line.find_first_not_of('=');
    if ((line.starts_with("Updated \"") && line.ends_with('"')) ||
        line == "Updated morrowind.ini" || line == "Updated openmw.cfg") {
      line = "Would update " + line.substr(8);
    } else if (line.starts_with("Created \"") && line.ends_with('"')) {
      line = "Would create " + line.substr(8);
    } else if (line.ends_with(" has been created")) {
      line = "Would create " + line.substr(0, line.size() - 17);
    } else if (size_t at = line.find(activated); at != std::string::npos) {
      line =
          "Would activate " + line.substr(0, at) + " in the " + line.substr(at + activated.size());
    } else if (line == "Plugin(s) version and master file information has been updated") {
      line = "Would update plugin(s) version and master file information";
    } else if (equals != std::string::npos && line.compare(equals, 7, "Saved: ") == 0) {
      line = line.substr(0, equals) + "Would save: " + line.substr(equals + 7);
    }
    out += line + "\n";
  }
  return out;
}

TEST(SafetyCliTest, APreviewChangesNothingAndSaysWhatTheRunDoes) {
  const std::vector<std::vector<std::string>> commands = {
      {"clean", "--keep-names", "Junk_Cells.esp"},
      {"clean", "--subfolder", "Duplicate_Records.esp"},
      {"merge-lists", "--activate"},
      {"fix"},
      {"plugins", "activate", "Inactive_Plugin.esp"},
      {"plugins", "update-time", "Evil_GMSTs.esp"},
      {"plugins", "update-header", "Evil_GMSTs.esp"},
  };
  for (auto args : commands) {
    SCOPED_TRACE(args[0] + " " + args.back());
    SampleGameRun run;
    if (args[0] == "clean") args.back() = run.Data(args.back()).string();
    args.insert(args.begin(), "--yes");
    // The master cache is made first: a preview may make it, the game it may not touch.
    ASSERT_EQ(run.Run({"--yes", "--dry-run", "merge-objects"}).exitCode, 0);
    const auto before = Snapshot(run.game.path());
    std::vector<std::string> preview = args;
    preview.insert(preview.begin(), "--dry-run");
    auto previewed = run.Run(preview);
    ASSERT_EQ(previewed.exitCode, 0) << previewed.err;
    const std::string previewLog = test::ReadLog(run.home / "modrake.log");
    EXPECT_TRUE(Snapshot(run.game.path()) == before) << "the game is as it was";
    EXPECT_FALSE(std::filesystem::exists(run.home / "backups")) << "nothing to back up";
    auto real = run.Run(args);
    ASSERT_EQ(real.exitCode, 0) << real.err;
    EXPECT_EQ(previewed.out, AsPreview(real.out));
    EXPECT_EQ(previewLog, AsPreview(test::ReadLog(run.home / "modrake.log")));
  }
}

TEST(SafetyCliTest, UndoBringsBackWhatTheRunChangedAndRefusesWhatChangedSince) {
  SampleGameRun run;
  const auto original = Snapshot(run.game.path());
  ASSERT_EQ(run.Run({"--yes", "fix"}).exitCode, 0);
  auto listed = run.Run({"undo", "--list"});
  EXPECT_NE(listed.out.find("-fix  "), std::string::npos) << listed.out;
  // A file changed by another hand after the run stops the undo, named;
  // --force brings every file back, with its times.
  test::WriteFile(run.Data("Junk_Cells.esp"), "changed by hand");
  auto refused = run.Run({"undo"});
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_NE(refused.err.find("Junk_Cells.esp"), std::string::npos) << refused.err;
  EXPECT_EQ(test::ReadFile(run.Data("Junk_Cells.esp")), "changed by hand");
  auto forced = run.Run({"undo", "--force"});
  ASSERT_EQ(forced.exitCode, 0) << forced.err;
  EXPECT_TRUE(Snapshot(run.game.path()) == original);
  EXPECT_EQ(run.Run({"undo"}).out, "Nothing to undo\n");

  // A large plugin cleaned over itself is summed as it is written, and the
  // undo finds it as the run left it, and then as another hand changed it.
  std::string big = test::HeaderRecord();
  for (int i = 0; i < 12; ++i) {
    big += test::RecordBytes("MISC", test::ZField("NAME", "Big_" + std::to_string(i)) +
                                         test::Field("MODL", std::string(50000, 'm')));
  }
  big += test::Dial("nothing said");
  test::WriteFile(run.Data("Big.esp"), big);
  const auto withBig = Snapshot(run.game.path());
  ASSERT_EQ(run.Run({"--yes", "clean", "--keep-names", run.Data("Big.esp").string()}).exitCode, 0);
  ASSERT_NE(test::ReadFile(run.Data("Big.esp")), big);
  auto bigUndone = run.Run({"undo"});
  ASSERT_EQ(bigUndone.exitCode, 0) << bigUndone.err;
  EXPECT_TRUE(Snapshot(run.game.path()) == withBig);
  ASSERT_EQ(run.Run({"--yes", "clean", "--keep-names", run.Data("Big.esp").string()}).exitCode, 0);
  test::WriteFile(run.Data("Big.esp"), big + big);
  EXPECT_EQ(run.Run({"undo"}).exitCode, 1);
  ASSERT_EQ(run.Run({"undo", "--force"}).exitCode, 0);

  // Only the newest runs stay, as modrake.ini says.
  test::WriteFile(run.home / "modrake.ini", "[Backups]\nKeepRuns=2\n");
  for (const char* name : {"Junk_Cells.esp", "Evil_GMSTs.esp", "Already_Clean.esp"}) {
    ASSERT_EQ(run.Run({"plugins", "update-time", name}).exitCode, 0);
  }
  EXPECT_EQ(Lines(run.Run({"undo", "--list"}).out).size(), 2u);
}

// Whenever a run or an undo is killed, the next undo restores the game.
TEST(SafetyCliTest, RunsKilledAtAnyMomentAreUndoneWhole) {
  const char* rounds = std::getenv("MODRAKE_KILL_ROUNDS");
  const int count = rounds ? std::atoi(rounds) : 3;
  std::mt19937 random(11);
  for (int round = 0; round < count; ++round) {
    SCOPED_TRACE(round);
    SampleGameRun run;
    const auto original = Snapshot(run.game.path());
    for (const char* command : {"fix", "undo"}) {
      auto started = run.Start({"--yes", command});
      std::this_thread::sleep_for(std::chrono::microseconds(random() % 60000));
      started->Kill();
      started->Wait();
    }
    auto finished = run.Run({"undo"});
    ASSERT_TRUE(finished.exitCode == 0) << finished.err;
    // A fix killed before its first change left nothing to undo, and a fix
    // undone whole before the second undo: either way the game is back.
    for (int more = 0; more < 3 && run.Run({"undo"}).out != "Nothing to undo\n"; ++more) {
    }
    EXPECT_TRUE(Snapshot(run.game.path()) == original);
  }
}

// Past the engine's 256 files, what fits is activated, the rest named, and the run fails.
TEST(SafetyCliTest, ActivationPastTheLimitActivatesWhatFitsAndNamesTheRest) {
  test::TempDir game, home;
  ASSERT_EQ(test::RunModrake({"--home", home.path().string(), "sample-game", game.path().string(),
                              "--scale", "0.02", "--plugins", "300"})
                .exitCode,
            0);
  // Of its files, 255 are active.
  auto result = test::RunModrake({"--game", game.path().string(), "--home", home.path().string(),
                                  "plugins", "activate", "Inactive_Plugin.esp",
                                  "Generated_Plugin_229.esp", "Generated_Plugin_230.esp"});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_TRUE(test::Contains(result.err,
                             "2 file(s) did not fit in the game's limit of 256 active files and "
                             "stay inactive: Generated_Plugin_229.esp, Generated_Plugin_230.esp"))
      << result.err;
  EXPECT_NE(test::ReadFile(game / "Morrowind.ini").find("=Inactive_Plugin.esp"), std::string::npos);
}

}  // namespace
}  // namespace modrake
