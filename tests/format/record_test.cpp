#include "format/record.hpp"

#include <gtest/gtest.h>

#include "support/records.hpp"
#include "support/test_support.hpp"

namespace modrake {
namespace {

using test::Bytes;
using test::Field;
using test::U32Field;
using test::ZField;

std::string CellData(uint32_t flags, int32_t x, int32_t y) {
  return Field("DATA", Bytes().U32(flags).I32(x).I32(y).str());
}

// The id the logs and the report show for a record.
TEST(RecordTest, DisplayIdFollowsTheRuleOfEachTag) {
  const struct {
    const char* what;
    const char* tag;
    std::string fields;
    const char* expected;
  } cases[] = {
      {"exterior cell named by region", "CELL",
       ZField("NAME", "") + CellData(2, 10, -20) + ZField("RGNN", "Bitter Coast Region"),
       " 10 -20, Bitter Coast Region"},
      {"exterior cell without name or region", "CELL", Field("NAME", "") + CellData(0, -3, 7),
       " -3   7"},
      {"interior cell with empty name and no region", "CELL",
       ZField("NAME", "") + CellData(1, 0, 0), "<<UNKNOWN>>"},
      {"path grid", "PGRD",
       Field("DATA", Bytes().I32(4).I32(-5).U32(0).str()) + ZField("NAME", "Seyda Neen"),
       "  4  -5, Seyda Neen"},
      {"magic effect", "MGEF", U32Field("INDX", 85), " 85"},
      {"start script", "SSCR", ZField("DATA", "123456") + ZField("NAME", "Main"), "123456"},
      {"script name cut at 31 characters", "SCPT",
       Field("SCHD", Bytes().Fixed("a_script_name_that_is_very_long_indeed", 32).Zeros(20).str()),
       "a_script_name_that_is_very_long"},
  };
  for (const auto& c : cases) {
    auto record = RecordFromBytes(test::RecordBytes(c.tag, c.fields));
    EXPECT_EQ(record->GetDisplayId(), c.expected) << c.what;
    // Read only to be looked at (dump, the index), the record gives the same id.
    RecordView view{record->Header(), record->RawData()};
    view.header.dataSize = static_cast<uint32_t>(c.fields.size());
    EXPECT_EQ(view.GetDisplayId(), c.expected) << c.what << " (viewed)";
  }
  EXPECT_TRUE(RecordFromBytes(test::Misc("x", 1, kDeletedFlag))->IsDeleted());
  EXPECT_TRUE(RecordFromBytes(test::RecordBytes("MISC", U32Field("DELE", 0)))->IsDeleted());
  EXPECT_FALSE(RecordFromBytes(test::Misc("x", 1, kComparedFlag))->IsDeleted());
}

}  // namespace
}  // namespace modrake
