// modrake merge-objects [--activate] [--merge-unchanged]: Merged_Objects.esp
// from the objects that several active plugins change.
#include "merge_command.hpp"

namespace modrake::cli {
namespace {

const CommandRegistration registration(kMergeObjectsOrder, [](CLI::App& app, CliContext& context) {
  auto mergeUnchanged = std::make_shared<bool>(false);
  auto* command = AddMergeCommand(
      app, context, "merge-objects",
      "Merge the objects that several active plugins change into Merged_Objects.esp",
      "Each object of a mergeable type that two or more active plugins change is merged field by "
      "field against its game master version; the log gives the account of every decision.",
      kMergeObjectsCommand, [mergeUnchanged](CliContext& c) {
        // The flag turns the option on for this run; otherwise the settings hold.
        c.options().boxes.mergeUnchangedObjects |= *mergeUnchanged;
        c.options().CopyBoxesToFlags();
      });
  command->add_flag("--merge-unchanged", *mergeUnchanged,
                    "Merge unchanged objects: keep merged objects that equal the last plugin's "
                    "version");
});

}  // namespace
}  // namespace modrake::cli
