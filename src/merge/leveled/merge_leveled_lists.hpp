#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

#include "format/plugin_file.hpp"
#include "install/game_installation.hpp"

namespace modrake {

struct Session;
class ExecutionLog;
class GameInstallation;

// The merged plugin being built, with its lists keyed by tag and id so that
// each incoming list finds its match at once, however many lists there are.
class MergedLeveledLists {
 public:
  MergedLeveledLists(PluginFile& plugin, ExecutionLog& log) : plugin_(plugin), log_(log) {}

  // Adds the list as a new one (true: the plugin owns it now), or merges its
  // entries, flags and none chance into the list already there (false: it is
  // destroyed). The list must have a NAME.
  bool MergeLeveledList(std::unique_ptr<LeveledListRecord> incoming);

  PluginFile& plugin() { return plugin_; }

  // One entry as lists compare them: the id in any letter case, and the level.
  struct EntryKey {
    std::string_view id;  // into the fields of a list that outlives the key
    uint16_t level = 1;
    bool operator==(const EntryKey& other) const;
  };
  struct EntryKeyHash {
    size_t operator()(const EntryKey& key) const;
  };
  using EntryCounts = std::unordered_map<EntryKey, uint32_t, EntryKeyHash>;

 private:
  // A list of the plugin and how often each entry occurs in it, kept up to
  // date so that a merge costs the size of the incoming list only.
  struct MergedList {
    LeveledListRecord* record = nullptr;
    EntryCounts entries;
    uint32_t entryFields = 0;  // fields with the entry tag, wherever they are
    bool counted = false;
    bool endsWithPair = true;  // the last entry has its level field
  };
  void CountEntries(MergedList& list);
  void RemoveKnownEntries(MergedList& list, LeveledListRecord& incoming);

  PluginFile& plugin_;
  ExecutionLog& log_;
  std::unordered_map<std::string, MergedList> lists_;
};

// Builds "Merged_Leveled_Lists.esp" in the data folder from the leveled lists
// of every active plugin; with activate, also makes it an active plugin.
// With the option to merge against the masters, the lists the masters define
// merge three-way (see ListsAgainstMasters).
void MergeLeveledLists(Session& session, bool activate);

}  // namespace modrake
