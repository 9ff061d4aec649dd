#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "core/execution_log.hpp"
#include "core/options.hpp"
#include "core/session.hpp"
#include "install/game_installation.hpp"
#include "platform/terminal_ui.hpp"

namespace modrake::cli {

// A mistake in how the program was called: exit code 2.
class UsageError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

// The global options and the pieces of the Session that the chosen command
// builds when it needs them.
class CliContext {
public:
  std::optional<std::filesystem::path> gameDir;
  std::optional<std::filesystem::path> homeDir;
  bool yes = false;
  bool no = false;

  // The chosen command's work, run after the whole line has been parsed.
  std::function<void()> action;

  TerminalUi& ui();
  ExecutionLog& log();
  Options& options() { return options_; }
  const std::filesystem::path& home();
  // The Session with the pieces built so far.
  Session& session();
  // FILE arguments play the part of the file dialog's selection.
  void ChooseFiles(const std::vector<std::filesystem::path>& files);

  // The game installation, built on first use and shared by every command
  // that works on the game: the folder of --game, else FindGameFolder from
  // the current folder; its active plugins in load order (FatalError "Cannot
  // find Morrowind installation" when none exists) and game masters
  // ("Cannot find morrowind.esm"). The settings of modrake.ini are then
  // loaded into options(), and session().game points at it.
  GameInstallation& game();

private:
  std::unique_ptr<TerminalUi> ui_;
  std::unique_ptr<ExecutionLog> log_;
  Options options_;
  std::optional<std::filesystem::path> home_;
  std::unique_ptr<Session> session_;
  std::unique_ptr<GameInstallation> game_;
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

}  // namespace modrake::cli
