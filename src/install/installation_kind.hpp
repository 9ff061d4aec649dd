#pragma once

#include <cstddef>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "install/game_installation.hpp"

namespace modrake {

// How one engine keeps its game, behind GameInstallation: where the plugin
// files lie, which are active and in what order, and how that list is
// written back. One kind per engine, as load-order libraries give each game
// its own strategy.
class InstallationKind {
 public:
  virtual ~InstallationKind() = default;

  virtual GameKind kind() const = 0;
  virtual std::filesystem::path Source() const = 0;
  virtual std::string Description() const = 0;
  // Later folders win over earlier ones.
  virtual std::vector<std::filesystem::path> DataFolders() const = 0;
  virtual std::filesystem::path OutputFolder() const = 0;
  virtual std::vector<std::filesystem::path> LockFolders() const = 0;
  virtual std::vector<std::string> Warnings() const { return {}; }
  // The file the list is written to (Morrowind.ini, the user's openmw.cfg).
  virtual std::filesystem::path ListFile() const = 0;
  // In a preview the list is written in memory only, and read back from there.
  virtual void SetPreview(bool preview) = 0;

  // The list's entries in its own order, each once; FatalError when the list
  // exists but cannot be read. Reads the list afresh.
  virtual std::vector<std::string> ReadActiveNames() = 0;
  // Whether the load order follows file times; else it is the list's order.
  virtual bool OrderedByTime() const = 0;
  virtual size_t MostActive() const = 0;
  // Writes the list: the active files in load order, then the entries whose
  // files could not be read.
  virtual void WriteActiveNames(const std::vector<std::string>& active,
                                const std::vector<std::string>& unread) = 0;
  // Moves these active files to the end of the list and writes it (for a
  // kind whose order is the list's).
  virtual void MoveToEnd(const std::vector<std::string>& names) = 0;
};

// Whether the names hold name in any letter case.
bool ListsName(const std::vector<std::string>& names, std::string_view name);

// The game's morrowind.ini in whatever letter case it has; Morrowind.ini
// when there is none yet.
std::filesystem::path MorrowindIniPath(const std::filesystem::path& gameFolder);

// The original engine's kind: Morrowind.ini's [Game Files] and "Data Files"
// in the game folder.
std::unique_ptr<InstallationKind> OriginalEngineKind(const std::filesystem::path& gameFolder);
// OpenMW's kind: the configuration chain that starts with these files.
std::unique_ptr<InstallationKind> OpenMwKind(const std::vector<std::filesystem::path>& chain);

}  // namespace modrake
