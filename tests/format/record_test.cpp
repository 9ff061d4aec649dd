#include "format/record.hpp"

#include <gtest/gtest.h>

#include <cstring>

#include "support/test_support.hpp"

namespace modrake {
namespace {

using test::Bytes;
using test::Field;
using test::U32Field;
using test::ZField;

std::unique_ptr<Record> Make(std::string_view tag, const std::string& fields, uint32_t flags = 0) {
  RecordHeader header{0, 0, 0, flags};
  std::memcpy(&header.tag, tag.data(), 4);
  auto record = CreateRecord(header);
  record->SetData(reinterpret_cast<uint8_t*>(const_cast<char*>(fields.data())),
                  static_cast<uint32_t>(fields.size()), Record::DataMode::Copy);
  return record;
}

std::string CellData(uint32_t flags, int32_t x, int32_t y) {
  return Field("DATA", Bytes().U32(flags).I32(x).I32(y).str());
}

struct DisplayIdCase {
  const char* what;
  const char* tag;
  std::string fields;
  const char* expected;
};

TEST(RecordTest, DisplayIdFollowsTheRuleOfEachTag) {
  const DisplayIdCase cases[] = {
      {"exterior cell with name", "CELL", ZField("NAME", "Balmora") + CellData(0, -3, 7),
       " -3   7, Balmora"},
      {"exterior cell named by region", "CELL",
       ZField("NAME", "") + CellData(2, 10, -20) + ZField("RGNN", "Bitter Coast Region"),
       " 10 -20, Bitter Coast Region"},
      {"exterior cell without name or region", "CELL", Field("NAME", "") + CellData(0, -3, 7),
       " -3   7"},
      {"interior cell", "CELL", ZField("NAME", "Balmora, Guild of Mages") + CellData(1, 0, 0),
       "Balmora, Guild of Mages"},
      {"interior cell with empty name falls back to region", "CELL",
       ZField("NAME", "") + CellData(1, 0, 0) + ZField("RGNN", "Ascadian Isles Region"),
       "Ascadian Isles Region"},
      {"interior cell with empty name and no region", "CELL",
       ZField("NAME", "") + CellData(1, 0, 0), "<<UNKNOWN>>"},
      {"path grid of an exterior", "PGRD",
       Field("DATA", Bytes().I32(4).I32(-5).U32(0).str()) + ZField("NAME", "Seyda Neen"),
       "  4  -5, Seyda Neen"},
      {"path grid of an interior", "PGRD",
       Field("DATA", Bytes().I32(0).I32(0).U32(0).str()) + ZField("NAME", "Arrille's Tradehouse"),
       "  0   0, Arrille's Tradehouse"},
      {"landscape", "LAND", Field("INTV", Bytes().I32(-12).I32(3).str()), "-12   3"},
      {"magic effect", "MGEF", U32Field("INDX", 85), " 85"},
      {"skill", "SKIL", U32Field("INDX", 7), "  7"},
      {"dialogue response", "INFO", ZField("INAM", "1234567890123") + ZField("PNAM", ""),
       "1234567890123"},
      {"start script", "SSCR", ZField("DATA", "123456") + ZField("NAME", "Main"), "123456"},
      {"script name cut at 31 characters", "SCPT",
       Field("SCHD", Bytes().Fixed("a_script_name_that_is_very_long_indeed", 32).Zeros(20).str()),
       "a_script_name_that_is_very_long"},
      {"object by NAME", "ARMO", ZField("NAME", "steel_cuirass") + ZField("MODL", "a.nif"),
       "steel_cuirass"},
      {"empty NAME", "MISC", Field("NAME", std::string(1, '\0')), "<<NONAME>>"},
      {"no NAME", "MISC", ZField("MODL", "m.nif"), "<<UNKNOWN>>"},
      {"no fields at all", "GLOB", "", "<<UNKNOWN>>"},
  };
  for (const auto& c : cases) {
    auto record = Make(c.tag, c.fields);
    EXPECT_EQ(record->GetDisplayId(), c.expected) << c.what;
    // Read only to be looked at (dump, the index), the record gives the same id.
    RecordView view{record->Header(), record->RawData()};
    view.header.dataSize = static_cast<uint32_t>(c.fields.size());
    EXPECT_EQ(view.GetDisplayId(), c.expected) << c.what << " (viewed)";
  }
}

TEST(RecordTest, DeletedByFlagOrByDeleField) {
  EXPECT_TRUE(Make("MISC", ZField("NAME", "x"), kDeletedFlag)->IsDeleted());
  EXPECT_TRUE(Make("MISC", ZField("NAME", "x") + U32Field("DELE", 0))->IsDeleted());
  EXPECT_FALSE(Make("MISC", ZField("NAME", "x"), kComparedFlag)->IsDeleted());
}

TEST(RecordTest, EmptyRecordStaysEmptyThroughRebuild) {
  auto record = Make("MISC", "");
  EXPECT_TRUE(record->subrecords.empty());
  record->RebuildData();
  EXPECT_EQ(record->dataSize, 0u);
}

TEST(RecordTest, ParsedHedrCarriesTheFileBytesNotTheDefaultBlock) {
  std::string hedr = Bytes().F32(1.2f).U32(1).Fixed("someone", 32).Fixed("text", 256).U32(9).str();
  auto record = Make("TES3", Field("HEDR", hedr));
  Subrecord* field = record->FindSubrecord(tags::HEDR);
  ASSERT_NE(field, nullptr);
  HeaderSubrecord block(*field);
  EXPECT_FLOAT_EQ(block.Version(), 1.2f);
  EXPECT_EQ(block.Author(), "someone");
  EXPECT_EQ(block.RecordCount(), 9u);
  EXPECT_FALSE(field->OwnsData());
}

TEST(RecordTest, NewHedrIsTheDefaultHeaderBlock) {
  SubrecordList list;
  Subrecord& hedr = CreateSubrecord(list, list.end(), {tags::HEDR, 12});
  ASSERT_EQ(hedr.size, 300u);
  EXPECT_EQ(hedr.UInt32At(0), 0x3FA66666u);
  for (uint32_t i = 4; i < 300; ++i) ASSERT_EQ(hedr.data[i], 0) << i;
  Subrecord& plain = CreateSubrecord(list, list.end(), {tags::NAME, 12});
  EXPECT_EQ(plain.size, 0u);
}

TEST(RecordTest, SetStringOfSameLengthWritesIntoTheRawDataUntilRebuild) {
  auto record = Make("MISC", ZField("NAME", "abc") + ZField("MODL", "x.nif"));
  Subrecord* name = record->FindSubrecord(tags::NAME);
  name->SetString("xyz");
  EXPECT_FALSE(name->OwnsData());
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(record->RawData()) + 8, 3), "xyz");
  name->SetString("longer");
  EXPECT_TRUE(name->OwnsData());
  record->RebuildData();
  EXPECT_EQ(record->GetDisplayId(), "longer");
  EXPECT_EQ(record->dataSize, 8u + 7u + 8u + 6u);
}

TEST(RecordTest, SetFollowingDataChangesOrInsertsTheDataAfterAMaster) {
  auto header =
      Make("TES3", ZField("MAST", "Morrowind.esm") + Field("DATA", Bytes().U32(5).U32(0).str()) +
                       ZField("MAST", "Tribunal.esm") + ZField("MAST", "Bloodmoon.esm"));
  auto it = header->subrecords.begin();
  header->SetFollowingData(*it, 79837557);
  header->SetFollowingData(*std::next(it, 2), 4565686);
  header->SetFollowingData(header->subrecords.back(), 9631798);
  header->RebuildData();
  std::vector<std::pair<std::string, uint32_t>> seen;
  for (auto f = header->subrecords.begin(); f != header->subrecords.end(); ++f) {
    if (f->tag == tags::MAST) {
      auto data = std::next(f);
      ASSERT_NE(data, header->subrecords.end());
      ASSERT_EQ(data->tag, tags::DATA);
      ASSERT_EQ(data->size, 8u);
      seen.emplace_back(std::string(f->Text()), data->UInt32At(0));
    }
  }
  std::vector<std::pair<std::string, uint32_t>> expected = {
      {"Morrowind.esm", 79837557}, {"Tribunal.esm", 4565686}, {"Bloodmoon.esm", 9631798}};
  EXPECT_EQ(seen, expected);
}

TEST(RecordTest, RebuildAfterRemoveAndAddGivesExactDataSize) {
  auto record = Make("CELL", ZField("NAME", "Vivec") + CellData(1, 0, 0) +
                                 Field("WHGT", Bytes().F32(-1).str()) +
                                 Field("AMBI", Bytes().Zeros(16).str()));
  record->RemoveSubrecord(record->FindSubrecord(tags::WHGT));
  Subrecord& added = CreateSubrecord(record->subrecords, record->subrecords.end(), {tags::NAM0, 0});
  added.SetUInt32(3);
  EXPECT_FALSE(record->RawDataCurrent());
  record->RebuildData();
  uint32_t sum = 0;
  for (const auto& f : record->subrecords) sum += 8 + f.size;
  EXPECT_EQ(record->dataSize, sum);
  EXPECT_EQ(record->FindSubrecord(tags::WHGT), nullptr);
  EXPECT_EQ(record->FindSubrecord(tags::NAM0)->UInt32At(0), 3u);
  EXPECT_TRUE(record->RawDataCurrent());
}

TEST(RecordTest, RecordKindsLinkTheirFields) {
  auto levc = Make("LEVC", ZField("NAME", "lev_c") + U32Field("DATA", 1) +
                               Field("NNAM", std::string(1, '\x19')) + U32Field("INDX", 1) +
                               ZField("CNAM", "rat") + Field("INTV", Bytes().U16(1).str()));
  auto* list = dynamic_cast<LeveledListRecord*>(levc.get());
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->entryTag, tags::CNAM);
  EXPECT_EQ(list->indx->UInt32At(0), 1u);
  EXPECT_EQ(list->nnam->ByteAt(0), 25);
  auto levi = Make("LEVI", ZField("NAME", "lev_i"));
  EXPECT_EQ(dynamic_cast<LeveledListRecord*>(levi.get())->entryTag, tags::INAM);
  auto npc = Make("NPC_", ZField("NAME", "fargoth") + ZField("RNAM", "Wood Elf"));
  EXPECT_EQ(dynamic_cast<NpcRecord*>(npc.get())->rnam->Text(), "Wood Elf");
  auto body =
      Make("BODY", ZField("NAME", "b_n_dark elf_m_neck") + Field("BYDT", Bytes().Zeros(4).str()));
  EXPECT_EQ(dynamic_cast<BodyPartRecord*>(body.get())->bydt->size, 4u);
}

TEST(RecordTest, FieldRunningPastTheRecordStopsTheParseWithItsOffset) {
  std::string fields = ZField("NAME", "ok") + Bytes().Text("MODL").U32(1000).Text("abc").str();
  auto record = Make("MISC", fields);
  EXPECT_EQ(record->ParseErrorOffset(), 11u);
  EXPECT_EQ(record->subrecords.size(), 1u);
  auto cut = Make("MISC", ZField("NAME", "ok") + "MOD");
  EXPECT_EQ(cut->ParseErrorOffset(), 11u);
}

TEST(RecordTest, CloneSharesNothingWithItsSource) {
  auto source =
      Make("MISC", ZField("NAME", "gold_001") + Field("MCDT", Bytes().Zeros(12).str()), 0x400);
  auto clone = CloneRecord(source.get());
  ASSERT_NE(clone, nullptr);
  EXPECT_EQ(clone->flags, 0x400u);
  EXPECT_NE(clone->RawData(), source->RawData());
  source->FindSubrecord(tags::NAME)->SetString("gold_002");
  EXPECT_EQ(clone->GetDisplayId(), "gold_001");
  EXPECT_EQ(CloneRecord(nullptr), nullptr);
}

}  // namespace
}  // namespace modrake
