#pragma once

#include <string>

#include "format/record.hpp"

namespace modrake {

// Shows one field of a record, starting at `field`: label (the tag, or e.g. "FRMR/NAME"),
// value text, and returns how many subrecords the field spans (0 = never shown, 1, 2 or 3).
unsigned FormatField(const Record& record, SubrecordList::const_iterator field, std::string& label,
                     std::string& value);

}  // namespace modrake
