#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "format/plugin_file.hpp"
#include "install/load_order.hpp"

namespace modrake {

class Ui;

// The game's installation: its folder, the active plugins in load order and
// the three game masters among them.
class GameInstallation {
 public:
  std::filesystem::path gameFolder;
  PluginList activePlugins;  // load order
  // The [Game Files] entries whose files could not be read (missing,
  // unreadable), in their order there: the player's list keeps them.
  std::vector<std::string> unreadEntries;

  // The game masters found in the active plugins by name; null when not
  // active or, during a clean, ignored.
  PluginFile* morrowind = nullptr;
  PluginFile* tribunal = nullptr;
  PluginFile* bloodmoon = nullptr;

  // The column the Manage active plugins list is sorted by (a SortMode).
  int listSortState = kLoadOrder;

  // Whether an installation without an active morrowind.ini is an error. Only
  // the managing of the plugin list goes without it, so that it can be
  // activated again.
  bool requireMorrowind = true;

  // "Data Files" in the game folder, in whatever letter case it has.
  std::filesystem::path DataFolder() const;
  // The game's morrowind.ini in whatever letter case it has; Morrowind.ini
  // when there is none yet.
  std::filesystem::path IniPath() const;

  // Builds the active plugins anew from [Game Files] of morrowind.ini, in
  // load order. Entries naming files that are missing or unreadable go to
  // unreadEntries; a listed file whose header cannot be read stays, without
  // records, its error in its headerError (see RequireReadable). A
  // morrowind.ini that exists but cannot be read is a FatalError.
  void LoadActivePlugins();
  // FatalError with the read error of the first active plugin whose header
  // could not be read: every command but the plugin listing needs them all.
  void RequireReadable() const;
  // Writes [Game Files]: the active plugins in load order, then the unread
  // entries in their old order, 256 at most; every other GameFileN key goes.
  // Everything else in morrowind.ini stays as it was.
  void WriteActivePlugins() const;
  // Whether unreadEntries holds that name, in any letter case.
  bool IsUnreadEntry(std::string_view name) const;
  // Drops an unread entry of that name (any letter case) from the list;
  // false when there is none.
  bool ForgetUnreadEntry(std::string_view name);

  // LoadActivePlugins, then FindGameMasters; FatalError "Cannot find
  // Morrowind installation" when no listed plugin could be read (unless
  // morrowind.esm is not required and the data folder exists).
  void Reload();

  // Sets the three game masters from the active plugins by name;
  // FatalError "Cannot find morrowind.esm" when that one is required and not
  // active.
  void FindGameMasters();
  // Unlinks and destroys one active plugin; a game master pointing at it
  // becomes null.
  void RemovePlugin(PluginFile* file);

  // Whether the file is one of the three game masters in use.
  bool IsGameMaster(const PluginFile* file) const {
    return file && (file == morrowind || file == tribunal || file == bloodmoon);
  }
  // The game masters in use, in load order.
  std::vector<PluginFile*> GameMasters() const;

  // Every plugin a command writes goes through these, so that a game master
  // is never written, whatever name or link reaches it: that is a refused
  // write (WriteRefusedException) naming the master.
  void SavePlugin(PluginFile& file) const;
  void WritePluginHeader(PluginFile& file) const;
  void RefuseGameMasterWrite(const std::filesystem::path& path) const;
  // Which game master of the data folder the path reaches, by the file
  // itself (links followed, any name); empty when none.
  std::string GameMasterAt(const std::filesystem::path& path) const;
};

// Keeps the game masters in use open for reading records at their offsets,
// and closes them when it goes, also when an error leaves early.
class OpenGameMasters {
 public:
  explicit OpenGameMasters(const GameInstallation& game);
  ~OpenGameMasters();
  OpenGameMasters(const OpenGameMasters&) = delete;
  OpenGameMasters& operator=(const OpenGameMasters&) = delete;

 private:
  std::vector<PluginFile*> masters_;
};

// The game folder as the game itself would be looked for: a morrowind.ini in
// currentFolder (used when the user says Yes to "Morrowind Location"), else
// the "Installed Path" of the game's key in a Wine registry, else
// currentFolder when no registry has the key. Empty when the key exists but
// its path cannot be read.
std::filesystem::path FindGameFolder(Ui& ui, const std::filesystem::path& currentFolder,
                                     const std::vector<std::filesystem::path>& winePrefixes);

// The names of the three game masters, which some operations never touch.
bool IsGameMasterName(std::string_view name);

// The plugins the three merges write into the data folder.
inline constexpr char kMergedLeveledListsName[] = "Merged_Leveled_Lists.esp";
inline constexpr char kMergedObjectsName[] = "Merged_Objects.esp";
inline constexpr char kMergedDialogsName[] = "Merged_Dialogs.esp";

// Whether the name is one of the three merged plugins, in any letter case.
bool IsMergedPluginName(std::string_view name);

}  // namespace modrake
