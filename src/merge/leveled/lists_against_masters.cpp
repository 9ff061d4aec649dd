#include "merge/leveled/lists_against_masters.hpp"

#include <map>

#include "core/execution_log.hpp"
#include "core/text.hpp"
#include "format/record_stream.hpp"
#include "merge/leveled/leveled_list.hpp"

namespace modrake {

std::string ListKey(const LeveledListRecord& list) {
  return TagText(list.tag) + LowerCaseAscii(list.name->Text());
}

namespace {

using Version = ListsAgainstMasters::Version;
using Entry = ListsAgainstMasters::Entry;
using EntryKey = std::pair<std::string, uint16_t>;

Version ReadVersion(LeveledListRecord& list) {
  Version version;
  version.flags = list.data ? list.data->UInt32At(0) : 0;
  version.chance = list.nnam ? list.nnam->ByteAt(0) : 0;
  WalkEntries(list.subrecords, FirstEntry(list), [&](const Subrecord& entry, uint16_t level) {
    version.entries.push_back({std::string(entry.Text()), level});
  });
  return version;
}

EntryKey KeyOf(const Entry& entry) {
  return {LowerCaseAscii(entry.id), entry.level};
}

std::map<EntryKey, uint32_t> Counts(const Version* version) {
  std::map<EntryKey, uint32_t> counts;
  if (version) {
    for (const Entry& entry : version->entries) ++counts[KeyOf(entry)];
  }
  return counts;
}

// Calls change for every occurrence of an entry of `from` past the number
// that `against` holds, with which one past that it is (1, 2 ...).
template <typename Change>
void Beyond(const Version& from, std::map<EntryKey, uint32_t>& against, Change change) {
  std::map<EntryKey, uint32_t> seen;
  for (const Entry& entry : from.entries) {
    EntryKey key = KeyOf(entry);
    uint32_t occurrence = ++seen[key];
    if (occurrence > against[key]) change(entry, key, occurrence - against[key]);
  }
}

bool HasName(LeveledListRecord& list) {
  return list.name && !list.name->Text().empty();
}

// Replaces the entries, which are the last fields of a list, and stores
// their count.
void StoreEntries(LeveledListRecord& list, const std::vector<const Entry*>& entries) {
  list.subrecords.erase(FirstEntry(list), list.subrecords.end());
  // An odd list may have had other fields among its entries.
  list.RefreshLinks();
  for (const Entry* entry : entries) {
    CreateSubrecord(list.subrecords, list.subrecords.end(), {list.entryTag, 0})
        .SetString(entry->id);
    uint8_t level[2] = {static_cast<uint8_t>(entry->level & 0xFF),
                        static_cast<uint8_t>(entry->level >> 8)};
    CreateSubrecord(list.subrecords, list.subrecords.end(), {tags::INTV, 0}).SetBytes(level, 2);
  }
  RecountEntries(list);
}

}  // namespace

ListsAgainstMasters::ListsAgainstMasters(std::vector<PluginFile*> masters, ExecutionLog& log)
    : masters_(std::move(masters)), log_(log) {}

void ListsAgainstMasters::ReadMasters() {
  for (size_t m = 0; m < masters_.size(); ++m) {
    RecordStream stream(*masters_[m]);
    while (stream.Next()) {
      const RecordHeader& header = stream.header();
      if ((header.tag != tags::LEVI && header.tag != tags::LEVC) || (header.flags & kDeletedFlag)) {
        continue;
      }
      std::unique_ptr<Record> record = stream.Read();
      auto& list = static_cast<LeveledListRecord&>(*record);
      if (record->IsDeleted() || !HasName(list)) continue;
      lists_[ListKey(list)].masters.push_back({m, ReadVersion(list)});
    }
  }
}

void ListsAgainstMasters::StartPlugin(PluginFile& plugin) {
  pluginNames_.push_back(plugin.name);
  named_.assign(masters_.size(), false);
  std::vector<std::string> names;
  if (Record* header = plugin.FindHeaderRecord()) names = MasterNames(*header);
  for (size_t m = 0; m < masters_.size(); ++m) {
    for (const auto& name : names) {
      if (EqualsNoCase(name, masters_[m]->name)) named_[m] = true;
    }
  }
}

ListsAgainstMasters::Taken ListsAgainstMasters::Take(LeveledListRecord& list) {
  auto found = lists_.find(ListKey(list));
  if (found == lists_.end() || found->second.masters.empty()) return Taken::kNotMasters;
  ListState& state = found->second;
  PluginVersion version{pluginNames_.size() - 1, ReadVersion(list)};
  // The newest version among the masters the plugin names.
  for (const MasterVersion& master : state.masters) {
    if (named_[master.master]) version.reference = &master.version;
  }
  state.plugins.push_back(std::move(version));
  if (state.merged) return Taken::kLater;
  state.merged = &list;
  order_.push_back(found->first);
  return Taken::kFirst;
}

void ListsAgainstMasters::Finish() {
  for (const std::string& key : order_) Merge(lists_.at(key));
}

// Each change is made once: an entry that several plugins add (or remove)
// is added (or removed) as often as the plugin that adds (removes) the most
// of it, so that plugins made from one source do not crowd a list.
void ListsAgainstMasters::Merge(ListState& list) {
  LeveledListRecord& record = *list.merged;
  const std::string tagText = TagText(record.tag);
  const std::string idText = record.GetDisplayId();
  const char* tag = tagText.c_str();
  const char* id = idText.c_str();
  const MasterVersion& base = list.masters.back();
  log_.Log("  %s %-32s -> against %s, %u items\n", tag, id, masters_[base.master]->name.c_str(),
           static_cast<unsigned>(base.version.entries.size()));

  struct Slot {
    const Entry* entry;
    bool kept = true;
  };
  std::vector<Slot> slots;
  for (const Entry& entry : base.version.entries) slots.push_back({&entry});
  uint32_t flags = base.version.flags;
  uint8_t chance = base.version.chance;
  std::map<EntryKey, uint32_t> added;
  std::map<EntryKey, uint32_t> removed;

  for (const PluginVersion& plugin : list.plugins) {
    const char* name = pluginNames_[plugin.plugin].c_str();
    const Version* reference = plugin.reference;
    auto mine = Counts(&plugin.version);
    auto theirs = Counts(reference);
    Beyond(plugin.version, theirs, [&](const Entry& entry, const EntryKey& key, uint32_t n) {
      log_.Log("  %s %-32s -> %s adds %s at level %u\n", tag, id, name, entry.id.c_str(),
               entry.level);
      if (n <= added[key]) return;
      ++added[key];
      slots.push_back({&entry});
    });
    if (reference)
      Beyond(*reference, mine, [&](const Entry& entry, const EntryKey& key, uint32_t n) {
        log_.Log("  %s %-32s -> %s removes %s at level %u\n", tag, id, name, entry.id.c_str(),
                 entry.level);
        if (n <= removed[key]) return;
        ++removed[key];
        // The last one of the list goes: an added one before the master's.
        for (auto it = slots.rbegin(); it != slots.rend(); ++it) {
          if (it->kept && KeyOf(*it->entry) == key) {
            it->kept = false;
            break;
          }
        }
      });
    uint32_t theirFlags = reference ? reference->flags : 0;
    if (plugin.version.flags != theirFlags) {
      flags = plugin.version.flags;
      log_.Log("  %s %-32s -> %s sets the flags to %u\n", tag, id, name, flags);
    }
    uint8_t theirChance = reference ? reference->chance : 0;
    if (plugin.version.chance != theirChance) {
      chance = plugin.version.chance;
      log_.Log("  %s %-32s -> %s sets \"none chance\" to %u\n", tag, id, name, chance);
    }
  }

  std::vector<const Entry*> entries;
  for (const Slot& slot : slots) {
    if (slot.kept) entries.push_back(slot.entry);
  }
  // The entries point into the versions, which outlive the record's fields.
  StoreEntries(record, entries);
  if (record.data) record.data->SetUInt32(flags);
  if (record.nnam || chance != 0) SetNoneChance(record, chance);
  log_.Log("  %s %-32s -> merged from %u to %u items\n", tag, id,
           static_cast<unsigned>(base.version.entries.size()),
           static_cast<unsigned>(entries.size()));
}

}  // namespace modrake
