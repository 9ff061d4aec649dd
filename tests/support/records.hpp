#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "format/record.hpp"

namespace modrake::test {

// Records in the editor's layouts; each builder takes the fields tests vary.

// A parsed record's bytes as a file holds them, header included.
std::string BytesOf(const Record& record);

std::string Misc(const std::string& id, uint32_t value, uint32_t flags = 0);
// A weapon (named as the id when name is empty) chopping 1 to chopMax.
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
// One cell reference's fields: number (master index in the high byte), object, more.
std::string Reference(uint32_t number, const std::string& id, const std::string& more = "");

std::string Dial(const std::string& topic, uint8_t type = 0);
// An INFO: INAM, PNAM, NNAM, DATA, ANAM for a named cell, NAME, then extra fields.
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

// A merged plugin's topics: "DIAL topic", "INFO id prev>next 'text' disposition".
std::vector<std::string> DescribeDialogs(const std::filesystem::path& plugin);
// Broken PNAM/NNAM links of a merged plugin's responses; empty when all is well.
std::vector<std::string> LinkProblems(const std::filesystem::path& merged,
                                      const std::vector<std::filesystem::path>& sources);

}  // namespace modrake::test
