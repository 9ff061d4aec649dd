// modrake undo [--list | RUN] [--force]: the game as it was before a run.
#include "cli_context.hpp"
#include "core/fatal_error.hpp"
#include "shell/undo.hpp"

namespace modrake::cli {
namespace {

struct UndoArguments {
  bool list = false;
  bool force = false;
  std::string run;
};

void RunUndo(CliContext& context, const UndoArguments& args) {
  if (args.list) {
    auto runs = BackedUpRuns(context.session());
    if (runs.empty()) context.log().AddLogLine("No run has a backup");
    for (const auto& run : runs) context.log().AddLogLine(DescribeRun(run));
    return;
  }
  // The game is held while its files come back; a game that cannot be read
  // at all is no reason to keep them away.
  try {
    context.LoadGame(GameUse::kPluginList);
  } catch (const FatalException&) {
  }
  UndoLastRun(context.session(), args.run, args.force);
}

const CommandRegistration registration(kUndoOrder, [](CLI::App& app, CliContext& context) {
  auto* command = AddCommand(
      app, "undo", "Bring the game back to what it was before a run",
      "Every run that changes the game keeps a backup of what it changes in the program home "
      "(backups/). Without arguments the newest run that is not undone yet is undone: every "
      "file it changed comes back byte for byte with its times and mode, every file it made goes. "
      "A file changed since that run (by another program or a later run) stops the undo unless "
      "--force is given. The newest 20 runs and at most 2 GiB are kept (Backups/KeepRuns and "
      "Backups/KeepMegabytes of modrake.ini).");
  auto args = std::make_shared<UndoArguments>();
  auto* list = command->add_flag("--list", args->list, "List the runs that have a backup");
  command->add_flag("--force", args->force, "Undo even when files changed since the run");
  command->add_option("RUN", args->run, "The run to undo, as --list names it")->excludes(list);
  command->callback(
      [&context, args] { context.action = [&context, args] { RunUndo(context, *args); }; });
});

}  // namespace
}  // namespace modrake::cli
