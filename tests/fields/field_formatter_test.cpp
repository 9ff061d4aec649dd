#include "fields/field_formatter.hpp"

#include <gtest/gtest.h>

#include <iterator>

#include "support/records.hpp"
#include "support/test_support.hpp"

namespace modrake {
namespace {

using test::Bytes;
using test::Field;
using test::ZField;

struct FormatCase {
  const char* what;
  const char* record;
  std::string fields;
  unsigned at;  // which subrecord is shown
  const char* label;
  std::string value;
  unsigned span;
};

TEST(FieldFormatterTest, ShowsEachKindOfField) {
  const std::string position = Bytes().F32(1).F32(2).F32(3).F32(0.5f).F32(0).F32(-1).str();
  const FormatCase cases[] = {
      {"reference without a NAME next", "CELL",
       Field("FRMR", Bytes().U32(0x123456).str()) + Field("DATA", position), 0, "FRMR",
       "1193046, 0", 1},
      {"moved reference with its grid", "CELL",
       Field("MVRF", Bytes().U32(7).str()) + Field("CNDT", Bytes().I32(-2).I32(5).str()), 0,
       "MVRF/CNDT", "7, 0 / XY=(-2, 5)", 2},
      {"body part with male and female part", "ARMO",
       Field("INDX", Bytes().U8(3).str()) + ZField("BNAM", "a_m") + ZField("CNAM", "a_f"), 0,
       "INDX/BNAM/CNAM", "3 / a_m / a_f", 3},
      {"body part with female part first", "CLOT",
       Field("INDX", Bytes().U8(4).str()) + ZField("CNAM", "c_f") + ZField("MODL", "x.nif"), 0,
       "INDX/CNAM", "4 / c_f", 2},
      {"skill index is never shown", "SKIL", Field("INDX", Bytes().U32(3).str()), 0, "INDX", "", 0},
      {"object id is never shown", "WEAP", ZField("NAME", "iron_sword"), 0, "NAME", "", 0},
      {"response id is shown", "INFO", ZField("NAME", "Hello there"), 0, "NAME", "Hello there", 1},
      {"line breaks as bars", "BOOK", Field("TEXT", "x") + ZField("FNAM", "Line\r\nTwo"), 1, "FNAM",
       "Line||Two", 1},
      {"long text cut at 512", "BOOK", ZField("FNAM", std::string(600, 'a')), 0, "FNAM",
       std::string(512, 'a'), 1},
      {"short global shows whole number", "GLOB",
       Field("FNAM", "s") + Field("FLTV", Bytes().F32(2.7f).str()), 0, "FNAM/FLTV", "s / 2", 2},
      {"float global", "GLOB", Field("FNAM", "f") + Field("FLTV", Bytes().F32(2.7f).str()), 0,
       "FNAM/FLTV", "f / 2.70", 2},
      {"global beyond the integer range", "GLOB",
       Field("FNAM", "l") + Field("FLTV", Bytes().F32(1e20f).str()), 0, "FNAM/FLTV",
       "l / -2147483648", 2},
      {"exterior cell data", "CELL", Field("DATA", Bytes().U32(2).I32(-3).I32(7).str()), 0, "DATA",
       "Flags=00000002, XY=(-3, 7)", 1},
      {"path grid data is never shown", "PGRD", Field("DATA", Bytes().U32(0).str()), 0, "DATA", "",
       0},
      {"unknown tag", "WEAP", Field("ZZZZ", std::string(10, 'x')), 0, "ZZZZ",
       "  <<UNDEFINED>> (10 bytes)", 1},
      {"signed members of a response", "INFO",
       Field("DATA", Bytes().U32(0).U32(30).U8(0xFF).U8(1).U8(0xFE).U8(0).str()), 0, "DATA",
       "Flag1=0, Disposition=30, Rank=-1, Gender=1, PCRank=-2, Flag2=0", 1},
      {"activate package", "NPC_", Field("AI_A", Bytes().Text("Azura").U8(0).U8(1).str()), 0,
       "AI_A", "Azura, 1", 1},
      {"escort package with its cell", "NPC_",
       Field("AI_E", Bytes().F32(1).F32(2).F32(3).U16(24).Fixed("guard", 32).U16(0).str()) +
           ZField("CNDT", "Balmora"),
       0, "AI_E/CNDT", "XYZ=(1.00, 2.00, 3.00), Duration=24, Name: guard / Balmora", 2},
      {"carried item", "NPC_", Field("NPCO", Bytes().I32(-1).Fixed("gold_001", 32).str()), 0,
       "NPCO", "-1, gold_001", 1},
      {"region sound padded", "REGN", Field("SNAM", Bytes().Fixed("wind", 32).U8(20).str()), 0,
       "SNAM", "wind                             20", 1},
      {"leveled item entry", "LEVI",
       ZField("INAM", "iron_dagger") + Field("INTV", Bytes().U16(5).str()), 0, "INAM/INTV",
       "iron_dagger / 5", 2},
      {"landscape grid is never shown", "LAND", Field("INTV", Bytes().I32(1).I32(2).str()), 0,
       "INTV", "", 0},
      {"deleted cell marker", "CELL", Field("DELE", Bytes().U32(0).str()), 0, "DELE", "0", 1},
      {"deleted object marker is never shown", "WEAP", Field("DELE", Bytes().U32(0).str()), 0,
       "DELE", "", 0},
      {"door destination with its cell", "NPC_", Field("DODT", position) + ZField("DNAM", "Vivec"),
       0, "DODT/DNAM", "XYZ=(1.00, 2.00, 3.00) ROT=(0.50, 0.00, -1.00) / Vivec", 2},
      {"byte-count field", "NPC_", Field("NPDT", Bytes().U32(1).str()), 0, "NPDT", " << 4 bytes >>",
       1},
  };
  for (const auto& c : cases) {
    auto record = RecordFromBytes(test::RecordBytes(c.record, c.fields));
    std::string label = "old", value = "old";
    unsigned span = FormatField(*record, std::next(record->Fields().cbegin(), c.at), label, value);
    EXPECT_EQ(span, c.span) << c.what;
    EXPECT_EQ(label, c.label) << c.what;
    EXPECT_EQ(value, c.value) << c.what;
  }
}

}  // namespace
}  // namespace modrake
