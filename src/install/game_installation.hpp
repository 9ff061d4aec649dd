#pragma once

#include <filesystem>

#include "format/plugin_file.hpp"

namespace modrake {

// The game's installation: its folder, the active plugins in load order and
// the three game masters among them.
class GameInstallation {
public:
  std::filesystem::path gameFolder;
  PluginList activePlugins;  // load order

  // The game masters found in the active plugins by name; null when not
  // active or, during a clean, ignored.
  PluginFile* morrowind = nullptr;
  PluginFile* tribunal = nullptr;
  PluginFile* bloodmoon = nullptr;

  std::filesystem::path DataFolder() const { return gameFolder / "Data Files"; }
};

}  // namespace modrake
