#pragma once

#include <filesystem>
#include <string>

#include "core/options.hpp"

namespace modrake {

class Ui;
class ExecutionLog;
class GameInstallation;
class ObjectIndex;
class GameSettingTable;
class CellRenameTable;
class RunLock;
class RunBackup;
class Progress;

// Everything a command reaches beyond its arguments. The front end owns the
// pieces and builds the Session; pieces a command does not need stay null.
struct Session {
  Ui& ui;
  ExecutionLog& log;
  Options& options;
  std::filesystem::path home;  // program home: settings, log, master cache

  GameInstallation* game = nullptr;
  ObjectIndex* index = nullptr;
  GameSettingTable* gameSettings = nullptr;
  CellRenameTable* cellRenames = nullptr;
  // The folders the command that runs now holds (see RunGuard); null between
  // commands.
  RunLock* runLock = nullptr;
  // How far the command has got and whether the user cancelled it; without
  // one a command runs to its end.
  Progress* progress = nullptr;

  // A data folder of the game the player named for the merged plugins of
  // this run; empty: the installation's own.
  std::filesystem::path mergeOutput = {};

  // What the run is called in its backup ("fix", "clean" ...).
  std::string runName = {};
  // A preview: the command runs as it would, changes nothing in the game and
  // says what it would do.
  bool dryRun = false;
  // The run that holds the game (see RunGuard): its backup, or the folder
  // where a preview puts what it would write.
  RunBackup* runBackup = nullptr;
  std::filesystem::path previewFolder = {};

  // Set by the window until the user has seen the options panel: the clean
  // entries then offer it first.
  bool optionsNotVisited = false;

  std::filesystem::path SettingsPath() const { return home / "modrake.ini"; }
  std::filesystem::path CachePath() const { return home / "modrake.dat"; }
};

}  // namespace modrake
