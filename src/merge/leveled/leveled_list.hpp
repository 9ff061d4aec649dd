#pragma once

#include <cstdint>
#include <string_view>

#include "format/record.hpp"

namespace modrake {

// Operations on the entries of a LEVI or LEVC record. An entry is a field
// with the list's entry tag (INAM or CNAM) and the field right after it,
// which holds its level in its first two bytes.

// The entry-tag field of the first entry with this id (any letter case) and
// level, or null. An entry without a following field is never found.
Subrecord* FindEntry(LeveledListRecord& list, std::string_view id, uint16_t level);

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
