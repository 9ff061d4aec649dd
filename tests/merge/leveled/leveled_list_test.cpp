#include "merge/leveled/leveled_list.hpp"

#include <gtest/gtest.h>

#include "support/test_support.hpp"

namespace modrake {
namespace {

using test::Bytes;
using test::Field;
using test::U32Field;
using test::ZField;

std::unique_ptr<LeveledListRecord> Make(Tag tag, const std::string& fields) {
  auto record = CreateRecord({tag, 0, 0, 0});
  record->SetData(reinterpret_cast<uint8_t*>(const_cast<char*>(fields.data())),
                  static_cast<uint32_t>(fields.size()), Record::DataMode::Copy);
  return std::unique_ptr<LeveledListRecord>(static_cast<LeveledListRecord*>(record.release()));
}

std::string Entry(const char* tag, const char* id, uint16_t level) {
  return ZField(tag, id) + Field("INTV", Bytes().U16(level).str());
}

// The field tags in order, and what a save would write for NNAM and INDX.
std::string Layout(LeveledListRecord& list) {
  list.RebuildData();
  std::string text;
  for (const Subrecord& field : list.subrecords) text += TagText(field.tag) + " ";
  if (list.nnam) text += "none=" + std::to_string(list.nnam->ByteAt(0)) + " ";
  if (list.indx) text += "count=" + std::to_string(list.indx->UInt32At(0));
  return text;
}

TEST(LeveledListTest, NoneChanceIsStoredOrPlacedAfterData) {
  const struct {
    const char* what;
    std::string fields;
    const char* expected;
  } cases[] = {
      {"present NNAM is overwritten",
       ZField("NAME", "l") + U32Field("DATA", 0) + Field("NNAM", Bytes().U8(50).str()) +
           U32Field("INDX", 0),
       "NAME DATA NNAM INDX none=7 count=0"},
      {"missing NNAM goes right after DATA",
       ZField("NAME", "l") + U32Field("DATA", 0) + U32Field("INDX", 1) + Entry("INAM", "a", 1),
       "NAME DATA NNAM INDX INAM INTV none=7 count=1"},
      {"without DATA it goes to the head", ZField("NAME", "l") + U32Field("INDX", 0),
       "NNAM NAME INDX none=7 count=0"},
      {"an empty NNAM gets its byte", ZField("NAME", "l") + Field("NNAM", ""), "NAME NNAM none=7 "},
  };
  for (const auto& c : cases) {
    auto list = Make(tags::LEVI, c.fields);
    SetNoneChance(*list, 7);
    EXPECT_EQ(Layout(*list), c.expected) << c.what;
  }
}

TEST(LeveledListTest, RecountCountsEveryEntryFieldAndStoresOnlyIntoIndx) {
  auto creatures =
      Make(tags::LEVC, ZField("NAME", "c") + U32Field("INDX", 9) + Entry("CNAM", "rat", 1) +
                           Entry("INAM", "not_an_entry", 1) + Entry("CNAM", "rat", 1));
  EXPECT_EQ(RecountEntries(*creatures), 2u);
  EXPECT_EQ(creatures->indx->UInt32At(0), 2u);
  auto noIndx = Make(tags::LEVI, ZField("NAME", "i") + Entry("INAM", "a", 1));
  EXPECT_EQ(RecountEntries(*noIndx), 1u);
  EXPECT_EQ(Layout(*noIndx), "NAME INAM INTV ");
}

TEST(LeveledListTest, FindEntryMatchesIdInAnyCaseAndExactLevel) {
  auto list =
      Make(tags::LEVI, ZField("NAME", "l") + U32Field("INDX", 3) + Entry("INAM", "Gold_001", 1) +
                           Entry("INAM", "gold_001", 5) + ZField("INAM", "last_without_level"));
  const struct {
    const char* id;
    uint16_t level;
    const char* found;  // the id of the field found, or null
    uint16_t foundLevel;
  } cases[] = {
      {"GOLD_001", 1, "Gold_001", 1}, {"Gold_001", 5, "gold_001", 5},
      {"Gold_001", 2, nullptr, 0},    {"last_without_level", 1, nullptr, 0},
      {"Gold_00", 1, nullptr, 0},
  };
  for (const auto& c : cases) {
    Subrecord* found = FindEntry(*list, c.id, c.level);
    if (!c.found) {
      EXPECT_EQ(found, nullptr) << c.id << "@" << c.level;
      continue;
    }
    ASSERT_NE(found, nullptr) << c.id << "@" << c.level;
    EXPECT_EQ(found->Text(), c.found);
    EXPECT_EQ(std::next(list->IteratorOf(found))->UInt16At(0), c.foundLevel);
  }
}

TEST(LeveledListTest, InsertAfterMovesAChainFromAnotherList) {
  auto target = Make(tags::LEVI, ZField("NAME", "t") + U32Field("INDX", 1) + Entry("INAM", "a", 1));
  auto source =
      Make(tags::LEVI, ZField("NAME", "s") + Entry("INAM", "b", 2) + Entry("INAM", "c", 3));
  auto from = std::next(source->subrecords.begin());
  for (auto it = from; it != source->subrecords.end(); ++it) it->MakeOwned();
  InsertSubrecordAfter(*target, target->indx, source->subrecords, from);
  source.reset();
  EXPECT_EQ(Layout(*target), "NAME INDX INAM INTV INAM INTV INAM INTV count=1");
  EXPECT_EQ(FindEntry(*target, "c", 3), &*std::next(target->subrecords.begin(), 4));
}

}  // namespace
}  // namespace modrake
