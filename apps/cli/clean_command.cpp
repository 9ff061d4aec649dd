// modrake clean [flags] FILE...: the two clean entries of the function list.
#include "cli_context.hpp"

namespace modrake::cli {
namespace {

struct CleanArguments {
  bool subfolder = false;
  bool keepNames = false;
  bool keepTime = false;
  bool forceSave = false;
  bool ignoreTribunal = false;
  bool ignoreBloodmoon = false;
  bool restrictedDialogs = false;
  bool restrictedCells = false;
  std::vector<ArgumentPath> files;
};

void RunClean(CliContext& context, const CleanArguments& args, const AllMastersFlag& allMasters) {
  context.LoadGame();  // also loads the settings
  // A flag turns its option on for this run; otherwise the settings hold.
  CheckBoxes& boxes = context.options().boxes;
  boxes.keepFileName |= args.keepNames;
  boxes.keepFileDate |= args.keepTime;
  boxes.forceSave |= args.forceSave;
  boxes.ignoreTribunal |= args.ignoreTribunal;
  boxes.ignoreBloodmoon |= args.ignoreBloodmoon;
  boxes.restrictedDialogCleaning |= args.restrictedDialogs;
  boxes.restrictedCellCleaning |= args.restrictedCells;
  allMasters.Apply(context);
  context.ChooseFiles(args.files);
  context.Run(args.subfolder ? kCleanSubfolderCommand : kCleanCommand);
}

const CommandRegistration registration(kCleanOrder, [](CLI::App& app, CliContext& context) {
  auto* command = AddCommand(
      app, "clean", "Remove from plugins what only repeats the game masters",
      "Removes records identical to a master version, stray game settings, unchanged cell fields "
      "and references, empty cells and topics, and duplicate objects. A cleaned file is saved "
      "beside the original as \"Clean NAME\", over it (--keep-names), or in a \"Clean\" "
      "subfolder (--subfolder). Every FILE is checked first: one that is missing or cannot be "
      "read stops the command before anything is cleaned.");
  auto args = std::make_shared<CleanArguments>();
  command->add_flag("--subfolder", args->subfolder, "Save the results in a \"Clean\" subfolder");
  command->add_flag("--keep-names", args->keepNames,
                    "Don't change plugin filenames (without --subfolder: overwrite the file)");
  command->add_flag("--keep-time", args->keepTime, "Retain file time, when cleaning");
  command->add_flag("--force-save", args->forceSave, "Force save for clean plugins");
  command->add_flag("--ignore-tribunal", args->ignoreTribunal, "Ignore tribunal.esm");
  command->add_flag("--ignore-bloodmoon", args->ignoreBloodmoon, "Ignore bloodmoon.esm");
  command->add_flag("--restricted-dialogs", args->restrictedDialogs, "Restricted dialog cleaning");
  command->add_flag("--restricted-cells", args->restrictedCells, "Restricted cell cleaning");
  AllMastersFlag allMasters(*command);
  command
      ->add_option("FILE", args->files,
                   "Plugin files to clean: paths, or names in the game's data folders")
      ->required();
  command->callback([&context, args, allMasters] {
    context.action = [&context, args, allMasters] { RunClean(context, *args, allMasters); };
  });
});

}  // namespace
}  // namespace modrake::cli
