#pragma once

#include <array>

namespace modrake {

// The command index of each entry of the function list, and of the
// JUST FIX IT! button.
enum CommandIndex : int {
  kCleanCommand = 0,
  kCleanSubfolderCommand = 1,
  kMergeLeveledListsCommand = 2,
  kMergeObjectsCommand = 3,
  kMergeDialogsCommand = 4,
  kConflictReportCommand = 5,
  kManageActivePluginsCommand = 6,
  kJustFixItCommand = 10,
};

// The entries of the function list in their order: an entry's position is
// its command index.
const std::array<const char*, 7>& FunctionList();

}  // namespace modrake
