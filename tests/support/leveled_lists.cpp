#include "support/leveled_lists.hpp"

#include "support/test_support.hpp"

namespace modrake::test {

std::string ListBytes(const List& list) {
  std::string fields = ZField("NAME", list.id);
  if (list.dele) fields += U32Field("DELE", 0);
  fields += U32Field("DATA", list.flags);
  if (list.chance >= 0)
    fields += Field("NNAM", Bytes().U8(static_cast<uint8_t>(list.chance)).str());
  fields += U32Field("INDX", static_cast<uint32_t>(list.entries.size()));
  const char* entryTag = list.tag == "LEVC" ? "CNAM" : "INAM";
  for (const ListEntry& entry : list.entries) {
    fields += ZField(entryTag, entry.id) + Field("INTV", Bytes().U16(entry.level).str());
  }
  return RecordBytes(list.tag, fields, list.recordFlags);
}

std::string DescribeList(const Record& record) {
  auto value = [&](Tag tag, bool byte) {
    const Subrecord* field = record.FindSubrecord(tag);
    if (!field) return std::string("-");
    return std::to_string(byte ? field->ByteAt(0) : field->UInt32At(0));
  };
  std::string text = TagText(record.tag) + " " + record.GetDisplayId() +
                     " flags=" + value(tags::DATA, false) + " none=" + value(tags::NNAM, true) +
                     " count=" + value(tags::INDX, false) + ":";
  Tag entryTag = record.tag == tags::LEVC ? tags::CNAM : tags::INAM;
  auto it = record.subrecords.begin();
  while (it != record.subrecords.end() && it->tag != entryTag) ++it;
  while (it != record.subrecords.end()) {
    auto next = std::next(it);
    text += " " + std::string(it->Text()) + "@" +
            (next == record.subrecords.end() ? "-" : std::to_string(next->UInt16At(0)));
    if (next == record.subrecords.end()) break;
    it = std::next(next);
  }
  return text;
}

}  // namespace modrake::test
