#pragma once

#include <cstddef>

#include "format/record.hpp"

namespace modrake {

struct ConflictGroup;
class ExecutionLog;
class PluginFile;

// What MergeObject did with an object.
enum MergeResult : unsigned {
  kNotMerged = 0,       // all versions equal, the last one deleted, or a limit broken
  kDiscarded = 1,       // the merged record equalled the last version
  kMerged = 2,          // added to the merged plugin
  kMergedWithLoss = 3,  // added, but a later plugin overwrote an earlier one's change
};

// The game refuses spells and potions of more effects, and armour and
// clothing of more body-part entries, than these.
constexpr size_t kMaxEffects = 8;
constexpr size_t kMaxBodyParts = 7;

// Builds one record that carries every plugin's changes to the object, field
// by field against its master version, and writes the account of it to the
// log. A merged record (results 2 and 3) is appended to the merged plugin.
// The group's versions are changed on the way: it is only fit to be
// destroyed afterwards. unrestrictedDialogs compares responses from their
// data on; with mergeUnchanged, a merged record that equals the last version
// is kept all the same.
unsigned MergeObject(ExecutionLog& log, ConflictGroup& group, PluginFile& merged,
                     bool unrestrictedDialogs, bool mergeUnchanged);

}  // namespace modrake
