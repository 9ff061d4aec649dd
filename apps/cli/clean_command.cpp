// modrake clean [flags] FILE...: the two clean entries of the function list.
#include "clean/clean_command.hpp"

#include "clean/game_setting_table.hpp"
#include "cli_context.hpp"
#include "objectdb/object_index.hpp"

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
  std::vector<std::filesystem::path> files;
};

void RunClean(CliContext& context, const CleanArguments& args) {
  context.game();  // also loads the settings
  // A flag turns its option on for this run; otherwise the settings hold.
  CheckBoxes& boxes = context.options().boxes;
  boxes.keepFileName |= args.keepNames;
  boxes.keepFileDate |= args.keepTime;
  boxes.forceSave |= args.forceSave;
  boxes.ignoreTribunal |= args.ignoreTribunal;
  boxes.ignoreBloodmoon |= args.ignoreBloodmoon;
  boxes.restrictedDialogCleaning |= args.restrictedDialogs;
  boxes.restrictedCellCleaning |= args.restrictedCells;
  context.options().CopyBoxesToFlags();

  context.ChooseFiles(args.files);

  ObjectIndex index;
  GameSettingTable table = GameSettingTable::Standard();
  Session& session = context.session();
  session.index = &index;
  session.gameSettings = &table;
  RunCleanEntry(session, args.subfolder ? 1 : 0);
  session.index = nullptr;
  session.gameSettings = nullptr;
}

const CommandRegistration registration(200, [](CLI::App& app, CliContext& context) {
  auto* command = app.add_subcommand(
      "clean",
      "Remove from plugins what only repeats the game masters: records identical to a master "
      "version, stray game settings, unchanged cell fields and references, empty cells and "
      "topics, duplicate objects. Saved over the file as \"Clean NAME\" beside it, or in a "
      "\"Clean\" subfolder");
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
  command->add_option("FILE", args->files, "Plugin files to clean, from any folder")->required();
  command->callback([&context, args] { context.action = [&context, args] { RunClean(context, *args); }; });
});

}  // namespace
}  // namespace modrake::cli
