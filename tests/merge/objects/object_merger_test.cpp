#include "merge/objects/object_merger.hpp"

#include <gtest/gtest.h>

#include "merge/objects/merge_objects.hpp"
#include "objectdb/conflict_group.hpp"
#include "support/test_game.hpp"

namespace modrake {
namespace {

using namespace test;

struct Outcome {
  unsigned result = 0;
  std::string merged;  // the merged record's bytes; empty when none was written
  std::string log;
};

// Merges versions ("A.esp", "B.esp", ...) of one object against its master version.
Outcome Merge(const std::string& master, const std::vector<std::string>& versions,
              bool mergeUnchanged = false) {
  TestGame g;
  g.options.mergeUnchangedObjects = mergeUnchanged;
  std::vector<std::unique_ptr<PluginFile>> files;
  auto fileNamed = [&](const std::string& name) {
    files.push_back(std::make_unique<PluginFile>(g.dataFolder(), name, "", ""));
    return files.back().get();
  };
  ConflictGroup group;
  for (size_t i = 0; i < versions.size(); ++i) {
    auto record = RecordFromBytes(versions[i]);
    record->file = fileNamed(std::string(1, static_cast<char>('A' + i)) + ".esp");
    AddVersion(group, std::move(record), "");
  }
  if (!master.empty()) {
    group.masterVersion = RecordFromBytes(master);
    group.masterVersion->file = fileNamed("Morrowind.esm");
  }
  PluginFile plugin(g.dataFolder(), "Merged_Objects.esp", "", "");
  g.log.OpenLog();
  Outcome outcome;
  outcome.result = MergeObject(g.log, group, plugin, g.options.unrestrictedDialogCleaning,
                               g.options.mergeUnchangedObjects);
  g.log.CloseLog();
  outcome.log = ReadLog(g.home / "modrake.log");
  if (plugin.records.size() > 1) outcome.merged = BytesOf(*plugin.records.back());
  return outcome;
}

using Items = std::vector<std::pair<int32_t, std::string>>;

// A container whose script the editor keeps before its items, or after.
std::string ScriptedContainer(const Items& items, bool scriptFirst) {
  std::string fields = ZField("NAME", "c") + ZField("MODL", "o\\barrel.nif") + ZField("FNAM", "c") +
                       Field("CNDT", Bytes().F32(100.0f).str()) + U32Field("FLAG", 8);
  if (scriptFirst) fields += ZField("SCRI", "s");
  for (const auto& [count, item] : items) {
    fields += Field("NPCO", Bytes().I32(count).Fixed(item, 32).str());
  }
  if (!scriptFirst) fields += ZField("SCRI", "s");
  return RecordBytes("CONT", fields);
}

std::vector<Effect> Effects(std::initializer_list<uint16_t> indices) {
  std::vector<Effect> effects;
  for (uint16_t index : indices) effects.push_back({index, 1});
  return effects;
}

std::vector<BodyPart> Parts(std::initializer_list<uint8_t> indices) {
  std::vector<BodyPart> parts;
  for (uint8_t index : indices) parts.push_back({index, "m" + std::to_string(index), ""});
  return parts;
}

TEST(ObjectMergerTest, EveryPluginsChangesEndUpInOneRecord) {
  const struct {
    const char* what;
    std::string master, a, b;  // the versions of A.esp and B.esp
    unsigned result;
    std::string merged;
    bool mergeUnchanged = false;
  } cases[] = {
      {"different members of one field", Weapon("w", 10, 100), Weapon("w", 5, 100),
       Weapon("w", 10, 200), kMerged, Weapon("w", 5, 200)},
      {"the same member: the last plugin wins", Weapon("w", 10, 100), Weapon("w", 5, 200),
       Weapon("w", 7, 100), kMergedWithLoss, Weapon("w", 7, 200)},
      {"identical versions", Weapon("w", 10, 100), Weapon("w", 5, 100), Weapon("w", 5, 100),
       kNotMerged, ""},
      {"the last plugin deletes it", Weapon("w", 10, 100), Weapon("w", 5, 100),
       RecordBytes("WEAP", ZField("NAME", "w") + U32Field("DELE", 0)), kNotMerged, ""},
      {"items added by both", Container("c", {{1, "z"}, {3, "s"}}),
       Container("c", {{1, "z"}, {3, "s"}, {1, "x"}}),
       Container("c", {{1, "z"}, {3, "s"}, {2, "y"}}), kMerged,
       Container("c", {{1, "z"}, {3, "s"}, {1, "x"}, {2, "y"}})},
      {"an item one plugin removed stays", Container("c", {{1, "z"}, {1, "w"}}),
       Container("c", {{1, "w"}, {1, "x"}}), Container("c", {{1, "z"}, {1, "w"}, {1, "y"}}),
       kMerged, Container("c", {{1, "z"}, {1, "w"}, {1, "x"}, {1, "y"}})},
      {"an item every plugin removed goes", Container("c", {{1, "z"}, {1, "w"}}),
       Container("c", {{1, "w"}, {1, "x"}}), Container("c", {{1, "w"}, {1, "y"}}), kMerged,
       Container("c", {{1, "w"}, {1, "x"}, {1, "y"}})},
      {"a recounted item is a new item", Container("c", {{1, "z"}}), Container("c", {{5, "z"}}),
       Container("c", {{1, "z"}, {1, "y"}}), kMerged,
       Container("c", {{1, "z"}, {5, "z"}, {1, "y"}})},
      {"a changed effect moves to the end", Spell("s", {{1, 1}, {2, 1}}),
       Spell("s", {{1, 5}, {2, 1}}), Spell("s", {{1, 1}, {2, 1}}), kMergedWithLoss,
       Spell("s", {{2, 1}, {1, 5}})},
      {"eight effects", Spell("s", Effects({1, 2, 3, 4})), Spell("s", Effects({1, 2, 3, 4, 5, 6})),
       Spell("s", Effects({1, 2, 3, 4, 7, 8})), kMerged,
       Spell("s", Effects({1, 2, 3, 4, 5, 6, 7, 8}))},
      {"seven body parts", Armour("a", 1, 10, Parts({1, 2, 3})),
       Armour("a", 1, 10, Parts({1, 2, 3, 4, 5, 6})), Armour("a", 1, 10, Parts({1, 2, 3, 7})),
       kMerged, Armour("a", 1, 10, Parts({1, 2, 3, 4, 5, 6, 7}))},
      {"part ids of one body part", Armour("a", 1, 10, {{0, "m", "f"}, {1, "m1", ""}}),
       Armour("a", 1, 10, {{0, "m2", "f"}, {1, "m1", ""}}),
       Armour("a", 1, 10, {{0, "m", "f2"}, {1, "m1", "f1"}}), kMergedWithLoss,
       Armour("a", 1, 10, {{0, "m2", "f2"}, {1, "m1", "f1"}})},
      {"a version of another armour type takes no part", Armour("a", 1, 10, Parts({1})),
       Armour("a", 2, 50, Parts({1, 2})), Armour("a", 1, 70, Parts({1})), kMerged,
       Armour("a", 1, 70, Parts({1})), true},
      {"a new single field goes before the items", Container("c", {{1, "z"}}),
       Container("c", {{1, "z"}, {1, "x"}}), ScriptedContainer({{1, "z"}}, false), kMerged,
       ScriptedContainer({{1, "z"}, {1, "x"}}, true)},
      {"a faction reaction changed twice", Faction("f", {{"tg", -2}}),
       Faction("f", {{"tg", -4}, {"mg", 3}}), Faction("f", {{"tg", -5}}), kMergedWithLoss,
       Faction("f", {{"tg", -5}, {"mg", 3}})},
  };
  for (const auto& c : cases) {
    Outcome outcome = Merge(c.master, {c.a, c.b}, c.mergeUnchanged);
    EXPECT_EQ(outcome.result, c.result) << c.what;
    EXPECT_EQ(outcome.merged, c.merged) << c.what;
    // Identical and deleted objects leave no account.
    EXPECT_TRUE(c.result != kNotMerged || outcome.log.empty()) << c.what << outcome.log;
  }
}

std::string NamedItem(const std::string& name) {
  return RecordBytes("MISC", ZField("NAME", "m") + ZField("FNAM", name) +
                                 Field("MCDT", Bytes().F32(1).U32(5).U32(0).str()));
}

TEST(ObjectMergerTest, WithoutAMasterEveryDifferenceIsALoss) {
  const struct {
    bool mergeUnchanged;
    unsigned result;
    const char* ending;
  } cases[] = {
      {false, kDiscarded, "Result discarded due to being identical to the last loaded object\n"},
      {true, kMergedWithLoss, "Result is identical to the last loaded object\n"},
  };
  for (const auto& c : cases) {
    Outcome outcome = Merge("", {NamedItem("Bottle"), NamedItem("Old Bottle")}, c.mergeUnchanged);
    EXPECT_EQ(outcome.result, c.result);
    EXPECT_EQ(outcome.merged, c.mergeUnchanged ? NamedItem("Old Bottle") : "");
    std::string ending =
        "----------------------------\n"
        "Some information has been lost during merging due to a conflict\n" +
        std::string(c.ending);
    ASSERT_GE(outcome.log.size(), ending.size());
    EXPECT_EQ(outcome.log.substr(outcome.log.size() - ending.size()), ending) << outcome.log;
  }

  // Only the last version changes the object: nothing to merge it with.
  Outcome alone = Merge(
      "", {RecordBytes("MISC", ZField("NAME", "m") + U32Field("DELE", 0)), NamedItem("Bottle")});
  EXPECT_EQ(alone.result, kDiscarded);
  EXPECT_NE(alone.log.find("    > A.esp [DELETED]\n"), std::string::npos) << alone.log;
}

// One line of a record's listing.
std::string Line(const std::string& label, const std::string& value) {
  std::string padded = label;
  if (padded.size() < 9) padded.resize(9, ' ');
  return "        " + padded + " " + value + "\n";
}

std::string FactionLines(int32_t thieves, int32_t mages) {
  std::string text = Line("FNAM", "f") + Line("RNAM", "Rank");
  if (thieves) text += Line("ANAM/INTV", "tg / " + std::to_string(thieves));
  if (mages) text += Line("ANAM/INTV", "mg / " + std::to_string(mages));
  return text;
}

constexpr char kRule[] = "----------------------------\n";

// The pairs of a faction merged, with a loss.
TEST(ObjectMergerTest, TheAccountListsTheMasterEveryVersionAndTheResult) {
  EXPECT_EQ(Merge(Faction("f", {{"tg", -2}}),
                  {Faction("f", {{"tg", -4}, {"mg", 3}}), Faction("f", {{"tg", -5}})})
                .log,
            "\n\nFACT f\n    > Morrowind.esm\n" + FactionLines(-2, 0) + "    > A.esp\n" +
                FactionLines(-4, 3) + "    > B.esp\n" + FactionLines(-5, 0) + kRule +
                FactionLines(-5, 3) + kRule +
                "Object has been merged but some information has been lost due to a conflict\n");
}

TEST(ObjectMergerTest, AllMastersMergesAgainstTheVersionOfANonGameMaster) {
  // Against nothing the last version wins whole: the merge equals B's and is
  // not kept, and A's weight is lost.
  const struct {
    bool allMasters;
    std::string expected;  // empty: nothing merged
  } cases[] = {
      {false, ""},
      {true, Weapon("shared_sword", 2, 10, "Sword B")},
  };
  for (const auto& c : cases) {
    TestGame g;
    g.Write("Morrowind.esm", {Misc("gold_001", 1)});
    g.Write("Shared_Data.esm", {Weapon("shared_sword", 1, 10)}, {{"Morrowind.esm", 0}}, 1);
    // A makes the sword heavier, B renames it; neither changes its value.
    g.Write("A.esp", {Weapon("shared_sword", 2, 10)}, {{"Shared_Data.esm", 0}});
    g.Write("B.esp", {Weapon("shared_sword", 1, 10, "Sword B")}, {{"Shared_Data.esm", 0}});
    g.Activate({"Morrowind.esm", "Shared_Data.esm", "A.esp", "B.esp"});
    g.options.allMasters = c.allMasters;
    MergeObjects(g.session(), false);
    PluginFile merged(g.dataFolder(), "Merged_Objects.esp");
    merged.ReadAllRecords();
    EXPECT_EQ(merged.records.size() == 2 ? BytesOf(*merged.records.back()) : "", c.expected)
        << c.allMasters;
    std::vector<std::string> masters = {"Morrowind.esm"};
    if (c.allMasters) masters.push_back("Shared_Data.esm");
    EXPECT_EQ(MasterNames(*merged.FindHeaderRecord()), masters);
  }
}

}  // namespace
}  // namespace modrake
