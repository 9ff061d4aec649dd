#include "format/node_allocator.hpp"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "format/record.hpp"
#include "support/test_game.hpp"

namespace modrake {
namespace {

using Records = std::vector<std::unique_ptr<Record>>;

Records MakeRecords(const std::string& prefix, uint32_t count) {
  Records records;
  for (uint32_t i = 0; i < count; ++i) {
    records.push_back(RecordFromBytes(test::Misc(prefix + std::to_string(i), i)));
  }
  return records;
}

void ExpectIntact(const Records& records, const std::string& prefix) {
  for (uint32_t i = 0; i < records.size(); ++i) {
    ASSERT_EQ(records[i]->Fields().size(), 3u);
    ASSERT_EQ(records[i]->GetDisplayId(), prefix + std::to_string(i));
    ASSERT_EQ(records[i]->FindSubrecord(tags::MODL)->Text(), "m\\misc.nif");
  }
}

// Records made on the worker are freed by the interface thread after it ends.
TEST(NodeAllocatorTest, RecordsOutliveTheThreadThatMadeThem) {
  Records kept;
  std::thread([&] { kept = MakeRecords("kept_", 5000); }).join();
  // Another worker makes and drops records of its own meanwhile.
  std::thread([] {
    for (int round = 0; round < 3; ++round) MakeRecords("other_", 5000);
  }).join();
  ExpectIntact(kept, "kept_");

  // Freed on one thread while two others make and free records.
  Records mine;
  std::thread freer([&] { kept.clear(); });
  std::thread maker([] {
    Records theirs = MakeRecords("theirs_", 20000);
    ExpectIntact(theirs, "theirs_");
  });
  mine = MakeRecords("mine_", 20000);
  freer.join();
  maker.join();
  ExpectIntact(mine, "mine_");
}

}  // namespace
}  // namespace modrake
