#pragma once

#include <memory>
#include <string>
#include <unordered_map>

#include "format/plugin_file.hpp"

namespace modrake {

struct Session;
class ExecutionLog;
class GameInstallation;

inline constexpr char kMergedLeveledListsName[] = "Merged_Leveled_Lists.esp";

// The merged plugin being built, with its lists keyed by tag and id so that
// each incoming list finds its match at once, however many lists there are.
class MergedLeveledLists {
 public:
  MergedLeveledLists(PluginFile& plugin, ExecutionLog& log) : plugin_(plugin), log_(log) {}

  // Adds the list as a new one (true: the plugin owns it now), or merges its
  // entries, flags and none chance into the list already there (false: it is
  // destroyed). The list must have a NAME.
  bool MergeLeveledList(std::unique_ptr<LeveledListRecord> incoming);

 private:
  PluginFile& plugin_;
  ExecutionLog& log_;
  std::unordered_map<std::string, LeveledListRecord*> lists_;
};

// Builds "Merged_Leveled_Lists.esp" in the data folder from the leveled lists
// of every active plugin; with activate, also makes it an active plugin.
void MergeLeveledLists(Session& session, bool activate);

// Appends the plugin saved in the data folder to the active plugins and
// writes them to morrowind.ini, unless it is already active.
void ActivateMergedPlugin(GameInstallation& game, const std::string& name);

}  // namespace modrake
