#include "merge/objects/object_merger.hpp"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <optional>
#include <unordered_map>
#include <vector>

#include "core/execution_log.hpp"
#include "fields/field_formatter.hpp"
#include "fields/field_groups.hpp"
#include "fields/field_operations.hpp"
#include "format/plugin_file.hpp"
#include "objectdb/conflict_group.hpp"
#include "objectdb/record_comparison.hpp"

namespace modrake {

namespace {
using namespace tags;

constexpr char kRule[] = "----------------------------\n";

using FieldIt = SubrecordList::iterator;

bool HasBodyParts(Tag recordTag) {
  return recordTag == ARMO || recordTag == CLOT;
}
bool HasEffects(Tag recordTag) {
  return recordTag == SPEL || recordTag == ALCH;
}

// A body-part entry: the INDX and the male and female part ids bound to it,
// each of which may be missing.
struct BodyPartEntry {
  FieldIt indx, bnam, cnam;
  bool hasBnam = false, hasCnam = false;
};

BodyPartEntry EntryAt(Record& record, FieldIt indx) {
  BodyPartEntry entry{indx, indx, indx};
  auto end = record.Fields().end();
  auto first = std::next(indx);
  if (first == end) return entry;
  auto second = std::next(first);
  for (Tag part : {tags::BNAM, tags::CNAM}) {
    Tag other = part == tags::BNAM ? tags::CNAM : tags::BNAM;
    FieldIt found = end;
    if (first->tag == part) {
      found = first;
    } else if (first->tag == other && second != end && second->tag == part) {
      found = second;
    }
    if (found == end) continue;
    (part == tags::BNAM ? entry.bnam : entry.cnam) = found;
    (part == tags::BNAM ? entry.hasBnam : entry.hasCnam) = true;
  }
  return entry;
}

// Effects are the same effect when their index, skill and attribute agree.
bool SameEffect(const Subrecord& a, const Subrecord& b) {
  if (a.size < 4 || b.size < 4) return a.SameBytes(b);
  return std::memcmp(a.data, b.data, 4) == 0;
}

// What makes an effect of at least four bytes that effect: its first four.
uint32_t EffectKey(const Subrecord& effect) {
  return effect.UInt32At(0);
}

size_t CountTag(const Record& record, Tag tag) {
  return static_cast<size_t>(std::count_if(record.Fields().begin(), record.Fields().end(),
                                           [tag](const Subrecord& f) { return f.tag == tag; }));
}

FieldIt InsertCopy(Record& record, FieldIt before, const Subrecord& source) {
  // Emplaced here rather than found again: a list of thousands of items grows by one each time.
  FieldIt copy = record.Fields().emplace(before);
  copy->InitEmpty({source.tag, 0});
  ReplaceData(*copy, source.data, source.size);
  return copy;
}

void Take(Subrecord& into, const Subrecord& from) {
  ReplaceData(into, from.data, from.size);
}

void ListFields(ExecutionLog& log, const Record& record) {
  std::string label, value;
  for (auto it = record.Fields().begin(); it != record.Fields().end();) {
    unsigned n = FormatField(record, it, label, value);
    if (n == 0) {
      ++it;
      continue;
    }
    log.Log("        %-9s %s\n", label.c_str(), value.c_str());
    // The formatter never spans more fields than there are.
    for (unsigned i = 0; i < n && it != record.Fields().end(); ++i) ++it;
  }
}

class ObjectMerger {
 public:
  ObjectMerger(ExecutionLog& log, ConflictGroup& group, bool unrestrictedDialogs,
               bool mergeUnchanged)
      : log_(log),
        unrestrictedDialogs_(unrestrictedDialogs),
        mergeUnchanged_(mergeUnchanged),
        group_(group),
        recordTag_(group.versions.front()->tag) {}

  unsigned Merge(PluginFile& plugin);

 private:
  void RaiseToMerged() {
    if (loss_ == 0) loss_ = kMerged;
  }
  void RaiseToLoss() { loss_ = kMergedWithLoss; }
  bool Applies(size_t i) const { return !group_.versions[i]->IsDeleted() && keys_[i] == lastKey_; }

  void WriteAccount();
  void Subtract();
  void SubtractBodyPart(Record& version, FieldGroupFinder& finder, FieldIt masterIndx,
                        FieldIt indx);
  void Apply(Record& version);
  FieldIt InsertItem(FieldIt before, const Subrecord& field);
  void TakeItem(Subrecord& into, const Subrecord& from);
  void IndexEffects();
  FieldIt SameMergedEffect(const Subrecord& effect);
  FieldIt ApplyListItem(Record& version, FieldIt field);
  void MergeBodyPart(Record& version, FieldIt field, FieldIt existing);
  void ApplySingleField(const Subrecord& field);
  unsigned Finish(PluginFile& plugin);
  unsigned Refuse(const char* message, const char* screen);

  ExecutionLog& log_;
  const bool unrestrictedDialogs_;
  const bool mergeUnchanged_;
  ConflictGroup& group_;
  const Tag recordTag_;
  std::unique_ptr<Record> lastCopy_;
  std::unique_ptr<Record> merged_;
  // The list items of the merged record by their bytes, and its effects by
  // what makes them one effect, while versions apply.
  std::optional<FieldGroupFinder> mergedItems_;
  std::unordered_map<uint32_t, std::vector<FieldIt>> mergedEffects_;
  std::vector<uint32_t> keys_;
  uint32_t lastKey_ = kNoItemType;
  unsigned loss_ = 0;
};

void ObjectMerger::WriteAccount() {
  log_.Log("\n\n%s %s\n", TagText(recordTag_).c_str(),
           group_.versions.front()->GetDisplayId().c_str());
  if (Record* master = group_.masterVersion.get()) {
    log_.Log("    > %s\n", master->file ? master->file->name.c_str() : "");
    ListFields(log_, *master);
  }
  keys_.clear();
  for (const auto& version : group_.versions) {
    keys_.push_back(ItemTypeKey(*version));
    const char* name = version->file ? version->file->name.c_str() : "";
    if (version->IsDeleted()) {
      log_.Log("    > %s [DELETED]\n", name);
    } else if (keys_.back() != lastKey_) {
      log_.Log("    > %s [IGNORED DUE TO DIFFERENT TYPE]\n", name);
    } else {
      log_.Log("    > %s\n", name);
      ListFields(log_, *version);
    }
  }
  log_.Log(kRule);
}

// Reduces every version to what it changes against the master, and drops
// from the master the list items that every version dropped.
void ObjectMerger::Subtract() {
  Record& master = *group_.masterVersion;
  SubrecordList& fields = master.Fields();
  std::vector<std::optional<FieldGroupFinder>> finders(group_.versions.size());
  for (size_t i = 0; i < finders.size(); ++i) {
    if (!group_.versions[i]->IsDeleted()) finders[i].emplace(*group_.versions[i], false);
  }
  for (auto s = fields.begin(); s != fields.end();) {
    unsigned n = FieldGroupSize(master, s);
    auto next = std::next(s, n);
    bool kept = false;
    for (size_t i = 0; i < finders.size(); ++i) {
      if (!finders[i]) continue;
      Record& version = *group_.versions[i];
      FieldGroupFinder& finder = *finders[i];
      if (s->tag == tags::INDX && HasBodyParts(recordTag_)) {
        FieldIt found = finder.Find(master, s, 1);
        if (found == version.Fields().end()) continue;
        kept = true;
        SubtractBodyPart(version, finder, s, found);
        continue;
      }
      FieldIt found = finder.Find(master, s, n);
      if (found == version.Fields().end()) continue;
      kept = true;
      finder.Forget(found, std::next(found, n));
      version.Fields().erase(found, std::next(found, n));
    }
    if (!kept && IsListField(recordTag_, s->tag)) fields.erase(s, next);
    s = next;
  }
}

// Removes from the version's entry of the same body part the part ids that
// equal the master's, and the entry itself when no id is left.
void ObjectMerger::SubtractBodyPart(Record& version, FieldGroupFinder& finder, FieldIt masterIndx,
                                    FieldIt indx) {
  BodyPartEntry master = EntryAt(*group_.masterVersion, masterIndx);
  BodyPartEntry own = EntryAt(version, indx);
  auto erase = [&](FieldIt field) {
    finder.Forget(field);
    version.Fields().erase(field);
  };
  if (master.hasBnam && own.hasBnam && SubrecordEquals(*master.bnam, &*own.bnam)) {
    erase(own.bnam);
    own.hasBnam = false;
  }
  if (master.hasCnam && own.hasCnam && SubrecordEquals(*master.cnam, &*own.cnam)) {
    erase(own.cnam);
    own.hasCnam = false;
  }
  if (!own.hasBnam && !own.hasCnam) erase(indx);
}

void ObjectMerger::Apply(Record& version) {
  if ((merged_->flags ^ version.flags) & kComparedFlag) merged_->flags ^= kComparedFlag;
  for (auto field = version.Fields().begin(); field != version.Fields().end();) {
    if (IsListField(recordTag_, field->tag)) {
      field = ApplyListItem(version, field);
    } else {
      ApplySingleField(*field);
      ++field;
    }
  }
}

FieldIt ObjectMerger::InsertItem(FieldIt before, const Subrecord& field) {
  FieldIt added = InsertCopy(*merged_, before, field);
  mergedItems_->Added(added);
  if (added->tag == ENAM && HasEffects(recordTag_) && added->size >= 4) {
    mergedEffects_[EffectKey(*added)].push_back(added);
  }
  return added;
}

void ObjectMerger::TakeItem(Subrecord& into, const Subrecord& from) {
  Take(into, from);
  mergedItems_->Changed(into);
}

void ObjectMerger::IndexEffects() {
  mergedEffects_.clear();
  if (!HasEffects(recordTag_)) return;
  for (auto it = merged_->Fields().begin(); it != merged_->Fields().end(); ++it) {
    if (it->tag == ENAM && it->size >= 4) mergedEffects_[EffectKey(*it)].push_back(it);
  }
}

// The merged effect that is the same effect as this one, found by its key.
FieldIt ObjectMerger::SameMergedEffect(const Subrecord& effect) {
  SubrecordList& fields = merged_->Fields();
  if (effect.size < 4) {
    return std::find_if(fields.begin(), fields.end(),
                        [&](const Subrecord& f) { return f.tag == ENAM && SameEffect(f, effect); });
  }
  auto found = mergedEffects_.find(EffectKey(effect));
  if (found == mergedEffects_.end() || found->second.empty()) return fields.end();
  return found->second.front();
}

FieldIt ObjectMerger::ApplyListItem(Record& version, FieldIt field) {
  SubrecordList& fields = merged_->Fields();
  unsigned n = FieldGroupSize(version, field);
  // A changed effect replaces the merged one and moves to the end of the list.
  if (HasEffects(recordTag_) && field->tag == ENAM) {
    FieldIt same = SameMergedEffect(*field);
    if (same != fields.end()) {
      if (!SubrecordEquals(*same, &*field)) RaiseToLoss();
      if (same->size >= 4) {
        auto& bucket = mergedEffects_[EffectKey(*same)];
        bucket.erase(std::find(bucket.begin(), bucket.end(), same));
      }
      mergedItems_->Forget(same);
      fields.erase(same);
    }
  }
  FieldIt existing = mergedItems_->Find(version, field, 1);
  auto after = std::next(field, n);
  if (existing == fields.end()) {
    for (auto it = field; it != after; ++it) InsertItem(fields.end(), *it);
    RaiseToMerged();
  } else if (field->tag == tags::INDX && HasBodyParts(recordTag_)) {
    MergeBodyPart(version, field, existing);
  } else if (n == 2) {
    // A key with its value: the value of the later plugin wins.
    auto value = std::next(field);
    if (FieldGroupSize(*merged_, existing) == 2) {
      auto own = std::next(existing);
      if (!SubrecordEquals(*own, &*value)) {
        TakeItem(*own, *value);
        RaiseToLoss();
      }
    } else {
      InsertItem(std::next(existing), *value);
      RaiseToMerged();
    }
  }
  return after;
}

void ObjectMerger::MergeBodyPart(Record& version, FieldIt field, FieldIt existing) {
  BodyPartEntry incoming = EntryAt(version, field);
  BodyPartEntry own = EntryAt(*merged_, existing);
  if (incoming.hasBnam) {
    if (!own.hasBnam) {
      own.bnam = InsertItem(std::next(existing), *incoming.bnam);
      own.hasBnam = true;
      RaiseToMerged();
    } else if (!SubrecordEquals(*own.bnam, &*incoming.bnam)) {
      TakeItem(*own.bnam, *incoming.bnam);
      RaiseToLoss();
    }
  }
  if (incoming.hasCnam) {
    if (!own.hasCnam) {
      FieldIt anchor = own.hasBnam ? own.bnam : existing;
      InsertItem(std::next(anchor), *incoming.cnam);
      RaiseToMerged();
    } else if (!SubrecordEquals(*own.cnam, &*incoming.cnam)) {
      TakeItem(*own.cnam, *incoming.cnam);
      RaiseToLoss();
    }
  }
}

void ObjectMerger::ApplySingleField(const Subrecord& field) {
  SubrecordList& fields = merged_->Fields();
  Subrecord* own = merged_->FindSubrecord(field.tag);
  if (!own) {
    // A new property goes before the lists, where the editor keeps it.
    auto before = fields.begin();
    if (before != fields.end()) ++before;
    while (before != fields.end() && !IsListField(recordTag_, before->tag)) ++before;
    InsertCopy(*merged_, before, field);
    RaiseToMerged();
    return;
  }
  const Subrecord* master =
      group_.masterVersion ? group_.masterVersion->FindSubrecord(field.tag) : nullptr;
  if (master) {
    unsigned r = MergeFieldMembers(recordTag_, *own, field, *master);
    if (r == kMemberTaken) RaiseToMerged();
    if (r == kMemberConflict) RaiseToLoss();
  } else if (!SubrecordEquals(*own, &field)) {
    // Without the master's value every difference overwrites another change.
    Take(*own, field);
    RaiseToLoss();
  }
}

unsigned ObjectMerger::Refuse(const char* message, const char* screen) {
  log_.Log("%s", message);
  log_.Log(kRule);
  log_.Log(screen, TagText(recordTag_).c_str(), merged_->GetDisplayId().c_str());
  return kNotMerged;
}

unsigned ObjectMerger::Finish(PluginFile& plugin) {
  merged_->RebuildData();
  bool same = RecordsEqual(*merged_, *lastCopy_, unrestrictedDialogs_);
  unsigned result = loss_ ? loss_ : kMerged;
  if (same) {
    lastCopy_.reset();
    if (loss_ == kMergedWithLoss) {
      log_.Log("Some information has been lost during merging due to a conflict\n");
    }
    if (!mergeUnchanged_) {
      log_.Log("Result discarded due to being identical to the last loaded object\n");
      return kDiscarded;
    }
    log_.Log("Result is identical to the last loaded object\n");
    plugin.records.push_back(std::move(merged_));
    return result;
  }
  ListFields(log_, *merged_);
  lastCopy_.reset();
  if (HasEffects(recordTag_) && CountTag(*merged_, ENAM) > kMaxEffects) {
    return Refuse(
        "\nERROR! Object contains more than 8 ENAM fields and will be discarded to avoid error\n",
        "!ERROR - merged %s %s contains more than 8 ENAM fields and will be discarded");
  }
  if (HasBodyParts(recordTag_) && CountTag(*merged_, tags::INDX) > kMaxBodyParts) {
    return Refuse(
        "\nERROR! Object contains more than 7 INDX fields and will be discarded to avoid error\n",
        "!ERROR - merged %s %s contains more than 7 INDX fields and will be discarded");
  }
  if (loss_ == kMergedWithLoss) {
    log_.Log(kRule);
    log_.Log("Object has been merged but some information has been lost due to a conflict\n");
  }
  plugin.records.push_back(std::move(merged_));
  return result;
}

unsigned ObjectMerger::Merge(PluginFile& plugin) {
  AllVersionsIdentical(group_, unrestrictedDialogs_);
  if (group_.allIdentical) return kNotMerged;
  // A master that deleted the object leaves nothing to measure changes by.
  if (group_.masterVersion && group_.masterVersion->IsDeleted()) group_.masterVersion.reset();
  // The deleting plugin is loaded last and stays in force.
  if (group_.versions.back()->IsDeleted()) return kNotMerged;

  lastCopy_ = CloneRecord(group_.versions.back().get());
  lastKey_ = ItemTypeKey(*lastCopy_);
  WriteAccount();

  const size_t count = group_.versions.size();
  size_t first = count;
  if (group_.masterVersion) {
    Subtract();
    group_.masterVersion->RebuildData();
    merged_ = CloneRecord(group_.masterVersion.get());
    first = 0;
  } else {
    for (size_t i = 0; i + 1 < count; ++i) {
      if (Applies(i)) {
        merged_ = CloneRecord(group_.versions[i].get());
        first = i + 1;
        break;
      }
    }
    if (!merged_) {
      if (!mergeUnchanged_) {
        log_.Log("Result discarded due to being identical to the last loaded object\n");
        return kDiscarded;
      }
      merged_ = CloneRecord(lastCopy_.get());
    }
  }
  mergedItems_.emplace(*merged_, true);
  IndexEffects();
  for (size_t i = first; i < count; ++i) {
    if (Applies(i)) Apply(*group_.versions[i]);
  }
  mergedItems_.reset();
  mergedEffects_.clear();
  return Finish(plugin);
}
}  // namespace

unsigned MergeObject(ExecutionLog& log, ConflictGroup& group, PluginFile& merged,
                     bool unrestrictedDialogs, bool mergeUnchanged) {
  if (group.versions.empty()) return kNotMerged;
  return ObjectMerger(log, group, unrestrictedDialogs, mergeUnchanged).Merge(merged);
}

}  // namespace modrake
