#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "format/record.hpp"

namespace modrake::test {

// Records of mergeable objects in the layouts of the game's editor, small
// enough to spell out in a test. Each takes the fields that tests vary.

std::string MiscItem(const std::string& id, float weight, uint32_t value,
                     const std::string& script = "", uint32_t flags = 0);
std::string Weapon(const std::string& id, float weight, uint32_t value, uint16_t type = 1);

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

// The fields of a record as "TAG:size" with the text of text fields, for
// messages when two records differ.
std::string DescribeFields(const Record& record);

}  // namespace modrake::test
