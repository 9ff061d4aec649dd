#include <gtest/gtest.h>

#include "format/plugin_file.hpp"
#include "platform/file_io.hpp"
#include "support/game_folder.hpp"
#include "support/leveled_lists.hpp"
#include "support/test_support.hpp"

namespace modrake {
namespace {

using test::EsmtoolReads;
using test::ListBytes;
using test::RunModrake;

// A game folder with Morrowind.esm and two plugins that change one list.
class ListsGame : public test::CliGame {
 public:
  ListsGame() {
    Write("Morrowind.esm", {ListBytes({"LEVI", "l", 0, 0, {{"master_item", 1}}})}, 1000);
    Write("a.esp", {ListBytes({"LEVI", "l", 1, 0, {{"a", 1}, {"b", 2}}})}, 2000);
    Write("b.esp", {ListBytes({"LEVI", "L", 0, 30, {{"b", 2}, {"c", 3}}})}, 3000);
    test::WriteFile(ini(),
                    "[General]\r\nkey=value\r\n\r\n[Game Files]\r\nGameFile0=Morrowind.esm\r\n"
                    "GameFile1=b.esp\r\nGameFile2=a.esp\r\n");
  }

  std::filesystem::path ini() const { return dir / "Morrowind.ini"; }
  std::filesystem::path merged() const { return data() / "Merged_Leveled_Lists.esp"; }
};

TEST(MergeListsCliTest, AsksFirstAndBuildsOnlyOnYes) {
  ListsGame game;
  for (auto args : {std::vector<std::string>{"--no", "merge-lists"}, {"merge-lists"}}) {
    auto declined = game.Run(args);
    // Without --no nor a terminal to ask on, nothing is done either, and it says so.
    EXPECT_EQ(declined.exitCode, args[0] == "--no" ? 0 : 2) << declined.err;
    EXPECT_EQ(declined.out, "");
    EXPECT_FALSE(std::filesystem::exists(game.merged()));
  }

  auto result = game.Run({"--yes", "merge-lists"});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(result.out,
            "Scanning a.esp\nScanning b.esp\n\n"
            "Merged 2 original leveled list(s) into 1 list(s)\n\n"
            "Merged_Leveled_Lists.esp has been created\n\n"
            "Check \"" +
                (game.home / "modrake.log").string() + "\" for details\n");
  PluginFile merged(game.data(), "Merged_Leveled_Lists.esp");
  merged.ReadAllRecords();
  ASSERT_EQ(merged.records.size(), 2u);
  EXPECT_EQ(test::DescribeList(*merged.records.back()),
            "LEVI l flags=1 none=30 count=3: a@1 b@2 c@3");
  EXPECT_EQ(MasterNames(*merged.FindHeaderRecord()), std::vector<std::string>{"Morrowind.esm"});
  std::string log = test::ReadFile(game.home / "modrake.log");
  EXPECT_NE(log.find("  LEVI L                                -> merged from 2 to 3 items\n"),
            std::string::npos)
      << log;
}

TEST(MergeListsCliTest, ActivateWritesTheIniOnlyTheFirstTime) {
  ListsGame game;
  auto first = game.Run({"merge-lists", "--activate"});
  ASSERT_EQ(first.exitCode, 0) << first.err;
  EXPECT_NE(first.out.find("Merged_Leveled_Lists.esp has been activated in the morrowind.ini\n"),
            std::string::npos);
  std::string ini = test::ReadFile(game.ini());
  EXPECT_NE(ini.find("GameFile3=Merged_Leveled_Lists.esp\r\n"), std::string::npos) << ini;
  EXPECT_NE(ini.find("[General]\r\nkey=value\r\n"), std::string::npos) << ini;
  std::string plugin = test::ReadFile(game.merged());
  SetFileTime(game.ini(), 5000);

  auto second = game.Run({"merge-lists", "--activate"});
  ASSERT_EQ(second.exitCode, 0) << second.err;
  EXPECT_EQ(second.out, first.out);
  EXPECT_EQ(test::ReadFile(game.ini()), ini);
  EXPECT_EQ(QueryFileStatus(game.ini())->modified, 5000);
  EXPECT_EQ(test::ReadFile(game.merged()), plugin);
}

TEST(MergeListsCliTest, OtherReadersAcceptTheMergedPlugin) {
  if (test::Esmtool().empty()) GTEST_SKIP() << "esmtool is not installed";
  ListsGame game;
  ASSERT_EQ(game.Run({"--yes", "merge-lists"}).exitCode, 0);
  EXPECT_TRUE(EsmtoolReads(game.merged()));
}

// The lists of the sample game's scenario plugins, in the order first met.
TEST(MergeListsCliTest, SampleGameListsMergeAsDocumented) {
  test::TempDir dir;
  auto game = dir / "game";
  auto data = game / "Data Files";
  ASSERT_EQ(RunModrake({"--home", dir.path(), "sample-game", game.string()}).exitCode, 0);
  auto result = RunModrake({"--home", dir.path(), "--game", game.string(), "--yes", "merge-lists"});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  EXPECT_NE(result.out.find("\nMerged 11 original leveled list(s) into 6 list(s)\n"),
            std::string::npos)
      << result.out;
  EXPECT_EQ(result.out.find("Scanning Morrowind.esm"), std::string::npos);
  EXPECT_NE(result.out.find("Scanning Active_Extra_Master.esm\n"), std::string::npos);

  PluginFile merged(data, "Merged_Leveled_Lists.esp");
  merged.ReadAllRecords();
  std::vector<std::string> lists;
  for (const auto& record : merged.records) {
    if (record->tag != tags::TES3) lists.push_back(test::DescribeList(*record));
  }
  EXPECT_EQ(lists,
            (std::vector<std::string>{
                "LEVI random_weapon_melee_basic flags=3 none=25 count=10: iron dagger@1 "
                "iron club@1 iron_spear@3 chitin war axe@5 steel longsword@8 aem_blade@4 "
                "steel_dagger@1 iron dagger@1 iron dagger@1 iron dagger@5",
                "LEVI Random_Ingredient flags=1 none=25 count=5: INGRED_SALTRICE_01@1 "
                "ingred_marshmerrow_01@1 ingred_kwama_cuttle_01@3 ingred_bread_01@1 "
                "ingred_comberry_01@1",
                "LEVI random_sample_mix flags=0 none=0 count=1: misc_lw_platter@2",
                "LEVI lla_sample_treasure flags=0 none=0 count=2: Gold_001@1 misc_lw_platter@5",
                "LEVC ex_bittercoast_sleep flags=1 none=40 count=5: mudcrab@1 rat@1 cliff racer@3 "
                "kagouti@6 scamp@4",
                "LEVC random_sample_mix flags=0 none=0 count=1: rat@1"}));
  EXPECT_EQ(MasterNames(*merged.FindHeaderRecord()),
            (std::vector<std::string>{"Morrowind.esm", "Tribunal.esm", "Bloodmoon.esm"}));

  // A list of one plugin only is the same record, byte for byte.
  PluginFile added(data, "Leveled_Lists_Add.esp");
  added.ReadAllRecords();
  std::string bytes = test::ReadFile(merged.path);
  for (const auto& record : added.records) {
    if (record->GetDisplayId() != "lla_sample_treasure") continue;
    std::string expected =
        test::Bytes()
            .U32(record->tag)
            .U32(record->dataSize)
            .U32(record->headerWord)
            .U32(record->flags)
            .str() +
        std::string(reinterpret_cast<const char*>(record->RawData()), record->dataSize);
    EXPECT_NE(bytes.find(expected), std::string::npos);
  }

  EXPECT_TRUE(EsmtoolReads(merged.path));
}

}  // namespace
}  // namespace modrake
