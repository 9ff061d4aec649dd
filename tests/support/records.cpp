#include "support/records.hpp"

#include <cstring>
#include <map>
#include <set>

#include "core/text.hpp"
#include "format/plugin_file.hpp"
#include "support/test_support.hpp"

namespace modrake::test {

std::string BytesOf(const Record& record) {
  return Bytes()
             .U32(record.tag)
             .U32(record.dataSize)
             .U32(record.headerWord)
             .U32(record.flags)
             .str() +
         std::string(reinterpret_cast<const char*>(record.RawData()), record.dataSize);
}

std::string Misc(const std::string& id, uint32_t value, uint32_t flags) {
  return RecordBytes("MISC",
                     ZField("NAME", id) + ZField("MODL", "m\\misc.nif") +
                         Field("MCDT", Bytes().F32(1.0f).U32(value).U32(0).str()),
                     flags);
}

std::string Weapon(const std::string& id, float weight, uint32_t value, const std::string& name,
                   uint8_t chopMax) {
  Bytes data;
  data.F32(weight).U32(value).U16(1).U16(300).F32(1.0f).F32(1.0f).U16(0);
  data.U8(1).U8(chopMax).U8(1).U8(5).U8(1).U8(5).U32(0);
  return RecordBytes("WEAP", ZField("NAME", id) + ZField("MODL", "w\\weapon.nif") +
                                 ZField("FNAM", name.empty() ? id : name) +
                                 Field("WPDT", data.str()));
}

std::string Armour(const std::string& id, uint32_t type, uint32_t value,
                   const std::vector<BodyPart>& parts) {
  std::string fields =
      ZField("NAME", id) + ZField("MODL", "a\\armour.nif") + ZField("FNAM", id) +
      Field("AODT", Bytes().U32(type).F32(10.0f).U32(value).U32(100).U32(0).U32(8).str()) +
      ZField("ITEX", "a\\armour.dds");
  for (const BodyPart& part : parts) {
    fields += Field("INDX", Bytes().U8(part.index).str());
    if (!part.male.empty()) fields += ZField("BNAM", part.male);
    if (!part.female.empty()) fields += ZField("CNAM", part.female);
  }
  return RecordBytes("ARMO", fields);
}

std::string Container(const std::string& id,
                      const std::vector<std::pair<int32_t, std::string>>& items) {
  std::string fields = ZField("NAME", id) + ZField("MODL", "o\\barrel.nif") + ZField("FNAM", id) +
                       Field("CNDT", Bytes().F32(100.0f).str()) + U32Field("FLAG", 8);
  for (const auto& [count, item] : items) {
    fields += Field("NPCO", Bytes().I32(count).Fixed(item, 32).str());
  }
  return RecordBytes("CONT", fields);
}

std::string Spell(const std::string& id, const std::vector<Effect>& effects) {
  std::string fields =
      ZField("NAME", id) + ZField("FNAM", id) + Field("SPDT", Bytes().U32(0).U32(10).U32(0).str());
  for (const Effect& effect : effects) {
    Bytes data;
    data.U16(effect.index).U8(0xFF).U8(0xFF).U32(2).U32(0).U32(5);
    data.U32(effect.magnitude).U32(effect.magnitude);
    fields += Field("ENAM", data.str());
  }
  return RecordBytes("SPEL", fields);
}

std::string Faction(const std::string& id,
                    const std::vector<std::pair<std::string, int32_t>>& reactions) {
  std::string fields = ZField("NAME", id) + ZField("FNAM", id) + ZField("RNAM", "Rank");
  for (const auto& [other, value] : reactions) {
    fields += ZField("ANAM", other) + U32Field("INTV", static_cast<uint32_t>(value));
  }
  return RecordBytes("FACT", fields);
}

std::string Cell(const std::string& name, uint32_t flags, int32_t x, int32_t y,
                 const std::string& more) {
  return RecordBytes(
      "CELL", ZField("NAME", name) + Field("DATA", Bytes().U32(flags).I32(x).I32(y).str()) + more);
}

std::string Reference(uint32_t number, const std::string& id, const std::string& more) {
  return Field("FRMR", Bytes().U32(number).str()) + ZField("NAME", id) + more;
}

std::string Dial(const std::string& topic, uint8_t type) {
  return RecordBytes("DIAL", ZField("NAME", topic) + Field("DATA", std::string(1, char(type))));
}

std::string Response(const std::string& id, const std::string& prev, const std::string& next,
                     const std::string& text, int32_t disposition, const std::string& cell,
                     const std::string& extra) {
  std::string fields =
      ZField("INAM", id) + ZField("PNAM", prev) + ZField("NNAM", next) +
      Field("DATA", Bytes().U32(0).I32(disposition).U8(0xFF).U8(0xFF).U8(0xFF).U8(0).str());
  if (!cell.empty()) fields += ZField("ANAM", cell);
  fields += Field("NAME", text);
  return RecordBytes("INFO", fields + extra);
}

std::string Condition(const std::string& rule, int32_t value) {
  return Field("SCVR", rule) + U32Field("INTV", static_cast<uint32_t>(value));
}

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
  auto it = record.Fields().begin();
  while (it != record.Fields().end() && it->tag != entryTag) ++it;
  while (it != record.Fields().end()) {
    auto next = std::next(it);
    text += " " + std::string(it->Text()) + "@" +
            (next == record.Fields().end() ? "-" : std::to_string(next->UInt16At(0)));
    if (next == record.Fields().end()) break;
    it = std::next(next);
  }
  return text;
}

namespace {
std::unique_ptr<PluginFile> ReadWhole(const std::filesystem::path& path) {
  auto file = std::make_unique<PluginFile>(path.parent_path(), path.filename().string());
  file->ReadAllRecords();
  return file;
}

std::string Text(const Record& record, Tag tag) {
  const Subrecord* field = record.FindSubrecord(tag);
  return field ? std::string(field->Text()) : "(none)";
}
}  // namespace

std::vector<std::string> DescribeDialogs(const std::filesystem::path& plugin) {
  std::vector<std::string> lines;
  auto file = ReadWhole(plugin);
  for (const auto& record : file->records) {
    const Subrecord* data = record->FindSubrecord(tags::DATA);
    if (record->tag == tags::DIAL) {
      lines.push_back("DIAL " + record->GetDisplayId());
    } else if (record->tag == tags::INFO) {
      lines.push_back("INFO " + Text(*record, tags::INAM) + " " + Text(*record, tags::PNAM) + ">" +
                      Text(*record, tags::NNAM) + " '" + Text(*record, tags::NAME) + "' " +
                      std::to_string(data ? static_cast<int32_t>(data->UInt32At(4)) : -1));
    }
  }
  return lines;
}

std::vector<std::string> LinkProblems(const std::filesystem::path& merged,
                                      const std::vector<std::filesystem::path>& sources) {
  // The responses of each topic in every file, by lower-cased topic name.
  std::map<std::string, std::set<std::string>> known;
  auto collect = [&](const PluginFile& file) {
    std::string topic;
    for (const auto& record : file.records) {
      if (record->tag == tags::DIAL) topic = LowerCaseAscii(record->GetDisplayId());
      if (record->tag == tags::INFO && !topic.empty()) {
        known[topic].insert(Text(*record, tags::INAM));
      }
    }
  };
  for (const auto& source : sources) collect(*ReadWhole(source));
  auto plugin = ReadWhole(merged);
  collect(*plugin);

  std::vector<std::string> problems;
  std::string topic;
  const Record* before = nullptr;
  size_t responses = 0;
  auto endTopic = [&] {
    if (!topic.empty() && responses == 0) problems.push_back(topic + ": saved without responses");
  };
  for (const auto& record : plugin->records) {
    if (record->tag == tags::DIAL) {
      endTopic();
      topic = record->GetDisplayId();
      before = nullptr;
      responses = 0;
      continue;
    }
    if (record->tag != tags::INFO) continue;
    ++responses;
    std::string id = Text(*record, tags::INAM);
    const auto& ids = known[LowerCaseAscii(topic)];
    for (Tag tag : {tags::PNAM, tags::NNAM}) {
      std::string link = Text(*record, tag);
      if (link == "(none)" || link == id || (!link.empty() && !ids.count(link))) {
        problems.push_back(topic + ": " + id + " " + TagText(tag) + " " + link);
      }
    }
    if (before) {
      std::string beforeId = Text(*before, tags::INAM);
      bool forward = Text(*before, tags::NNAM) == id;
      bool backward = Text(*record, tags::PNAM) == beforeId;
      if (forward != backward) problems.push_back(topic + ": " + beforeId + " and " + id);
    }
    before = record.get();
  }
  endTopic();
  return problems;
}

}  // namespace modrake::test
