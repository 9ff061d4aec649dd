// modrake merge-lists [--activate]: Merged_Leveled_Lists.esp from the leveled
// lists of every active plugin.
#include "merge/leveled/merge_leveled_lists.hpp"
#include "merge_command.hpp"

namespace modrake::cli {
namespace {

const CommandRegistration registration(20, [](CLI::App& app, CliContext& context) {
  AddMergeCommand(app, context, "merge-lists",
                  "Merge the leveled lists of all active plugins into Merged_Leveled_Lists.esp",
                  kMergedLeveledListsName, MergeLeveledLists);
});

}  // namespace
}  // namespace modrake::cli
