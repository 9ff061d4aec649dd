// modrake merge-objects [--activate] [--merge-unchanged]: Merged_Objects.esp
// from the objects that several active plugins change.
#include "merge/objects/merge_objects.hpp"
#include "merge_command.hpp"

namespace modrake::cli {
namespace {

const CommandRegistration registration(30, [](CLI::App& app, CliContext& context) {
  auto mergeUnchanged = std::make_shared<bool>(false);
  auto* command =
      AddMergeCommand(app, context, "merge-objects",
                      "Merge, field by field, the objects that several active plugins change into "
                      "Merged_Objects.esp",
                      kMergedObjectsName, [mergeUnchanged](Session& session, bool activate) {
                        // The flag turns the option on for this run; otherwise the settings hold.
                        session.options.boxes.mergeUnchangedObjects |= *mergeUnchanged;
                        session.options.CopyBoxesToFlags();
                        MergeObjects(session, activate);
                      });
  command->add_flag("--merge-unchanged", *mergeUnchanged,
                    "Merge unchanged objects: keep merged objects that equal the last plugin's "
                    "version");
});

}  // namespace
}  // namespace modrake::cli
