#pragma once

#include <CLI/CLI.hpp>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/execution_log.hpp"
#include "core/options.hpp"
#include "core/session.hpp"
#include "core/terminal.hpp"
#include "shell/dispatch.hpp"
#include "shell/function_list.hpp"
#include "shell/program.hpp"
#include "shell/run_guard.hpp"
#include "terminal_ui.hpp"

namespace modrake::cli {

// A mistake in how the program was called: exit code 2.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A question that could not be asked stopped the command before it did
// anything: exit code 2, with what TerminalUi kept of the question.
class Unasked {};

// A path given as an argument: its UTF-8 text read as the platform reads
// names (a plain path reads it in Windows' ANSI code page).
struct ArgumentPath : std::filesystem::path {
  ArgumentPath() = default;
  ArgumentPath(const std::string& text) : std::filesystem::path(TextPath(text)) {}
};

// The global options, the terminal and the Program that the chosen command
// runs on.
class CliContext {
 public:
  std::optional<ArgumentPath> gameDir;
  std::optional<ArgumentPath> openmwConfig;
  std::optional<ArgumentPath> homeDir;
  bool yes = false;
  bool no = false;
  bool dryRun = false;
  // The command as its backup names it ("fix", "plugins activate").
  std::string runName;

  // The chosen command's work, run after the whole line has been parsed.
  std::function<void()> action;

  TerminalUi& ui();
  Program& program();
  ExecutionLog& log() { return program().log(); }
  Options& options() { return program().options(); }
  Session& session() { return program().session(); }
  // FILE arguments play the part of the file dialog's selection: each found
  // as FindChosenFile finds it, in the game that this loads. Files that
  // cannot be read are a usage error that names each of them.
  void ChooseFiles(const std::vector<ArgumentPath>& files);

  // Finds and reads the game (the folder of --game, else as the game's own
  // tools find it) with its settings; done once, by the commands that work
  // on the game. From then on until the process ends, the run holds the
  // program home and the game: one run of the program is one command run.
  void LoadGame(GameUse use = GameUse::kMasters);
  // Sends the merged plugins of the run to the data folder of --output, a
  // usage error unless the game has that data folder. The game is loaded.
  void ChooseOutput(const std::optional<ArgumentPath>& folder);
  // Loads the game and runs an entry of the function list.
  void Run(int command, const DispatchOptions& options = {});

 private:
  std::unique_ptr<TerminalUi> ui_;
  std::unique_ptr<Program> program_;
  std::unique_ptr<RunGuard> runGuard_;  // after program_: released before it goes
};

using CommandSetup = std::function<void(CLI::App& app, CliContext& context)>;

// Each command registers itself from its own source file; order sorts --help.
struct CommandRegistration {
  CommandRegistration(int order, CommandSetup setup);
};

struct RegisteredCommand {
  int order;
  CommandSetup setup;
};

std::vector<RegisteredCommand>& RegisteredCommands();

// A subcommand with a one-line summary for the command list and the longer
// explanation in its own --help.
CLI::App* AddCommand(CLI::App& app, const char* name, const char* summary,
                     const std::string& details = "");

// --all-masters: the active master files that other active plugins name count
// as masters for this run (the AllMasters setting). Apply ticks the box when
// the flag was given; the flags are copied from the boxes after it.
class AllMastersFlag {
 public:
  explicit AllMastersFlag(CLI::App& command);
  void Apply(CliContext& context) const;

 private:
  std::shared_ptr<bool> given_ = std::make_shared<bool>(false);
};

// The order of the commands in --help: the function list's, then the others.
enum CommandOrder : int {
  kCleanOrder = 10,
  kMergeListsOrder = 20,
  kMergeObjectsOrder = 30,
  kMergeDialogsOrder = 40,
  kReportOrder = 50,
  kFixOrder = 60,
  kUndoOrder = 70,
  kPluginsOrder = 100,
  kOptionsOrder = 110,
  kDumpOrder = 120,
  kSampleGameOrder = 130,
};

// A question or message as one line of the terminal: its line breaks become
// blanks, its names UTF-8.
std::string OneLine(const std::string& text);

// After a failed parse: when the line names a command that does not exist,
// the message that says so and names the closest one.
std::optional<std::string> UnknownCommand(CLI::App& app);

}  // namespace modrake::cli
