#include "fields/field_operations.hpp"

#include <algorithm>
#include <cstring>

namespace modrake {

std::string CopyDisplayText(const uint8_t* source, size_t length) {
  size_t n = std::min(length, kDisplayTextLimit);
  if (!source) n = 0;
  const void* zero = n ? std::memchr(source, 0, n) : nullptr;
  if (zero) n = static_cast<size_t>(static_cast<const uint8_t*>(zero) - source);
  std::string text(reinterpret_cast<const char*>(source), n);
  for (char& c : text) {
    if (c == '\n' || c == '\r') c = '|';
  }
  return text;
}

std::string CopyDisplayText(const Subrecord& field) {
  return CopyDisplayText(field.data, field.size);
}

bool SubrecordEquals(const Subrecord& a, const Subrecord* b) {
  return b && a.tag == b->tag && a.SameBytes(*b);
}

void ReplaceData(Subrecord& field, const uint8_t* data, uint32_t size) {
  field.SetBytes(data, size);
}

Subrecord& AppendSubrecord(Record& record, FieldView field) {
  Subrecord& added = record.Fields().emplace_back();
  added.tag = field.tag;
  added.SetBytes(field.data, field.size);
  return added;
}

}  // namespace modrake
