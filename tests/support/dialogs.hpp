#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace modrake::test {

// An INFO as the game's editor writes it: INAM, PNAM, NNAM, DATA (with the
// disposition), ANAM when a cell is named, NAME, then the extra fields
// (conditions and the like, as field bytes).
std::string Response(const std::string& id, const std::string& prev, const std::string& next,
                     const std::string& text, int32_t disposition = 0, const std::string& cell = "",
                     const std::string& extra = "");
// A condition and its 32-bit value.
std::string Condition(const std::string& rule, int32_t value);
// An exterior cell at (x, y) with a name and a region.
std::string ExteriorCell(const std::string& name, int32_t x, int32_t y);

// The topics and cells of a merged plugin, one line per record:
// "CELL 2,-3 name", "DIAL topic", "INFO id prev>next 'text' disposition[ @cell]".
std::vector<std::string> DescribeDialogs(const std::filesystem::path& plugin);

// What is wrong with the links of a merged plugin's responses: each PNAM and
// NNAM must be empty or name a response of the same topic in the merged
// plugin or in one of the sources, never the response itself, and two saved
// responses that follow each other must name each other. Empty when all is well.
std::vector<std::string> LinkProblems(const std::filesystem::path& merged,
                                      const std::vector<std::filesystem::path>& sources);

}  // namespace modrake::test
