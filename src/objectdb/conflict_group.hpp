#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "format/record.hpp"

namespace modrake {

class PluginFile;
class ObjectIndex;
class MasterSet;

// Every plugin's version of one object that several plugins define, in the
// order the plugins were read, and the newest version of the game masters.
struct ConflictGroup {
  static constexpr size_t kMaxVersions = 300;

  uint32_t allIdentical = 1;
  std::optional<std::string> context;  // the topic of INFO versions
  std::vector<std::unique_ptr<Record>> versions;
  std::unique_ptr<Record> masterVersion;

  uint32_t Count() const { return static_cast<uint32_t>(versions.size()); }
};

// Reduces a scan index to the objects met more than once (and that keep
// accepts, by record tag), each numbered by the place it ends at: a dropped
// entry's place goes to the last entry. The number, in the entry's third
// word, is the object's group. Sorts the index again; returns the count.
uint32_t NumberConflictGroups(ObjectIndex& index, bool (*keep)(Tag) = nullptr);

// Adds a version (a group holds at most 300; further ones are dropped).
void AddVersion(ConflictGroup& group, std::unique_ptr<Record> record, std::string_view topic);

// Reads the plugin and adds each record whose key survived in the scan index
// to the group numbered by the entry's third word; leveled lists and land
// textures only when reportLeveled.
void FillGroupsFromPlugin(ObjectIndex& index, bool reportLeveled, PluginFile& file,
                          std::vector<ConflictGroup>& groups);

// Reads the newest retained master version of the group's object. The game
// masters must be open.
void LoadMasterVersion(MasterSet& masters, ConflictGroup& group);

}  // namespace modrake
