// modrake merge-dialogs [--activate]: Merged_Dialogs.esp from the dialogue of
// every active plugin.
#include "merge_command.hpp"

namespace modrake::cli {
namespace {

const CommandRegistration registration(kMergeDialogsOrder, [](CLI::App& app, CliContext& context) {
  AddMergeCommand(app, context, "merge-dialogs",
                  "Merge the dialogue that several active plugins change into Merged_Dialogs.esp",
                  "The responses of each topic from the game masters and all active plugins "
                  "become one chain with its links rewritten; conditions that name a renamed "
                  "exterior cell follow the new name.",
                  kMergeDialogsCommand);
});

}  // namespace
}  // namespace modrake::cli
