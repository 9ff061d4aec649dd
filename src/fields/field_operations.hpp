#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "format/record.hpp"

namespace modrake {

// The longest text a report or merge account shows of one field.
constexpr size_t kDisplayTextLimit = 512;

// A field's bytes as one line of text: at most 512 bytes, up to the first
// zero, with every line break shown as "|".
std::string CopyDisplayText(const uint8_t* source, size_t length);
std::string CopyDisplayText(const Subrecord& field);

// Same tag, same size and same bytes; false when b is null.
bool SubrecordEquals(const Subrecord& a, const Subrecord* b);

// Gives the field an owned copy of the bytes in place of its data.
void ReplaceData(Subrecord& field, const uint8_t* data, uint32_t size);

// Adds a copy of the field (tag and bytes, owned) at the end of the record.
Subrecord& AppendSubrecord(Record& record, FieldView field);
inline Subrecord& AppendSubrecord(Record& record, const Subrecord& field) {
  return AppendSubrecord(record, field.View());
}

}  // namespace modrake
