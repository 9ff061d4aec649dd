#include "support/dialogs.hpp"

#include <map>
#include <set>

#include "core/text.hpp"
#include "format/plugin_file.hpp"
#include "support/test_support.hpp"

namespace modrake::test {

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

std::string ExteriorCell(const std::string& name, int32_t x, int32_t y) {
  return RecordBytes("CELL", ZField("NAME", name) +
                                 Field("DATA", Bytes().U32(2).I32(x).I32(y).str()) +
                                 ZField("RGNN", "Ascadian Isles Region"));
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
    switch (record->tag) {
      case tags::CELL: {
        const Subrecord* data = record->FindSubrecord(tags::DATA);
        lines.push_back(FormatText("CELL %d,%d ", static_cast<int32_t>(data->UInt32At(4)),
                                   static_cast<int32_t>(data->UInt32At(8))) +
                        Text(*record, tags::NAME));
        break;
      }
      case tags::DIAL:
        lines.push_back("DIAL " + record->GetDisplayId());
        break;
      case tags::INFO: {
        const Subrecord* data = record->FindSubrecord(tags::DATA);
        std::string line = "INFO " + Text(*record, tags::INAM) + " " + Text(*record, tags::PNAM) +
                           ">" + Text(*record, tags::NNAM) + " '" + Text(*record, tags::NAME) +
                           "' " +
                           std::to_string(data ? static_cast<int32_t>(data->UInt32At(4)) : -1);
        if (record->FindSubrecord(tags::ANAM)) line += " @" + Text(*record, tags::ANAM);
        lines.push_back(line);
        break;
      }
      default:
        break;
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
