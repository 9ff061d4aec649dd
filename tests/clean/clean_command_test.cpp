#include "clean/clean_command.hpp"

#include <gtest/gtest.h>

#include "clean/game_setting_table.hpp"
#include "objectdb/master_loader.hpp"
#include "support/test_game.hpp"

namespace modrake {
namespace {

using namespace test;

class CleanCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    table = GameSettingTable::Standard();
    g.Write("Morrowind.esm", {Misc("gold_001", 1)});
    g.Write("Tribunal.esm", {Misc("tribunal_thing", 1)});
    g.Activate({"Morrowind.esm", "Tribunal.esm"});
    g.session().gameSettings = &table;
  }

  void WriteDirty(const std::filesystem::path& folder, const std::string& name) {
    std::filesystem::create_directories(folder);
    WriteFile(folder / name,
              HeaderRecord() + Misc("gold_001", 1) + Misc("mine", 3) + Misc("tribunal_thing", 1));
  }

  TestGame g;
  GameSettingTable table;
};

// A renamed copy leaves the chosen file as it was.
TEST_F(CleanCommandTest, WhereTheCleanedFileGoes) {
  for (auto [subfolder, savedAs] :
       {std::pair{0, "Clean dirty.esp"}, {1, "Clean/Clean dirty.esp"}}) {
    TempDir elsewhere;
    WriteDirty(elsewhere.path(), "dirty.esp");
    std::string original = ReadFile(elsewhere / "dirty.esp");
    g.ui.chosen = {elsewhere / "dirty.esp"};
    RunCleanEntry(g.session(), subfolder);
    ASSERT_TRUE(std::filesystem::exists(elsewhere / savedAs)) << savedAs;
    EXPECT_LT(std::filesystem::file_size(elsewhere / savedAs), original.size()) << savedAs;
    EXPECT_EQ(ReadFile(elsewhere / "dirty.esp"), original) << savedAs;
    EXPECT_EQ(g.ui.lines[g.ui.lines.size() - 2], "Cleaned 1 file(s)");
  }
}

TEST_F(CleanCommandTest, GameMastersAndMergedPluginsAreSkipped) {
  RunCleanEntry(g.session(), 1);
  EXPECT_FALSE(std::filesystem::exists(g.home / "modrake.log")) << "nothing chosen, no log";
  WriteDirty(g.dataFolder(), "merged_objects.ESP");
  g.ui.chosen = {g.dataFolder() / "Morrowind.esm", g.dataFolder() / "merged_objects.ESP"};
  RunCleanEntry(g.session(), 0);
  std::vector<std::string> tail(g.ui.lines.end() - 6, g.ui.lines.end() - 1);
  EXPECT_EQ(tail,
            (std::vector<std::string>{"Skipping Morrowind.esm", "", "Skipping merged_objects.ESP",
                                      "", "Cleaned 0 file(s)"}));
}

TEST_F(CleanCommandTest, IgnoredExpansionIsLeftOutOfTheCleanAndComesBackAfterIt) {
  WriteDirty(g.dataFolder(), "dirty.esp");
  g.options.boxes.keepFileName = true;
  g.options.boxes.ignoreTribunal = true;
  g.ui.chosen = {g.dataFolder() / "dirty.esp"};
  RunCleanEntry(g.session(), 0);
  PluginFile after(g.dataFolder(), "dirty.esp");
  after.ReadAllRecords();
  EXPECT_EQ(after.records.size(), 3u) << "tribunal_thing stays while tribunal.esm is ignored";
  EXPECT_EQ(g.game.tribunal(), FindPluginByName(g.game.activePlugins(), "tribunal.esm"));
}

TEST_F(CleanCommandTest, AllMastersCleansAgainstTheNonGameMastersAPluginNames) {
  const struct {
    bool allMasters;
    std::vector<std::string> kept;
  } cases[] = {
      {false, {"shared_a", "shared_b", "shared_c", "other_x"}},
      {true, {"shared_c", "other_x"}},
  };
  for (const auto& c : cases) {
    TestGame game;
    game.Write("Morrowind.esm", {Misc("gold_001", 1)});
    game.Write("Shared_Data.esm", {Misc("shared_a", 1), Misc("shared_b", 2), Misc("shared_c", 3)},
               {{"Morrowind.esm", 0}}, 1);
    game.Write("Other.esm", {Misc("other_x", 5)}, {{"Morrowind.esm", 0}}, 1);
    game.Write("other.esp", {Misc("other_x", 6)}, {{"Morrowind.esm", 0}, {"Other.esm", 0}});
    // Two records only repeat Shared_Data.esm; other_x repeats a master it does not name.
    game.Write("user.esp",
               {Misc("shared_a", 1), Misc("shared_b", 2), Misc("shared_c", 9), Misc("other_x", 5)},
               {{"Morrowind.esm", 0}, {"Shared_Data.esm", 0}});
    game.Activate({"Morrowind.esm", "Shared_Data.esm", "Other.esm", "other.esp", "user.esp"});
    game.session().gameSettings = &table;
    game.options.boxes.keepFileName = true;
    game.options.boxes.forceSave = true;
    game.options.allMasters = c.allMasters;
    game.ui.chosen = {game.dataFolder() / "user.esp"};
    RunCleanEntry(game.session(), 0);
    PluginFile after(game.dataFolder(), "user.esp");
    after.ReadAllRecords();
    std::vector<std::string> kept;
    for (const auto& record : after.records) {
      if (record->tag != tags::TES3) kept.push_back(record->GetDisplayId());
    }
    EXPECT_EQ(kept, c.kept) << c.allMasters;
  }
}

}  // namespace
}  // namespace modrake
