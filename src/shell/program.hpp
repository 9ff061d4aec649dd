#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/options.hpp"
#include "core/progress.hpp"
#include "core/session.hpp"
#include "core/settings.hpp"  // ActiveMasters
#include "platform/file_io.hpp"

namespace modrake {

class CellRenameTable;
class ExecutionLog;
class GameSettingTable;
class ObjectIndex;
class Ui;
struct TriedPlace;

// What a command needs of the game: its masters, or only the list of its
// plugins, which works without an active morrowind.esm so that it can be
// activated again.
enum class GameUse { kMasters, kPluginList };

// Where the game is, as the player named it: the original engine's folder
// (--game) or an OpenMW configuration (--openmw-config); neither: it is
// looked for.
struct GameLocation {
  GameLocation() = default;
  GameLocation(const std::filesystem::path& folder) : gameFolder(folder) {}
  GameLocation(std::optional<std::filesystem::path> folder,
               std::optional<std::filesystem::path> config = std::nullopt)
      : gameFolder(std::move(folder)), openmwConfig(std::move(config)) {}

  std::optional<std::filesystem::path> gameFolder;
  std::optional<std::filesystem::path> openmwConfig;
};

// What the window says of a game that could not be loaded: the error, and
// for a game that was not found the places tried, without the options of
// the command line.
std::string GameProblem(const std::exception& error);
// OpenMW's configuration files of the user that exist: what the window
// offers besides a game folder.
std::vector<std::filesystem::path> OpenMwConfigChoices();

// The pieces of the Session that a front end starts with and keeps for the
// whole run: the log, the options, the game installation, the object index
// and the game setting table. Pieces are made when first needed, so that a
// command that needs no game never looks for one.
class Program {
 public:
  // home: the folder of modrake.ini, modrake.log and modrake.dat; without
  // one, the usual places (see ResolveProgramHome).
  Program(Ui& ui, std::optional<std::filesystem::path> home);
  ~Program();
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  Ui& ui() { return ui_; }
  Options& options() { return options_; }
  const std::filesystem::path& home();
  ExecutionLog& log();
  Session& session();
  // How far the running command has got; its Cancel stops it between files.
  Progress& progress() { return progress_; }

  // Finds the game (see FindGame) or takes where the player named it (the
  // game folder, its "Data Files" or its Morrowind.ini), reads its active
  // plugins and game masters, then the settings of modrake.ini, and builds
  // the game setting table. GameNotFound, naming every place tried, when no
  // active plugin exists; "Cannot find morrowind.esm" without that master
  // (unless only the plugin list is used). Does nothing once the game is
  // loaded.
  void LoadGame(const GameLocation& where = {}, GameUse use = GameUse::kMasters);
  // What the next command needs of the game that is loaded: the window runs
  // one command after another on it, and only its Manage active plugins
  // window does without morrowind.esm.
  void SetGameUse(GameUse use);
  // Keeps the game in use in modrake.ini, where the next search looks for it
  // after the current folder: the window's choice when none was found.
  WriteResult RememberGame();
  // Forgets the loaded game, so that the next LoadGame reads it afresh (the
  // window does this after an error).
  void ForgetGame();
  bool GameLoaded() const { return game_ != nullptr; }
  GameInstallation& game();
  // The data folder where the window's file dialog opens.
  std::filesystem::path DataFolder();

  // Whether tribunal.esm and bloodmoon.esm are active: their Ignore boxes
  // are usable only then (SettingUsable).
  ActiveMasters ActiveGameMasters() const;

  // What "Done" on the options panel does: the boxes are saved to
  // modrake.ini and the flags follow them. The result says why modrake.ini
  // could not be written (the panel says nothing of it; the command line fails).
  WriteResult SaveOptions();

 private:
  Ui& ui_;
  std::optional<std::filesystem::path> givenHome_;
  std::optional<std::filesystem::path> home_;
  // The game once found: a reload finds the same one without asking again.
  struct FoundGame {
    std::filesystem::path gameFolder;                // the original engine's
    std::vector<std::filesystem::path> openmwChain;  // else OpenMW's configuration
    std::vector<TriedPlace> tried;                   // what the search passed over
  };
  std::optional<FoundGame> found_;
  Options options_;
  Progress progress_;
  std::unique_ptr<ExecutionLog> log_;
  std::unique_ptr<Session> session_;
  std::unique_ptr<GameInstallation> game_;
  std::unique_ptr<ObjectIndex> index_;
  std::unique_ptr<GameSettingTable> gameSettings_;
  std::unique_ptr<CellRenameTable> cellRenames_;
};

}  // namespace modrake
