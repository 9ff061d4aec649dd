#include "fields/field_groups.hpp"

#include <gtest/gtest.h>

#include "support/test_game.hpp"

namespace modrake {
namespace {

using namespace test;

// A data field of 32-bit words.
std::string Words(std::initializer_list<uint32_t> words) {
  Bytes bytes;
  for (uint32_t w : words) bytes.U32(w);
  return bytes.str();
}

TEST(FieldGroupsTest, DataFieldsMergeMemberByMemberAgainstTheMaster) {
  const struct {
    const char* what;
    const char* record;
    const char* tag;
    std::string merged, plugin, master;
    unsigned result;
    std::string expected;
  } cases[] = {
      {"the plugin kept the master's value", "MISC", "MCDT", Words({1, 5, 0}), Words({1, 2, 0}),
       Words({1, 2, 0}), kMemberUnchanged, Words({1, 5, 0})},
      {"another member changed earlier", "MISC", "MCDT", Words({1, 5, 0}), Words({7, 2, 0}),
       Words({1, 2, 0}), kMemberTaken, Words({7, 5, 0})},
      {"the same member changed earlier", "MISC", "MCDT", Words({1, 5, 0}), Words({1, 6, 0}),
       Words({1, 2, 0}), kMemberConflict, Words({1, 6, 0})},
      {"changed earlier to the same value", "MISC", "MCDT", Words({1, 6, 0}), Words({1, 6, 0}),
       Words({1, 2, 0}), kMemberConflict, Words({1, 6, 0})},
      {"new armour type: the rest goes as one", "ARMO", "ENDT", Words({0, 5, 9, 0}),
       Words({1, 2, 3, 4}), Words({0, 2, 3, 5}), kMemberConflict, Words({1, 2, 3, 4})},
      {"same type: member by member", "ARMO", "ENDT", Words({0, 5, 3, 4}), Words({0, 2, 8, 4}),
       Words({0, 2, 3, 4}), kMemberTaken, Words({0, 5, 8, 4})},
      {"a clothing's value and its enchantment are two members", "CLOT", "CTDT",
       Bytes().U32(1).F32(2).U16(10).U16(50).str(), Bytes().U32(1).F32(2).U16(15).U16(20).str(),
       Bytes().U32(1).F32(2).U16(10).U16(20).str(), kMemberTaken,
       Bytes().U32(1).F32(2).U16(15).U16(50).str()},
      {"AI bytes no member covers stay", "NPC_", "AIDT", Bytes().U8(1).U8(0xAA).Zeros(10).str(),
       Bytes().U8(9).U8(0xBB).Zeros(10).str(), Bytes().U8(1).U8(0xCC).Zeros(10).str(), kMemberTaken,
       Bytes().U8(9).U8(0xAA).Zeros(10).str()},
      {"a short field is taken whole", "MISC", "MCDT", Words({1, 5}), Words({1, 6}), Words({1, 2}),
       kMemberConflict, Words({1, 6})},
      {"a short field first changed", "MISC", "MCDT", Words({1, 2}), Words({1, 6}), Words({1, 2}),
       kMemberTaken, Words({1, 6})},
      {"NPC data of mixed forms is taken whole", "NPC_", "NPDT", Bytes().Zeros(12).str(),
       Bytes().Zeros(52).str(), Bytes().Zeros(12).str(), kMemberTaken, Bytes().Zeros(52).str()},
      {"NPC data of the short form", "NPC_", "NPDT", Bytes().U16(5).Zeros(10).str(),
       Bytes().U16(2).Zeros(6).U32(100).str(), Bytes().U16(2).Zeros(10).str(), kMemberTaken,
       Bytes().U16(5).Zeros(6).U32(100).str()},
      {"fields without layout: whole, equal", "MISC", "SCRI", "abc", "abc", "xyz", kMemberUnchanged,
       "abc"},
  };
  for (const auto& c : cases) {
    auto owner = RecordFromBytes(RecordBytes(
        c.record, Field(c.tag, c.merged) + Field(c.tag, c.plugin) + Field(c.tag, c.master)));
    auto it = owner->Fields().begin();
    Subrecord& merged = *it++;
    const Subrecord& plugin = *it++;
    const Subrecord& master = *it;
    EXPECT_EQ(MergeFieldMembers(owner->tag, merged, plugin, master), c.result) << c.what;
    EXPECT_EQ(std::string(reinterpret_cast<char*>(merged.data), merged.size), c.expected) << c.what;
  }
}

}  // namespace
}  // namespace modrake
