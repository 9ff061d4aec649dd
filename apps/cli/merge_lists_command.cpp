// modrake merge-lists [--activate]: Merged_Leveled_Lists.esp from the leveled
// lists of every active plugin.
#include "merge_command.hpp"

namespace modrake::cli {
namespace {

const CommandRegistration registration(kMergeListsOrder, [](CLI::App& app, CliContext& context) {
  AddMergeCommand(app, context, "merge-lists",
                  "Merge the leveled lists of all active plugins into Merged_Leveled_Lists.esp",
                  "Every item and creature list that the active plugins define gets one version: "
                  "the entries of all versions, their flags together and the smallest none "
                  "chance that is set.",
                  kMergeLeveledListsCommand);
});

}  // namespace
}  // namespace modrake::cli
