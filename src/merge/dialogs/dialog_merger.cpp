#include "merge/dialogs/dialog_merger.hpp"

#include <unordered_set>

#include "core/execution_log.hpp"
#include "core/text.hpp"
#include "fields/field_operations.hpp"
#include "format/record_stream.hpp"
#include "merge/dialogs/cell_rename_table.hpp"
#include "objectdb/master_set.hpp"
#include "objectdb/object_index.hpp"

namespace modrake {

namespace {
bool IsConditionValue(const Subrecord& field) {
  return field.tag == tags::INTV || field.tag == tags::FLTV;
}

// The value field right after a condition, or null.
const Subrecord* ValueAfter(const SubrecordList& fields, SubrecordList::const_iterator condition) {
  auto next = std::next(condition);
  return next != fields.end() && IsConditionValue(*next) ? &*next : nullptr;
}

const Subrecord* ValueOf(const Record& record, const Subrecord* condition) {
  for (auto it = record.Fields().begin(); it != record.Fields().end(); ++it) {
    if (&*it == condition) return ValueAfter(record.Fields(), it);
  }
  return nullptr;
}

// The text of a link field; empty when the response has none.
std::string_view LinkText(const Record& info, Tag tag) {
  const Subrecord* field = info.FindSubrecord(tag);
  return field ? field->Text() : std::string_view();
}

// The PNAM or NNAM of a response, made where the game's editor puts it
// (after INAM, NNAM after PNAM) when the response has none.
Subrecord& LinkField(Record& info, Tag tag, bool& made) {
  made = false;
  if (Subrecord* field = info.FindSubrecord(tag)) return *field;
  made = true;
  auto at = info.Fields().begin();
  for (auto it = info.Fields().begin(); it != info.Fields().end(); ++it) {
    if (it->tag == tags::INAM || (tag == tags::NNAM && it->tag == tags::PNAM)) at = std::next(it);
  }
  Subrecord& field = CreateSubrecord(info.Fields(), at, {tag, 0});
  field.SetString("");
  return field;
}

uint64_t GridKey(int32_t x, int32_t y) {
  return static_cast<uint64_t>(static_cast<uint32_t>(x)) << 32 | static_cast<uint32_t>(y);
}

// A field of the tracked cell takes the source's bytes; one it lacks is added.
void TakeField(Record& cell, FieldView source) {
  if (Subrecord* own = cell.FindSubrecord(source.tag)) {
    ReplaceData(*own, source.data, source.size);
  } else {
    AppendSubrecord(cell, source);
  }
}

// ---- Chains of records ----
// A chain is a RecordList; moving a record within or between chains keeps
// every other record where it is and every iterator valid.

// Links the chain's records, in order, at the end of the list.
void AppendRecord(RecordList& list, RecordList& chain) {
  list.splice(list.end(), chain);
}

// Moves the record at `record` of `from` alone to right after anchor in
// `to`; anchor == to.end() puts it at the head. `from` may be `to`; a record
// put after itself stays where it is.
void MoveRecordsAfter(RecordList& to, RecordList::iterator anchor, RecordList& from,
                      RecordList::iterator record) {
  if (&to == &from && anchor == record) return;
  to.splice(anchor == to.end() ? to.begin() : std::next(anchor), from, record);
}

// The first SCVR of the record with the condition's index (its first byte),
// or null; a condition without data has no index and matches nothing.
const Subrecord* FindCondition(const Record& record, const Subrecord& scvr) {
  if (scvr.size == 0) return nullptr;
  for (const Subrecord& field : record.Fields()) {
    if (field.tag == tags::SCVR && field.size > 0 && field.data[0] == scvr.data[0]) return &field;
  }
  return nullptr;
}

Subrecord* FindCondition(Record& record, const Subrecord& scvr) {
  return const_cast<Subrecord*>(FindCondition(static_cast<const Record&>(record), scvr));
}
}  // namespace

// ---- DialogMerger ----

DialogMerger::DialogMerger(MasterSet& masters, ExecutionLog& log, CellRenameTable& renames,
                           PluginFile& merged)
    : masters_(masters), log_(log), renames_(renames), merged_(merged) {}

DialogMerger::~DialogMerger() = default;

bool DialogMerger::IsFromMaster(const Record& record) const {
  return masters_.Holds(record.file);
}

DialogMerger::Topic* DialogMerger::FindTopic(const Record& dial) {
  auto found = topicsByName_.find(LowerCaseAscii(dial.GetDisplayId()));
  return found == topicsByName_.end() ? nullptr : found->second;
}

std::unique_ptr<Record> DialogMerger::MasterVersion(const Record& info, std::string_view topic) {
  std::string_view looked = CutTopic(topic);
  ObjectKey key;
  BuildKey(key, info, looked);
  auto version = masters_.NewestVersion(key, looked);
  if (!version || version->tag != tags::INFO) return nullptr;
  return version;
}

void DialogMerger::LogResponse(const std::string& id, const Record& existing, const char* ofMerged,
                               const char* ofPlugin) {
  if (existing.file == &merged_ || !existing.file) {
    log_.Log("         INFO %-32s ; %s\n", id.c_str(), ofMerged);
  } else {
    log_.Log("         INFO %-32s ; %s %s\n", id.c_str(), ofPlugin, existing.file->name.c_str());
  }
}

InfoMerge DialogMerger::MergeInfo(Record& existing, Record& incoming, std::string_view topic,
                                  bool logged) {
  bool fromMaster = IsFromMaster(existing);
  std::unique_ptr<Record> master;
  if (logged && !fromMaster) master = MasterVersion(existing, topic);

  if (!master) {
    if (!fromMaster && logged) {
      LogResponse(incoming.GetDisplayId(), existing, "replaced merged record", "replaced");
    }
    existing.file = incoming.file;
    // Records read from a file hold their fields back to back in their data.
    if (!incoming.RawDataCurrent()) incoming.RebuildData();
    existing.CopyData(incoming.RawData(), incoming.dataSize);
    return fromMaster ? InfoMerge::kReplacedMaster : InfoMerge::kReplaced;
  }

  LogResponse(existing.GetDisplayId(), existing, "merged", "merged with");
  const Record& version = *master;
  bool changed = false;
  const SubrecordList& fields = incoming.Fields();
  for (auto field = fields.begin(); field != fields.end();) {
    if (field->tag == tags::SCVR) {
      const Subrecord* value = ValueAfter(fields, field);
      const Subrecord* before = FindCondition(version, *field);
      bool same = false;
      if (before && before->SameBytes(*field)) {
        const Subrecord* beforeValue = ValueOf(version, before);
        same = value ? beforeValue && beforeValue->tag == value->tag &&
                           beforeValue->UInt32At(0) == value->UInt32At(0)
                     : beforeValue == nullptr;
      }
      if (!same) {
        changed = true;
        char index = field->size > 0 ? static_cast<char>(field->data[0]) : '?';
        SubrecordList::iterator at;
        if (Subrecord* own = FindCondition(existing, *field)) {
          at = existing.IteratorOf(own);
          if (ValueAfter(existing.Fields(), at)) existing.Fields().erase(std::next(at));
          ReplaceData(*own, field->data, field->size);
          log_.Log("              updated SCVR %c\n", index);
        } else {
          AppendSubrecord(existing, *field);
          at = std::prev(existing.Fields().end());
          log_.Log("              added   SCVR %c\n", index);
        }
        if (value) {
          Subrecord& copy = CreateSubrecord(existing.Fields(), std::next(at), {value->tag, 0});
          ReplaceData(copy, value->data, value->size);
        }
      }
      field = std::next(field, value ? 2 : 1);
      continue;
    }
    if (field->tag == tags::INAM || field->tag == tags::PNAM || field->tag == tags::NNAM) {
      ++field;  // the links are the relinking's
      continue;
    }
    const Subrecord* before = version.FindSubrecord(field->tag);
    if (!before || !before->SameBytes(*field)) {
      changed = true;
      std::string tag = TagText(field->tag);
      if (Subrecord* own = existing.FindSubrecord(field->tag)) {
        ReplaceData(*own, field->data, field->size);
        log_.Log("              updated  %s\n", tag.c_str());
      } else {
        AppendSubrecord(existing, *field);
        log_.Log("              added    %s\n", tag.c_str());
      }
    }
    ++field;
  }
  if (!changed) return InfoMerge::kUnchanged;
  existing.file = &merged_;
  return InfoMerge::kMerged;
}

// Where the next incoming response goes: right after the DIAL (at ==
// infos.end()), right after a response, or not yet known.
struct DialogMerger::Placement {
  bool known = false;
  RecordList::iterator at;

  void Set(RecordList::iterator it) {
    known = true;
    at = it;
  }
  // Whether target lies after the placement point. Walks both ways from it at
  // once, so that the answer costs the distance to target or to an end of
  // the chain, whichever is shorter.
  bool Precedes(const RecordList& infos, RecordList::iterator target) const {
    if (at == infos.end()) return true;
    if (target == at) return false;
    RecordList::const_iterator ahead = at, behind = at;
    while (true) {
      if (++ahead == infos.end()) return false;
      if (ahead == target) return true;
      if (behind == infos.begin()) return true;
      if (--behind == target) return false;
    }
  }

  // Moves the point to where an incoming response goes: after the response
  // its PNAM names (unless that lies before a point already known), at the
  // head for an empty PNAM, else after the response read before it, or last.
  void Follow(Topic& topic, const Record& incoming, const std::string& id, ExecutionLog& log) {
    RecordList& infos = topic.infos;
    const Subrecord* pnam = incoming.FindSubrecord(tags::PNAM);
    std::string_view prev = pnam ? pnam->Text() : std::string_view();
    if (!pnam) {
      log.Log("         INFO %-32s ; no PNAM: placed after the response before it\n", id.c_str());
    } else if (prev.empty()) {
      Set(infos.end());
    } else if (prev == id) {
      log.Log("         INFO %-32s ; its PNAM names itself: placed after the response before it\n",
              id.c_str());
    } else if (auto named = topic.byId.find(std::string(prev)); named != topic.byId.end()) {
      // While a point is known, only a predecessor after it moves the point.
      if (!known || Precedes(infos, named->second)) Set(named->second);
    }
    if (!known) Set(infos.empty() ? infos.end() : std::prev(infos.end()));
  }

  // Moves the point on by one, within the topic.
  void MoveOn(RecordList& infos) {
    auto next = at == infos.end() ? infos.begin() : std::next(at);
    if (next == infos.end()) {
      known = false;
    } else {
      Set(next);
    }
  }
};

void DialogMerger::AddNewTopic(TopicChain& chain) {
  auto topic = std::make_unique<Topic>();
  topic->dial = std::move(chain.dial);
  std::string topicText = topic->dial->GetDisplayId();
  RecordList& infos = chain.infos;
  for (auto it = infos.begin(); it != infos.end();) {
    Record& info = **it;
    std::string_view id = LinkText(info, tags::INAM);
    if (id.empty()) {
      log_.Log("         INFO %-32s ; left out: the response has no id (INAM)\n",
               info.GetDisplayId().c_str());
      it = infos.erase(it);
      continue;
    }
    auto [slot, fresh] = topic->byId.try_emplace(std::string(id), it);
    if (!fresh) {
      // The file holds the response twice: the later copy is its later version.
      log_.Log("         INFO %-32s ; twice in %s: the later copy counts\n",
               std::string(id).c_str(), info.file ? info.file->name.c_str() : "");
      MergeInfo(**slot->second, info, topicText, !IsFromMaster(info));
      it = infos.erase(it);
      continue;
    }
    ++it;
  }
  AppendRecord(topic->infos, infos);
  Topic* added = topic.get();
  topics_.push_back(std::move(topic));
  topicsByName_.emplace(LowerCaseAscii(topicText), added);
}

DialogMerger::Topic* DialogMerger::TopicToMergeInto(TopicChain& chain, int count, bool logged) {
  Record& dial = *chain.dial;
  const std::string topicText = dial.GetDisplayId();
  const Subrecord* name = dial.FindSubrecord(tags::NAME);
  if (!name || name->Text().empty()) {
    // Nothing can name a topic without a name: it joins no other.
    log_.Log("    DIAL %-32s ; left out: the topic has no name, %d record(s)\n", topicText.c_str(),
             count);
    return nullptr;
  }

  Topic* topic = FindTopic(dial);
  if (dial.IsDeleted()) {
    if (topic) topic->dial->flags |= kDeletedFlag;
    return nullptr;
  }
  if (!topic) {
    if (logged) log_.Log("    DIAL %-32s ; new, %d record(s)\n", topicText.c_str(), count);
    AddNewTopic(chain);
    return nullptr;
  }
  if (logged) log_.Log("    DIAL %-32s ; merge %d record(s)\n", topicText.c_str(), count);
  return topic;
}

void DialogMerger::MergeTopic(TopicChain chain, int count) {
  Record& dial = *chain.dial;
  const bool logged = !IsFromMaster(dial);
  Topic* topic = TopicToMergeInto(chain, count, logged);
  if (!topic) return;
  const std::string topicText = dial.GetDisplayId();
  Record& kept = *topic->dial;
  kept.flags &= ~kDeletedFlag;
  PluginFile* link = IsFromMaster(kept) ? dial.file : &merged_;
  kept.CopyData(dial.RawData(), dial.dataSize);
  kept.file = link;

  RecordList& infos = topic->infos;
  Placement place;
  int replaced = 0, added = 0;
  std::unordered_set<std::string> seen;  // ids of this chain, to tell repeats
  while (!chain.infos.empty()) {
    auto it = chain.infos.begin();
    Record& incoming = **it;
    std::string id(LinkText(incoming, tags::INAM));
    if (id.empty()) {
      log_.Log("         INFO %-32s ; left out: the response has no id (INAM)\n",
               incoming.GetDisplayId().c_str());
      chain.infos.erase(it);
      continue;
    }
    if (!seen.insert(id).second) {
      log_.Log("         INFO %-32s ; twice in %s: the later copy counts\n", id.c_str(),
               incoming.file ? incoming.file->name.c_str() : "");
    }
    place.Follow(*topic, incoming, id, log_);

    auto match = topic->byId.find(id);
    if (match != topic->byId.end()) {
      RecordList::iterator existing = match->second;
      InfoMerge result = MergeInfo(**existing, incoming, topicText, logged);
      if (result == InfoMerge::kReplacedMaster) ++replaced;
      if (result != InfoMerge::kUnchanged) {
        MoveRecordsAfter(infos, place.at, infos, existing);
        place.Set(existing);
      } else {
        place.MoveOn(infos);
      }
      chain.infos.erase(it);
    } else {
      MoveRecordsAfter(infos, place.at, chain.infos, it);
      topic->byId.emplace(std::move(id), it);
      place.Set(it);
      ++added;
    }
  }
  if (logged && replaced != 0) {
    log_.Log("         ---- %d standard record(s) replaced\n", replaced);
  }
  if (logged && added != 0) log_.Log("         ---- %d new record(s) added\n", added);
}

void DialogMerger::TrackExteriorCell(const RecordView& cell, PluginFile* file) {
  std::optional<FieldView> data = cell.FindField(tags::DATA);
  if (data && data->size >= 4 && (data->UInt32At(0) & 1)) return;  // interior
  if (!data || data->size < 12) {
    log_.Log("    CELL %-32s ; not followed: no DATA with a grid position\n",
             cell.GetDisplayId().c_str());
    return;
  }
  std::optional<FieldView> name = cell.FindField(tags::NAME);
  if (!name) {
    log_.Log("    CELL %-32s ; not followed: no NAME\n", cell.GetDisplayId().c_str());
    return;
  }
  int32_t x = static_cast<int32_t>(data->UInt32At(4));
  int32_t y = static_cast<int32_t>(data->UInt32At(8));
  auto found = cellsByGrid_.find(GridKey(x, y));
  Record* known = found == cellsByGrid_.end() ? nullptr : found->second;
  // Names are taken as the bytes are, so that a renamed condition names the
  // cell exactly as the game does.
  std::string_view newName = name->Text();
  if (newName.empty()) {
    if (known) known->file = &merged_;
    return;
  }
  if (!known) {
    auto copy = CreateRecord({tags::CELL, 0, 0, 0});
    copy->file = file;
    AppendSubrecord(*copy, *name);
    AppendSubrecord(*copy, *data);
    for (Tag tag : {tags::RGNN, tags::NAM5}) {
      if (auto field = cell.FindField(tag)) AppendSubrecord(*copy, *field);
    }
    copy->RebuildData();
    cellsByGrid_.emplace(GridKey(x, y), copy.get());
    cells_.push_back(std::move(copy));
    return;
  }
  std::string oldName(LinkText(*known, tags::NAME));
  if (!EqualsNoCase(oldName, newName)) {
    renames_.Rename(oldName, newName);
    known->file = &merged_;
  }
  TakeField(*known, *name);
  TakeField(*known, *data);
  for (Tag tag : {tags::RGNN, tags::NAM5}) {
    if (auto field = cell.FindField(tag)) TakeField(*known, *field);
  }
  known->RebuildData();
}

void DialogMerger::AddRenamedCells() {
  RecordList& records = merged_.records;
  auto header = records.begin();
  while (header != records.end() && (*header)->tag != tags::TES3) ++header;
  // Newest first, each right after the header: they end in the order first met.
  while (!cells_.empty()) {
    auto last = std::prev(cells_.end());
    if ((*last)->file == &merged_) {
      log_.Log("Added cell record for %s\n", (*last)->GetDisplayId().c_str());
      MoveRecordsAfter(records, header, cells_, last);
    } else {
      cells_.erase(last);
    }
  }
  cellsByGrid_.clear();
}

bool DialogMerger::Relink(Topic& topic) {
  Record& dial = *topic.dial;
  RecordList& infos = topic.infos;
  if (dial.IsDeleted() || dial.file != &merged_ || infos.empty()) return false;
  std::string topicText = dial.GetDisplayId();
  bool made = false;
  auto noteMade = [&](const Record& info, Tag tag) {
    if (!made) return;
    log_.Log("    INFO %-32s ; in %s: added the missing %s\n", info.GetDisplayId().c_str(),
             topicText.c_str(), TagText(tag).c_str());
  };
  auto setLink = [&](Record& info, Tag tag, const Subrecord* to) {
    Subrecord& link = LinkField(info, tag, made);
    noteMade(info, tag);
    if (to) {
      ReplaceData(link, to->data, to->size);
    } else {
      link.SetString("");
    }
    info.file = &merged_;
  };

  Record& first = *infos.front();
  if (!IsFromMaster(first) && !LinkText(first, tags::PNAM).empty()) {
    setLink(first, tags::PNAM, nullptr);
  }
  for (auto a = infos.begin(), b = std::next(a); b != infos.end(); ++a, ++b) {
    Record& before = **a;
    Record& after = **b;
    const Subrecord* beforeId = before.FindSubrecord(tags::INAM);
    const Subrecord* afterId = after.FindSubrecord(tags::INAM);
    if (!beforeId || !afterId) continue;  // none without an id is ever kept
    if (!IsFromMaster(after)) {
      const Subrecord* pnam = after.FindSubrecord(tags::PNAM);
      if (!pnam || !pnam->SameBytes(*beforeId)) setLink(after, tags::PNAM, beforeId);
    }
    if (!IsFromMaster(before)) {
      const Subrecord* nnam = before.FindSubrecord(tags::NNAM);
      if (!nnam || !nnam->SameBytes(*afterId)) setLink(before, tags::NNAM, afterId);
    }
  }
  Record& last = *infos.back();
  if (!IsFromMaster(last) && !LinkText(last, tags::NNAM).empty()) {
    setLink(last, tags::NNAM, nullptr);
  }

  for (auto it = infos.begin(); it != infos.end();) {
    Record& info = **it;
    if (info.file != &merged_) {
      it = infos.erase(it);
      continue;
    }
    // A saved response names both neighbours, the empty text at an end.
    for (Tag tag : {tags::PNAM, tags::NNAM}) {
      LinkField(info, tag, made);
      noteMade(info, tag);
    }
    if (Subrecord* anam = info.FindSubrecord(tags::ANAM)) {
      if (const std::string* renamed = renames_.NewNameFor(anam->Text())) {
        anam->SetString(*renamed);
      }
    }
    ++it;
  }
  return !infos.empty();
}

DialogMerger::RelinkCounts DialogMerger::RelinkTopics() {
  RelinkCounts counts;
  for (auto& topic : topics_) {
    ++counts.lookedAt;
    if (Relink(*topic)) {
      ++counts.relinked;
      RecordList chain;
      chain.push_back(std::move(topic->dial));
      AppendRecord(chain, topic->infos);
      AppendRecord(merged_.records, chain);
    }
    topic.reset();  // what is not saved goes now
  }
  topics_.clear();
  topicsByName_.clear();
  return counts;
}

}  // namespace modrake
