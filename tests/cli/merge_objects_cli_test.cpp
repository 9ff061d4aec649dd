#include <gtest/gtest.h>

#include <map>

#include "format/plugin_file.hpp"
#include "platform/file_io.hpp"
#include "support/objects.hpp"
#include "support/test_support.hpp"

namespace modrake {
namespace {

using namespace test;

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// A game of Morrowind.esm, an active non-game master and two plugins: a
// weapon and a container both plugins change, an object of one plugin, a
// game setting both change, an object both define alike, and one that no
// game master defines.
class ObjectsGame {
 public:
  ObjectsGame() {
    std::filesystem::create_directory(data());
    Write("Morrowind.esm",
          Weapon("w", 10, 100) + Container("c", {{1, "z"}, {3, "s"}}) + MiscItem("solo", 1, 1) +
              Setting("a"),
          1000);
    Write("Extra.esm", MiscItem("x_extra", 1, 1), 1500);
    Write("a.esp",
          Weapon("w", 5, 100) + Container("c", {{1, "z"}, {3, "s"}, {1, "x"}}) +
              MiscItem("solo", 2, 1) + Setting("b") + Weapon("same", 1, 1),
          2000);
    Write("b.esp",
          Weapon("w", 10, 200) + Container("c", {{1, "z"}, {3, "s"}, {2, "y"}}) + Setting("c") +
              Weapon("same", 1, 1) + MiscItem("x_extra", 1, 2),
          3000);
    WriteFile(ini(),
              "[General]\r\nkey=value\r\n\r\n[Game Files]\r\nGameFile0=Morrowind.esm\r\n"
              "GameFile1=b.esp\r\nGameFile2=a.esp\r\nGameFile3=Extra.esm\r\n");
  }

  std::filesystem::path data() const { return dir / "Data Files"; }
  std::filesystem::path ini() const { return dir / "Morrowind.ini"; }
  std::filesystem::path merged() const { return data() / "Merged_Objects.esp"; }
  std::string log() const { return ReadFile(home / "modrake.log"); }

  CommandResult Run(std::vector<std::string> args) {
    args.insert(args.begin(), {"--game", dir.path().string(), "--home", home.path().string()});
    return RunModrake(args);
  }

  // The ids of the merged plugin's records after its header.
  std::vector<std::string> MergedIds() const {
    PluginFile file(data(), "Merged_Objects.esp");
    file.ReadAllRecords();
    std::vector<std::string> ids;
    for (const auto& record : file.records) {
      if (record->tag != tags::TES3) ids.push_back(record->GetDisplayId());
    }
    return ids;
  }

  TempDir dir;
  TempDir home;

 private:
  static std::string Setting(const std::string& value) {
    return RecordBytes("GMST", ZField("NAME", "sSample") + ZField("STRV", value));
  }
  void Write(const std::string& name, const std::string& records, int64_t time) {
    WriteFile(data() / name, HeaderRecord() + records);
    SetFileTime(data() / name, time);
  }
};

TEST(MergeObjectsCliTest, AsksFirstThenMergesWhatSeveralPluginsChange) {
  ObjectsGame game;
  for (auto args : {std::vector<std::string>{"--no", "merge-objects"}, {"merge-objects"}}) {
    auto declined = game.Run(args);
    // Without --no nor a terminal to ask on, nothing is done either, and it says so.
    EXPECT_EQ(declined.exitCode, args[0] == "--no" ? 0 : 2) << declined.err;
    EXPECT_EQ(declined.out, "");
    EXPECT_FALSE(std::filesystem::exists(game.merged()));
  }

  auto result = game.Run({"--yes", "merge-objects"});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  std::string start =
      "Scanning Extra.esm\nScanning a.esp\nScanning b.esp\nLoading conflicting objects...\n";
  EXPECT_EQ(result.out.substr(0, start.size()), start);
  std::string ending =
      "Merging 4 object(s)...\nSaved 2 and discarded 2 object(s)\n"
      "Merged_Objects.esp has been created\n\nCheck \"" +
      (game.home / "modrake.log").string() + "\" for details\n";
  ASSERT_GE(result.out.size(), ending.size());
  EXPECT_EQ(result.out.substr(result.out.size() - ending.size()), ending) << result.out;
  // The object of one plugin, the setting and the alike objects stay out; the
  // object without a master comes out as the last plugin has it.
  EXPECT_EQ(game.MergedIds(), (std::vector<std::string>{"c", "w"}));
  PluginFile merged(game.data(), "Merged_Objects.esp");
  EXPECT_EQ(MasterNames(*merged.FindHeaderRecord()), std::vector<std::string>{"Morrowind.esm"});
  HeaderSubrecord header(*merged.FindHeaderRecord()->FindSubrecord(tags::HEDR));
  EXPECT_EQ(header.Author(), "Modrake 1.3 by lanternfly");
  EXPECT_EQ(header.Description(), "Merged TES objects");
  EXPECT_TRUE(EsmtoolReads(game.merged()));

  std::string log = game.log();
  EXPECT_EQ(log.rfind("Merging TES objects for all active plugins\n\n"
                      "; For each merged object you will find field values from original plugins\n",
                      0),
            0u)
      << log;
  EXPECT_FALSE(Contains(log, "WEAP same")) << "identical versions leave no account";
  EXPECT_TRUE(Contains(log, "Result discarded due to being identical to the last loaded object\n"));

  auto unchanged = game.Run({"--yes", "merge-objects", "--merge-unchanged"});
  ASSERT_EQ(unchanged.exitCode, 0) << unchanged.err;
  EXPECT_TRUE(Contains(unchanged.out, "\nSaved 3 and discarded 1 object(s)\n")) << unchanged.out;
  EXPECT_EQ(game.MergedIds(), (std::vector<std::string>{"c", "w", "x_extra"}));
  EXPECT_TRUE(EsmtoolReads(game.merged()));
}

TEST(MergeObjectsCliTest, ActivateWritesTheIniOnceAndASecondRunGivesTheSameFile) {
  ObjectsGame game;
  auto first = game.Run({"merge-objects", "--activate"});
  ASSERT_EQ(first.exitCode, 0) << first.err;
  EXPECT_TRUE(Contains(first.out, "Merged_Objects.esp has been activated in the morrowind.ini\n"));
  std::string ini = ReadFile(game.ini());
  EXPECT_TRUE(Contains(ini, "GameFile4=Merged_Objects.esp\r\n")) << ini;
  EXPECT_TRUE(Contains(ini, "[General]\r\nkey=value\r\n")) << ini;
  std::string plugin = ReadFile(game.merged());
  SetFileTime(game.ini(), 5000);

  // Now active, the merged plugin must not count as one more changing plugin.
  auto second = game.Run({"merge-objects", "--activate"});
  ASSERT_EQ(second.exitCode, 0) << second.err;
  // Only the master index's lines differ: the second run finds the cache.
  auto summary = [](const std::string& out) { return out.substr(out.find("\nMerging ")); };
  EXPECT_EQ(summary(second.out), summary(first.out));
  EXPECT_EQ(ReadFile(game.ini()), ini);
  EXPECT_EQ(QueryFileStatus(game.ini())->modified, 5000);
  EXPECT_EQ(ReadFile(game.merged()), plugin);
  EXPECT_TRUE(EsmtoolReads(game.merged()));
}

TEST(MergeObjectsCliTest, OnlyGameMastersGiveAnEmptyPlugin) {
  TempDir dir, home;
  std::filesystem::create_directory(dir / "Data Files");
  WriteFile(dir / "Data Files" / "Morrowind.esm", HeaderRecord() + Weapon("w", 1, 1));
  WriteFile(dir / "Morrowind.ini", "[Game Files]\r\nGameFile0=Morrowind.esm\r\n");
  auto result = RunModrake({"--game", dir.path(), "--home", home.path(), "--yes", "merge-objects"});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  EXPECT_FALSE(Contains(result.out, "Merging ")) << result.out;
  EXPECT_TRUE(Contains(result.out, "Saved 0 and discarded 0 object(s)\n")) << result.out;
  PluginFile merged(dir / "Data Files", "Merged_Objects.esp");
  merged.ReadAllRecords();
  EXPECT_EQ(merged.records.size(), 1u);
  EXPECT_TRUE(EsmtoolReads(merged.path));
}

// The object scenarios of the sample game, as its plugins describe them.
TEST(MergeObjectsCliTest, SampleGameObjectsMergeAsDocumented) {
  TempDir dir;
  auto game = dir / "game";
  auto data = game / "Data Files";
  ASSERT_EQ(RunModrake({"--home", dir.path(), "sample-game", game.string()}).exitCode, 0);
  auto result =
      RunModrake({"--home", dir.path(), "--game", game.string(), "--yes", "merge-objects"});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  EXPECT_TRUE(Contains(result.out,
                       "\nMerging 21 object(s)...\n"
                       "ERROR - merged ARMO netch_leather_boots contains more than 7 INDX fields "
                       "and will be discarded\n"
                       "ERROR - merged SPEL five fingers of pain contains more than 8 ENAM fields "
                       "and will be discarded\n"
                       "Saved 13 and discarded 8 object(s)\n"))
      << result.out;

  PluginFile merged(data, "Merged_Objects.esp");
  merged.ReadAllRecords();
  EXPECT_EQ(MasterNames(*merged.FindHeaderRecord()),
            (std::vector<std::string>{"Morrowind.esm", "Tribunal.esm", "Bloodmoon.esm"}));
  std::map<std::string, Record*> byId;
  std::vector<std::string> ids;
  for (const auto& record : merged.records) {
    if (record->tag == tags::TES3) continue;
    ids.push_back(record->GetDisplayId());
    byId[ids.back()] = record.get();
  }
  // Deleted, identical, refused and unchanged objects stay out.
  EXPECT_EQ(ids, (std::vector<std::string>{"p_restore_health_s", "steel_cuirass",
                                           "bk_BriefHistoryEmpire1", "iron dagger", "shockbloom",
                                           "arrille", "misc_com_bottle_01", "light_com_candle_01",
                                           "Fighters Guild", "cruel flame_en", "common_shirt_01",
                                           "barrel_01_food", "mudcrab"}));
  auto field = [&](const std::string& id, Tag tag) {
    Record* record = byId[id];
    return record ? record->FindSubrecord(tag) : nullptr;
  };
  // Each plugin's change of another member survives: A's weight, B's value.
  const Subrecord* dagger = field("iron dagger", MakeTag("WPDT"));
  ASSERT_NE(dagger, nullptr);
  EXPECT_EQ(dagger->UInt32At(0), 0x40800000u) << "weight 4";
  EXPECT_EQ(dagger->UInt32At(4), 15u);
  const Subrecord* crab = field("mudcrab", MakeTag("NPDT"));
  ASSERT_NE(crab, nullptr);
  EXPECT_EQ(crab->UInt32At(92), 20u);
  EXPECT_EQ(field("mudcrab", MakeTag("AIDT"))->ByteAt(2), 80u);
  const Subrecord* arrille = field("arrille", MakeTag("NPDT"));
  ASSERT_NE(arrille, nullptr);
  EXPECT_EQ(arrille->UInt16At(0), 10u);
  EXPECT_EQ(arrille->UInt32At(48), 500u);
  EXPECT_EQ(std::string(field("misc_com_bottle_01", MakeTag("SCRI"))->Text()), "bottleScript");
  // Removed by both, kept by one, recounted, added.
  std::vector<std::string> items;
  for (const Subrecord& f : byId["barrel_01_food"]->subrecords) {
    if (f.tag == MakeTag("NPCO")) {
      items.push_back(std::to_string(f.UInt32At(0)) + " " +
                      std::string(reinterpret_cast<const char*>(f.data) + 4));
    }
  }
  EXPECT_EQ(items, (std::vector<std::string>{"3 ingred_saltrice_01", "1 misc_com_bottle_01",
                                             "2 ingred_marshmerrow_01", "5 ingred_saltrice_01",
                                             "1 misc_lw_platter", "4 ingred_comberry_01"}));
  std::string log = ReadFile(dir / "modrake.log");
  EXPECT_TRUE(Contains(log, "    > Objects_Merge_A.esp [IGNORED DUE TO DIFFERENT TYPE]\n"));
  EXPECT_TRUE(EsmtoolReads(merged.path));
}

TEST(MergeObjectsCliTest, RealPluginsMergeWithTheSampleGame) {
  auto real = RealTestData();
  if (real.empty()) GTEST_SKIP() << "no real plugins beside the checkout";
  TempDir dir;
  auto game = dir / "game";
  ASSERT_EQ(RunModrake({"--home", dir.path(), "sample-game", game.string()}).exitCode, 0);
  std::vector<std::string> activate = {"--home",      dir.path(), "--game",
                                       game.string(), "plugins",  "activate"};
  for (const auto& entry : std::filesystem::directory_iterator(real)) {
    if (entry.path().extension() == ".md") continue;
    std::filesystem::copy_file(entry.path(), game / "Data Files" / entry.path().filename());
    activate.push_back(entry.path().filename().string());
  }
  auto activated = RunModrake(activate);
  ASSERT_EQ(activated.exitCode, 0) << activated.err;
  auto result =
      RunModrake({"--home", dir.path(), "--game", game.string(), "--yes", "merge-objects"});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_TRUE(Contains(result.out, "Merged_Objects.esp has been created\n")) << result.out;
  EXPECT_TRUE(EsmtoolReads(game / "Data Files" / "Merged_Objects.esp"));
}

}  // namespace
}  // namespace modrake
