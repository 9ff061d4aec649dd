// An OpenMW game behaves as the same game laid out for the original engine.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <sstream>
#include <stdexcept>

#include "support/cli_game.hpp"
#include "support/sample_game_run.hpp"
#include "support/test_support.hpp"

namespace modrake {
namespace {

using test::CommandResult;
using test::Contains;
using test::ReadFile;
using test::SampleGameRun;
using test::WriteFile;

// The active files of a `plugins` listing, in its order.
std::vector<std::string> ActiveNames(const std::string& listing) {
  std::vector<std::string> names;
  std::istringstream lines(listing);
  for (std::string line; std::getline(lines, line);) {
    if (line.starts_with("[x] ")) names.push_back(line.substr(4, line.find("  ", 4) - 4));
  }
  return names;
}

// The sample game, and the same files in three data folders of a Debian-style chain.
class TwoKindsGame {
 public:
  TwoKindsGame() {
    auto listed = original.Run({"plugins"});
    if (listed.exitCode != 0) throw std::runtime_error(listed.err);
    load = ActiveNames(listed.out);
    const auto first = root / "mods" / "Rock & Roll";
    const auto second = root / "user" / "mods" / "second";
    const auto third = root / "mods" / "third";
    for (const auto& folder : {first, second, third, root / "engine", root / "global"}) {
      std::filesystem::create_directories(folder);
    }
    size_t i = 0;
    for (const auto& entry : std::filesystem::directory_iterator(original.Data())) {
      const std::string name = entry.path().filename().string();
      const auto& to = name.size() > 4 && name.substr(name.size() - 4) == ".esm" ? first
                       : i++ % 2                                                 ? second
                                                                                 : third;
      std::filesystem::copy_file(entry.path(), to / name, std::filesystem::copy_options::none);
      std::filesystem::last_write_time(to / name, std::filesystem::last_write_time(entry.path()));
    }
    // An older copy in an earlier folder loses to the one of the later folder.
    const std::string loser = "Objects_Merge_B.esp";
    auto winner = std::filesystem::exists(second / loser) ? second : third;
    std::filesystem::copy_file(original.Data("Objects_Merge_A.esp"), first / loser);
    if (winner == first) throw std::runtime_error("the test game is not as meant");
    WriteFile(third / "Grass.esp", test::HeaderRecord());
    WriteFile(third / "Extra.omwaddon", test::HeaderRecord());
    WriteFile(root / "engine" / "builtin.omwscripts", "");

    globalText =
        "# This is the global openmw.cfg file. Do not modify!\n"
        "data=" +
        (root / "engine").string() +
        "\n"
        "data-local=\"" +
        (kWindows ? (root / "userdata" / "data").string() : std::string("?userdata?data")) +
        "\"\n"
        "fallback=LightAttenuation_UseConstant,0\n"
        "fallback=Inventory_UniformScaling,0\n"
        "config=" +
        (root / "user").string() + "\n";
    WriteFile(root / "global" / "openmw.cfg", globalText);
    userText = "# my mods\r\ndata=\"" + (root / "mods").string() +
               "/Rock && Roll\"\r\ndata=mods/second\r\ndata=\"" + third.string() +
               "\"\r\nencoding=win1252\r\n";
    for (const auto& name : load) userText += "content=" + name + "\r\n";
    userText += "content=builtin.omwscripts\r\ncontent=Extra.omwaddon\r\ngroundcover=Grass.esp\r\n";
    WriteFile(UserConfig(), userText);
  }

  std::filesystem::path UserConfig() const { return root / "user" / "openmw.cfg"; }
  // Where the OpenMW game's copy of a file lies.
  std::filesystem::path Where(const std::string& name) const {
    for (const auto& folder : {root / "user" / "mods" / "second", root / "mods" / "third"}) {
      if (std::filesystem::exists(folder / name)) return folder / name;
    }
    return root / "mods" / "Rock & Roll" / name;
  }
  // Windows keeps ?userdata? in the player's Documents, which is no place for
  // a test's files: there the global file names a folder of the test's.
  std::filesystem::path Output() const {
    return kWindows ? root / "userdata" / "data" : root / "xdg" / "openmw" / "data";
  }

  CommandResult RunOpenMw(std::vector<std::string> args) const {
    args.insert(args.begin(),
                {"--openmw-config", (root / "global").string(), "--home", home.path().string()});
    return test::RunModrake(args);
  }

  SampleGameRun original;
  test::TempDir root;
  test::TempDir home;
  test::ScopedEnv dataHome{"XDG_DATA_HOME", (root / "xdg").string()};
  std::vector<std::string> load;  // the original game's active files in load order
  std::string globalText;
  std::string userText;
};

TEST(OpenMwCliTest, EveryCommandGivesWhatTheOriginalEngineGives) {
  TwoKindsGame game;
  auto listed = game.RunOpenMw({"plugins"});
  ASSERT_EQ(listed.exitCode, 0) << listed.err;
  EXPECT_EQ(listed.out.rfind("OpenMW configuration: " + game.UserConfig().string() + "\n", 0), 0u)
      << listed.out;
  std::vector<std::string> expected = game.load;
  expected.push_back("Extra.omwaddon");
  EXPECT_EQ(ActiveNames(listed.out), expected);
  EXPECT_FALSE(Contains(listed.out, "[x] Grass.esp")) << "groundcover is not content";
  EXPECT_TRUE(Contains(listed.out, "Objects_Merge_B.esp")) << listed.out;
  EXPECT_FALSE(Contains(listed.out, "Rock & Roll/Objects_Merge_B.esp"))
      << "the later folder's copy wins";

  const char* merged[] = {"Merged_Leveled_Lists.esp", "Merged_Objects.esp", "Merged_Dialogs.esp"};
  const char* merges[] = {"merge-lists", "merge-objects", "merge-dialogs"};
  std::string config = game.userText;
  std::string last = "content=Extra.omwaddon\r\n";
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(merges[i]);
    auto fromOriginal = game.original.Run({merges[i], "--activate"});
    auto fromOpenMw = game.RunOpenMw({merges[i], "--activate"});
    ASSERT_EQ(fromOriginal.exitCode, 0) << fromOriginal.err;
    ASSERT_EQ(fromOpenMw.exitCode, 0) << fromOpenMw.err;
    EXPECT_EQ(ReadFile(game.Output() / merged[i]), ReadFile(game.original.Data(merged[i])));
    EXPECT_TRUE(test::EsmtoolReads(game.Output() / merged[i]));
    // Added after the last content line, ending as the file's lines do.
    std::string line = std::string("content=") + merged[i] + "\r\n";
    config.insert(config.find(last) + last.size(), line);
    last = line;
    EXPECT_EQ(ReadFile(game.UserConfig()), config);
  }
  EXPECT_EQ(ReadFile(game.root / "global" / "openmw.cfg"), game.globalText);

  std::vector<std::string> chosen = {"Objects_Merge_A.esp", "Objects_Merge_B.esp",
                                     "Leveled_Lists_Add.esp"};
  std::vector<std::string> originalFiles = {"report"}, openMwFiles = {"report"};
  for (const auto& name : chosen) {
    originalFiles.push_back(game.original.Data(name).string());
    openMwFiles.push_back(game.Where(name).string());
  }
  ASSERT_EQ(game.original.Run(originalFiles).exitCode, 0);
  ASSERT_EQ(game.RunOpenMw(openMwFiles).exitCode, 0);
  EXPECT_EQ(test::ReadLog(game.home / "modrake.log"),
            test::ReadLog(game.original.home / "modrake.log"));
}

// Nothing the player listed is lost, not even what cannot be found.
TEST(OpenMwCliTest, TheListChangesOnlyInTheLinesACommandChanges) {
  TwoKindsGame game;
  std::string config = game.userText;
  config.insert(config.find("data="), "data=/no/such/folder\r\n");
  config.insert(config.find("content=builtin"), "content=Gone.esp\r\n");
  WriteFile(game.UserConfig(), config);
  auto replace = [&](const std::string& from, const std::string& to) {
    config.replace(config.find(from), from.size(), to);
  };
  struct Step {
    std::vector<std::string> args;
    std::function<void()> expect;
  } steps[] = {
      {{"plugins", "activate", "Inactive_Plugin.esp"},
       [&] {
         replace("content=Extra.omwaddon\r\n",
                 "content=Extra.omwaddon\r\ncontent=Inactive_Plugin.esp\r\n");
       }},
      {{"plugins", "deactivate", "Junk_Cells.esp"},
       [&] { replace("content=Junk_Cells.esp\r\n", ""); }},
      {{"plugins", "update-time", "Evil_GMSTs.esp"},
       [&] {
         replace("content=Evil_GMSTs.esp\r\n", "");
         replace("content=Inactive_Plugin.esp\r\n",
                 "content=Inactive_Plugin.esp\r\ncontent=Evil_GMSTs.esp\r\n");
       }},
  };
  const auto evil = std::filesystem::last_write_time(game.Where("Evil_GMSTs.esp"));
  for (auto& step : steps) {
    SCOPED_TRACE(step.args[1]);
    auto result = game.RunOpenMw(step.args);
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_TRUE(Contains(result.out + result.err, game.UserConfig().string() + ", line 2: Data "))
        << result.out << result.err;
    step.expect();
    EXPECT_EQ(ReadFile(game.UserConfig()), config);
  }
  EXPECT_EQ(std::filesystem::last_write_time(game.Where("Evil_GMSTs.esp")), evil)
      << "OpenMW's load order is the list's: no file time changes";

  // --output names another data folder of the configuration, and only one.
  const auto third = game.root / "mods" / "third";
  auto elsewhere = game.RunOpenMw({"merge-lists", "--activate", "--output", third.string()});
  ASSERT_EQ(elsewhere.exitCode, 0) << elsewhere.err;
  EXPECT_TRUE(std::filesystem::exists(third / "Merged_Leveled_Lists.esp"));
  EXPECT_FALSE(std::filesystem::exists(game.Output() / "Merged_Leveled_Lists.esp"));
  auto outside = game.RunOpenMw({"merge-lists", "--output", game.root.path().string()});
  EXPECT_EQ(outside.exitCode, 2);
  EXPECT_TRUE(Contains(outside.err, "is not a data folder of the game")) << outside.err;
  std::filesystem::create_directory(game.root / "openmw.cfg");
  auto unreadable = test::RunModrake({"--openmw-config", (game.root / "openmw.cfg").string(),
                                      "--home", game.home.path().string(), "plugins"});
  EXPECT_EQ(unreadable.exitCode, 1);
  EXPECT_TRUE(Contains(unreadable.err, "Modrake Error: Cannot ")) << unreadable.err;
}

// After the player reorders the list, the next fix loads merged plugins last again.
TEST(OpenMwCliTest, MergedPluginsLoadAfterWhatTheyMerge) {
  TwoKindsGame game;
  const struct {
    const char* engine;
    std::function<CommandResult(std::vector<std::string>)> run;
    std::filesystem::path folder;
  } engines[] = {
      {"original", [&](auto args) { return game.original.Run(args); }, game.original.game.path()},
      {"OpenMW", [&](auto args) { return game.RunOpenMw(args); }, game.root.path()},
  };
  for (const auto& [engine, run, folder] : engines) {
    SCOPED_TRACE(engine);
    ASSERT_EQ(run({"--yes", "fix"}).exitCode, 0);
    ASSERT_EQ(run({"plugins", "update-time", "Evil_GMSTs.esp"}).exitCode, 0);
    auto again = run({"--yes", "fix"});
    ASSERT_EQ(again.exitCode, 0) << again.err;
    EXPECT_TRUE(Contains(again.out, "loaded before Evil_GMSTs.esp")) << again.out;
    const auto order = ActiveNames(run({"plugins"}).out);
    auto place = [&](const char* name) { return std::find(order.begin(), order.end(), name); };
    ASSERT_NE(place("Evil_GMSTs.esp"), order.end());
    for (const char* merged :
         {"Merged_Leveled_Lists.esp", "Merged_Objects.esp", "Merged_Dialogs.esp"}) {
      EXPECT_GT(place(merged), place("Evil_GMSTs.esp")) << merged;
      EXPECT_NE(place(merged), order.end()) << merged;
    }
    const auto settled = test::Snapshot(folder);
    ASSERT_EQ(run({"--yes", "fix"}).exitCode, 0);
    EXPECT_TRUE(test::Snapshot(folder) == settled) << "nothing left to change";
  }
}

// openmw-iniimporter's content lines give the same load order.
TEST(OpenMwCliTest, ContentImportedByOpenMwsOwnToolGivesTheSameLoadOrder) {
  const std::string importer = "/usr/games/openmw-iniimporter";
  SKIP_ON_WINDOWS("OpenMW's importer runs on the Linux side");
  if (!std::filesystem::exists(importer)) GTEST_SKIP() << "no openmw-iniimporter";
  SampleGameRun original;
  auto listed = original.Run({"plugins"});
  ASSERT_EQ(listed.exitCode, 0);
  // The importer finds files only by the exact letter case of their names.
  const auto onDisk = ActiveNames(listed.out);
  for (const char* verb : {"deactivate", "activate"}) {
    ASSERT_EQ(original.Run({"plugins", verb, "MixedCase_Plugin.ESP"}).exitCode, 0) << verb;
  }

  test::TempDir config;
  WriteFile(config / "openmw.cfg", "data=\"" + original.Data().string() + "\"\n");
  auto imported = test::RunProgram(importer, {"--game-files", "-i", original.Ini().string(), "-c",
                                              (config / "openmw.cfg").string()});
  ASSERT_EQ(imported.exitCode, 0) << imported.err;
  test::TempDir home;
  auto fromOpenMw = test::RunModrake(
      {"--openmw-config", config.path().string(), "--home", home.path().string(), "plugins"});
  ASSERT_EQ(fromOpenMw.exitCode, 0) << fromOpenMw.err;
  EXPECT_EQ(ActiveNames(fromOpenMw.out), onDisk);
}

}  // namespace
}  // namespace modrake
