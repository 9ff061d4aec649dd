#pragma once

#include <cstdint>
#include <iterator>
#include <string_view>

#include "format/record.hpp"

namespace modrake {

// Operations on the entries of a LEVI or LEVC record. An entry is a field
// with the list's entry tag (INAM or CNAM) and the field right after it,
// which holds its level in its first two bytes.

// The first field with the list's entry tag, or the end.
SubrecordList::iterator FirstEntry(LeveledListRecord& list);

// Walks entries as pairs of an entry field and its level field, from `it`
// on; an entry without a level field has level 1. Returns whether the last
// entry had its level field.
template <typename Visit>
bool WalkEntries(SubrecordList& fields, SubrecordList::iterator it, Visit visit) {
  while (it != fields.end()) {
    auto next = std::next(it);
    if (next == fields.end()) {
      visit(*it, uint16_t{1});
      return false;
    }
    auto after = std::next(next);
    visit(*it, next->UInt16At(0));
    it = after;
  }
  return true;
}

// Stores the none chance in NNAM; a list without one gets it right after
// DATA (at the head without DATA).
void SetNoneChance(LeveledListRecord& list, uint8_t value);

// Counts every field with the entry tag and stores the count in INDX, when
// the list has one. Returns the count.
uint32_t RecountEntries(LeveledListRecord& list);

// Moves the field at `field` of `source` to directly after anchor (to the
// head when anchor is null). When source is another list, every field after
// it moves along, in order.
void InsertSubrecordAfter(LeveledListRecord& list, const Subrecord* anchor, SubrecordList& source,
                          SubrecordList::iterator field);

}  // namespace modrake
