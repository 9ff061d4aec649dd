#pragma once

#include <array>
#include <filesystem>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/fatal_error.hpp"
#include "format/plugin_file.hpp"
#include "install/load_order.hpp"

namespace modrake {

class Ui;
class InstallationKind;
class RunBackup;

// The engines whose games Modrake knows.
enum class GameKind {
  kOriginal,  // Morrowind.ini's [Game Files] and "Data Files", load order by file time
  kOpenMw,    // an openmw.cfg chain: data folders, and the content list as the load order
};

// The game masters by their word in the master index.
enum MasterWord : int { kMorrowindWord = 0, kTribunalWord = 1, kBloodmoonWord = 2 };

// The game's installation, of either kind: where its plugins lie, the active
// ones in load order and the game masters among them. Every command asks it;
// none assumes one data folder or file times.
class GameInstallation {
 public:
  // The original engine's game in that folder (Morrowind.ini, "Data Files").
  GameInstallation() : GameInstallation(std::filesystem::path()) {}
  explicit GameInstallation(const std::filesystem::path& gameFolder);
  // OpenMW's game as the configuration chain that starts with these files
  // gives it.
  static std::unique_ptr<GameInstallation> ForOpenMw(
      const std::vector<std::filesystem::path>& configChain);
  ~GameInstallation();
  GameInstallation(GameInstallation&&) noexcept;
  GameInstallation& operator=(GameInstallation&&) noexcept;

  GameKind kind() const;
  // What the installation is read from: the game folder, or the openmw.cfg
  // that holds the player's list.
  std::filesystem::path Source() const;
  // The line that names it when the program starts.
  std::string Description() const;
  // The file the list of active plugins is kept in, as messages name it:
  // "morrowind.ini" or "openmw.cfg".
  const char* ListName() const {
    return kind() == GameKind::kOpenMw ? "openmw.cfg" : "morrowind.ini";
  }
  // The game folder of the original engine; empty for OpenMW.
  const std::filesystem::path& gameFolder() const { return gameFolder_; }

  // Where plugin files lie: the data folders, a later one winning over an
  // earlier one ("Data Files" alone for the original engine).
  std::vector<std::filesystem::path> DataFolders() const;
  // The file of that name (any letter case, either spelling) in the folder
  // that wins; none when no data folder holds a readable one.
  std::optional<std::filesystem::path> FindFile(std::string_view name) const;
  // The data folder a file of that name would win from: where it lies, or
  // none.
  std::optional<std::filesystem::path> FolderOf(std::string_view name) const;
  // Whether a file of that name is a master or plugin of this engine (by
  // its extension).
  bool IsPluginName(std::string_view name) const;
  // Where merged plugins go unless the player names another data folder.
  std::filesystem::path OutputFolder() const;
  // The folder the window's file dialog opens in.
  std::filesystem::path MainDataFolder() const;
  // The folders a run that writes holds against other runs.
  std::vector<std::filesystem::path> LockFolders() const;
  // The game's morrowind.ini in whatever letter case it has (the original
  // engine's; empty for OpenMW).
  std::filesystem::path IniPath() const;
  // Warnings found while reading the installation (OpenMW's configuration),
  // each naming the file and line.
  std::vector<std::string> Warnings() const;

  // The active plugins in load order.
  const PluginList& activePlugins() const { return activePlugins_; }
  // The list's entries whose files could not be read (missing, unreadable),
  // in their order there: the player's list keeps them.
  const std::vector<std::string>& unreadEntries() const { return unreadEntries_; }
  // Every entry of the list in its order as last read, readable or not.
  const std::vector<std::string>& listedNames() const { return listed_; }
  // The most files the engine loads (256 for the original engine).
  size_t MostActive() const;

  // Builds the active plugins anew from the installation's list, in load
  // order. Entries naming files that are missing or unreadable go to
  // unreadEntries; a listed file whose header cannot be read stays, without
  // records, its error in its headerError (see RequireReadable). A list that
  // exists but cannot be read is a FatalError.
  void LoadActivePlugins();
  // FatalError with the read error of the first active plugin whose header
  // could not be read: every command but the plugin listing needs them all.
  void RequireReadable() const;
  // Writes the list: the active plugins in load order, then the unread
  // entries in their old order (the original engine: 256 at most, every
  // other GameFileN key goes). Everything else in the list's file stays as
  // it was.
  void WriteActivePlugins() const;
  // Replaces the active plugins with a list made elsewhere, in its order (a
  // game built in code); the game masters are found in it by name.
  void SetActivePlugins(PluginList plugins);
  PluginList TakeActivePlugins();
  // Appends a file found by name to the active plugins (not written yet).
  PluginFile& AddActive(const std::string& name);
  // Unlinks and destroys one active plugin; a game master pointing at it
  // becomes null.
  void RemovePlugin(PluginFile* file);
  // Moves the active plugins of these names to the end of the load order,
  // in this order, and writes that at once: new file times one minute apart
  // after the newest other file (the original engine, where file times make
  // the order; game masters never move), or their entries moved to the end
  // of the content list (OpenMW, where file times mean nothing). The files
  // must be active for OpenMW; the original engine moves any file of its
  // data folder.
  void LoadLast(const std::vector<PluginFile*>& files);
  // Whether the order of the active list is the load order itself (OpenMW),
  // so that a player can move plugins up and down in it.
  bool OrderIsTheList() const;
  // Makes the active plugins follow this order (OpenMW; the original engine
  // orders by file time) and writes the list.
  void Reorder(const std::vector<std::string>& names);

  // Whether unreadEntries holds that name, in any letter case.
  bool IsUnreadEntry(std::string_view name) const;
  // Drops an unread entry of that name (any letter case) from the list;
  // false when there is none.
  bool ForgetUnreadEntry(std::string_view name);

  // Whether an installation without an active morrowind.esm is an error.
  // Only the managing of the plugin list goes without it, so that it can be
  // activated again.
  bool requireMorrowind = true;

  // LoadActivePlugins, then FindGameMasters; GameNotFound naming Source()
  // when no listed plugin could be read (unless morrowind.esm is not
  // required and a data folder exists).
  void Reload();
  // Sets the three game masters from the active plugins by name;
  // FatalError "Cannot find morrowind.esm" when that one is required and not
  // active.
  void FindGameMasters();

  // The game masters in use by their word: null when not active or, during
  // a clean, ignored.
  const std::array<PluginFile*, 3>& masters() const { return masters_; }
  PluginFile* morrowind() const { return masters_[kMorrowindWord]; }
  PluginFile* tribunal() const { return masters_[kTribunalWord]; }
  PluginFile* bloodmoon() const { return masters_[kBloodmoonWord]; }
  // Whether the file is one of the three game masters in use.
  bool IsGameMaster(const PluginFile* file) const {
    return file && (file == masters_[0] || file == masters_[1] || file == masters_[2]);
  }
  // The game masters in use, in master order.
  std::vector<PluginFile*> GameMasters() const;
  // The masters plugins are compared with, in load order: the game masters
  // in use and, with allMasters, every other active master file (by its
  // header) that another active plugin names as a master.
  std::vector<PluginFile*> LoadOrderMasters(bool allMasters) const;
  // Whether the active file is one of LoadOrderMasters(allMasters).
  bool CountsAsMaster(PluginFile* file, bool allMasters) const;

  // Sets tribunal.esm or bloodmoon.esm aside while it lives (a clean with
  // their Ignore box ticked); they are in use again when it goes, however
  // the clean ends.
  class IgnoredMasters {
   public:
    IgnoredMasters(GameInstallation& game, bool tribunal, bool bloodmoon);
    ~IgnoredMasters();
    IgnoredMasters(const IgnoredMasters&) = delete;
    IgnoredMasters& operator=(const IgnoredMasters&) = delete;

   private:
    GameInstallation& game_;
  };

  // What a run that changes the game does around every change, for the run
  // the shell holds: keeps a backup of each file first (backup), or changes
  // nothing and only shows what it would do (preview: files that would be
  // written go to that folder instead, where the run reads them back).
  struct RunSafety {
    RunBackup* backup = nullptr;
    std::filesystem::path preview;  // empty: not a preview
    bool run = false;               // a run holds the game (see FinishRun)
  };
  void SetRunSafety(const RunSafety& safety);
  // Waits until every plugin the run wrote is on disk: within a run they are
  // synced together at its end, not one by one.
  void FinishRun();
  bool Previewing() const { return !safety_.preview.empty(); }
  // Before a file of the game is created, changed or replaced: its backup
  // (FatalError, nothing changed, when it cannot be kept). replaced: the
  // change renames another file over it. Does nothing in a preview.
  void BeforeChange(const std::filesystem::path& path, bool replaced) const;
  void BeforeCreate(const std::filesystem::path& path) const;

  // Every plugin a command writes goes through these, so that a game master
  // is never written, whatever name or link reaches it: that is a refused
  // write (WriteRefusedException) naming the master. A backup of the file is
  // kept first; in a preview the file goes to the preview folder, and the
  // plugin's path with it.
  void SavePlugin(PluginFile& file);
  void WritePluginHeader(PluginFile& file);
  // Sets a file's times as the change needs them (kept times, a new place in
  // the load order); FatalError naming the file when they cannot be set.
  void SetTimes(const std::filesystem::path& path, const FileTimes& times);
  // Makes the file load after every one of others, writing that when it does
  // not yet: a newer time (original engine) or its entry moved to the end of
  // the content list (OpenMW). Returns the name of the one it had to go
  // after, or nothing. The others may be active plugins, which the list's
  // reading afresh replaces.
  std::optional<std::string> LoadAfter(PluginFile& file,
                                       const std::vector<const PluginFile*>& others);
  void RefuseGameMasterWrite(const std::filesystem::path& path) const;
  // Which game master the path reaches, by the file itself (links followed,
  // any name); empty when none.
  std::string GameMasterAt(const std::filesystem::path& path) const;

 private:
  struct FileIndex;
  const FileIndex& Files() const;
  // A file this run made in a data folder joins the index.
  void AddToFileIndex(const std::filesystem::path& path);

  std::filesystem::path gameFolder_;
  std::unique_ptr<InstallationKind> kind_;
  // The files of every data folder by name, read once: hundreds of folders
  // are not searched again for each of thousands of names. Made anew when
  // the list is read and whenever a plugin is saved.
  mutable std::unique_ptr<FileIndex> files_;
  RunSafety safety_;
  // Files of the preview by name, found before those of the data folders.
  std::unordered_map<std::string, std::filesystem::path> previewed_;
  // The folders this run removed leftovers of killed runs from, and the
  // files it wrote.
  std::set<std::filesystem::path> swept_;
  std::set<std::filesystem::path> written_;
  PluginList activePlugins_;
  std::vector<std::string> unreadEntries_;
  std::vector<std::string> listed_;
  std::array<PluginFile*, 3> masters_{};
};

// The masters and plugins of one data folder: every *.esm, then every *.esp
// (for OpenMW also *.omwgame and *.omwaddon) regular file, extensions in any
// letter case, whose name holds no control character.
std::vector<std::string> PluginFileNames(const GameInstallation& game,
                                         const std::filesystem::path& folder);

// Keeps the game masters in use open for reading records at their offsets,
// and closes them when it goes, also when an error leaves early.
class OpenGameMasters {
 public:
  explicit OpenGameMasters(const GameInstallation& game);
  ~OpenGameMasters();
  OpenGameMasters(const OpenGameMasters&) = delete;
  OpenGameMasters& operator=(const OpenGameMasters&) = delete;

 private:
  std::vector<PluginFile*> opened_;  // those that were closed before
};

// The OpenMW configuration the player names, as the chain of files to read:
// the file of --openmw-config (or the openmw.cfg of that folder); else
// $OPENMW_CONFIG (a file); else the openmw.cfg of each folder of
// $OPENMW_CONFIG_DIR (':'-separated), in that order. None when nothing
// names one; FatalError "Cannot find file" when what is named holds none.
std::optional<std::vector<std::filesystem::path>> NamedOpenMwConfig(
    const std::optional<std::filesystem::path>& option);
// Where OpenMW's own configuration of the user lies when nothing names one,
// in the order to look: $XDG_CONFIG_HOME/openmw/openmw.cfg (~/.config/openmw),
// then the Flatpak's ~/.var/app/org.openmw.OpenMW/config/openmw/openmw.cfg.
std::vector<std::filesystem::path> DefaultOpenMwConfigPlaces();

// A place looked at for the game, and why it is not one.
struct TriedPlace {
  std::filesystem::path place;
  std::string why;
};

// No game where the player named one or where it was looked for. The
// message starts "Cannot find Morrowind installation", lists each place
// tried with why it is not a game, and says how to name the game.
class GameNotFound : public FatalException {
 public:
  explicit GameNotFound(std::vector<TriedPlace> tried);
  const std::vector<TriedPlace>& tried() const { return tried_; }
  // The first line and the places, without the options that name a game.
  static std::string Describe(const std::vector<TriedPlace>& tried);

 private:
  std::vector<TriedPlace> tried_;
};

// Why the folder is not a game folder of the original engine (no such
// folder, not a folder, no Morrowind.ini or no "Data Files" in it); empty
// when it is one.
std::string WhyNotGameFolder(const std::filesystem::path& folder);
// The game folder that a path the player named stands for: the folder that
// holds it when it is the game's Morrowind.ini or its "Data Files" folder,
// else the path itself.
std::filesystem::path GameFolderOf(const std::filesystem::path& named);

// The game folder as the game itself would be looked for, first: the current
// folder when it holds a morrowind.ini, or is the "Data Files" folder of a
// game above it, and the user says Yes to "Morrowind Location". The places
// that were not the game go to tried.
std::optional<std::filesystem::path> AskCurrentFolder(Ui& ui,
                                                      const std::filesystem::path& currentFolder,
                                                      std::vector<TriedPlace>* tried = nullptr);
// The second: the "Installed Path" of the first Wine registry with the
// game's key (empty when that path cannot be read); none without a key.
std::optional<std::filesystem::path> RegistryGameFolder(
    const std::vector<std::filesystem::path>& winePrefixes,
    std::vector<TriedPlace>* tried = nullptr);

// The names of the three game masters, in master order, which some
// operations never touch.
inline constexpr std::array<const char*, 3> kGameMasterNames = {"Morrowind.esm", "Tribunal.esm",
                                                                "Bloodmoon.esm"};
bool IsGameMasterName(std::string_view name);

// The plugins the three merges write into the data folder.
inline constexpr char kMergedLeveledListsName[] = "Merged_Leveled_Lists.esp";
inline constexpr char kMergedObjectsName[] = "Merged_Objects.esp";
inline constexpr char kMergedDialogsName[] = "Merged_Dialogs.esp";

// Whether the name is one of the three merged plugins, in any letter case.
bool IsMergedPluginName(std::string_view name);

}  // namespace modrake
