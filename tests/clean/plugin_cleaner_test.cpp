#include "clean/plugin_cleaner.hpp"

#include <gtest/gtest.h>

#include <algorithm>

#include "clean/game_setting_table.hpp"
#include "core/text.hpp"
#include "objectdb/master_loader.hpp"
#include "platform/file_io.hpp"
#include "support/test_game.hpp"

namespace modrake {
namespace {

using namespace test;

std::string Gmst(const std::string& id, const std::string& valueField) {
  return RecordBytes("GMST", ZField("NAME", id) + valueField);
}
std::string Fltv(float v) {
  return Field("FLTV", Bytes().F32(v).str());
}

std::string Ref(uint32_t index, const std::string& id, float x) {
  return U32Field("FRMR", index) + ZField("NAME", id) +
         Field("DATA", Bytes().F32(x).F32(0).F32(0).F32(0).F32(0).F32(0).str());
}

// Bytes 1 and 7 of AIDT are those the game leaves inconsistent.
std::string Npc(const std::string& id, uint8_t aiByte1, const std::string& spell) {
  return RecordBytes(
      "NPC_",
      ZField("NAME", id) + ZField("RNAM", "Dark Elf") + Field("NPCS", spell) +
          Field("AIDT",
                Bytes().U8(30).U8(aiByte1).U8(0).U8(0).U8(0).U8(1).U8(2).U8(aiByte1).U32(0).str()));
}

std::string Land(int32_t x, int32_t y) {
  return RecordBytes("LAND", Field("INTV", Bytes().I32(x).I32(y).str()) + U32Field("DATA", 9));
}

std::string InfoWithDele(const std::string& id) {
  return RecordBytes(
      "INFO", ZField("INAM", id) + ZField("PNAM", "") + ZField("NNAM", "") + U32Field("DELE", 0));
}

const std::string kVivecMaster =
    Cell("Vivec, Arena", 1, 0, 0,
         Field("WHGT", Bytes().F32(10).str()) +
             Field("AMBI", Bytes().U32(1).U32(2).U32(3).F32(1).str()) + U32Field("NAM0", 2) +
             Ref(1, "chair", 1) + Ref(2, "table", 2));

class PluginCleanerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    table = GameSettingTable::Standard();
    g.Write(
        "Morrowind.esm",
        {Gmst("fFleeSetting", Fltv(2.0f)), Gmst("fZero", Fltv(0.0f)),
         Gmst("sText", Field("STRV", std::string("ab\0x", 4))), Misc("gold_001", 1),
         Misc("dagger", 1), Misc("deleted_copy", 1),
         Npc("guard", 4, Bytes().Fixed("shield", 32).str()), kVivecMaster,
         Cell("", 0, 2, 3, ZField("RGNN", "Ascadian Isles Region") + Ref(5, "rock", 1)),
         Cell("Seyda Neen", 0, -2, -9, Field("WHGT", Bytes().F32(0).str())),
         Cell("Flooded Cave", 1, 0, 0, Field("INTV", Bytes().I32(-200).str()) + Ref(3, "crab", 1)),
         Dial("Greeting"), Response("100", "", "101", "Hello."), Response("101", "100", "", "Bye."),
         Dial("Journal_A", 4), Response("200", "", "", "Entry."), Land(4, 4)});
    g.Activate({"Morrowind.esm"});
    g.session().gameSettings = &table;
    g.masters().Load();
  }

  // The ids of the records left in the file, as "TAG id".
  std::vector<std::string> Left(const std::string& name) {
    PluginFile plugin(g.dataFolder(), name);
    plugin.ReadAllRecords();
    std::vector<std::string> ids;
    for (auto& r : plugin.records) {
      if (r->tag != tags::TES3) ids.push_back(TagText(r->tag) + " " + r->GetDisplayId());
    }
    return ids;
  }

  int Clean(const std::string& name, std::optional<std::string> prefix = std::nullopt) {
    g.log.OpenLog();
    PluginFile plugin(g.dataFolder(), name);
    MasterSet masters = g.masters();
    int result = CleanPlugin(PluginCleaner::For(g.session(), masters), &plugin, prefix, false);
    g.log.CloseLog();
    return result;
  }

  std::string LogText() { return ReadLog(g.home / "modrake.log"); }

  TestGame g;
  GameSettingTable table;
};

TEST_F(PluginCleanerTest, RemovesWhatRepeatsTheMastersAndKeepsEveryRealChange) {
  g.Write("dirty.esp",
          {Gmst("fWereWolfRunMult", Fltv(1.5f)), Gmst("fWereWolfHealth", Fltv(3.0f)),
           Gmst("fFleeSetting", Fltv(2.0f)), Gmst("fFleeSetting2", Fltv(2.0f)), Misc("gold_001", 1),
           Misc("dagger", 7), Misc("deleted_copy", 1, 0x20),
           Npc("guard", 9, std::string("shield\0", 7)),
           Cell("Vivec, Arena", 1, 0, 0,
                Field("WHGT", Bytes().F32(10).str()) +
                    Field("AMBI", Bytes().U32(1).U32(2).U32(3).F32(1).str()) + U32Field("NAM0", 3) +
                    Ref(0x01000001, "chair", 1) + Ref(0x01000002, "table", 99) +
                    Ref(7, "new_barrel", 3)),
           Cell("", 0, 2, 3, ZField("RGNN", "Ascadian Isles Region") + Ref(0x01000005, "rock", 1)),
           Land(2, 3), Cell("Seyda Neen", 0, -2, -9, Field("WHGT", Bytes().F32(5).str())),
           Cell("New Room", 1, 0, 0), Dial("Greeting"), Response("100", "x", "101", "Hello."),
           Dial("Empty Topic"), Dial("Journal_A", 4), Dial("Deleted_Topic"), InfoWithDele("300")});
  EXPECT_EQ(Clean("dirty.esp"), 1);

  std::vector<std::string> expected = {"GMST fWereWolfHealth",
                                       "GMST fFleeSetting2",
                                       "MISC dagger",
                                       "MISC deleted_copy",
                                       "CELL Vivec, Arena",
                                       "CELL   2   3, Ascadian Isles Region",
                                       "LAND   2   3",
                                       "CELL  -2  -9, Seyda Neen",
                                       "DIAL Journal_A",
                                       "DIAL Deleted_Topic",
                                       "INFO 300"};
  EXPECT_EQ(Left("dirty.esp"), expected);

  PluginFile cleaned(g.dataFolder(), "dirty.esp");
  cleaned.ReadAllRecords();
  for (auto& r : cleaned.records) {
    if (r->GetDisplayId() != "Vivec, Arena") continue;
    EXPECT_EQ(r->FindSubrecord(tags::NAM0)->UInt32At(0), 2u) << "recounted from 3";
  }

  std::string log = LogText();
  for (const char* line :
       {"File: dirty.esp\n", "  deleted GMST fWereWolfRunMult\n", "  deleted GMST fFleeSetting\n",
        "  deleted MISC gold_001\n", "  deleted NPC_ guard\n", "  CELL Vivec, Arena\n",
        "    deleted WGHT\n", "    deleted AMBI\n", "    deleted FRMR 1, chair\n",
        "    ; cell is empty but there is a related LAND record\n",
        "    deleted CELL New Room                                 ; empty cell\n",
        "  deleted INFO 100                              ; Greeting\n",
        "  deleted DIAL Greeting                                 ; empty dialog\n",
        "  deleted DIAL Empty Topic                              ; empty dialog\n",
        "==============================\nSaved: dirty.esp\n\n"}) {
    EXPECT_NE(log.find(line), std::string::npos) << line;
  }
  std::vector<std::string> screen(g.ui.lines.end() - 4, g.ui.lines.end());
  EXPECT_EQ(screen,
            (std::vector<std::string>{
                "Processing dirty.esp", "Deleted 2 GMST record(s) and 6 other object(s)",
                "Updated 2 out of 4 cell(s), deleting 4 field(s)", "Updated \"dirty.esp\""}));
  // Clean now, the file is left alone unless a save is forced.
  ASSERT_TRUE(SetFileTime(g.dataFolder() / "dirty.esp", 1100000000));
  EXPECT_EQ(Clean("dirty.esp"), 0);
  EXPECT_EQ(g.ui.lines.back(), "dirty.esp is already clean");
  EXPECT_EQ(QueryFileStatus(g.dataFolder() / "dirty.esp")->modified, 1100000000) << "not written";
  g.options.boxes.forceSave = true;
  EXPECT_EQ(Clean("dirty.esp", (g.dataFolder() / "Clean ").string()), 0);
  EXPECT_TRUE(std::filesystem::exists(g.dataFolder() / "Clean dirty.esp"));
  EXPECT_EQ(g.ui.lines[g.ui.lines.size() - 2], "dirty.esp is already clean - FORCE SAVE ENABLED");
  EXPECT_EQ(g.ui.lines.back(), "Created \"Clean dirty.esp\"");
}

// Whether one record goes, by the options and the game setting table.
TEST_F(PluginCleanerTest, WhatCountsAsTheSameFollowsTheOptionsAndTheTable) {
  const std::string talk = Dial("Greeting") + Response("100", "other", "101", "Hello.");
  const struct {
    const char* what;
    std::string record;
    bool strictAi, restrictedDialog;
    bool removed;
  } cases[] = {
      {"actor differing only in AI bytes", Npc("guard", 9, std::string("shield\0", 7)), false,
       false, true},
      {"the same with StrictAIDT", Npc("guard", 9, std::string("shield\0", 7)), true, false, false},
      {"a response identical but for its links", talk, false, false, true},
      {"the same with restricted dialog cleaning", talk, false, true, false},
      {"table value", Gmst("fWereWolfRunMult", Fltv(1.5f)), false, false, true},
      {"other value", Gmst("fWereWolfRunMult", Fltv(2.0f)), false, false, false},
      {"exact 0.3 float", Gmst("fCombatDistanceWerewolfMod", Fltv(0.3f)), false, false, true},
      {"near 0.3", Gmst("fCombatDistanceWerewolfMod", Fltv(0.30001f)), false, false, false},
      {"text holding its own name",
       Gmst("sMagicCreature03ID", ZField("STRV", "sMagicCreature03ID")), false, false, true},
      {"other text", Gmst("sMagicCreature03ID", ZField("STRV", "sMagicCreature04ID")), false, false,
       false},
      {"fabricant text", Gmst("sMagicFabricantID", Field("STRV", "Fabricant")), false, false, true},
      {"integer", Gmst("iWereWolfBounty", Field("INTV", Bytes().I32(10000).str())), false, false,
       true},
      {"name in other case goes to the masters", Gmst("fwerewolfrunmult", Fltv(1.5f)), false, false,
       false},
      {"equal to the master", Gmst("fFleeSetting", Fltv(2.0f)), false, false, true},
      {"differs from the master", Gmst("fFleeSetting", Fltv(2.5f)), false, false, false},
      {"-0 where the master has 0", Gmst("fZero", Fltv(-0.0f)), false, false, true},
      {"text the same up to its end", Gmst("sText", Field("STRV", std::string("ab\0y", 4))), false,
       false, true},
      {"longer text", Gmst("sText", Field("STRV", std::string("ab\0xy", 5))), false, false, false},
      {"a flag that does not count", Misc("gold_001", 1, 0x2000), false, false, true},
      {"a flag that counts", Misc("gold_001", 1, 0x400), false, false, false},
      {"a response with other text", Dial("Greeting") + Response("100", "", "101", "Hi."), false,
       false, false},
  };
  for (const auto& c : cases) {
    g.options.relaxedAiData = !c.strictAi;
    g.options.unrestrictedDialogCleaning = !c.restrictedDialog;
    g.Write("one.esp", {c.record, Misc("dagger", 7)});
    Clean("one.esp");
    EXPECT_EQ(Left("one.esp").size() == 1, c.removed) << c.what;
  }
}

// Whether a cell that looks unchanged or empty goes, and the log line that says why.
TEST_F(PluginCleanerTest, CellsGoOrStayForWhatTheyHold) {
  g.Write("Landmass.esm",
          {Cell("Old Tower", 1, 0, 0, Ref(1, "door", 1)), Cell("", 0, 30, 30, Ref(1, "rock", 1))});
  auto cave = [](const std::string& more) { return Cell("Flooded Cave", 1, 0, 0, more); };
  const std::string whgt = Field("WHGT", Bytes().F32(-200).str());
  const std::string intv = Field("INTV", Bytes().I32(-200).str());
  const std::string grid = RecordBytes(
      "PGRD", Field("DATA", Bytes().I32(7).I32(8).U16(1024).U16(0).str()) + ZField("NAME", ""));
  using Masters = std::vector<std::pair<std::string, uint64_t>>;
  const Masters none, landmass = {{"Morrowind.esm", 0}, {"Landmass.esm", 0}},
                      upper = {{"Morrowind.esm", 0}, {"LANDMASS.ESM", 0}},
                      gone = {{"Morrowind.esm", 0}, {"Gone.esm", 0}};
  const std::string related = "    ; cell is empty but there is a related ";
  const std::string defined = "    ; cell is empty but master ";
  const struct {
    const char* what;
    std::string records;  // the plugin's, before a record that keeps it from being clean
    const Masters& masters;
    bool stays;
    std::string line = {};  // in the log, or empty
  } cases[] = {
      // Morrowind.esm keeps some interior water heights as an integer INTV:
      // the same height in either form is no change, another one is.
      {"the master's height as WHGT", cave(whgt), none, false, "    deleted WGHT\n"},
      {"the master's INTV", cave(intv), none, false, "    deleted INTV\n"},
      {"another height as WHGT", cave(Field("WHGT", Bytes().F32(-150).str())), none, true},
      {"another height as INTV", cave(Field("INTV", Bytes().I32(-150).str())), none, true},
      {"a reference's INTV is no water height", cave(Reference(7, "barrel", intv)), none, true},
      // A plugin that edits the cells of its own landmass master keeps those
      // edits, though against the game masters the cells look new and empty.
      {"a flag of the master's interior cell", Cell("Old Tower", 0x81, 0, 0), landmass, true,
       defined + "Landmass.esm defines it\n"},
      {"a region for the master's exterior cell", Cell("", 0, 30, 30, ZField("RGNN", "Shore")),
       upper, true, defined + "LANDMASS.ESM defines it\n"},
      {"a new cell", Cell("New Room", 1, 0, 0), landmass, false},
      {"a master that is missing", Cell("Old Tower", 0x81, 0, 0), gone, true,
       defined + "Gone.esm could not be read\n"},
      {"the game masters only", Cell("Old Tower", 0x81, 0, 0), none, false},
      // An empty exterior cell stays for the LAND or path grid of its grid.
      {"LAND after the cell", Cell("", 0, 7, 8) + Land(7, 8), none, true,
       related + "LAND record\n"},
      {"path grid before the cell", grid + Cell("", 0, 7, 8), none, true,
       related + "PGRD record\n"},
      {"the first in file order is named", Cell("", 0, 7, 8) + grid + Land(7, 8), none, true,
       related + "PGRD record\n"},
      {"a LAND of another grid", Cell("", 0, 7, 8) + Land(8, 7), none, false},
      {"a LAND that repeats the master's went first", Land(4, 4) + Cell("", 0, 4, 4), none, false},
  };
  for (const auto& c : cases) {
    g.Write("cell.esp", {c.records, Misc("dagger", 7)}, c.masters);
    Clean("cell.esp");
    std::vector<std::string> left = Left("cell.esp");
    bool cellLeft = std::any_of(left.begin(), left.end(),
                                [](const std::string& id) { return id.rfind("CELL", 0) == 0; });
    EXPECT_EQ(cellLeft, c.stays) << c.what;
    EXPECT_NE(LogText().find(c.line), std::string::npos) << c.what;
    EXPECT_TRUE(EsmtoolReads(g.dataFolder() / "cell.esp")) << c.what;
  }
}

// Declining the question is checked through the window and the command line.
TEST_F(PluginCleanerTest, DuplicatesKeepTheLastCopy) {
  g.Write("dups.esp", {Misc("dup", 1, 0), Misc("other", 5), Misc("DUP", 2), Misc("dup", 3)});
  g.ui.answer = Answer::Yes;
  EXPECT_EQ(Clean("dups.esp"), 1);
  EXPECT_EQ(g.ui.asked.size(), 1u);
  PluginFile after(g.dataFolder(), "dups.esp");
  after.ReadAllRecords();
  ASSERT_EQ(after.records.size(), 3u);
  EXPECT_EQ(after.records.back()->GetDisplayId(), "dup");
  EXPECT_EQ(after.records.back()->FindSubrecord(MakeTag("MCDT"))->UInt32At(4), 3u)
      << "the last copy stays";
  std::string log = LogText();
  EXPECT_TRUE(test::Contains(
      log,
      "  deleted MISC dup                                      ; duplicate object\n"
      "  deleted MISC DUP                                      ; duplicate object\n"));

  g.log.pipeline = true;  // the pipeline removes them without asking
  g.ui.asked.clear();
  g.Write("dups.esp", {Misc("dup", 1), Misc("dup", 3)});
  EXPECT_EQ(Clean("dups.esp"), 1);
  EXPECT_TRUE(g.ui.asked.empty());
  g.log.pipeline = false;

  // Ids are compared whole: four that share their first 130 characters are four objects.
  const std::string longId(130, 'L');
  g.Write("long.esp", {Misc(longId + "1", 1), Misc(longId + "2", 1), Misc(longId + "3", 1),
                       Misc(longId + "4", 1)});
  EXPECT_EQ(Clean("long.esp"), 0);
  EXPECT_TRUE(g.ui.asked.empty());
}

TEST_F(PluginCleanerTest, MasterSizesAreBroughtUpToDateAndTimesKeptOnRequest) {
  g.Write("sizes.esp", {Misc("gold_001", 1), Misc("dagger", 7)}, {{"Morrowind.esm", 12}});
  ASSERT_TRUE(SetFileTime(g.dataFolder() / "sizes.esp", 1200000000));
  g.log.OpenLog();
  PluginFile plugin(g.dataFolder(), "sizes.esp");
  MasterSet masters = g.masters();
  EXPECT_EQ(CleanPlugin(PluginCleaner::For(g.session(), masters), &plugin, std::nullopt, true), 1);
  g.log.CloseLog();
  EXPECT_EQ(QueryFileStatus(g.dataFolder() / "sizes.esp")->modified, 1200000000);
  PluginFile again(g.dataFolder(), "sizes.esp");
  auto& fields = again.FindHeaderRecord()->Fields();
  EXPECT_EQ(std::next(fields.begin(), 2)->UInt32At(0),
            std::filesystem::file_size(g.dataFolder() / "Morrowind.esm"));
}

}  // namespace
}  // namespace modrake
