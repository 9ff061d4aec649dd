#pragma once

#include <cstdint>
#include <iterator>
#include <unordered_map>
#include <vector>

#include "format/record.hpp"

namespace modrake {

struct ConflictGroup;

// The record types whose objects are merged field by field, and which the
// conflict report can call mergeable.
bool IsMergeableType(Tag recordTag);

// Whether fields of that tag are items of a list the record may hold any
// number of times (container items, spells, effects, AI packages ...), as
// opposed to single properties.
bool IsListField(Tag recordTag, Tag fieldTag);

// How many consecutive fields, from this one on, form one list item: 2 for a
// key bound to its value (a faction reaction, an escort's cell, a travel
// destination's cell, a script variable's value), 2 or 3 for a body-part
// index with its part ids, 1 otherwise.
unsigned FieldGroupSize(const Record& record, SubrecordList::const_iterator field);

// Finds, for many lookups in one record, the first group of n fields in the
// record that equals, field by field (tag, size and bytes), the n fields of
// a source from first on; the record's end when there is none. A group
// starting with a cell reference is never found, and n must not exceed
// FieldGroupSize of first. The time does not grow with the record: a container of thousands of
// items is merged or reported in one pass instead of one walk of the list per item. Fields are
// found by their bytes. The finder must hear of every field taken out of the record (Forget, before
// the erase) and of every field added or changed (Added, Changed); where a field outside the
// lookups' reach changes, it need not.
//
// listFieldsOnly: only list fields (IsListField) are looked up quickly; a
// lookup of another field walks the record.
class FieldGroupFinder {
 public:
  FieldGroupFinder(Record& record, bool listFieldsOnly);
  SubrecordList::iterator Find(const Record& source, SubrecordList::const_iterator first,
                               unsigned n);
  void Forget(SubrecordList::iterator first, SubrecordList::iterator last);
  void Forget(SubrecordList::iterator field) { Forget(field, std::next(field)); }
  void Added(SubrecordList::iterator field);
  // The field's bytes changed.
  void Changed(const Subrecord& field) {
    if (Indexed(field)) stale_ = true;
  }

 private:
  bool Indexed(const Subrecord& field) const;
  void Rebuild();

  Record& record_;
  bool listFieldsOnly_;
  // The fields by a checksum of tag and bytes, each bucket in record order.
  std::unordered_map<uint64_t, std::vector<SubrecordList::iterator>> byBytes_;
  // A field added between others or changed: the order or the bytes the
  // buckets know are no longer right, so the next lookup rebuilds them.
  bool stale_ = false;
};

// The kind of an armour, weapon or clothing (its type number); 0x0F0F0F0F for
// other records and for those without the field that holds the type.
constexpr uint32_t kNoItemType = 0x0F0F0F0F;
uint32_t ItemTypeKey(const Record& record);

// What a three-way merge of a data field did to the merged field.
enum MemberMerge : unsigned { kMemberUnchanged = 0, kMemberTaken = 1, kMemberConflict = 2 };

// Merges the plugin's version of a data field into the merged one member by
// member (weight, value, flags ...) where the field has a known layout and
// all three versions are long enough for it; any other field is taken whole
// when it differs. The three fields share a tag.
unsigned MergeFieldMembers(Tag recordTag, Subrecord& merged, const Subrecord& plugin,
                           const Subrecord& master);

// Sets the group's all-identical flag when it holds fewer than two versions
// or all of them are equal; a group once found identical is not compared again.
void AllVersionsIdentical(ConflictGroup& group, bool unrestrictedDialog);

}  // namespace modrake
