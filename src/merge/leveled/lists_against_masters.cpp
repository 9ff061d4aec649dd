#include "merge/leveled/lists_against_masters.hpp"

#include <map>

#include "core/execution_log.hpp"
#include "core/fatal_error.hpp"
#include "core/text.hpp"
#include "format/record_stream.hpp"
#include "merge/leveled/leveled_list.hpp"
#include "objectdb/master_loader.hpp"

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
  WalkEntries(list.Fields(), FirstEntry(list), [&](const Subrecord& entry, uint16_t level) {
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

bool HasName(const LeveledListRecord& list) {
  return list.name && !list.name->Text().empty();
}

// A master's list that counts: not deleted, with an id.
bool Counts(const Record& record) {
  return (record.tag == tags::LEVI || record.tag == tags::LEVC) && !record.IsDeleted() &&
         HasName(static_cast<const LeveledListRecord&>(record));
}

// Replaces the entries, which are the last fields of a list, and stores
// their count.
void StoreEntries(LeveledListRecord& list, const std::vector<const Entry*>& entries) {
  list.Fields().erase(FirstEntry(list), list.Fields().end());
  // An odd list may have had other fields among its entries.
  list.RefreshLinks();
  for (const Entry* entry : entries) {
    CreateSubrecord(list.Fields(), list.Fields().end(), {list.entryTag, 0}).SetString(entry->id);
    uint8_t level[2] = {static_cast<uint8_t>(entry->level & 0xFF),
                        static_cast<uint8_t>(entry->level >> 8)};
    CreateSubrecord(list.Fields(), list.Fields().end(), {tags::INTV, 0}).SetBytes(level, 2);
  }
  RecountEntries(list);
}

}  // namespace

ListsAgainstMasters::ListsAgainstMasters(std::vector<PluginFile*> masters, ExecutionLog& log,
                                         std::filesystem::path listCache, std::string identity)
    : masters_(std::move(masters)),
      log_(log),
      listCache_(std::move(listCache)),
      identity_(std::move(identity)) {}

void ListsAgainstMasters::AddMasterVersion(size_t master, Record& record) {
  auto& list = static_cast<LeveledListRecord&>(record);
  lists_[ListKey(list)].masters.push_back({master, ReadVersion(list)});
}

// False when an offset holds no list that counts or a read fails: then the
// masters changed behind the stamp or the cache was altered, and only
// reading them whole tells the truth.
bool ListsAgainstMasters::ReadCachedLists(const std::vector<std::vector<uint32_t>>& offsets) {
  for (size_t m = 0; m < masters_.size(); ++m) {
    PluginFile& master = *masters_[m];
    bool holds = true;
    try {
      master.OpenFile();
      // In file order, so that neighbouring lists come from one read.
      for (uint32_t offset : offsets[m]) {
        std::unique_ptr<Record> record = master.ReadRecordAt(offset);
        holds = record && Counts(*record);
        if (!holds) break;
        AddMasterVersion(m, *record);
      }
    } catch (const FatalException&) {
      holds = false;
    }
    master.CloseFile();
    if (!holds) return false;
  }
  return true;
}

void ListsAgainstMasters::ReadMasters() {
  std::vector<std::vector<uint32_t>> cached;
  if (ReadListCache(listCache_, identity_, masters_, cached)) {
    if (ReadCachedLists(cached)) return;
    cacheFailed_ = true;
    lists_.clear();
  }
  readOffsets_.assign(masters_.size(), {});
  for (size_t m = 0; m < masters_.size(); ++m) {
    RecordStream stream(*masters_[m]);
    while (stream.Next()) {
      const RecordHeader& header = stream.header();
      if ((header.tag != tags::LEVI && header.tag != tags::LEVC) || (header.flags & kDeletedFlag)) {
        continue;
      }
      std::unique_ptr<Record> record = stream.Read();
      if (!Counts(*record)) continue;
      AddMasterVersion(m, *record);
      readOffsets_[m].push_back(static_cast<uint32_t>(stream.offset()));
    }
  }
}

void ListsAgainstMasters::SaveListCache() {
  if (cacheFailed_) log_.Log("!%s", kMasterCacheMismatch);
  if (readOffsets_.empty()) return;
  // Offsets past 4 GiB do not fit: such a master is read whole every time.
  for (PluginFile* master : masters_) {
    if (master->status.size > UINT32_MAX) return;
  }
  WriteResult written = WriteListCache(listCache_, identity_, masters_, readOffsets_);
  if (!written) LogUnwrittenCache(log_, listCache_, written);
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
