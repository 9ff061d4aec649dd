#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <future>
#include <thread>

#include "core/execution_log.hpp"
#include "install/game_installation.hpp"
#include "platform/run_lock.hpp"
#include "samplegame/sample_game.hpp"
#include "shell/dispatch.hpp"
#include "shell/function_list.hpp"
#include "shell/just_fix_it.hpp"
#include "shell/plugin_manager.hpp"
#include "shell/program.hpp"
#include "shell/startup.hpp"
#include "support/recording_ui.hpp"
#include "support/test_support.hpp"

namespace modrake {
namespace {

// A sample game and a Program on it, as a front end starts one.
class ShellGame {
 public:
  ShellGame() : program(ui, home.path()) {
    samplegame::WriteSampleGame(dir.path(), {});
    program.LoadGame(dir.path());
  }
  Session& session() { return program.session(); }
  std::filesystem::path data() const { return dir / "Data Files"; }
  bool Shown(const std::string& line) const {
    return std::find(ui.lines.begin(), ui.lines.end(), line) != ui.lines.end();
  }

  test::TempDir dir;
  test::TempDir home;
  test::RecordingUi ui;
  Program program;
};

TEST(ShellTest, StartupLinesWarnOfInactiveMastersOnlyWhenSomeAreNeeded) {
  const std::vector<std::string> warning = {
      "WARNING:",
      "1 active plugin(s) reference master files that are NOT ENABLED in the morrowind.ini",
      "Morrowind will still automatically load such master files. To get detailed information",
      "about invalid master files, open and close \"Manage active plugins\" window.", ""};
  for (bool needsInactive : {true, false}) {
    ShellGame game;
    GameInstallation& installed = game.program.game();
    if (!needsInactive) {
      installed.RemovePlugin(
          FindPluginByName(installed.activePlugins(), "Needs_Inactive_Master.esp"));
    }
    ShowStartupLines(game.session());
    std::vector<std::string> expected = {"Modrake 1.3   by lanternfly", "",
                                         "Please READ documentation (Modrake.htm) first!", ""};
    if (needsInactive) expected.insert(expected.end(), warning.begin(), warning.end());
    expected.push_back("Select function from the list above");
    EXPECT_EQ(game.ui.lines, expected) << needsInactive;
  }
}

// OpenMW's rows move in the load order and Ok writes it; sorted by a column, none move.
TEST(ShellTest, OpenMwRowsMoveInTheLoadOrder) {
  test::TempDir dir, home;
  samplegame::WriteSampleGame(dir.path(), {});
  test::WriteFile(dir / "openmw.cfg", "data=\"" + (dir / "Data Files").string() +
                                          "\"\ncontent=Morrowind.esm\ncontent=a.esp\n"
                                          "content=Junk_Cells.esp\ncontent=Evil_GMSTs.esp\n");
  test::RecordingUi ui;
  Program program(ui, home.path());
  program.LoadGame({std::nullopt, dir / "openmw.cfg"});
  ScriptedManageWindow window([&](PluginManager& manager) {
    ASSERT_TRUE(manager.CanMoveRows());
    size_t evil = manager.FindRow("Evil_GMSTs.esp");
    EXPECT_EQ(manager.MoveRow(evil, -1), evil - 1);
    EXPECT_EQ(manager.MoveRow(0, -1), 0u) << "the first stays first";
    size_t last = manager.FindRow("Evil_GMSTs.esp") + 1;
    EXPECT_EQ(manager.MoveRow(last, 1), last) << "an active file stays before the others";
    manager.ClickNameHeader();
    EXPECT_FALSE(manager.CanMoveRows());
    manager.Ok();
  });
  Dispatch(program.session(), kManageActivePluginsCommand, {false, &window});
  EXPECT_TRUE(std::find(ui.lines.begin(), ui.lines.end(), "Updated openmw.cfg") != ui.lines.end());
  EXPECT_EQ(test::ReadFile(dir / "openmw.cfg"),
            "data=\"" + (dir / "Data Files").string() +
                "\"\ncontent=Morrowind.esm\ncontent=a.esp\ncontent=Evil_GMSTs.esp\n"
                "content=Junk_Cells.esp\n");
}

// A command started during another run waits, says so, and works on what it left.
TEST(ShellTest, ACommandWaitsForAnotherRunAndStartsFromWhatItLeft) {
  ShellGame game;
  RunLock other;
  other.Add(game.dir.path(), [] {});
  std::promise<void> waiting;
  game.ui.onWaiting = [&] { waiting.set_value(); };
  std::thread worker([&] { Dispatch(game.session(), kMergeLeveledListsCommand, {true}); });
  // Without a wait the command has already run: the test goes on and fails.
  bool waited =
      waiting.get_future().wait_for(std::chrono::seconds(60)) == std::future_status::ready;
  std::filesystem::path ini = game.dir / "Morrowind.ini";
  std::string text = test::ReadFile(ini);
  std::string last = "GameFile26=Objects_Merge_B.esp\r\n";
  text.replace(text.find(last) + last.size(), 0, "GameFile27=Inactive_Plugin.esp\r\n");
  test::WriteFile(ini, text);
  other.ReleaseAll();
  worker.join();
  EXPECT_TRUE(waited);
  EXPECT_EQ(game.ui.waitsEnded, 1);
  text = test::ReadFile(ini);
  EXPECT_NE(text.find("=Inactive_Plugin.esp\r\n"), std::string::npos);
  EXPECT_NE(text.find("=Merged_Leveled_Lists.esp\r\n"), std::string::npos);
}

// Cleaning choices come back after the run; a merged plugin is never cleaned.
TEST(ShellTest, JustFixItKeepsTheUsersChoicesAndNeverCleansAMergedPlugin) {
  ShellGame game;
  game.program.options().boxes.restrictedCellCleaning = true;
  game.program.options().boxes.restrictedDialogCleaning = true;
  game.program.options().CopyBoxesToFlags();
  game.ui.answer = Answer::Yes;
  EXPECT_FALSE(Dispatch(game.session(), kJustFixItCommand));
  EXPECT_FALSE(game.session().options.unrestrictedCellCleaning);
  EXPECT_FALSE(game.session().options.unrestrictedDialogCleaning);
  EXPECT_FALSE(game.session().log.pipeline);

  std::string ini = test::ReadFile(game.dir / "Morrowind.ini");
  size_t at = ini.find("Merged_Objects.esp");
  ASSERT_NE(at, std::string::npos);
  ini.replace(at, 18, "merged_objects.esp");
  test::WriteFile(game.dir / "Morrowind.ini", ini);
  game.program.ForgetGame();
  game.program.LoadGame();
  auto after = test::Snapshot(game.dir.path());
  Dispatch(game.session(), kJustFixItCommand);
  EXPECT_FALSE(
      test::Contains(test::ReadLog(game.home / "modrake.log"), "File: merged_objects.esp"));
  EXPECT_TRUE(test::Snapshot(game.dir.path()) == after);
}

}  // namespace
}  // namespace modrake
