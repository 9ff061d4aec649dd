#pragma once

#include <optional>
#include <string>

#include "format/plugin_file.hpp"

namespace modrake {

struct Session;

// Cleans one plugin against the game masters (LoadMasters has run): removes
// stray game settings, records that repeat a master version, unchanged cell
// fields and references, empty cells and topics and earlier duplicates, then
// saves it over itself or as prefix + name. Returns 1 when it had changes
// and was saved.
int CleanPlugin(Session& session, PluginFile* file, const std::optional<std::string>& prefix,
                bool keepTime);

bool IsEvilGameSetting(Session& session, const Record& gmst);

// topic holds the id of the last DIAL passed; a DIAL updates it.
bool IsIdenticalToMaster(Session& session, Record& record, std::string& topic);

// The number of fields removed from the cell, or -1 when the cell is empty
// and is to be removed.
int CleanCell(Session& session, Record& cell, PluginFile& file);

int CleanCellFields(Session& session, const Record& masterCell, Record& cell);

}  // namespace modrake
