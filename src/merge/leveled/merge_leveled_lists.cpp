#include "merge/leveled/merge_leveled_lists.hpp"

#include <exception>
#include <thread>

#include "core/execution_log.hpp"
#include "core/progress.hpp"
#include "core/session.hpp"
#include "core/text.hpp"
#include "format/record_stream.hpp"
#include "install/game_installation.hpp"
#include "merge/leveled/leveled_list.hpp"
#include "merge/leveled/lists_against_masters.hpp"
#include "merge/merged_plugin.hpp"
#include "objectdb/master_loader.hpp"
#include "objectdb/master_set.hpp"

namespace modrake {

namespace {
constexpr uint32_t kPcLevelFlag = 1;
constexpr uint32_t kEachItemFlag = 2;

uint32_t Count(const Subrecord* indx) {
  return indx ? indx->UInt32At(0) : 0;
}

}  // namespace

bool MergedLeveledLists::EntryKey::operator==(const EntryKey& other) const {
  return level == other.level && EqualsNoCase(id, other.id);
}

size_t MergedLeveledLists::EntryKeyHash::operator()(const EntryKey& key) const {
  size_t hash = 14695981039346656037ull ^ key.level;
  for (char c : key.id) {
    auto byte = static_cast<unsigned char>(FoldAscii(c));
    hash = (hash ^ byte) * 1099511628211ull;
  }
  return hash;
}

void MergedLeveledLists::CountEntries(MergedList& list) {
  list.entries.clear();
  list.entryFields = 0;
  for (const Subrecord& field : list.record->Fields()) {
    if (field.tag == list.record->entryTag) ++list.entryFields;
  }
  list.endsWithPair = WalkEntries(list.record->Fields(), FirstEntry(*list.record),
                                  [&](const Subrecord& entry, uint16_t level) {
                                    ++list.entries[{entry.Text(), level}];
                                  });
  list.counted = true;
}

// Each entry of the merged list cancels at most one equal entry of the
// incoming one, the first not yet cancelled; so for each entry the merged
// list ends with as many occurrences as the version that has the most.
void MergedLeveledLists::RemoveKnownEntries(MergedList& list, LeveledListRecord& incoming) {
  if (!list.counted) CountEntries(list);
  EntryCounts cancelled;
  SubrecordList& fields = incoming.Fields();
  auto it = FirstEntry(incoming);
  // Only entries followed by their level field can be cancelled.
  while (it != fields.end() && std::next(it) != fields.end()) {
    auto next = std::next(it);
    EntryKey key{it->Text(), next->UInt16At(0)};
    auto known = list.entries.find(key);
    if (known != list.entries.end() && cancelled[key] < known->second) {
      ++cancelled[key];
      it = fields.erase(it, std::next(next));
    } else {
      it = std::next(next);
    }
  }
}

bool MergedLeveledLists::MergeLeveledList(std::unique_ptr<LeveledListRecord> incoming) {
  std::string tagText = TagText(incoming->tag);
  std::string id = incoming->GetDisplayId();
  const char* tag = tagText.c_str();
  auto [slot, isNew] = lists_.try_emplace(ListKey(*incoming));
  if (isNew) {
    slot->second.record = incoming.get();
    log_.Log("  %s %-32s -> new list, %u items\n", tag, id.c_str(), Count(incoming->indx));
    plugin_.records.push_back(std::move(incoming));
    return true;
  }

  MergedList& merged = slot->second;
  LeveledListRecord& existing = *merged.record;
  uint32_t flags = incoming->data ? incoming->data->UInt32At(0) : 0;
  if (flags & kPcLevelFlag) {
    log_.Log("  %s %-32s -> found \"PC Level\" flag\n", tag, id.c_str());
    if (existing.data) existing.data->SetUInt32(existing.data->UInt32At(0) | kPcLevelFlag);
  }
  if (flags & kEachItemFlag) {
    log_.Log("  %s %-32s -> found \"each item\" flag\n", tag, id.c_str());
    if (existing.data) existing.data->SetUInt32(existing.data->UInt32At(0) | kEachItemFlag);
  }
  // 0 means "not set": the merged chance is the smallest one that is set.
  uint8_t chance = incoming->nnam ? incoming->nnam->ByteAt(0) : 0;
  if (chance != 0 &&
      (!existing.nnam || existing.nnam->ByteAt(0) == 0 || chance < existing.nnam->ByteAt(0))) {
    log_.Log("  %s %-32s -> set \"none chance\" to %u\n", tag, id.c_str(), chance);
    // A new NNAM may land among the entries of an odd list: count again.
    if (!existing.nnam) merged.counted = false;
    SetNoneChance(existing, chance);
  }

  RemoveKnownEntries(merged, *incoming);
  SubrecordList& rest = incoming->Fields();
  auto first = FirstEntry(*incoming);
  if (first == rest.end()) {
    log_.Log("  %s %-32s -> no new items found\n", tag, id.c_str());
    return false;
  }
  uint32_t oldCount = Count(existing.indx);
  // The moved fields borrow from the incoming record's data, which goes now.
  for (auto it = first; it != rest.end(); ++it) it->MakeOwned();
  auto moved = first;  // stays valid in the list it moves to
  // The existing list holds at least its NAME, so there is a last field.
  InsertSubrecordAfter(existing, &existing.Fields().back(), rest, first);
  // What RecountEntries would find, without a walk through the whole list.
  for (auto it = moved; it != existing.Fields().end(); ++it) {
    if (it->tag == existing.entryTag) ++merged.entryFields;
  }
  if (existing.indx) existing.indx->SetUInt32(merged.entryFields);
  if (merged.endsWithPair) {
    merged.endsWithPair =
        WalkEntries(existing.Fields(), moved, [&](const Subrecord& entry, uint16_t level) {
          ++merged.entries[{entry.Text(), level}];
        });
  } else {
    // The lone last entry now has a level field: its count changes.
    merged.counted = false;
  }
  log_.Log("  %s %-32s -> merged from %u to %u items\n", tag, id.c_str(), oldCount,
           Count(existing.indx));
  return false;
}

namespace {
// A list without a usable id cannot be matched with anything: it is left out.
bool HasName(const LeveledListRecord& list) {
  return list.name && !list.name->Text().empty();
}

struct Counters {
  uint32_t read = 0;
  uint32_t written = 0;
};

// A plugin's leveled lists that are not deleted, with where each lies.
struct ReadList {
  std::unique_ptr<LeveledListRecord> list;
  uint64_t offset;
};

std::vector<ReadList> ReadLists(PluginFile& plugin) {
  std::vector<ReadList> lists;
  RecordStream stream(plugin);
  while (stream.Next()) {
    const RecordHeader& header = stream.header();
    bool leveled = header.tag == tags::LEVI || header.tag == tags::LEVC;
    // Deleted versions change nothing, so their data need not be read either.
    if (!leveled || (header.flags & kDeletedFlag)) continue;
    std::unique_ptr<Record> record = stream.Read();
    if (record->IsDeleted()) continue;
    lists.push_back(
        {std::unique_ptr<LeveledListRecord>(static_cast<LeveledListRecord*>(record.release())),
         stream.offset()});
  }
  return lists;
}

void TakeLists(std::vector<ReadList> lists, MergedLeveledLists& merged,
               ListsAgainstMasters* masters, ExecutionLog& log, Counters& counters) {
  for (ReadList& read : lists) {
    std::unique_ptr<LeveledListRecord> list = std::move(read.list);
    if (!HasName(*list)) {
      log.Log("  %s %-32s -> left out: the list has no id (record at offset %llu)\n",
              TagText(list->tag).c_str(), list->GetDisplayId().c_str(),
              static_cast<unsigned long long>(read.offset));
      continue;
    }
    ++counters.read;
    auto taken = masters ? masters->Take(*list) : ListsAgainstMasters::Taken::kNotMasters;
    if (taken == ListsAgainstMasters::Taken::kFirst) {
      merged.plugin().records.push_back(std::move(list));
      ++counters.written;
    } else if (taken == ListsAgainstMasters::Taken::kNotMasters &&
               merged.MergeLeveledList(std::move(list))) {
      ++counters.written;
    }
  }
}
}  // namespace

void MergeLeveledLists(Session& session, bool activate) {
  GameInstallation& game = *session.game;
  ExecutionLog& log = session.log;
  auto created = CreateMergedPlugin(session, kMergedLeveledListsName, "Merged LEVI/LEVC records");
  PluginFile& plugin = *created;
  MergedLeveledLists merged(plugin, log);
  // Against their masters, the lists the masters define wait until every
  // plugin has been read.
  std::unique_ptr<ListsAgainstMasters> masters;
  if (session.options.mergeListsAgainstMasters) {
    const bool allMasters = session.options.allMasters;
    masters = std::make_unique<ListsAgainstMasters>(game.LoadOrderMasters(allMasters), log,
                                                    ListCachePath(session.CachePath()),
                                                    MasterCacheIdentity(game, allMasters));
  }

  log.OpenLog();
  log.Log("Merging leveled lists for all active plugins\n");
  Counters counters;
  ProgressTask progress(session.progress, game.activePlugins().size() + 1);
  auto merges = [&](PluginFile& active) {
    return !EqualsNoCase(active.name, kMergedLeveledListsName) &&
           !game.CountsAsMaster(&active, session.options.allMasters);
  };
  // Against their masters, the plugins' lists are read while another thread
  // reads the masters' (without a cache, the masters hold most of the
  // bytes); they are taken in load order once both are done.
  std::vector<std::vector<ReadList>> early;
  if (masters) {
    std::exception_ptr failed;
    std::jthread reader([&] {
      try {
        masters->ReadMasters();
      } catch (...) {
        failed = std::current_exception();
      }
    });
    for (const auto& active : game.activePlugins()) {
      early.push_back(merges(*active) ? ReadLists(*active) : std::vector<ReadList>());
    }
    reader.join();
    if (failed) std::rethrow_exception(failed);
    masters->SaveListCache();
  }
  for (size_t i = 0; i < game.activePlugins().size(); ++i) {
    PluginFile& active = *game.activePlugins()[i];
    progress.Step(active.name);
    if (EqualsNoCase(active.name, kMergedLeveledListsName)) continue;
    if (!merges(active)) {
      AddGameMaster(plugin, active);
      continue;
    }
    log.Log("!Scanning %s", active.name.c_str());
    log.Log("\nScanning %s\n", active.name.c_str());
    if (masters) masters->StartPlugin(active);
    TakeLists(masters ? std::move(early[i]) : ReadLists(active), merged, masters.get(), log,
              counters);
  }
  if (masters) {
    log.Log("\nMerging the lists of the masters\n");
    masters->Finish();
  }
  progress.Step(kMergedLeveledListsName);
  SaveMergedPlugin(*session.game, plugin);

  log.AddLogLine("");
  log.Log("!Merged %u original leveled list(s) into %u list(s)", counters.read, counters.written);
  log.AddLogLine("");
  FinishMergedPlugin(session, plugin, activate);
  log.CloseLog();
}

}  // namespace modrake
