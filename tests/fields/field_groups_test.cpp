#include "fields/field_groups.hpp"

#include <gtest/gtest.h>

#include "objectdb/conflict_group.hpp"
#include "support/test_game.hpp"

namespace modrake {
namespace {

using namespace test;

Tag TagOf(const char* text) {
  Tag tag = 0;
  for (int i = 3; i >= 0; --i) tag = tag << 8 | static_cast<unsigned char>(text[i]);
  return tag;
}

std::unique_ptr<Record> Make(const char* tag, const std::string& fields) {
  return ParseRecord(RecordBytes(tag, fields));
}

// The tags of the group found in the record from the field at position at
// of source, or "-" when there is none.
std::string Found(Record& record, const Record& source, size_t at, unsigned n) {
  auto first = std::next(source.subrecords.begin(), static_cast<long>(at));
  auto found = FindFieldGroup(record, source, first, n);
  if (found == record.subrecords.end()) return "-";
  return std::to_string(std::distance(record.subrecords.begin(), found));
}

TEST(FieldGroupsTest, ListItemsSpanTheirBoundFieldsAndAreFoundWhole) {
  auto armour = Make("ARMO", ZField("NAME", "helm") + Field("INDX", "\1") + ZField("BNAM", "m1") +
                                 ZField("CNAM", "f1") + Field("INDX", "\2") + ZField("CNAM", "f2") +
                                 ZField("BNAM", "m2") + Field("INDX", "\3") + ZField("CNAM", "f3") +
                                 Field("INDX", "\4"));
  std::vector<unsigned> sizes;
  for (auto it = armour->subrecords.begin(); it != armour->subrecords.end(); ++it) {
    sizes.push_back(FieldGroupSize(*armour, it));
  }
  EXPECT_EQ(sizes, (std::vector<unsigned>{1, 3, 1, 1, 3, 1, 1, 2, 1, 1}));

  auto faction = Make("FACT", ZField("NAME", "f") + ZField("ANAM", "a") + U32Field("INTV", 5) +
                                  ZField("ANAM", "b") + ZField("ANAM", "c") + U32Field("INTV", 1));
  auto it = faction->subrecords.begin();
  EXPECT_EQ(FieldGroupSize(*faction, std::next(it, 1)), 2u);
  EXPECT_EQ(FieldGroupSize(*faction, std::next(it, 3)), 1u) << "a reaction without its value";
  EXPECT_EQ(FieldGroupSize(*faction, std::next(it, 5)), 1u) << "the last field has no successor";

  auto other = Make("FACT", ZField("NAME", "f") + ZField("ANAM", "c") + U32Field("INTV", 2) +
                                ZField("ANAM", "a") + U32Field("INTV", 5));
  EXPECT_EQ(Found(*other, *faction, 1, 2), "3") << "same reaction, later in the record";
  EXPECT_EQ(Found(*other, *faction, 1, 1), "3");
  EXPECT_EQ(Found(*other, *faction, 4, 2), "-") << "same faction, other value";
  EXPECT_EQ(Found(*other, *faction, 4, 1), "1") << "the key alone matches";

  auto copy = Make("ARMO", ZField("NAME", "helm") + Field("INDX", "\2") + ZField("CNAM", "f2") +
                               ZField("BNAM", "m2") + Field("INDX", "\1") + ZField("BNAM", "m1"));
  EXPECT_EQ(Found(*copy, *armour, 4, 3), "1");
  EXPECT_EQ(Found(*copy, *armour, 1, 3), "-") << "the female part is missing";
  EXPECT_EQ(Found(*copy, *armour, 1, 2), "4");

  auto cell = Make("CELL", U32Field("FRMR", 1) + ZField("NAME", "x"));
  auto cellCopy = Make("CELL", U32Field("FRMR", 1) + ZField("NAME", "x"));
  EXPECT_EQ(Found(*cellCopy, *cell, 0, 1), "-") << "references are never matched";
}

TEST(FieldGroupsTest, ListFieldsAndMergeableTypesFollowTheRecordType) {
  EXPECT_TRUE(IsListField(MakeTag("CONT"), MakeTag("NPCO")));
  EXPECT_FALSE(IsListField(MakeTag("MISC"), MakeTag("NPCO")));
  EXPECT_TRUE(IsListField(MakeTag("SPEL"), MakeTag("ENAM")));
  EXPECT_FALSE(IsListField(MakeTag("ENCH"), MakeTag("ENAM"))) << "enchantments hold single fields";
  EXPECT_TRUE(IsMergeableType(MakeTag("NPC_")));
  EXPECT_TRUE(IsMergeableType(MakeTag("WEAP")));
  for (const char* tag : {"GMST", "GLOB", "SCPT", "CELL", "LEVI", "LEVC", "DIAL", "INFO"}) {
    EXPECT_FALSE(IsMergeableType(TagOf(tag))) << tag;
  }
}

TEST(FieldGroupsTest, ItemTypeKeyReadsTheKindOfItem) {
  const struct {
    const char* tag;
    std::string fields;
    uint32_t key;
  } cases[] = {
      {"ARMO", Field("AODT", Bytes().U32(3).Zeros(20).str()), 3},
      {"WEAP", Field("WPDT", Bytes().Zeros(8).U16(7).Zeros(22).str()), 7},
      {"CLOT", Field("CTDT", Bytes().U32(9).Zeros(8).str()), 9},
      {"ARMO", ZField("NAME", "no data"), kNoItemType},
      {"WEAP", Field("WPDT", Bytes().Zeros(9).str()), kNoItemType},
      {"MISC", Field("AODT", Bytes().U32(3).str()), kNoItemType},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ItemTypeKey(*Make(c.tag, c.fields)), c.key) << c.tag << " " << c.fields.size();
  }
}

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
    auto owner =
        Make(c.record, Field(c.tag, c.merged) + Field(c.tag, c.plugin) + Field(c.tag, c.master));
    auto it = owner->subrecords.begin();
    Subrecord& merged = *it++;
    const Subrecord& plugin = *it++;
    const Subrecord& master = *it;
    EXPECT_EQ(MergeFieldMembers(TagOf(c.record), merged, plugin, master), c.result) << c.what;
    EXPECT_EQ(std::string(reinterpret_cast<char*>(merged.data), merged.size), c.expected) << c.what;
  }
}

TEST(FieldGroupsTest, VersionsAreIdenticalOnlyWhenEveryOneEqualsTheFirst) {
  const struct {
    std::vector<uint32_t> values;
    uint32_t identical;
  } cases[] = {{{1}, 1}, {{1, 1, 1}, 1}, {{1, 1, 2}, 0}, {{2, 1, 1}, 0}};
  for (const auto& c : cases) {
    ConflictGroup group;
    for (uint32_t value : c.values) AddVersion(group, ParseRecord(Misc("x", value)), "");
    AllVersionsIdentical(group, true);
    EXPECT_EQ(group.allIdentical, c.identical) << c.values.size();
  }
}

}  // namespace
}  // namespace modrake
