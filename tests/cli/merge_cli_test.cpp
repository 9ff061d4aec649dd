// The three merges end to end.
#include <gtest/gtest.h>

#include "format/plugin_file.hpp"
#include "platform/file_io.hpp"
#include "support/game_folder.hpp"
#include "support/records.hpp"
#include "support/sample_game_run.hpp"

namespace modrake {
namespace {

using namespace test;
using Lines = std::vector<std::string>;

// Every record of a plugin after its header, as its tag and id.
Lines Describe(const std::filesystem::path& plugin) {
  PluginFile file(plugin.parent_path(), plugin.filename().string());
  file.ReadAllRecords();
  Lines lines;
  for (const auto& record : file.records) {
    if (record->tag != tags::TES3)
      lines.push_back(TagText(record->tag) + " " + record->GetDisplayId());
  }
  return lines;
}

std::string Setting(const std::string& value) {
  return RecordBytes("GMST", ZField("NAME", "sSample") + ZField("STRV", value));
}

// Two plugins changing one list, weapon, container, topic and setting against the masters.
struct MergeGame : GameFolder {
  MergeGame() {
    AddPlugin("Morrowind.esm", 1000, {},
              ListBytes({"LEVI", "l", 0, 0, {{"master_item", 1}}}) + Weapon("w", 10, 100) +
                  Container("c", {{1, "z"}, {3, "s"}}) + Misc("solo", 1) + Setting("a") +
                  Dial("t") + Response("m1", "", "m2", "one") + Response("m2", "m1", "", "two"));
    AddPlugin("Extra.esm", 1500, {}, Misc("x_extra", 1));
    AddPlugin("a.esp", 2000, {},
              ListBytes({"LEVI", "l", 1, 0, {{"a", 1}, {"b", 2}}}) + Weapon("w", 5, 100) +
                  Container("c", {{1, "z"}, {3, "s"}, {1, "x"}}) + Misc("solo", 2) + Setting("b") +
                  Weapon("same", 1, 1) + Dial("t") + Response("a1", "m1", "m2", "from a"));
    AddPlugin("b.esp", 3000, {},
              ListBytes({"LEVI", "L", 0, 30, {{"b", 2}, {"c", 3}}}) + Weapon("w", 10, 200) +
                  Container("c", {{1, "z"}, {3, "s"}, {2, "y"}}) + Setting("c") +
                  Weapon("same", 1, 1) + Misc("x_extra", 2) + Dial("t") +
                  Response("b1", "m1", "m2", "from b"));
    WriteGameFiles({"Morrowind.esm", "b.esp", "a.esp", "Extra.esm"});
  }
};

struct MergeCommand {
  const char* command;
  const char* plugin;
  const char* description;
  std::string summary;  // the lines before "... has been created"
  Lines merged;         // the merged plugin's records
};

const MergeCommand kMerges[] = {
    {"merge-lists",
     "Merged_Leveled_Lists.esp",
     "Merged LEVI/LEVC records",
     "Scanning Extra.esm\nScanning a.esp\nScanning b.esp\n\n"
     "Merged 2 original leveled list(s) into 1 list(s)\n\n",
     {"LEVI l"}},
    // The object of one plugin, the setting and the alike objects stay out;
    // the object without a master comes out as the last plugin has it.
    {"merge-objects",
     "Merged_Objects.esp",
     "Merged TES objects",
     "Merging 4 object(s)...\nSaved 2 and discarded 2 object(s)\n",
     {"CONT c", "WEAP w"}},
    {"merge-dialogs",
     "Merged_Dialogs.esp",
     "Merged TES dialogs",
     "\nAnalyzing 4 dialog entries...\nMerged and relinked 1 dialog(s) out of 1\n",
     {"DIAL t", "INFO b1", "INFO a1"}},
};

TEST(MergeCliTest, EachMergeAsksFirstAndASecondRunChangesNothing) {
  for (const MergeCommand& merge : kMerges) {
    SCOPED_TRACE(merge.command);
    MergeGame game;
    const auto plugin = game.data() / merge.plugin;
    for (auto args : {Lines{"--no", merge.command}, Lines{merge.command}}) {
      auto declined = game.Run(args);
      // Without --no nor a terminal to ask on, nothing is done either, and it says so.
      EXPECT_EQ(declined.exitCode, args[0] == "--no" ? 0 : 2) << declined.err;
      EXPECT_EQ(Contains(declined.err,
                         "not done, as there is no terminal to ask: \"Do you want to "
                         "recreate " +
                             std::string(merge.plugin) + "?\"\n"),
                args[0] != "--no")
          << declined.err;
      EXPECT_EQ(declined.out, "");
      EXPECT_FALSE(std::filesystem::exists(plugin));
    }

    auto result = game.Run({"--yes", merge.command});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_TRUE(Contains(result.out, merge.summary + merge.plugin +
                                         " has been created\n\nCheck \"" +
                                         (game.home / "modrake.log").string() + "\" for details\n"))
        << result.out;
    EXPECT_EQ(Describe(plugin), merge.merged);
    PluginFile merged(game.data(), merge.plugin);
    EXPECT_EQ(MasterNames(*merged.FindHeaderRecord()), Lines{"Morrowind.esm"});
    HeaderSubrecord header(*merged.FindHeaderRecord()->FindSubrecord(tags::HEDR));
    EXPECT_EQ(header.Author(), "Modrake 1.3 by lanternfly");
    EXPECT_EQ(header.Description(), merge.description);
    EXPECT_TRUE(EsmtoolReads(plugin));

    auto first = game.Run({merge.command, "--activate"});
    ASSERT_EQ(first.exitCode, 0) << first.err;
    EXPECT_TRUE(Contains(first.out,
                         std::string(merge.plugin) + " has been activated in the morrowind.ini\n"));
    std::string ini = game.ReadIni();
    EXPECT_TRUE(Contains(ini, "[General]\r\nSubtitles=0\r\n")) << ini;
    EXPECT_TRUE(Contains(ini, "GameFile4=" + std::string(merge.plugin) + "\r\n")) << ini;
    const std::string bytes = ReadFile(plugin);
    SetFileTime(game.folder() / "Morrowind.ini", 5000);
    // Now active, the merged plugin is not one more plugin to merge.
    auto second = game.Run({merge.command, "--activate"});
    ASSERT_EQ(second.exitCode, 0) << second.err;
    EXPECT_TRUE(Contains(second.out, merge.summary)) << second.out;
    EXPECT_EQ(ReadFile(plugin), bytes);
    EXPECT_EQ(game.ReadIni(), ini);
    EXPECT_EQ(QueryFileStatus(game.folder() / "Morrowind.ini")->modified, 5000);
  }
}

TEST(MergeCliTest, OnlyGameMastersGiveAPluginOfAHeader) {
  GameFolder game;
  game.AddPlugin("Morrowind.esm", 1000, {},
                 ListBytes({"LEVI", "l", 0, 0, {{"a", 1}}}) + Weapon("w", 1, 1) + Dial("t") +
                     Response("t1", "", "", "t"));
  game.AddPlugin("Tribunal.esm", 2000, {"Morrowind.esm"},
                 Weapon("w", 2, 1) + Dial("u") + Response("u1", "", "", "u"));
  game.WriteGameFiles({"Morrowind.esm", "Tribunal.esm"});
  for (const MergeCommand& merge : kMerges) {
    auto result = game.Run({"--yes", merge.command});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(Describe(game.data() / merge.plugin), Lines{}) << merge.command;
    PluginFile merged(game.data(), merge.plugin);
    EXPECT_EQ(MasterNames(*merged.FindHeaderRecord()), (Lines{"Morrowind.esm", "Tribunal.esm"}));
    EXPECT_TRUE(EsmtoolReads(merged.path));
  }
}

// The sample game's scenarios merge as they describe.
TEST(MergeCliTest, SampleGameMergesAsDocumented) {
  SampleGameRun run;
  const std::pair<const char*, const char*> merges[] = {
      {"merge-lists", "\nMerged 11 original leveled list(s) into 6 list(s)\n"},
      {"merge-objects",
       "\nMerging 21 object(s)...\n"
       "ERROR - merged ARMO netch_leather_boots contains more than 7 INDX fields and will be "
       "discarded\n"
       "ERROR - merged SPEL five fingers of pain contains more than 8 ENAM fields and will be "
       "discarded\n"
       "Saved 13 and discarded 8 object(s)\n"},
      {"merge-dialogs", "\nMerged and relinked 2 dialog(s) out of "},
  };
  for (const auto& [command, summary] : merges) {
    auto result = run.Run({"--yes", command});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_TRUE(Contains(result.out, summary)) << result.out;
    // Only the dialogue merge reads the game masters.
    EXPECT_EQ(Contains(result.out, "Scanning Morrowind.esm"),
              command == std::string("merge-dialogs"));
  }
  // The renamed cell's condition names its latest name.
  EXPECT_TRUE(Contains(ReadLog(run.home / "modrake.log"),
                       "\nFollowing cell references will be renamed in dialog entries:\n"
                       "  Fields of Kummu                  -> Kummu Shrine Fields"
                       "  Kummu Fields                     -> Kummu Shrine Fields\n"));
  const std::vector<std::filesystem::path> sources(std::filesystem::directory_iterator(run.Data()),
                                                   {});
  EXPECT_EQ(LinkProblems(run.Data("Merged_Dialogs.esp"), sources), Lines{});
  for (const char* merged :
       {"Merged_Leveled_Lists.esp", "Merged_Objects.esp", "Merged_Dialogs.esp"}) {
    EXPECT_TRUE(EsmtoolReads(run.Data(merged))) << merged;
    PluginFile file(run.Data(), merged);
    EXPECT_EQ(MasterNames(*file.FindHeaderRecord()),
              (Lines{"Morrowind.esm", "Tribunal.esm", "Bloodmoon.esm"}));
  }
}

// The options that look past the three game masters, with the real plugins.
TEST(MergeCliTest, RealPluginsRunWithEveryOption) {
  test::SampleGameRun game;
  if (game.AddRealPlugins().empty()) GTEST_SKIP() << "no real plugins beside the checkout";
  auto lists = game.Run({"merge-lists", "--activate", "--against-masters"});
  ASSERT_EQ(lists.exitCode, 0) << lists.err;
  EXPECT_TRUE(test::EsmtoolReads(game.Data("Merged_Leveled_Lists.esp")));
  std::string log = test::ReadLog(game.home / "modrake.log");
  EXPECT_NE(log.find("-> against Tribunal.esm"), std::string::npos) << log;

  auto fixed = game.Run({"--yes", "fix", "--all-masters"});
  ASSERT_EQ(fixed.exitCode, 0) << fixed.err;
  for (const auto& entry : std::filesystem::directory_iterator(game.Data())) {
    EXPECT_TRUE(test::EsmtoolReads(entry.path())) << entry.path();
  }

  // Standard output holds the document and nothing else.
  const std::filesystem::path docs = std::filesystem::path(MODRAKE_SOURCE_DIR) / "docs";
  auto plugins = game.Run({"plugins", "--json"});
  ASSERT_EQ(plugins.exitCode, 0) << plugins.err;
  EXPECT_EQ(test::JsonProblems(plugins.out, docs / "plugins.schema.json"), "");
  auto report = game.Run({"report", "--json", "--all-masters", "Objects_Merge_A.esp",
                          "Objects_Merge_B.esp", "merge_base.esp", "merge_edit_all.esp"});
  ASSERT_EQ(report.exitCode, 0) << report.err;
  EXPECT_EQ(test::JsonProblems(report.out, docs / "report.schema.json"), "");
  EXPECT_NE(report.out.find("\"keepsMaster\": true"), std::string::npos) << report.out;
  for (const char* part :
       {"\"kind\": \"morrowind\"", "\"all_types.esp\"", "\"problem\": \"missing\""}) {
    EXPECT_NE(plugins.out.find(part), std::string::npos) << part << plugins.out;
  }
}

}  // namespace
}  // namespace modrake
