#include "fields/field_groups.hpp"

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <iterator>

#include "fields/field_operations.hpp"
#include "objectdb/conflict_group.hpp"
#include "objectdb/record_comparison.hpp"
#include "platform/checksum.hpp"

namespace modrake {

namespace {
using namespace tags;

constexpr Tag kMergeableTypes[] = {
    ACTI, ALCH, APPA, ARMO, BODY, BOOK, BSGN, CLAS, CLOT, CONT, CREA, DOOR, ENCH, FACT, INGR,
    LIGH, LOCK, MGEF, MISC, NPC_, PROB, RACE, REGN, REPA, SKIL, SOUN, SPEL, STAT, WEAP,
};

bool OneOf(Tag tag, std::initializer_list<Tag> set) {
  return std::find(set.begin(), set.end(), tag) != set.end();
}

// Whether the field after it exists and has one of the tags.
bool NextIs(const Record& record, SubrecordList::const_iterator field,
            std::initializer_list<Tag> wanted) {
  auto next = std::next(field);
  return next != record.Fields().end() && OneOf(next->tag, wanted);
}
}  // namespace

bool IsMergeableType(Tag recordTag) {
  return std::find(std::begin(kMergeableTypes), std::end(kMergeableTypes), recordTag) !=
         std::end(kMergeableTypes);
}

bool IsListField(Tag recordTag, Tag fieldTag) {
  switch (recordTag) {
    case ARMO:
    case CLOT:
      return OneOf(fieldTag, {INDX, BNAM, CNAM});
    case CONT:
      return fieldTag == NPCO;
    case CREA:
    case NPC_:
      return OneOf(fieldTag, {NPCO, NPCS, AI_A, AI_E, AI_F, AI_T, AI_W, CNDT, DODT, DNAM});
    case RACE:
    case BSGN:
      return fieldTag == NPCS;
    case SPEL:
    case ALCH:
      return fieldTag == ENAM;
    case REGN:
      return fieldTag == SNAM;
    case FACT:
      return OneOf(fieldTag, {ANAM, INTV});
    case INFO:
      return OneOf(fieldTag, {SCVR, INTV, FLTV});
    default:
      return false;
  }
}

unsigned FieldGroupSize(const Record& record, SubrecordList::const_iterator field) {
  const Tag tag = field->tag;
  switch (record.tag) {
    case FACT:
      return tag == ANAM && NextIs(record, field, {INTV}) ? 2 : 1;
    case INFO:
      return tag == SCVR && NextIs(record, field, {INTV, FLTV}) ? 2 : 1;
    case CREA:
    case NPC_:
      if (tag == AI_E && NextIs(record, field, {CNDT})) return 2;
      if (tag == DODT && NextIs(record, field, {DNAM})) return 2;
      return 1;
    case ARMO:
    case CLOT: {
      if (tag != INDX || !NextIs(record, field, {BNAM, CNAM})) return 1;
      auto part = std::next(field);
      Tag other = part->tag == BNAM ? CNAM : BNAM;
      return NextIs(record, part, {other}) ? 3 : 2;
    }
    default:
      return 1;
  }
}

namespace {
// The fields of a source group after its first, as far as they exist.
struct GroupTail {
  const Subrecord* second = nullptr;
  const Subrecord* third = nullptr;

  GroupTail(const Record& source, SubrecordList::const_iterator first, unsigned n) {
    if (n >= 2 && std::next(first) != source.Fields().end()) {
      second = &*std::next(first);
      if (n >= 3 && std::next(first, 2) != source.Fields().end()) third = &*std::next(first, 2);
    }
  }

  // Whether the group starting at candidate, whose first field already
  // matched, goes on as the source's does.
  bool Follows(const Record& record, SubrecordList::iterator candidate, unsigned n) const {
    if (n == 1) return true;
    auto none = record.Fields().end();
    auto next = std::next(candidate);
    if (next == none || !SubrecordEquals(*next, second)) return false;
    if (n == 2) return true;
    auto after = std::next(next);
    return after != none && SubrecordEquals(*after, third);
  }
};

uint64_t FieldChecksum(const Subrecord& field) {
  return Checksum64(field.data, field.size, field.tag);
}

// The first group of n fields in record that equals, field by field (tag,
// size and bytes), the n fields of source from first on; record's end when
// there is none. A group starting with a cell reference is never found.
// n must not exceed FieldGroupSize of first.
SubrecordList::iterator FindFieldGroup(Record& record, const Record& source,
                                       SubrecordList::const_iterator first, unsigned n) {
  auto none = record.Fields().end();
  if (first->tag == FRMR) return none;
  GroupTail tail(source, first, n);
  for (auto candidate = record.Fields().begin(); candidate != none; ++candidate) {
    if (SubrecordEquals(*candidate, &*first) && tail.Follows(record, candidate, n)) {
      return candidate;
    }
  }
  return none;
}
}  // namespace

FieldGroupFinder::FieldGroupFinder(Record& record, bool listFieldsOnly)
    : record_(record), listFieldsOnly_(listFieldsOnly) {
  Rebuild();
}

bool FieldGroupFinder::Indexed(const Subrecord& field) const {
  return !listFieldsOnly_ || IsListField(record_.tag, field.tag);
}

void FieldGroupFinder::Rebuild() {
  byBytes_.clear();
  for (auto it = record_.Fields().begin(); it != record_.Fields().end(); ++it) {
    if (Indexed(*it)) byBytes_[FieldChecksum(*it)].push_back(it);
  }
  stale_ = false;
}

SubrecordList::iterator FieldGroupFinder::Find(const Record& source,
                                               SubrecordList::const_iterator first, unsigned n) {
  if (!Indexed(*first)) return FindFieldGroup(record_, source, first, n);
  auto none = record_.Fields().end();
  if (first->tag == FRMR) return none;
  if (stale_) Rebuild();
  auto bucket = byBytes_.find(FieldChecksum(*first));
  if (bucket == byBytes_.end()) return none;
  GroupTail tail(source, first, n);
  for (auto candidate : bucket->second) {
    if (SubrecordEquals(*candidate, &*first) && tail.Follows(record_, candidate, n)) {
      return candidate;
    }
  }
  return none;
}

void FieldGroupFinder::Forget(SubrecordList::iterator first, SubrecordList::iterator last) {
  if (stale_) return;  // the next lookup rebuilds from what is left
  for (auto it = first; it != last; ++it) {
    if (!Indexed(*it)) continue;
    auto bucket = byBytes_.find(FieldChecksum(*it));
    if (bucket == byBytes_.end()) continue;
    auto& fields = bucket->second;
    auto found = std::find(fields.begin(), fields.end(), it);
    if (found != fields.end()) fields.erase(found);
  }
}

void FieldGroupFinder::Added(SubrecordList::iterator field) {
  if (stale_ || !Indexed(*field)) return;
  // Only a field added at the end keeps its bucket in record order.
  if (std::next(field) != record_.Fields().end()) {
    stale_ = true;
    return;
  }
  byBytes_[FieldChecksum(*field)].push_back(field);
}

uint32_t ItemTypeKey(const Record& record) {
  const Subrecord* field = nullptr;
  uint32_t offset = 0;
  uint32_t width = 4;
  switch (record.tag) {
    case ARMO:
      field = record.FindSubrecord(AODT);
      break;
    case WEAP:
      field = record.FindSubrecord(WPDT);
      offset = 8;
      width = 2;
      break;
    case CLOT:
      field = record.FindSubrecord(CTDT);
      break;
    default:
      return kNoItemType;
  }
  // A field too short to hold the type says no more than a missing one.
  if (!field || field->size < offset + width) return kNoItemType;
  return width == 2 ? field->UInt16At(offset) : field->UInt32At(offset);
}

namespace {
// Merges one byte range of the plugin's data into the merged data, measured
// against the master's: unchanged when the plugin kept the master's bytes,
// taken when the merged bytes still held the master's, conflict when an
// earlier plugin's change is overwritten. The ranges must lie in all three.
unsigned MergeMember(uint8_t* merged, const uint8_t* plugin, const uint8_t* master, uint32_t offset,
                     uint32_t size) {
  if (std::memcmp(plugin + offset, master + offset, size) == 0) return kMemberUnchanged;
  bool untouched = std::memcmp(merged + offset, master + offset, size) == 0;
  std::memcpy(merged + offset, plugin + offset, size);
  return untouched ? kMemberTaken : kMemberConflict;
}

struct Member {
  uint8_t offset;
  uint8_t size;
};

// The members of a data field in the order they are merged. The AADT and
// ENDT layouts are only their first member: the rest depends on it.
struct Layout {
  const Member* members = nullptr;
  size_t count = 0;
  uint32_t extent = 0;  // the bytes the members cover, up to the last one's end
};

template <size_t N>
constexpr Layout MakeLayout(const Member (&members)[N]) {
  return {members, N, static_cast<uint32_t>(members[N - 1].offset + members[N - 1].size)};
}

constexpr Member kFourWords[] = {{0, 4}, {4, 4}, {8, 4}, {12, 4}};
constexpr Member kFiveWords[] = {{0, 4}, {4, 4}, {8, 4}, {12, 4}, {16, 4}};
constexpr Member kSixWords[] = {{0, 4}, {4, 4}, {8, 4}, {12, 4}, {16, 4}, {20, 4}};
constexpr Member kThreeWords[] = {{0, 4}, {4, 4}, {8, 4}};
constexpr Member kMagicEffect[] = {{0, 4}, {4, 4}, {8, 4}, {12, 12}, {24, 12}};
constexpr Member kAiData[] = {{0, 1}, {2, 1}, {3, 1}, {4, 1}, {8, 4}};
constexpr Member kWeapon[] = {{0, 4},  {4, 4},  {8, 2},  {10, 2}, {12, 4},
                              {16, 4}, {20, 2}, {22, 6}, {28, 4}};
constexpr Member kClothing[] = {{0, 4}, {4, 4}, {8, 2}, {10, 2}};
constexpr Member kCreature[] = {{0, 4},  {4, 4},   {8, 32},  {40, 12},
                                {52, 4}, {56, 12}, {68, 24}, {92, 4}};
constexpr Member kNpcShort[] = {{0, 2}, {2, 1}, {3, 1}, {4, 1}, {5, 3}, {8, 4}};
constexpr Member kNpcLong[] = {{0, 2},  {2, 8},  {10, 27}, {37, 1}, {38, 6},
                               {44, 1}, {45, 1}, {46, 1},  {47, 1}, {48, 4}};
constexpr Member kTypeFirst[] = {{0, 4}};
// After the type of an armour or an enchantment: the rest as one member when
// the type changed, else member by member.
constexpr Member kAfterChangedType[] = {{4, 12}};
constexpr Member kAfterSameType[] = {{4, 4}, {8, 4}, {12, 4}};

Layout FindLayout(Tag recordTag, const Subrecord& merged, const Subrecord& plugin,
                  const Subrecord& master) {
  switch (merged.tag) {
    case PBDT:
    case LKDT:
    case RIDT:
      return MakeLayout(kFourWords);
    case BKDT:
      return MakeLayout(kFiveWords);
    case AODT:
    case LHDT:
      return MakeLayout(kSixWords);
    case MCDT:
    case ALDT:
    case SPDT:
      return MakeLayout(kThreeWords);
    case MEDT:
      return MakeLayout(kMagicEffect);
    case AIDT:
      return MakeLayout(kAiData);
    case AADT:
    case ENDT:
      return {kTypeFirst, 1, 16};
    case WPDT:
      return MakeLayout(kWeapon);
    case CTDT:
      return MakeLayout(kClothing);
    case NPDT:
      if (recordTag == CREA) return MakeLayout(kCreature);
      if (recordTag != NPC_) return {};
      // An NPC's data block has a short form (auto-calculated) and a long one.
      for (uint32_t size : {12u, 52u}) {
        if (merged.size == size && plugin.size == size && master.size == size) {
          return size == 12 ? MakeLayout(kNpcShort) : MakeLayout(kNpcLong);
        }
      }
      return {};
    default:
      return {};
  }
}

unsigned MergeMembers(const Member* members, size_t count, uint8_t* merged, const uint8_t* plugin,
                      const uint8_t* master) {
  unsigned result = kMemberUnchanged;
  for (size_t i = 0; i < count; ++i) {
    result |= MergeMember(merged, plugin, master, members[i].offset, members[i].size);
  }
  return result;
}
}  // namespace

unsigned MergeFieldMembers(Tag recordTag, Subrecord& merged, const Subrecord& plugin,
                           const Subrecord& master) {
  Layout layout = FindLayout(recordTag, merged, plugin, master);
  // A field shorter than its layout is merged whole, so that nothing is read
  // past its data.
  bool fits = layout.count && merged.size >= layout.extent && plugin.size >= layout.extent &&
              master.size >= layout.extent;
  if (!fits) {
    if (SubrecordEquals(merged, &plugin)) return kMemberUnchanged;
    bool untouched = SubrecordEquals(merged, &master);
    ReplaceData(merged, plugin.data, plugin.size);
    return untouched ? kMemberTaken : kMemberConflict;
  }
  unsigned result =
      MergeMembers(layout.members, layout.count, merged.data, plugin.data, master.data);
  if (merged.tag == AADT || merged.tag == ENDT) {
    result |= result != kMemberUnchanged
                  ? MergeMembers(kAfterChangedType, 1, merged.data, plugin.data, master.data)
                  : MergeMembers(kAfterSameType, 3, merged.data, plugin.data, master.data);
  }
  return result == 3 ? kMemberConflict : result;
}

void AllVersionsIdentical(ConflictGroup& group, bool unrestrictedDialog) {
  if (group.allIdentical) return;
  group.allIdentical = 1;
  for (size_t i = 1; i < group.versions.size(); ++i) {
    if (!RecordsEqual(*group.versions[0], *group.versions[i], unrestrictedDialog)) {
      group.allIdentical = 0;
      return;
    }
  }
}

}  // namespace modrake
