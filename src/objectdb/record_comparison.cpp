#include "objectdb/record_comparison.hpp"

#include <cstring>

namespace modrake {

namespace {
struct Range {
  const uint8_t* data;
  uint32_t size;
};

Range ComparedRange(const Record& record, bool fromData) {
  Range whole{record.RawData(), record.dataSize};
  if (!fromData) return whole;
  const Subrecord* data = record.FindSubrecord(tags::DATA);
  const uint8_t* raw = record.RawData();
  // The DATA payload must lie in the raw data for the range to mean anything.
  if (!data || !raw || data->data < raw || data->data > raw + record.dataSize) return whole;
  uint32_t offset = static_cast<uint32_t>(data->data - raw);
  return {data->data, record.dataSize - offset};
}
}  // namespace

bool RecordsEqual(const Record& a, const Record& b, bool unrestrictedDialog) {
  bool fromData = unrestrictedDialog && a.tag == tags::INFO && a.FindSubrecord(tags::DATA) &&
                  b.FindSubrecord(tags::DATA);
  Range ra = ComparedRange(a, fromData);
  Range rb = ComparedRange(b, fromData);
  if (ra.size != rb.size) return false;
  if ((a.flags & kComparedFlag) != (b.flags & kComparedFlag)) return false;
  return ra.size == 0 || std::memcmp(ra.data, rb.data, ra.size) == 0;
}

bool SameAsEarlierMaster(const Record& earlier, const Record& later, bool unrestrictedDialog) {
  if (later.IsDeleted()) return false;
  if (earlier.tag == tags::CELL) return false;
  return RecordsEqual(earlier, later, unrestrictedDialog);
}

void NormaliseAiData(Record& record) {
  Subrecord* aidt = record.FindSubrecord(tags::AIDT);
  if (!aidt || !aidt->data) return;
  if (aidt->size > 1) aidt->data[1] = 0;
  for (uint32_t i = 5; i <= 7 && i < aidt->size; ++i) aidt->data[i] = 0xFF;
}

void PadSpellEntries(Record& record) {
  if (record.tag != tags::BSGN && record.tag != tags::CREA && record.tag != tags::RACE &&
      record.tag != tags::NPC_) {
    return;
  }
  bool widened = false;
  for (Subrecord& field : record.Fields()) {
    if (field.tag != tags::NPCS || field.size >= 32) continue;
    uint8_t padded[32] = {};
    if (field.size) std::memcpy(padded, field.data, field.size);
    field.SetBytes(padded, 32);
    widened = true;
  }
  if (widened) record.RebuildData();
}

bool SubrecordDiffers(const Record& a, const Record& b, Tag tag) {
  const Subrecord* x = a.FindSubrecord(tag);
  const Subrecord* y = b.FindSubrecord(tag);
  if (!x && !y) return false;
  if (!x || !y) return true;
  return !x->SameBytes(*y);
}

bool GameSettingValuesEqual(char type, const Record& a, const Record& b) {
  switch (type) {
    case 'f': {
      const Subrecord* x = a.FindSubrecord(tags::FLTV);
      const Subrecord* y = b.FindSubrecord(tags::FLTV);
      if (!x || !y || x->size < 4 || y->size < 4) return false;
      return x->FloatAt(0) == y->FloatAt(0);
    }
    case 'i': {
      const Subrecord* x = a.FindSubrecord(tags::INTV);
      const Subrecord* y = b.FindSubrecord(tags::INTV);
      if (!x || !y || x->size < 4 || y->size < 4) return false;
      return x->UInt32At(0) == y->UInt32At(0);
    }
    case 's': {
      const Subrecord* x = a.FindSubrecord(tags::STRV);
      const Subrecord* y = b.FindSubrecord(tags::STRV);
      if (!x || !y || x->size != y->size) return false;
      for (uint32_t i = 0; i < x->size; ++i) {
        if (x->data[i] != y->data[i]) return false;
        if (x->data[i] == 0) break;
      }
      return true;
    }
    default:
      return false;
  }
}

}  // namespace modrake
