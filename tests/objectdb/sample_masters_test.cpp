#include <gtest/gtest.h>

#include <cstring>
#include <map>

#include "objectdb/master_loader.hpp"
#include "objectdb/record_comparison.hpp"
#include "samplegame/sample_game.hpp"
#include "support/test_game.hpp"

namespace modrake {
namespace {

using namespace test;

// On the sample game's masters: every indexed object is found, each master's
// word holds that master's offset unless its version only repeats an earlier
// retained one, and the cache gives back the same table.
TEST(SampleMastersTest, IndexHoldsEveryObjectWithItsRetainedOffsets) {
  TestGame g;
  std::filesystem::remove(g.dataFolder());  // the writer wants a folder of its own
  samplegame::WriteSampleGame(g.dir.path(), {});
  g.Activate({"Morrowind.esm", "Tribunal.esm", "Bloodmoon.esm"});
  LoadMasters(g.session());
  ASSERT_GT(g.index.Count(), 500u);

  PluginFile* masters[3] = {g.game.morrowind(), g.game.tribunal(), g.game.bloodmoon()};
  for (PluginFile* m : masters) m->OpenFile();
  size_t checked = 0;
  for (int w = 0; w < 3; ++w) {
    PluginFile reader(g.dataFolder(), masters[w]->name);
    reader.OpenFile();
    std::string topic;
    std::map<std::string, uint64_t> lastOffset;  // an id met twice keeps its last copy
    RecordHeader header;
    while (true) {
      uint64_t offset = reader.FilePosition();
      if (!reader.ReadObjectHeader(header)) break;
      auto record = reader.ReadRecord(header);
      if (record->tag == tags::TES3) continue;
      if (record->tag == tags::DIAL) {
        topic = record->GetDisplayId();
        continue;
      }
      IndexEntry* entry = g.index.LookupObject(*record, topic);
      bool indexedCell = record->FindSubrecord(tags::FRMR) || record->FindSubrecord(tags::AMBI) ||
                         record->FindSubrecord(tags::WHGT) || record->FindSubrecord(tags::NAM5);
      if (record->tag == tags::CELL && !indexedCell) {
        EXPECT_EQ(entry, nullptr) << record->GetDisplayId();
        continue;
      }
      ASSERT_NE(entry, nullptr) << TagText(record->tag) << " " << record->GetDisplayId();
      uint32_t word = entry->words[w];
      if (word == offset) {
        ++checked;
        continue;
      }
      if (word != 0) continue;  // a later copy in the same master took the word
      // Dropped: the version repeats an earlier retained master version.
      bool repeats = false;
      for (int earlier = 0; earlier < w && !repeats; ++earlier) {
        if (entry->words[earlier] == 0) continue;
        auto version = masters[earlier]->ReadRecordAt(entry->words[earlier]);
        repeats = SameAsEarlierMaster(*version, *record, true);
      }
      // Bloodmoon putting back Morrowind's state drops Tribunal's word as well.
      if (!repeats && w == 1 && entry->words[2] == 0 && entry->words[0] != 0) repeats = true;
      if (!repeats && w == 2) {
        // Bloodmoon restoring Morrowind's state drops Tribunal's word too.
        auto morrowind = masters[0]->ReadRecordAt(entry->words[0]);
        repeats = entry->words[0] && SameAsEarlierMaster(*morrowind, *record, true);
      }
      EXPECT_TRUE(repeats) << TagText(record->tag) << " " << record->GetDisplayId();
    }
  }
  EXPECT_GT(checked, 500u);

  std::vector<IndexEntry> built(g.index.entries().begin(), g.index.entries().end());
  LoadMasters(g.session());
  EXPECT_EQ(g.ui.lines.back().rfind("Loaded ", 0), 0u);
  ASSERT_EQ(g.index.entries().size(), built.size());
  EXPECT_EQ(std::memcmp(g.index.entries().data(), built.data(), built.size() * sizeof(IndexEntry)),
            0);
}

}  // namespace
}  // namespace modrake
