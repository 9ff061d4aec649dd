#pragma once

#include "format/record.hpp"

namespace modrake {

// Whether two versions of an object are the same. With the unrestricted
// dialogue comparison, INFO records are compared from their DATA on, so that
// responses that differ only in their id and links count as equal.
bool RecordsEqual(const Record& a, const Record& b, bool unrestrictedDialog);

// Whether a later master only repeats an earlier master's version: never for
// a deleted later version or for cells.
bool SameAsEarlierMaster(const Record& earlier, const Record& later, bool unrestrictedDialog);

// Sets the AI data bytes that the editor writes inconsistently to fixed values.
void NormaliseAiData(Record& record);

// Widens every spell id shorter than 32 bytes to 32 zero-padded bytes.
void PadSpellEntries(Record& record);

// Whether the first field of that tag differs between the two records.
bool SubrecordDiffers(const Record& a, const Record& b, Tag tag);

// Whether two game settings of the type letter hold the same value.
bool GameSettingValuesEqual(char type, const Record& a, const Record& b);

}  // namespace modrake
