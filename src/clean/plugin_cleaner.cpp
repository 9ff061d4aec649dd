#include "clean/plugin_cleaner.hpp"

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>
#include <span>
#include <system_error>
#include <unordered_map>
#include <vector>

#include "clean/game_setting_table.hpp"
#include "clean/own_master_cells.hpp"
#include "core/execution_log.hpp"
#include "core/session.hpp"
#include "core/text.hpp"
#include "format/record_stream.hpp"
#include "install/game_installation.hpp"
#include "objectdb/master_set.hpp"
#include "objectdb/object_index.hpp"
#include "objectdb/record_comparison.hpp"
#include "platform/ascii.hpp"
#include "platform/checksum.hpp"
#include "platform/file_names.hpp"

namespace modrake {

PluginCleaner PluginCleaner::For(Session& session, MasterSet& masters) {
  const Options& options = session.options;
  return {masters,
          session.log,
          *session.game,
          session.gameSettings,
          options.unrestrictedDialogCleaning,
          options.unrestrictedCellCleaning,
          options.relaxedAiData,
          options.boxes.forceSave};
}

namespace {
const char* const kSeparator = "==============================\n";

// Calls visit with each retained master version of the object looked up
// with key and topic, newest master first, until visit returns true.
// Returns whether it did. The key is a copy: the index may be built again
// under it.
template <typename Visit>
bool ForEachMasterVersion(MasterSet& masters, ObjectKey key, std::string_view topic, Visit visit) {
  const uint32_t generation = masters.generation();
  for (int w = 2; w >= 0; --w) {
    auto version = masters.Version(key, topic, w);
    if (masters.generation() != generation) {
      // The cache lied and the index was built again: what it placed before
      // counts no more, so every master is asked again.
      return ForEachMasterVersion(masters, key, topic, visit);
    }
    if (version && visit(*version)) return true;
  }
  return false;
}

bool PayloadRepeats(const Subrecord* plugin, const Subrecord* master) {
  if (!plugin || !master || plugin->size < master->size) return false;
  return master->size == 0 || std::memcmp(plugin->data, master->data, master->size) == 0;
}

// The cell's own water height: WHGT, a float, or in files of the game's
// first editors INTV, an integer. References carry INTV fields of their own,
// so only the fields before the first reference count.
template <typename CellRecord>
auto* WaterHeightField(CellRecord& cell) {
  for (auto& field : cell.Fields()) {
    if (field.tag == tags::FRMR || field.tag == tags::MVRF) break;
    if (field.tag == tags::WHGT || field.tag == tags::INTV) return &field;
  }
  return static_cast<decltype(&cell.Fields().front())>(nullptr);
}

std::optional<float> WaterHeight(const Subrecord& field) {
  if (field.size < 4) return std::nullopt;
  if (field.tag == tags::INTV) return static_cast<float>(static_cast<int32_t>(field.UInt32At(0)));
  return field.FloatAt(0);
}

// Whether the plugin's water height repeats the master's: byte for byte in
// the same form, by value across the two forms.
bool SameWaterHeight(const Subrecord* plugin, const Subrecord* master) {
  if (!plugin || !master) return false;
  if (plugin->tag == master->tag) return PayloadRepeats(plugin, master);
  auto a = WaterHeight(*plugin);
  auto b = WaterHeight(*master);
  return a && b && *a == *b;
}

bool IsGroupEnd(SubrecordList::const_iterator it, const SubrecordList& list) {
  return it == list.end() || it->tag == tags::FRMR;
}

// Whether the reference groups after two FRMR fields hold the same fields and
// end the same way.
bool SameReference(SubrecordList::const_iterator a, const SubrecordList& aList,
                   SubrecordList::const_iterator b, const SubrecordList& bList) {
  for (++a, ++b;; ++a, ++b) {
    bool aEnd = IsGroupEnd(a, aList);
    bool bEnd = IsGroupEnd(b, bList);
    if (aEnd || bEnd) return aEnd && bEnd && (a == aList.end()) == (b == bList.end());
    if (a->tag != b->tag || !a->SameBytes(*b)) return false;
  }
}

bool SameNoCase(const Subrecord& a, const Subrecord& b) {
  uint32_t n = std::min(a.size, b.size);
  for (uint32_t i = 0; i < n; ++i) {
    char x = FoldAscii(static_cast<char>(a.data[i]));
    char y = FoldAscii(static_cast<char>(b.data[i]));
    if (x != y) return false;
    if (x == 0) break;
  }
  return true;
}

bool IsEvilGameSetting(const PluginCleaner& cleaner, const Record& gmst) {
  std::string name = gmst.GetDisplayId();
  for (const auto& row : cleaner.gameSettings->rows()) {
    if (row.name != name) continue;
    switch (name[0]) {
      case 'f': {
        const Subrecord* fltv = gmst.FindSubrecord(tags::FLTV);
        if (!fltv || fltv->size < 4) return false;
        return fltv->FloatAt(0) == row.floatValue;
      }
      case 'i': {
        const Subrecord* intv = gmst.FindSubrecord(tags::INTV);
        return intv && intv->size >= 4 &&
               static_cast<int32_t>(intv->UInt32At(0)) == row.integerValue;
      }
      case 's': {
        const Subrecord* strv = gmst.FindSubrecord(tags::STRV);
        if (!strv) return false;
        for (uint32_t i = 0; i < strv->size; ++i) {
          char expected = i < row.textValue.size() ? row.textValue[i] : '\0';
          if (static_cast<char>(strv->data[i]) != expected) return false;
          if (expected == '\0') break;
        }
        return true;
      }
      default:
        continue;
    }
  }
  IndexEntry* entry = cleaner.masters.Find(gmst, {});
  if (!entry) return false;
  char type = name[0];
  return ForEachMasterVersion(cleaner.masters, entry->key, {}, [&](const Record& version) {
    return GameSettingValuesEqual(type, gmst, version);
  });
}

}  // namespace

namespace {
// Whether the record only repeats the master version the game shows. key is
// the record's key, with topic for a response; topic holds the id of the last
// DIAL passed, and a DIAL updates it.
bool IsIdenticalToMaster(const PluginCleaner& cleaner, Record& record, std::string& topic,
                         const ObjectKey& key) {
  Tag tag = record.tag;
  if (tag == tags::GMST || tag == tags::LTEX || tag == tags::CELL || tag == tags::TES3)
    return false;
  if (tag == tags::DIAL) {
    topic = CutTopic(record.GetDisplayId());
    return false;
  }
  bool normaliseAi = (tag == tags::CREA || tag == tags::NPC_) && cleaner.relaxedAiData;
  bool unrestricted = cleaner.unrestrictedDialogs;
  // A deletion never repeats a master. Asked after the lookup where that is
  // cheaper: most records of a large plugin are new, and their fields are
  // then never read.
  if (cleaner.masters.HasExtraMasters() && record.file) {
    if (record.IsDeleted()) return false;
    // The newest version in the plugin's own masters beyond the game's is
    // the one the game shows; a master the plugin does not name never counts.
    std::vector<std::string> names;
    if (Record* header = record.file->FindHeaderRecord()) names = MasterNames(*header);
    if (auto version = cleaner.masters.ExtraVersion(key, topic, &names)) {
      if (normaliseAi) {
        NormaliseAiData(record);
        NormaliseAiData(*version);
      }
      PadSpellEntries(record);
      return RecordsEqual(*version, record, unrestricted);
    }
  }
  IndexEntry* entry = cleaner.masters.FindKey(key);
  if (!entry || record.IsDeleted()) return false;
  if (normaliseAi) NormaliseAiData(record);
  PadSpellEntries(record);
  return ForEachMasterVersion(cleaner.masters, entry->key, topic, [&](Record& version) {
    if (normaliseAi) NormaliseAiData(version);
    return RecordsEqual(version, record, unrestricted);
  });
}
}  // namespace

namespace {
int CleanCellFields(ExecutionLog& log, const Record& masterCell, Record& cell) {
  int removed = 0;
  Subrecord* water = WaterHeightField(cell);
  if (SameWaterHeight(water, WaterHeightField(masterCell))) {
    log.Log(water->tag == tags::WHGT ? "    deleted WGHT\n" : "    deleted INTV\n");
    cell.RemoveSubrecord(water);
    ++removed;
  }
  if (PayloadRepeats(cell.FindSubrecord(tags::AMBI), masterCell.FindSubrecord(tags::AMBI))) {
    log.Log("    deleted AMBI\n");
    cell.RemoveSubrecord(cell.FindSubrecord(tags::AMBI));
    ++removed;
  }
  if (!masterCell.FindSubrecord(tags::FRMR)) return removed;

  int references = 0;
  auto& fields = cell.Fields();
  std::unordered_map<uint32_t, SubrecordList::const_iterator> masterRefs;
  for (auto it = fields.begin(); it != fields.end();) {
    if (it->tag != tags::FRMR) {
      ++it;
      continue;
    }
    uint32_t value = it->UInt32At(0);
    if ((value >> 24) == 0) {  // a reference the plugin adds itself
      ++it;
      continue;
    }
    uint32_t index = value & 0x00FFFFFF;
    // A cell of a large town holds thousands of references: find them by
    // number, not by walking the master's cell for each.
    if (masterRefs.empty()) {
      for (auto m = masterCell.Fields().begin(); m != masterCell.Fields().end(); ++m) {
        if (m->tag == tags::FRMR) masterRefs.emplace(m->UInt32At(0), m);  // the first one counts
      }
    }
    auto match = masterRefs.find(index);
    if (match == masterRefs.end() ||
        !SameReference(it, fields, match->second, masterCell.Fields())) {
      ++it;
      continue;
    }
    auto next = std::next(it);
    if (next != fields.end() && next->tag == tags::NAME) {
      log.Log("    deleted FRMR %u, %s\n", index, std::string(next->Text()).c_str());
    } else {
      log.Log("    deleted FRMR %u\n", index);
    }
    auto end = next;
    while (!IsGroupEnd(end, fields)) ++end;
    it = fields.erase(it, end);
    ++removed;
    ++references;
  }
  if (references > 0) {
    if (Subrecord* nam0 = cell.FindSubrecord(tags::NAM0)) {
      uint32_t left = static_cast<uint32_t>(std::count_if(
          fields.begin(), fields.end(), [](const Subrecord& f) { return f.tag == tags::FRMR; }));
      nam0->SetUInt32(left);
    }
  }
  return removed;
}

// The grid of a LAND (INTV) or PGRD (DATA): the first eight bytes of the field.
std::optional<uint64_t> GridKey(const std::optional<FieldView>& field) {
  if (!field || field->size < 8) return std::nullopt;
  uint64_t key;
  std::memcpy(&key, field->data, 8);
  return key;
}

// The LAND and PGRD records of a plugin by their grid, for which an empty
// exterior cell stays: a landmass plugin has tens of thousands of cells, too
// many to search the file for each. The first pass tells it what it removes.
class RelatedRecords {
 public:
  explicit RelatedRecords(const PluginFile& file);
  void Forget(const Record& record);
  // The first LAND or PGRD in file order whose grid is these eight bytes
  // (X and Y); none: nullptr.
  const Record* AtGrid(const uint8_t* grid) const;

 private:
  struct Entry {
    uint64_t grid;
    uint32_t order;
    const Record* record;  // null once forgotten
  };
  static std::optional<uint64_t> Key(const Record& record);
  // The entries of one grid, in file order.
  template <typename Entries>
  static auto At(Entries& entries, uint64_t grid) {
    auto first = std::lower_bound(entries.begin(), entries.end(), grid,
                                  [](const Entry& e, uint64_t g) { return e.grid < g; });
    auto last = first;
    while (last != entries.end() && last->grid == grid) ++last;
    return std::span(first, last);
  }

  std::vector<Entry> entries_;  // by grid, then file order
};

RelatedRecords::RelatedRecords(const PluginFile& file) {
  uint32_t order = 0;
  for (const auto& record : file.records) {
    if (auto key = Key(*record)) entries_.push_back({*key, order++, record.get()});
  }
  std::sort(entries_.begin(), entries_.end(), [](const Entry& a, const Entry& b) {
    return a.grid != b.grid ? a.grid < b.grid : a.order < b.order;
  });
}

std::optional<uint64_t> RelatedRecords::Key(const Record& record) {
  if (record.tag == tags::LAND) return GridKey(record.FindField(tags::INTV));
  if (record.tag == tags::PGRD) return GridKey(record.FindField(tags::DATA));
  return std::nullopt;
}

void RelatedRecords::Forget(const Record& record) {
  auto key = Key(record);
  if (!key) return;
  for (Entry& entry : At(entries_, *key)) {
    if (entry.record == &record) entry.record = nullptr;
  }
}

const Record* RelatedRecords::AtGrid(const uint8_t* grid) const {
  uint64_t key;
  std::memcpy(&key, grid, 8);
  for (const Entry& entry : At(entries_, key)) {
    if (entry.record) return entry.record;
  }
  return nullptr;
}

// The number of fields removed from the cell, or -1 when the cell is empty
// and is to be removed; a cell that one of the plugin's own masters defines
// is never empty.
int CleanCell(const PluginCleaner& cleaner, Record& cell, PluginFile& file,
              const RelatedRecords& related, OwnMasterCells& ownMasters) {
  ExecutionLog& log = cleaner.log;
  bool mayBeEmpty = cleaner.unrestrictedCells;
  int removed = 0;
  if (IndexEntry* entry = cleaner.masters.Find(cell, {})) {
    mayBeEmpty = true;
    ForEachMasterVersion(cleaner.masters, entry->key, {}, [&](const Record& version) {
      removed += CleanCellFields(log, version, cell);
      if (mayBeEmpty &&
          (SubrecordDiffers(cell, version, tags::DATA) ||
           SubrecordDiffers(cell, version, tags::NAME) ||
           SubrecordDiffers(cell, version, tags::RGNN) ||
           (cell.FindSubrecord(tags::NAM5) && SubrecordDiffers(cell, version, tags::NAM5)))) {
        mayBeEmpty = false;
      }
      return false;
    });
  }
  if (!mayBeEmpty) return removed;
  // Without references, an INTV is the cell's own water height. Only looked
  // at: the fields of a land mod's new cells are never split.
  for (Tag t : {tags::FRMR, tags::WHGT, tags::INTV, tags::AMBI, tags::MVRF}) {
    if (cell.FindField(t)) return removed;
  }
  // What it changes lies in a master the game masters know nothing of.
  if (auto holder = ownMasters.Find(cell)) {
    log.Log(holder->read ? "    ; cell is empty but master %s defines it\n"
                         : "    ; cell is empty but master %s could not be read\n",
            holder->master.c_str());
    return removed;
  }
  const std::optional<FieldView> data = cell.FindField(tags::DATA);
  if (!data) return -1;

  if ((data->ByteAt(0) & 1) == 0) {
    if (data->size < 12) return -1;
    const Record* record = related.AtGrid(data->data + 4);
    if (!record) return -1;
    if (record->tag == tags::LAND) {
      log.Log("    ; cell is empty but there is a related LAND record\n");
    } else {
      log.Log("    ; cell is empty but there is a related PGRD record\n");
    }
    return removed;
  }

  const Subrecord* name = cell.FindSubrecord(tags::NAME);
  for (const auto& record : file.records) {
    if (record->tag != tags::PGRD) continue;
    const Subrecord* gridName = record->FindSubrecord(tags::NAME);
    if (name && gridName && SameNoCase(*gridName, *name)) {
      log.Log("    ; cell is empty but there is a related PGRD record\n");
      return removed;
    }
  }
  return -1;
}

struct DuplicateSlot {
  uint64_t hash;  // of the object's key: equal keys, equal hashes
  RecordList::iterator record;
  uint32_t sequence;
};

struct DuplicateCandidate {
  ObjectKey key;
  RecordList::iterator record;
  uint32_t sequence;
};

// The objects whose key hash is shared, with their keys: only they can be
// duplicates. Sorting every record of a land mod by its whole key cost more
// than the rest of the check.
std::vector<DuplicateCandidate> SharedHashes(std::vector<DuplicateSlot>& slots) {
  std::sort(slots.begin(), slots.end(), [](const DuplicateSlot& a, const DuplicateSlot& b) {
    return a.hash != b.hash ? a.hash < b.hash : a.sequence < b.sequence;
  });
  std::vector<DuplicateCandidate> candidates;
  for (size_t i = 0; i < slots.size();) {
    size_t end = i + 1;
    while (end < slots.size() && slots[end].hash == slots[i].hash) ++end;
    if (end - i == 1) {
      i = end;
      continue;
    }
    for (; i < end; ++i) {
      DuplicateCandidate& candidate = candidates.emplace_back();
      BuildKey(candidate.key, **slots[i].record, {});
      candidate.record = slots[i].record;
      candidate.sequence = slots[i].sequence;
    }
  }
  return candidates;
}

// Whether two records of this tag with one key are duplicates: responses,
// land textures and cells are told apart otherwise, and topics by their
// responses.
bool MayDuplicate(Tag tag) {
  return tag != tags::INFO && tag != tags::LTEX && tag != tags::CELL && tag != tags::DIAL;
}

// Removes the empty ones of topics (in file order), and every copy but the
// last in file order of the objects in slots (in file order). Returns whether
// duplicates were found.
bool RemoveEmptyTopicsAndDuplicates(ExecutionLog& log, PluginFile& file,
                                    const std::vector<RecordList::iterator>& topics,
                                    std::vector<DuplicateSlot>& slots, uint32_t& deleted) {
  for (auto it : topics) {
    Record& record = **it;
    auto next = std::next(it);
    const Subrecord* data = record.FindSubrecord(tags::DATA);
    bool keep = record.FindSubrecord(tags::DELE) ||
                (next != file.records.end() && (*next)->tag == tags::INFO) ||
                (data && data->size > 0 && data->ByteAt(0) == 4);
    if (!keep) {
      log.Log("  deleted %s %-40s ; empty dialog\n", TagText(record.tag).c_str(),
              record.GetDisplayId().c_str());
      ++deleted;
      file.RemoveRecord(it);
    }
  }

  // Equal keys stay in file order, so the earlier copy is always the victim.
  std::vector<DuplicateCandidate> candidates = SharedHashes(slots);
  std::sort(candidates.begin(), candidates.end(),
            [](const DuplicateCandidate& a, const DuplicateCandidate& b) {
              int c = CompareKeys(a.key, b.key);
              return c != 0 ? c < 0 : a.sequence < b.sequence;
            });
  bool found = false;
  for (size_t i = 0; i + 1 < candidates.size(); ++i) {
    if (CompareKeys(candidates[i].key, candidates[i + 1].key) != 0) continue;
    Record& victim = **candidates[i].record;
    found = true;
    log.Log("  deleted %s %-40s ; duplicate object\n", TagText(victim.tag).c_str(),
            victim.GetDisplayId().c_str());
    ++deleted;
    file.RemoveRecord(candidates[i].record);
  }
  return found;
}

// What the first pass removed and changed.
struct CleanCounts {
  uint32_t deleted = 0, gmstDeleted = 0, cells = 0, updatedCells = 0, deletedFields = 0;
};

// Removes stray game settings, records that repeat a master version, empty
// cells and unchanged cell fields and references, saying each in the log.
// What stays of the records is noted, in file order, for the check of empty
// topics and duplicates: the topics, and the other objects in slots (each key
// is built once, for both checks).
CleanCounts CleanRecords(const PluginCleaner& cleaner, PluginFile& file,
                         std::vector<RecordList::iterator>& topics,
                         std::vector<DuplicateSlot>& slots) {
  ExecutionLog& log = cleaner.log;
  RelatedRecords related(file);
  OwnMasterCells ownMasters(cleaner.game, file);
  CleanCounts counts;
  std::string topic;
  ObjectKey key;
  uint32_t sequence = 0;
  slots.reserve(file.records.size());
  for (auto it = file.records.begin(); it != file.records.end();) {
    auto next = std::next(it);
    Record& record = **it;
    const Tag tag = record.tag;
    bool removed = false;
    if (tag == tags::GMST) {
      if (IsEvilGameSetting(cleaner, record)) {
        log.Log("  deleted %s %s\n", TagText(tag).c_str(), record.GetDisplayId().c_str());
        ++counts.deleted;
        ++counts.gmstDeleted;
        removed = true;
      }
    } else if (tag == tags::CELL) {
      ++counts.cells;
      log.Log("  CELL %s\n", record.GetDisplayId().c_str());
      int r = CleanCell(cleaner, record, file, related, ownMasters);
      if (r > 0) {
        ++counts.updatedCells;
        counts.deletedFields += static_cast<uint32_t>(r);
      } else if (r < 0) {
        log.Log("    deleted %s %-40s ; empty cell\n", TagText(tag).c_str(),
                record.GetDisplayId().c_str());
        ++counts.deleted;
        removed = true;
      }
    } else {
      if (tag != tags::DIAL && tag != tags::LTEX) {
        BuildKey(key, record, tag == tags::INFO ? std::string_view(topic) : std::string_view());
      }
      if (IsIdenticalToMaster(cleaner, record, topic, key)) {
        if (tag == tags::INFO) {
          log.Log("  deleted %s %-32s ; %s\n", TagText(tag).c_str(), record.GetDisplayId().c_str(),
                  topic.c_str());
        } else {
          log.Log("  deleted %s %s\n", TagText(tag).c_str(), record.GetDisplayId().c_str());
        }
        ++counts.deleted;
        related.Forget(record);
        removed = true;
      }
    }
    if (removed) {
      file.RemoveRecord(it);
    } else if (tag == tags::DIAL) {
      topics.push_back(it);
    } else if (MayDuplicate(tag)) {
      if (tag == tags::GMST) BuildKey(key, record, {});
      if (key.text[0] != '<') slots.push_back({Checksum64(key.tag, key.length), it, sequence++});
    }
    it = next;
  }
  return counts;
}

// Asks whether a plugin that held duplicate objects is saved all the same;
// on No, says that it is not.
bool SaveDespiteDuplicates(ExecutionLog& log, const PluginFile& file) {
  log.AddLogLine("WARNING! Duplicate objects were found in the plugin!");
  Answer answer = log.AskUser(
      BoxStyle::YesNoWarning,
      "File %s contains duplicate objects.\n\nYou can either trust Modrake to remove those "
      "objects and save cleaned file or skip it, so you can re-save it in the TES Construction "
      "Set (resaving will remove duplicate objects) and clean it later.\n\nDo you want to "
      "continue cleaning %s?",
      file.name.c_str(), file.name.c_str());
  if (answer == Answer::Yes) return true;
  log.Log("!Skipped \"%s\" per user request", file.name.c_str());
  log.Log("%sCLEANED PLUGIN WAS NOT SAVED PER USER REQUEST\n\n", kSeparator);
  return false;
}

// Saves the cleaned plugin over itself or as prefix + name, with the present
// sizes of its masters and, with keepTime, its old file times.
void SaveCleaned(const PluginCleaner& cleaner, PluginFile& file,
                 const std::optional<std::string>& prefix, bool keepTime) {
  ExecutionLog& log = cleaner.log;
  GameInstallation& game = cleaner.game;
  std::optional<FileTimes> times;
  if (keepTime) times = GetFileTimes(file.path);
  if (prefix) file.SetPath(TextPath(*prefix + file.name));
  if (Record* header = file.FindHeaderRecord()) UpdateMasterSizes(*header, game.activePlugins());
  std::error_code ec;
  const bool existed = std::filesystem::exists(file.path, ec);
  game.SavePlugin(file);
  if (times) {
    game.SetTimes(file.path, *times);
    if (auto status = QueryFileStatus(file.path)) file.status = *status;
  }
  // Said only once the file is whole on disk.
  if (game.Previewing()) {
    log.Log(existed ? "!Would update \"%s\"" : "!Would create \"%s\"", file.name.c_str());
    log.Log("%sWould save: %s\n\n", kSeparator, file.name.c_str());
  } else {
    log.Log(existed ? "!Updated \"%s\"" : "!Created \"%s\"", file.name.c_str());
    log.Log("%sSaved: %s\n\n", kSeparator, file.name.c_str());
  }
}
}  // namespace

int CleanPlugin(const PluginCleaner& cleaner, PluginFile* file,
                const std::optional<std::string>& prefix, bool keepTime) {
  if (!file) return 0;
  ExecutionLog& log = cleaner.log;
  auto open = cleaner.masters.Open();
  log.AddLogLine("");
  log.Log("!Processing %s\n", file->name.c_str());
  log.Log("File: %s\n", file->name.c_str());
  log.Log("%s", kSeparator);

  file->ReadAllRecords();
  std::vector<RecordList::iterator> topics;
  std::vector<DuplicateSlot> slots;
  CleanCounts counts = CleanRecords(cleaner, *file, topics, slots);
  bool duplicates = RemoveEmptyTopicsAndDuplicates(log, *file, topics, slots, counts.deleted);
  if (duplicates && !log.pipeline && !SaveDespiteDuplicates(log, *file)) return 0;

  uint32_t changes = counts.updatedCells + counts.deleted;
  if (changes == 0 && (log.pipeline || !cleaner.forceSave)) {
    log.Log("!%s is already clean", file->name.c_str());
    log.Log("%s\n", kSeparator);
    return 0;
  }
  if (counts.deleted > 0) {
    log.Log("!Deleted %u GMST record(s) and %u other object(s)", counts.gmstDeleted,
            counts.deleted - counts.gmstDeleted);
  }
  if (counts.updatedCells > 0) {
    log.Log("!Updated %u out of %u cell(s), deleting %u field(s)", counts.updatedCells,
            counts.cells, counts.deletedFields);
  }
  if (changes == 0) log.Log("!%s is already clean - FORCE SAVE ENABLED", file->name.c_str());
  SaveCleaned(cleaner, *file, prefix, keepTime);
  return changes > 0 ? 1 : 0;
}

}  // namespace modrake
