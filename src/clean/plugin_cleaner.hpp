#pragma once

#include <optional>
#include <string>

#include "format/plugin_file.hpp"

namespace modrake {

struct Session;
class ExecutionLog;
class GameInstallation;
class GameSettingTable;
class MasterSet;

// What plugins are cleaned against and by: the masters (loaded), the game
// settings no plugin should change, and the options that steer it.
struct PluginCleaner {
  MasterSet& masters;
  ExecutionLog& log;
  GameInstallation& game;  // where cleaned plugins are saved
  const GameSettingTable* gameSettings = nullptr;
  bool unrestrictedDialogs = true;
  bool unrestrictedCells = true;
  bool relaxedAiData = true;
  bool forceSave = false;

  // The session's pieces and options.
  static PluginCleaner For(Session& session, MasterSet& masters);
};

// Cleans one plugin against the masters: removes stray game settings,
// records that repeat a master version, unchanged cell fields and
// references, empty cells and topics and earlier duplicates, then saves it
// over itself or as prefix + name. Returns 1 when it had changes and was
// saved.
int CleanPlugin(const PluginCleaner& cleaner, PluginFile* file,
                const std::optional<std::string>& prefix, bool keepTime);

}  // namespace modrake
