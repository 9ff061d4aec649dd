#include "objectdb/record_comparison.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "support/test_game.hpp"

namespace modrake {
namespace {

using namespace test;

TEST(RecordComparisonTest, EqualityCases) {
  struct Case {
    const char* what;
    std::string a, b;
    bool unrestricted;
    bool equal;
  };
  const Case cases[] = {
      {"same bytes", Misc("a", 1), Misc("a", 1), true, true},
      {"one field differs", Misc("a", 1), Misc("a", 2), true, false},
      {"responses differing only in links, unrestricted", Response("1", "0", "2", "hi"),
       Response("1", "9", "7", "hi"), true, true},
      {"responses differing only in links, restricted", Response("1", "0", "2", "hi"),
       Response("1", "9", "7", "hi"), false, false},
      {"responses differing in text", Response("1", "0", "2", "hi"), Response("1", "0", "2", "ho"),
       true, false},
      {"flag 0x2000 does not count", Misc("a", 1, 0x2000), Misc("a", 1), true, true},
      {"flag 0x400 counts", Misc("a", 1, 0x400), Misc("a", 1), true, false},
      {"different lengths", Misc("a", 1), Misc("ab", 1), true, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(RecordsEqual(*RecordFromBytes(c.a), *RecordFromBytes(c.b), c.unrestricted), c.equal)
        << c.what;
  }
}

TEST(RecordComparisonTest, LaterMasterRepeatsOnlyWhenNotDeletedAndNotACell) {
  EXPECT_TRUE(
      SameAsEarlierMaster(*RecordFromBytes(Misc("a", 1)), *RecordFromBytes(Misc("a", 1)), true));
  EXPECT_FALSE(SameAsEarlierMaster(*RecordFromBytes(Misc("a", 1)),
                                   *RecordFromBytes(Misc("a", 1, 0x20)), true));
  std::string cell = Cell("Vivec", 1, 0, 0, Field("WHGT", Bytes().F32(0).str()));
  EXPECT_FALSE(SameAsEarlierMaster(*RecordFromBytes(cell), *RecordFromBytes(cell), true));
}

TEST(RecordComparisonTest, NormaliseAiDataSetsTheInconsistentBytes) {
  auto npc = RecordFromBytes(RecordBytes(
      "NPC_",
      ZField("NAME", "a") +
          Field("AIDT", Bytes().U8(30).U8(7).U8(1).U8(2).U8(3).U8(4).U8(5).U8(6).U32(9).str())));
  NormaliseAiData(*npc);
  const Subrecord* aidt = npc->FindSubrecord(tags::AIDT);
  std::vector<uint8_t> bytes(aidt->data, aidt->data + aidt->size);
  EXPECT_EQ(bytes, (std::vector<uint8_t>{30, 0, 1, 2, 3, 0xFF, 0xFF, 0xFF, 9, 0, 0, 0}));
  EXPECT_EQ(npc->RawData()[8 + 2 + 8 + 1], 0) << "changed in the raw data too";
}

TEST(RecordComparisonTest, GameSettingValues) {
  auto f = [](float v) {
    return RecordFromBytes(
        RecordBytes("GMST", ZField("NAME", "fX") + Field("FLTV", Bytes().F32(v).str())));
  };
  auto s = [](const std::string& v) {
    return RecordFromBytes(RecordBytes("GMST", ZField("NAME", "sX") + Field("STRV", v)));
  };
  auto i = [](int32_t v) {
    return RecordFromBytes(
        RecordBytes("GMST", ZField("NAME", "iX") + Field("INTV", Bytes().I32(v).str())));
  };
  EXPECT_TRUE(GameSettingValuesEqual('f', *f(0.0f), *f(-0.0f)));
  EXPECT_FALSE(GameSettingValuesEqual('f', *f(NAN), *f(NAN)));
  EXPECT_TRUE(GameSettingValuesEqual('f', *f(1.5f), *f(1.5f)));
  EXPECT_TRUE(GameSettingValuesEqual('i', *i(10000), *i(10000)));
  EXPECT_FALSE(GameSettingValuesEqual('i', *i(1), *i(2)));
  EXPECT_FALSE(GameSettingValuesEqual('s', *s("abcde"), *s("abcdef")));
  EXPECT_TRUE(
      GameSettingValuesEqual('s', *s(std::string("ab\0x", 4)), *s(std::string("ab\0y", 4))));
  EXPECT_FALSE(GameSettingValuesEqual('x', *f(1), *f(1)));
  EXPECT_FALSE(GameSettingValuesEqual('f', *f(1), *i(1)));
}

}  // namespace
}  // namespace modrake
