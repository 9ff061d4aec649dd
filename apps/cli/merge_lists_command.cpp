// modrake merge-lists [--activate] [--against-masters]: Merged_Leveled_Lists.esp
// from the leveled lists of every active plugin.
#include "merge_command.hpp"

namespace modrake::cli {
namespace {

const CommandRegistration registration(kMergeListsOrder, [](CLI::App& app, CliContext& context) {
  auto againstMasters = std::make_shared<bool>(false);
  auto* command = AddMergeCommand(
      app, context, "merge-lists",
      "Merge the leveled lists of all active plugins into Merged_Leveled_Lists.esp",
      "Every item and creature list that the active plugins define gets one version: the "
      "entries of all versions, their flags together and the smallest none chance that is set. "
      "With --against-masters a list that a master defines starts from the newest master "
      "version and takes what each plugin adds and removes against its own masters.",
      kMergeLeveledListsCommand, [againstMasters](CliContext& c) {
        c.options().boxes.mergeListsAgainstMasters |= *againstMasters;
        c.options().CopyBoxesToFlags();
      });
  command->add_flag("--against-masters", *againstMasters,
                    "Merge leveled lists against their masters: keep what plugins remove and "
                    "what the expansions add");
});

}  // namespace
}  // namespace modrake::cli
