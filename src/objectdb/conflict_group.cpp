#include "objectdb/conflict_group.hpp"

#include <cstring>

#include "format/plugin_file.hpp"
#include "format/record_stream.hpp"
#include "objectdb/master_set.hpp"
#include "objectdb/object_index.hpp"
#include "objectdb/record_comparison.hpp"

namespace modrake {

uint32_t NumberConflictGroups(ObjectIndex& index, bool (*keep)(Tag)) {
  uint32_t count = index.Count();
  std::span<IndexEntry> entries = index.entries();
  for (uint32_t p = 0; p < count;) {
    IndexEntry& entry = entries[p];
    entry.words[2] = p;
    Tag tag;
    std::memcpy(&tag, entry.key.tag, sizeof tag);
    if (entry.words[0] != 0 && (!keep || keep(tag))) {
      ++p;
      continue;
    }
    entry = entries[count - 1];
    --count;
  }
  index.Truncate(count);
  index.SortIndex();
  return count;
}

void AddVersion(ConflictGroup& group, std::unique_ptr<Record> record, std::string_view topic) {
  if (group.versions.size() >= ConflictGroup::kMaxVersions) return;
  group.versions.push_back(std::move(record));
  if (group.versions.size() == 2) group.allIdentical = 0;
  if (!topic.empty()) group.context = std::string(topic);
}

void FillGroupsFromPlugin(ObjectIndex& index, bool reportLeveled, PluginFile& file,
                          std::vector<ConflictGroup>& groups) {
  RecordStream stream(file);
  TopicTracker topic;
  while (stream.Next()) {
    Tag tag = stream.header().tag;
    if (tag == tags::TES3) continue;
    // Only the versions of grouped objects are kept: the rest are only looked at.
    const RecordView& view = stream.View();
    topic.Track(view);
    bool leveled = tag == tags::LEVI || tag == tags::LEVC || tag == tags::LTEX;
    if (leveled && !reportLeveled) continue;
    IndexEntry* entry = index.LookupObject(view, topic.topic());
    if (!entry || entry->words[2] >= groups.size()) continue;
    auto record = stream.Keep();
    if (tag == tags::CREA || tag == tags::NPC_) NormaliseAiData(*record);
    if (!leveled) PadSpellEntries(*record);
    AddVersion(groups[entry->words[2]], std::move(record), topic.topic());
  }
}

void LoadMasterVersion(MasterSet& masters, ConflictGroup& group) {
  group.masterVersion.reset();
  if (group.versions.empty()) return;
  std::string_view context = group.context ? std::string_view(*group.context) : std::string_view();
  // Built, not looked up: a master beyond the game's own may hold it alone.
  ObjectKey key;
  BuildKey(key, *group.versions[0], context);
  group.masterVersion = masters.NewestVersion(key, context);
  if (group.masterVersion &&
      (group.masterVersion->tag == tags::CREA || group.masterVersion->tag == tags::NPC_)) {
    NormaliseAiData(*group.masterVersion);
  }
}

}  // namespace modrake
