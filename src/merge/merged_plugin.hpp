#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "format/plugin_file.hpp"

namespace modrake {

struct Session;
class GameInstallation;

// The author every merged plugin names in its header.
inline constexpr char kMergedPluginAuthor[] = "Modrake 1.3 by lanternfly";

// A new, empty merged plugin with the common author and the given
// description, in the data folder the player named for this run, else the
// installation's (made when missing). It replaces an earlier file of that name whatever the
// letter case the earlier one has on disk.
std::unique_ptr<PluginFile> CreateMergedPlugin(const Session& session, const char* name,
                                               const char* description);

// Lists the game master as a master of the merged plugin, with its size.
void AddGameMaster(PluginFile& merged, const PluginFile& master);

// Saves the merged plugin. When the file already held exactly these bytes
// it keeps its times, so that merging again changes nothing on disk.
void SaveMergedPlugin(GameInstallation& game, PluginFile& merged);

// The lines every merge ends with: the plugin has been created, then either
// its activation or where the log is.
void FinishMergedPlugin(Session& session, PluginFile& merged, bool activate);

}  // namespace modrake
