#include "objectdb/master_loader.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>

#include "support/test_game.hpp"

namespace modrake {
namespace {

using namespace test;

std::string WaterCell(const std::string& name, float height) {
  return Cell(name, 1, 0, 0, Field("WHGT", Bytes().F32(height).str()));
}

class MasterLoaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    mw = g.Write(
        "Morrowind.esm",
        {Misc("same_in_tribunal", 1), Misc("changed_by_tribunal", 1),
         Misc("restored_by_bloodmoon", 1), Misc("deleted_in_tribunal", 1), Cell("Vivec", 1, 0, 0),
         WaterCell("Seyda Neen", 0), Response("10", "", "", "before any topic"), Dial("Balmora"),
         Response("11", "", "", "hello"), Armour("steel_cuirass", 1, 10, {})});
    tr = g.Write("Tribunal.esm", {Misc("same_in_tribunal", 1), Misc("changed_by_tribunal", 2),
                                  Misc("restored_by_bloodmoon", 2),
                                  Misc("deleted_in_tribunal", 1, 0x20), Misc("new_in_tribunal", 5),
                                  WaterCell("Seyda Neen", 0), Armour("steel_cuirass", 1, 20, {})});
    bm = g.Write("Bloodmoon.esm", {Misc("restored_by_bloodmoon", 1), Misc("changed_by_tribunal", 2),
                                   Misc("new_in_bloodmoon", 3)});
    g.Activate({"Morrowind.esm", "Tribunal.esm", "Bloodmoon.esm"});
  }

  std::vector<uint32_t> Words(const std::string& recordBytes, std::string_view topic = {}) {
    auto record = RecordFromBytes(recordBytes);
    IndexEntry* e = g.index.LookupObject(*record, topic);
    if (!e) return {};
    return {e->words[0], e->words[1], e->words[2]};
  }

  TestGame g;
  std::vector<uint64_t> mw, tr, bm;
};

// The second load reads the same table from the cache.
TEST_F(MasterLoaderTest, RetainedVersionsFollowWhatEachMasterReallyChanges) {
  const std::string cache = (g.home / "modrake.dat").string();
  const std::vector<std::string> built = {"Loading Morrowind.esm",
                                          "Total 8 records (8 new, 3 ignored, 0 modified)",
                                          "Loading Tribunal.esm",
                                          "found cuirass",
                                          "Total 9 records (1 new, 1 ignored, 5 modified)",
                                          "Loading Bloodmoon.esm",
                                          "Total 10 records (1 new, 1 ignored, 0 modified)",
                                          "Created " + cache};
  const std::vector<std::string> cached = {"Loaded 10 records from " + cache};
  for (const auto& lines : {built, cached}) {
    g.ui.lines.clear();
    g.masters().Load();
    EXPECT_EQ(g.ui.lines, lines);
    using W = std::vector<uint32_t>;
    auto u = [](uint64_t v) { return static_cast<uint32_t>(v); };
    EXPECT_EQ(Words(Misc("same_in_tribunal", 0)), (W{u(mw[0]), 0, 0}));
    EXPECT_EQ(Words(Misc("changed_by_tribunal", 0)), (W{u(mw[1]), u(tr[1]), 0}));
    EXPECT_EQ(Words(Misc("restored_by_bloodmoon", 0)), (W{u(mw[2]), 0, 0}));
    EXPECT_EQ(Words(Misc("deleted_in_tribunal", 0)), (W{u(mw[3]), u(tr[3]), 0}));
    EXPECT_EQ(Words(Misc("new_in_tribunal", 0)), (W{0, u(tr[4]), 0}));
    EXPECT_EQ(Words(Misc("new_in_bloodmoon", 0)), (W{0, 0, u(bm[2])}));
    EXPECT_EQ(Words(Cell("Vivec", 1, 0, 0)), W{}) << "a cell without changes is not indexed";
    EXPECT_EQ(Words(WaterCell("Seyda Neen", 0)), (W{u(mw[5]), u(tr[5]), 0}))
        << "cells keep offsets";
    EXPECT_EQ(Words(Response("10", "", "", "")), (W{u(mw[6]), 0, 0}))
        << "keyed with an empty topic";
    EXPECT_EQ(Words(Response("11", "", "", ""), "Balmora"), (W{u(mw[8]), 0, 0}));
  }
  g.Activate({"Morrowind.esm", "Bloodmoon.esm"});  // tribunal ignored or inactive
  g.ui.lines.clear();
  g.masters().Load();
  EXPECT_EQ(g.ui.lines.front(), "Loading Morrowind.esm");
  EXPECT_EQ(Words(Misc("changed_by_tribunal", 0)),
            (std::vector<uint32_t>{static_cast<uint32_t>(mw[1]), 0, static_cast<uint32_t>(bm[1])}))
      << "without tribunal, bloodmoon's copy is a change of its own";
}

TEST_F(MasterLoaderTest, OtherMastersAreCachedUnderTheStampAndAChangeRebuildsIt) {
  const std::string loaded = "Loaded 10 records from " + (g.home / "modrake.dat").string();
  auto cupValue = [&] {
    ObjectKey key;
    BuildKey(key, *RecordFromBytes(Misc("shared_cup", 0)), "");
    auto version = g.masters().ExtraVersion(key, "", nullptr);
    return version ? static_cast<int>(version->FindSubrecord(MakeTag("MCDT"))->UInt32At(4)) : -1;
  };
  auto activate = [&](const std::vector<std::string>& cup) {
    g.Write("Shared_Data.esm", cup, {{"Morrowind.esm", 0}}, 1);
    g.Activate({"Morrowind.esm", "Tribunal.esm", "Bloodmoon.esm", "Shared_Data.esm", "user.esp"});
    g.ui.lines.clear();
    g.masters().Load();
  };
  g.Write("user.esp", {}, {{"Shared_Data.esm", 0}});
  g.options.allMasters = true;
  activate({Misc("shared_cup", 1)});
  EXPECT_EQ(g.ui.lines.back(), "Loading Shared_Data.esm");
  EXPECT_EQ(cupValue(), 1);

  g.ui.lines.clear();
  g.masters().Load();
  EXPECT_EQ(g.ui.lines, std::vector<std::string>{loaded}) << "both read from the cache";
  EXPECT_EQ(cupValue(), 1);

  activate({Misc("other", 0), Misc("shared_cup", 7)});
  EXPECT_EQ(g.ui.lines.front(), "Loading Morrowind.esm") << "a changed master rebuilds the cache";
  EXPECT_EQ(cupValue(), 7);
}

// Whatever became of the masters or the cache, each object is read from where it lies now.
TEST(MasterCacheTest, AStaleOrDamagedCacheIsRebuilt) {
  const std::vector<std::string> records = {Misc("gold_a", 1), Misc("gold_b", 2),
                                            Misc("gold_c", 3)};
  const std::vector<std::string> swapped = {Misc("gold_b", 7), Misc("gold_a", 8), records[2]};
  const std::vector<std::string> inserted = {Misc("gold_0", 9), records[0], records[1], records[2]};
  auto setMaster = [](TestGame& g, const std::vector<std::string>& recs, int64_t time) {
    g.Write("Morrowind.esm", recs);
    SetFileTime(g.dataFolder() / "Morrowind.esm", time);
    g.Activate({"Morrowind.esm"});
  };
  // Changes the cache's bytes: an entry is 144 bytes after a head of 26.
  auto cache = [](std::function<void(std::string&)> change) {
    return [change](TestGame& g) {
      std::string bytes = ReadFile(g.home / "modrake.dat");
      change(bytes);
      WriteFile(g.home / "modrake.dat", bytes);
    };
  };
  std::vector<std::unique_ptr<TestGame>> otherGames;
  struct Case {
    const char* what;
    std::vector<std::string> now;  // Morrowind.esm when loaded again
    std::function<void(TestGame&)> change;
    bool onRead = false;  // the cache is believed until an object is read back
  };
  const Case cases[] = {
      {"a master changed, same size", swapped,
       [&](TestGame& g) { setMaster(g, swapped, 2000000000); }},
      {"a master changed, another size", inserted,
       [&](TestGame& g) { setMaster(g, inserted, 2000000000); }},
      {"a master rewritten with its size and time kept", swapped,
       [&](TestGame& g) { setMaster(g, swapped, 1000000000); }},
      {"a master changed under a stamp that lies", swapped,
       [&](TestGame& g) {
         setMaster(g, swapped, 2000000000);
         WriteMasterCacheStamp(MasterCacheStampPath(g.home / "modrake.dat"),
                               g.masters().CacheIdentity(), 3);
       },
       true},
      {"another game folder whose master has the same name, size and time", swapped,
       [&](TestGame& g) {
         TestGame& other = *otherGames.emplace_back(std::make_unique<TestGame>());
         setMaster(other, swapped, 1000000000);
         g.game = GameInstallation(other.dir.path());
         g.game.SetActivePlugins(other.game.TakeActivePlugins());
       }},
      {"the stamp gone", records,
       [&](TestGame& g) { std::filesystem::remove(g.home / "modrake.dat.stamp"); }},
      {"shorter than its head", records, cache([](std::string& b) { b.resize(10); })},
      {"head only", records, cache([](std::string& b) { b.resize(26); })},
      {"another version", records, cache([](std::string& b) { b[20] = '6'; })},
      {"cut inside its last entry", records,
       cache([](std::string& b) { b.resize(b.size() - 100); })},
      {"an entry more than was written", records,
       cache([](std::string& b) { b += b.substr(b.size() - 144); })},
      {"entries out of order", records, cache([](std::string& b) {
         std::swap_ranges(b.begin() + 26, b.begin() + 170, b.begin() + 170);
       })},
      {"a key length past its text", records,
       cache([](std::string& b) { b[26 + 2 * 144 + 128] = static_cast<char>(200); })},
      {"an offset past the master's end", records,
       cache([](std::string& b) { b[26 + 144 + 132 + 3] = 0x7F; })},
      {"an offset moved inside the master", records,
       cache([](std::string& b) { b[26 + 144 + 132] += 4; }), true},
      {"garbage entries", records, cache([](std::string& b) {
         for (size_t i = 26; i < b.size(); ++i) b[i] = static_cast<char>((i * 7919) & 0xFF);
       })},
  };
  for (const auto& c : cases) {
    TestGame g;
    setMaster(g, records, 1000000000);
    g.masters().Load();
    c.change(g);
    g.ui.lines.clear();
    MasterSet masters = g.masters();
    masters.Load();
    auto open = masters.Open();
    for (const auto& r : c.now) {
      ObjectKey key;
      BuildKey(key, *RecordFromBytes(r), {});
      auto version = masters.Version(key, {}, kMorrowindWord);
      ASSERT_NE(version, nullptr) << c.what;
      EXPECT_EQ(BytesOf(*version), r) << c.what;
    }
    EXPECT_EQ(g.index.Count(), c.now.size()) << c.what;
    ASSERT_GE(g.ui.lines.size(), 2u) << c.what;
    EXPECT_EQ(g.ui.lines[c.onRead ? 1 : 0],
              c.onRead ? "The master cache does not match the masters: building it again"
                       : "Loading Morrowind.esm")
        << c.what;
    EXPECT_EQ(g.ui.lines.back(), "Created " + (g.home / "modrake.dat").string()) << c.what;
    g.ui.lines.clear();
    g.masters().Load();
    EXPECT_EQ(g.ui.lines.size(), 1u) << c.what << ": the rebuilt cache is used";
  }
}

// Ids in any letter case, cells by grid or name, responses by topic.
TEST(ObjectIndexTest, KeysFollowTheTextRules) {
  auto keyText = [](const std::string& recordBytes, std::string_view topic) {
    ObjectKey key;
    BuildKey(key, *RecordFromBytes(recordBytes), topic);
    return std::string(key.tag, 4) + "|" + key.text;
  };
  const struct {
    const char* what;
    std::string record, topic, key;
  } cases[] = {
      {"exterior cell by grid", Cell("Balmora", 0, -3, 7), "", "CELL|<x=-3, y=7>"},
      {"interior cell by id", Cell("Balmora, Guild Of Mages", 1, 0, 0), "",
       "CELL|balmora, guild of mages"},
      {"id lower-cased", Misc("Gold_001", 1), "", "MISC|gold_001"},
      {"response with its topic keeping its case", Response("123", "", "", "hi"), "Balmora",
       "INFO|123Balmora"},
      {"topic ignored for other records", Misc("x", 1), "Balmora", "MISC|x"},
      {"no usable id", RecordBytes("MISC", ZField("MODL", "a.nif")), "", "MISC|<<unknown>>"},
  };
  for (const auto& c : cases) EXPECT_EQ(keyText(c.record, c.topic), c.key) << c.what;

  EXPECT_NE(keyText(Response("1", "", "", "x"), std::string(130, 'T') + "1"),
            keyText(Response("1", "", "", "x"), std::string(130, 'T') + "2"))
      << "responses of two long topics";
}

}  // namespace
}  // namespace modrake
