#include "merge/leveled/merge_leveled_lists.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "core/text.hpp"
#include "objectdb/master_loader.hpp"
#include "objectdb/master_set.hpp"
#include "platform/file_io.hpp"
#include "support/test_game.hpp"

namespace modrake {
namespace {

using test::List;
using test::ListBytes;

// A game of plugins written by hand, all active in load order.
class MergeFixture : public test::TestGame {
 public:
  void Add(const std::string& name, const std::string& records,
           const std::vector<std::pair<std::string, uint64_t>>& masters = {},
           uint32_t fileType = 0) {
    Write(name, {records}, masters, fileType);
    // Old times in load order: a plugin saved now comes after them. A file
    // written again keeps its place.
    auto place = std::find(names_.begin(), names_.end(), name);
    SetFileTime(dataFolder() / name, 1000000000 + 60 * (place - names_.begin()));
    if (place == names_.end()) names_.push_back(name);
    Activate(names_);
  }

  void Run() {
    ui.lines.clear();
    MergeLeveledLists(session(), false);
  }

  std::string LogText() const { return test::ReadLog(home / "modrake.log"); }

  // Every list of the merged plugin, described as one line each.
  std::vector<std::string> MergedLists() const {
    PluginFile merged(dataFolder(), kMergedLeveledListsName);
    merged.ReadAllRecords();
    std::vector<std::string> lines;
    for (const auto& record : merged.records) {
      if (record->tag != tags::TES3) lines.push_back(test::DescribeList(*record));
    }
    return lines;
  }

 private:
  std::vector<std::string> names_;
};

struct MergeCase {
  const char* what;
  std::vector<std::vector<List>> plugins;  // in load order
  std::vector<std::string> expected;
};

TEST(MergeLeveledListsTest, MergesEveryVersionOfAListIntoOne) {
  const MergeCase cases[] = {
      {"a list of one plugin is taken as it is",
       {{{"LEVI", "random_gold", 1, 50, {{"Gold_001", 1}, {"Gold_005", 3}}}}},
       {"LEVI random_gold flags=1 none=50 count=2: Gold_001@1 Gold_005@3"}},
      {"identical versions give the first one",
       {{{"LEVI", "random_gold", 0, 0, {{"Gold_001", 1}}}},
        {{"LEVI", "random_gold", 0, 0, {{"Gold_001", 1}}}}},
       {"LEVI random_gold flags=0 none=0 count=1: Gold_001@1"}},
      {"a repeated entry keeps the most occurrences of any version",
       {{{"LEVI", "l", 0, 0, {{"x", 1}, {"x", 1}}}},
        {{"LEVI", "l", 0, 0, {{"x", 1}, {"x", 1}, {"x", 1}}}},
        {{"LEVI", "l", 0, 0, {{"x", 1}}}}},
       {"LEVI l flags=0 none=0 count=3: x@1 x@1 x@1"}},
      {"one id at two levels is two entries",
       {{{"LEVI", "l", 0, 0, {{"x", 1}}}}, {{"LEVI", "l", 0, 0, {{"x", 5}}}}},
       {"LEVI l flags=0 none=0 count=2: x@1 x@5"}},
      {"new entries come after the first version's, in load order",
       {{{"LEVI", "l", 0, 0, {{"b", 2}, {"a", 1}}}},
        {{"LEVI", "l", 0, 0, {{"d", 4}, {"a", 1}, {"c", 3}}}},
        {{"LEVI", "l", 0, 0, {{"e", 1}, {"b", 2}}}}},
       {"LEVI l flags=0 none=0 count=5: b@2 a@1 d@4 c@3 e@1"}},
      {"entries a later plugin added count against the plugins after it",
       {{{"LEVI", "l", 0, -1, {{"a", 1}}}},
        {{"LEVI", "l", 0, 20, {{"b", 2}}}},
        {{"LEVI", "l", 0, 0, {{"B", 2}, {"b", 2}, {"a", 1}}}},
        {{"LEVI", "l", 0, 0, {{"a", 1}, {"b", 2}, {"b", 2}, {"b", 2}}}}},
       {"LEVI l flags=0 none=20 count=4: a@1 b@2 b@2 b@2"}},
      {"ids of lists and entries match in any letter case",
       {{{"LEVI", "Random_Gold", 0, 0, {{"Gold_001", 1}}}},
        {{"LEVI", "RANDOM_GOLD", 0, 0, {{"gold_001", 1}, {"gold_010", 2}}}}},
       {"LEVI Random_Gold flags=0 none=0 count=2: Gold_001@1 gold_010@2"}},
      {"item and creature lists with one id stay apart",
       {{{"LEVI", "same", 0, 0, {{"a", 1}}}, {"LEVC", "same", 0, 0, {{"rat", 1}}}},
        {{"LEVC", "same", 0, 0, {{"mudcrab", 2}}}}},
       {"LEVI same flags=0 none=0 count=1: a@1",
        "LEVC same flags=0 none=0 count=2: rat@1 mudcrab@2"}},
      {"the smallest none chance that is set, in any order",
       {{{"LEVI", "l", 0, 40, {{"a", 1}}}}, {{"LEVI", "l", 0, 25, {{"a", 1}}}}},
       {"LEVI l flags=0 none=25 count=1: a@1"}},
      {"a none chance stays when a later version has none",
       {{{"LEVI", "l", 0, 30, {{"a", 1}}}}, {{"LEVI", "l", 0, -1, {{"a", 1}}}}},
       {"LEVI l flags=0 none=30 count=1: a@1"}},
      {"flags of all versions are combined",
       {{{"LEVI", "l", 0, 0, {{"a", 1}}}},
        {{"LEVI", "l", 1, 0, {{"a", 1}}}},
        {{"LEVI", "l", 2, 0, {{"a", 1}}}}},
       {"LEVI l flags=3 none=0 count=1: a@1"}},
      {"deleted versions change nothing",
       {{{"LEVI", "l", 0, 0, {{"a", 1}}}},
        {{"LEVI", "l", 1, 5, {{"b", 1}}, kDeletedFlag}},
        {{"LEVI", "l", 2, 5, {{"c", 1}}, 0, true}},
        {{"LEVI", "l", 0, 0, {{"d", 1}}}}},
       {"LEVI l flags=0 none=0 count=2: a@1 d@1"}},
      {"lists come in the order first met",
       {{{"LEVI", "one", 0, 0, {}}, {"LEVI", "two", 0, 0, {}}},
        {{"LEVI", "three", 0, 0, {}}, {"LEVI", "one", 0, 0, {{"a", 1}}}}},
       {"LEVI one flags=0 none=0 count=1: a@1",
        "LEVI two flags=0 none=0 count=0:", "LEVI three flags=0 none=0 count=0:"}},
  };
  for (const auto& c : cases) {
    MergeFixture fixture;
    fixture.Add("Morrowind.esm", "");
    for (size_t i = 0; i < c.plugins.size(); ++i) {
      std::string records;
      for (const List& list : c.plugins[i]) records += ListBytes(list);
      fixture.Add("plugin" + std::to_string(i) + ".esp", records);
    }
    fixture.Run();
    EXPECT_EQ(fixture.MergedLists(), c.expected) << c.what;
  }
}

TEST(MergeLeveledListsTest, AgainstMastersKeepsRemovalsAndTheExpansionsAdditions) {
  const std::string id = "random_weapon_melee_basic";
  const List morrowind{
      "LEVI", id, 1, 20, {{"iron_spear", 1}, {"iron_dagger", 1}, {"iron_club", 2}}};
  List tribunal = morrowind;
  tribunal.entries.push_back({"silver longsword", 3});
  const List removes{"LEVI", id, 1, 0, {{"iron_dagger", 1}, {"iron_club", 2}}};
  List adds = morrowind;
  adds.chance = 10;
  adds.entries.push_back({"steel_axe", 4});
  List addsToo = adds;
  addsToo.chance = 0;
  addsToo.flags = 3;
  const List ownFirst{"LEVC", "own", 0, 0, {{"rat", 1}}};
  const List ownSecond{"LEVC", "own", 0, 5, {{"rat", 1}, {"crab", 2}}};
  const List none{};
  const std::string merged = "LEVI " + id + " ";
  const struct {
    const char* what;
    bool against;
    const List &first, &second;  // the plugins, each naming Morrowind.esm only
    std::string expected;
  } cases[] = {
      {"without the option every version is joined and the masters are not read", false, removes,
       adds,
       merged + "flags=1 none=10 count=4: iron_dagger@1 iron_club@2 iron_spear@1 "
                "steel_axe@4"},
      {"a removal stays, an addition is made, Tribunal's entry survives", true, removes, adds,
       merged +
           "flags=1 none=10 count=4: iron_dagger@1 iron_club@2 silver longsword@3 steel_axe@4"},
      {"two plugins adding one entry add it once; the last change of each setting holds", true,
       adds, addsToo,
       merged + "flags=3 none=0 count=5: iron_spear@1 iron_dagger@1 iron_club@2 "
                "silver longsword@3 steel_axe@4"},
      {"a plugin repeating Morrowind's list changes nothing of Tribunal's", true, morrowind, none,
       merged +
           "flags=1 none=20 count=4: iron_spear@1 iron_dagger@1 iron_club@2 silver longsword@3"},
      {"a list no master defines merges as without the option", true, ownFirst, ownSecond,
       "LEVC own flags=0 none=5 count=2: rat@1 crab@2"},
  };
  for (const auto& c : cases) {
    MergeFixture fixture;
    fixture.options.mergeListsAgainstMasters = c.against;
    fixture.Add("Morrowind.esm", ListBytes(morrowind));
    fixture.Add("Tribunal.esm", ListBytes(tribunal), {{"Morrowind.esm", 0}});
    fixture.Add("plugin0.esp", ListBytes(c.first), {{"Morrowind.esm", 0}});
    if (!c.second.id.empty()) {
      fixture.Add("plugin1.esp", ListBytes(c.second), {{"Morrowind.esm", 0}});
    }
    fixture.Run();
    EXPECT_EQ(fixture.MergedLists(), std::vector<std::string>{c.expected}) << c.what;
    if (c.against && &c.first == &removes) {
      std::string log = fixture.LogText();
      for (const char* line :
           {"  LEVI random_weapon_melee_basic        -> against Tribunal.esm, 4 items\n",
            "  LEVI random_weapon_melee_basic        -> plugin0.esp removes iron_spear at level "
            "1\n",
            "  LEVI random_weapon_melee_basic        -> plugin1.esp adds steel_axe at level 4\n",
            "  LEVI random_weapon_melee_basic        -> plugin1.esp sets \"none chance\" to 10\n",
            "  LEVI random_weapon_melee_basic        -> merged from 4 to 4 items\n"}) {
        EXPECT_NE(log.find(line), std::string::npos) << line << log;
      }
    }
  }
}

TEST(MergeLeveledListsTest, AllMastersMergesAgainstANonGameMaster) {
  const struct {
    bool allMasters;
    const char* expected;
  } cases[] = {
      {false, "LEVC shared_list flags=0 none=0 count=4: rat@1 crab@2 guar@3 kwama@4"},
      {true, "LEVC shared_list flags=0 none=0 count=3: rat@1 guar@3 kwama@4"},
  };
  for (const auto& c : cases) {
    MergeFixture fixture;
    fixture.options.mergeListsAgainstMasters = true;
    fixture.options.allMasters = c.allMasters;
    fixture.Add("Morrowind.esm", "");
    fixture.Add("Shared_Data.esm",
                ListBytes({"LEVC", "shared_list", 0, 0, {{"rat", 1}, {"crab", 2}}}),
                {{"Morrowind.esm", 0}}, 1);
    fixture.Add("p.esp", ListBytes({"LEVC", "shared_list", 0, 0, {{"rat", 1}, {"guar", 3}}}),
                {{"Shared_Data.esm", 0}});
    fixture.Add("q.esp",
                ListBytes({"LEVC", "shared_list", 0, 0, {{"rat", 1}, {"crab", 2}, {"kwama", 4}}}),
                {{"Shared_Data.esm", 0}});
    fixture.Run();
    EXPECT_EQ(fixture.MergedLists(), std::vector<std::string>{c.expected}) << c.allMasters;
  }
}

// Whatever became of the masters or the list cache, the merge is as if read whole.
TEST(MergeLeveledListsTest, AgainstMastersTheListCacheNeverChangesTheResult) {
  const std::string coin = test::Misc("coin", 1);
  const std::string gold = ListBytes({"LEVI", "random_gold", 0, 0, {{"a", 1}, {"b", 2}}});
  const uint32_t coinAt = static_cast<uint32_t>(test::HeaderRecord().size());
  auto lie = [](uint32_t offset) {
    return [offset](MergeFixture& f) {
      ASSERT_TRUE(WriteListCache(ListCachePath(f.home / "modrake.dat"),
                                 MasterCacheIdentity(f.game, false), {f.game.morrowind()},
                                 {{offset}}));
    };
  };
  const std::string rebuilt = "The master cache does not match the masters: building it again";
  const std::vector<std::string> merged = {
      "LEVI random_gold flags=0 none=0 count=2: b@2 c@3",
      "LEVI random_silver flags=0 none=0 count=3: x@1 y@1 z@1"};
  const struct {
    const char* what;
    std::function<void(MergeFixture&)> change;  // between the two runs
    std::vector<std::string> expected;          // empty: the error below
    std::string line;                           // the first line the second run shows, or its error
  } cases[] = {
      {"nothing changed", [](MergeFixture&) {}, merged, ""},
      {"Morrowind.esm gained a list that the plugins change",
       [&](MergeFixture& f) {
         f.Add("Morrowind.esm",
               coin + gold + ListBytes({"LEVI", "random_silver", 0, 0, {{"y", 1}}}));
       },
       {merged[0], "LEVI random_silver flags=0 none=0 count=2: x@1 z@1"},
       ""},
      {"the cache places a list where another record lies", lie(coinAt), merged, rebuilt},
      {"the cache places a list inside a record", lie(coinAt + 3), merged, rebuilt},
      {"the cache cut short",
       [](MergeFixture& f) {
         std::filesystem::path cache = ListCachePath(f.home / "modrake.dat");
         std::filesystem::resize_file(cache, std::filesystem::file_size(cache) - 1);
       },
       merged, ""},
      {"Morrowind.esm cut inside its list",
       [](MergeFixture& f) {
         std::filesystem::path master = f.dataFolder() / "Morrowind.esm";
         std::filesystem::resize_file(master, std::filesystem::file_size(master) - 2);
       },
       {},
       "Invalid record in file Morrowind.esm at offset 499 (91 vs 93)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    MergeFixture fixture;
    fixture.options.mergeListsAgainstMasters = true;
    fixture.Add("Morrowind.esm", coin + gold);
    const std::pair<std::string, uint64_t> morrowind = {"Morrowind.esm", 0};
    fixture.Add("p.esp",
                ListBytes({"LEVI", "random_gold", 0, 0, {{"b", 2}, {"c", 3}}}) +
                    ListBytes({"LEVI", "random_silver", 0, 0, {{"x", 1}}}),
                {morrowind});
    fixture.Add("q.esp", ListBytes({"LEVI", "random_silver", 0, 0, {{"y", 1}, {"z", 1}}}),
                {morrowind});
    fixture.Run();
    c.change(fixture);
    std::filesystem::remove(fixture.dataFolder() / kMergedLeveledListsName);
    if (c.expected.empty()) {
      try {
        fixture.Run();
        ADD_FAILURE() << "no error";
      } catch (const FatalException& e) {
        EXPECT_EQ(std::string(e.what()), c.line);
      }
      continue;
    }
    fixture.Run();
    EXPECT_EQ(fixture.MergedLists(), c.expected);
    EXPECT_EQ(fixture.ui.lines.front(), c.line.empty() ? "Scanning p.esp" : c.line);
    EXPECT_TRUE(test::EsmtoolReads(fixture.dataFolder() / kMergedLeveledListsName));
  }
}

// The log tells what each version added and which lists were left out.
TEST(MergeLeveledListsTest, LogTellsWhatEachVersionAddedAndWhatWasLeftOut) {
  MergeFixture fixture;
  std::string nameless = test::RecordBytes(
      "LEVI", test::U32Field("DATA", 0) + test::U32Field("INDX", 1) + test::ZField("INAM", "a") +
                  test::Field("INTV", test::Bytes().U16(1).str()));
  std::string emptyName =
      test::RecordBytes("LEVI", test::ZField("NAME", "") + test::U32Field("INDX", 0));
  std::string masterList = ListBytes({"LEVI", "l", 0, 0, {{"from_master", 1}}});
  fixture.Add("Morrowind.esm", masterList);
  fixture.Add("Tribunal.esm", masterList);
  fixture.Add("a.esp", nameless + ListBytes({"LEVI", "l", 0, 0, {{"x", 1}, {"x", 1}}}) + nameless);
  fixture.Add("b.esp", ListBytes({"LEVI", "L", 3, 25, {{"x", 1}, {"x", 1}, {"x", 1}}}) + emptyName +
                           test::RecordBytes("LEVC", ""));
  fixture.Add("c.esp", ListBytes({"LEVI", "l", 0, 40, {{"X", 1}}}));
  fixture.Run();
  EXPECT_EQ(fixture.MergedLists(),
            (std::vector<std::string>{"LEVI l flags=3 none=25 count=3: x@1 x@1 x@1"}));
  auto leftOut = [](const char* what, int offset) {
    return FormatText("  %-37s -> left out: the list has no id (record at offset %d)\n", what,
                      offset);
  };
  EXPECT_EQ(fixture.LogText(),
            "Merging leveled lists for all active plugins\n"
            "\nScanning a.esp\n" +
                leftOut("LEVI <<UNKNOWN>>", 324) +
                "  LEVI l                                -> new list, 2 items\n" +
                leftOut("LEVI <<UNKNOWN>>", 483) +
                "\nScanning b.esp\n"
                "  LEVI L                                -> found \"PC Level\" flag\n"
                "  LEVI L                                -> found \"each item\" flag\n"
                "  LEVI L                                -> set \"none chance\" to 25\n"
                "  LEVI L                                -> merged from 2 to 3 items\n" +
                leftOut("LEVI <<NONAME>>", 443) + leftOut("LEVC <<UNKNOWN>>", 480) +
                "\nScanning c.esp\n"
                "  LEVI l                                -> no new items found\n");
  EXPECT_EQ(fixture.ui.lines[4], "Merged 3 original leveled list(s) into 1 list(s)");
  std::string expectedSize =
      test::Bytes().U32(static_cast<uint32_t>(fixture.game.tribunal()->status.size)).U32(0).str();
  EXPECT_TRUE(test::Contains(test::ReadFile(fixture.dataFolder() / kMergedLeveledListsName),
                             test::Field("DATA", expectedSize)));
}

}  // namespace
}  // namespace modrake
