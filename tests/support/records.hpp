#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "format/record.hpp"

namespace modrake::test {

// Records in the layouts of the game's editor, small enough to spell out in a
// test; each builder takes the fields that tests vary.

// A parsed record's bytes as a file holds them, header included.
std::string BytesOf(const Record& record);

std::string Misc(const std::string& id, uint32_t value, uint32_t flags = 0);
// A weapon named name (the id when empty) whose chop damage runs from 1 to
// chopMax; slash and thrust do 1 to 5.
std::string Weapon(const std::string& id, float weight, uint32_t value,
                   const std::string& name = "", uint8_t chopMax = 5);

struct BodyPart {
  uint8_t index = 0;
  std::string male;    // empty: no BNAM
  std::string female;  // empty: no CNAM
};
std::string Armour(const std::string& id, uint32_t type, uint32_t value,
                   const std::vector<BodyPart>& parts);
// Items: count and id.
std::string Container(const std::string& id,
                      const std::vector<std::pair<int32_t, std::string>>& items);
struct Effect {
  uint16_t index = 0;
  uint32_t magnitude = 1;
};
std::string Spell(const std::string& id, const std::vector<Effect>& effects);
// Reactions: faction and value.
std::string Faction(const std::string& id,
                    const std::vector<std::pair<std::string, int32_t>>& reactions);

std::string Cell(const std::string& name, uint32_t flags, int32_t x, int32_t y,
                 const std::string& more = "");
// The fields of one cell reference: its number (the master's index in the
// high byte, 0 for a reference the file made itself), its object and more.
std::string Reference(uint32_t number, const std::string& id, const std::string& more = "");

std::string Dial(const std::string& topic, uint8_t type = 0);
// An INFO: INAM, PNAM, NNAM, DATA (with the disposition), ANAM when a cell is
// named, NAME, then the extra fields (conditions and the like).
std::string Response(const std::string& id, const std::string& prev, const std::string& next,
                     const std::string& text, int32_t disposition = 0, const std::string& cell = "",
                     const std::string& extra = "");
// A condition and its 32-bit value.
std::string Condition(const std::string& rule, int32_t value);

struct ListEntry {
  std::string id;
  uint16_t level = 1;
};
// A LEVI or LEVC: NAME, DATA, NNAM, INDX, then the entries with their INTV.
struct List {
  std::string tag = "LEVI";
  std::string id;
  uint32_t flags = 0;
  int chance = 0;  // -1: no NNAM
  std::vector<ListEntry> entries;
  uint32_t recordFlags = 0;
  bool dele = false;  // a DELE field after NAME
};
std::string ListBytes(const List& list);
// "LEVI id flags=1 none=50 count=2: a@1 b@3" ("-" for a missing field).
std::string DescribeList(const Record& record);

// The topics of a merged plugin, one line per record: "DIAL topic",
// "INFO id prev>next 'text' disposition".
std::vector<std::string> DescribeDialogs(const std::filesystem::path& plugin);
// What is wrong with the links of a merged plugin's responses: each PNAM and
// NNAM must be empty or name a response of the same topic in the merged
// plugin or in one of the sources, never the response itself, and two saved
// responses that follow each other must name each other. Empty when all is well.
std::vector<std::string> LinkProblems(const std::filesystem::path& merged,
                                      const std::vector<std::filesystem::path>& sources);

}  // namespace modrake::test
