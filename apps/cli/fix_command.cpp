// modrake fix [--all-masters]: JUST FIX IT!, the whole program in one run.
#include "merge_command.hpp"

namespace modrake::cli {
namespace {

const CommandRegistration registration(kFixOrder, [](CLI::App& app, CliContext& context) {
  auto* command = AddCommand(
      app, "fix", "JUST FIX IT!: clean every active plugin and build and activate the merges",
      "Asks first. Then every active plugin is cleaned in place keeping its time, the headers of "
      "the untouched ones get the present sizes of their masters, and Merged_Leveled_Lists.esp, "
      "Merged_Objects.esp and Merged_Dialogs.esp are built and activated, all in one log. Cells "
      "are cleaned in restricted mode (new cells that the masters lack are kept) and dialogue is "
      "compared from its data on for the run, whatever the "
      "settings say.");
  auto output = AddOutputOption(*command);
  AllMastersFlag allMasters(*command);
  command->callback([&context, output, allMasters] {
    context.action = [&context, output, allMasters] {
      context.LoadGame();
      context.ChooseOutput(*output);
      allMasters.Apply(context);
      context.Run(kJustFixItCommand);
    };
  });
});

}  // namespace
}  // namespace modrake::cli
