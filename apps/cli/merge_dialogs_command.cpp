// modrake merge-dialogs [--activate]: Merged_Dialogs.esp from the dialogue of
// every active plugin.
#include "merge/dialogs/merge_dialogs.hpp"
#include "merge_command.hpp"

namespace modrake::cli {
namespace {

const CommandRegistration registration(40, [](CLI::App& app, CliContext& context) {
  AddMergeCommand(app, context, "merge-dialogs",
                  "Merge the dialogue topics that several active plugins change into "
                  "Merged_Dialogs.esp, relinking their responses and following renamed "
                  "exterior cells",
                  kMergedDialogsName, MergeDialogs);
});

}  // namespace
}  // namespace modrake::cli
