#include <algorithm>
#include <csignal>
#include <cstdio>

#include "cli_context.hpp"
#include "core/fatal_error.hpp"
#include "core/progress.hpp"
#include "core/terminal.hpp"

using modrake::cli::CliContext;

namespace {
// What a cancelled run exits with: the shell's number for a run ended by Ctrl+C.
constexpr int kCancelledExit = 128 + SIGINT;

// The options that come before the command.
void AddGlobalOptions(CLI::App& app, CliContext& context) {
  auto* game = app.add_option("--game", context.gameDir,
                              "The original engine's game: its folder (holding Morrowind.ini and "
                              "Data Files), that Data Files folder or that Morrowind.ini");
  app.add_option("--openmw-config", context.openmwConfig,
                 "An OpenMW game: its openmw.cfg, or the folder that holds it")
      ->excludes(game);
  app.add_option("--home", context.homeDir,
                 "Folder for modrake.ini, modrake.log, modrake.bak and modrake.dat (default: "
                 "$MODRAKE_HOME, else $XDG_DATA_HOME/modrake)");
  app.add_flag("--dry-run", context.dryRun,
               "Run the command as it would run, but change nothing in the game: say what it "
               "would do");
  auto* yes = app.add_flag("-y,--yes", context.yes, "Answer Yes to every question");
  auto* no = app.add_flag("-n,--no", context.no, "Answer No to every question");
  yes->excludes(no);
}

// Runs the parsed command; returns the exit status: 0 done, 1 failed, 2 not
// done (a usage error or a question nobody could answer), 130 cancelled.
int RunCommand(CLI::App& app, CliContext& context) {
  int status = 0;
  auto fatal = [&](const std::string& message) {
    std::fflush(stdout);
    std::string text = context.log().ReportFatal(message);
    context.ui().ShowError("Modrake Error", text);
    status = 1;
  };
  // A run's backup is named after the command that was given.
  for (CLI::App* level = &app; !level->get_subcommands().empty();) {
    level = level->get_subcommands().front();
    context.runName += (context.runName.empty() ? "" : " ") + level->get_name();
  }
  try {
    if (context.action) context.action();
    // An error box (a "Clean" folder that cannot be made) ends the command
    // as documented, yet the run failed.
    if (context.ui().ErrorShown()) status = 1;
  } catch (const modrake::cli::UsageError& e) {
    std::fflush(stdout);
    std::fprintf(stderr, "modrake: %s\n", e.what());
    status = 2;
  } catch (const modrake::cli::Unasked&) {
    status = 2;
  } catch (const std::exception& e) {
    fatal(modrake::FailureMessage(e));
  } catch (const modrake::RunCancelled& cancelled) {
    context.log().ReportCancelled(cancelled.next);
    status = kCancelledExit;
  }
  std::fflush(stdout);
  // A question without a terminal to ask it on was answered No: the run
  // says what it left undone, and how to go ahead.
  if (const auto& unanswered = context.ui().Unanswered(); !unanswered.empty()) {
    for (const std::string& question : unanswered) {
      std::fprintf(stderr, "modrake: not done, as there is no terminal to ask: \"%s\"\n",
                   modrake::cli::OneLine(question).c_str());
    }
    std::fprintf(stderr, "modrake: run again with --yes to answer Yes, or --no to answer No\n");
    if (status == 0) status = 2;
  }
  return status;
}
}  // namespace

int main(int argc, char** argv) {
  modrake::PrepareConsole();
  modrake::ProgramArguments arguments(argc, argv);
  CLI::App app{"Modrake: cleans, merges and manages Morrowind plugins.", "modrake"};
  app.set_version_flag("--version", "modrake " MODRAKE_VERSION);
  app.require_subcommand(1);
  app.fallthrough();

  CliContext context;
  AddGlobalOptions(app, context);
  auto& commands = modrake::cli::RegisteredCommands();
  std::stable_sort(commands.begin(), commands.end(),
                   [](const auto& a, const auto& b) { return a.order < b.order; });
  for (auto& command : commands) command.setup(app, context);

  try {
    app.parse(arguments.count(), arguments.values());
  } catch (const CLI::ParseError& e) {
    if (auto unknown = modrake::cli::UnknownCommand(app)) {
      std::fprintf(stderr, "modrake: %s\n", unknown->c_str());
      return 2;
    }
    int code = app.exit(e);
    return code == 0 ? 0 : 2;
  }
  return RunCommand(app, context);
}
