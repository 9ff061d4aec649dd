#include "objectdb/record_comparison.hpp"

#include <gtest/gtest.h>

#include <cmath>

#include "support/test_game.hpp"

namespace modrake {
namespace {

using namespace test;

TEST(RecordComparisonTest, EqualityCases) {
  const struct {
    const char* what;
    std::string a, b;
    bool equal;
  } cases[] = {
      {"responses differing in text", Response("1", "0", "2", "hi"), Response("1", "0", "2", "ho"),
       false},
      {"flag 0x2000 does not count", Misc("a", 1, 0x2000), Misc("a", 1), true},
      {"flag 0x400 counts", Misc("a", 1, 0x400), Misc("a", 1), false},
      {"different lengths", Misc("a", 1), Misc("ab", 1), false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(RecordsEqual(*RecordFromBytes(c.a), *RecordFromBytes(c.b), true), c.equal) << c.what;
  }
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
  EXPECT_FALSE(GameSettingValuesEqual('i', *i(1), *i(2)));
  EXPECT_FALSE(GameSettingValuesEqual('s', *s("abcde"), *s("abcdef")));
  EXPECT_TRUE(
      GameSettingValuesEqual('s', *s(std::string("ab\0x", 4)), *s(std::string("ab\0y", 4))));
  EXPECT_FALSE(GameSettingValuesEqual('x', *f(1), *f(1)));
  EXPECT_FALSE(GameSettingValuesEqual('f', *f(1), *i(1)));
}

}  // namespace
}  // namespace modrake
