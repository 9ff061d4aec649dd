#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "format/plugin_file.hpp"

namespace modrake {

class ExecutionLog;

// The three-way merge of the leveled lists that the masters define: each
// plugin's version counts for what it adds to and removes from the newest
// version in the masters it names, and those changes are made, in load
// order, to the newest version in all the masters.
class ListsAgainstMasters {
 public:
  // masters: the masters in load order; listCache: where the cache keeps
  // where their lists lie, valid for the stamp identity given.
  ListsAgainstMasters(std::vector<PluginFile*> masters, ExecutionLog& log,
                      std::filesystem::path listCache, std::string identity);

  // Reads the leveled lists of every master: only the lists, where the cache
  // places them, when it was made for these masters and holds true; else
  // every record of the masters. It logs nothing, so that it may run on
  // another thread while the plugins are read.
  void ReadMasters();
  // After ReadMasters: caches where the lists lie when they were not read
  // from the cache, and tells of a cache that did not hold true.
  void SaveListCache();

  // Starts the next plugin in load order; its MAST entries decide which
  // master versions its lists are compared with.
  void StartPlugin(PluginFile& plugin);

  // Takes the version of the plugin being read when a master defines the
  // list. kFirst: the first version met, which becomes the merged list (the
  // merged plugin is to own it); kLater: a later one, which may go now;
  // kNotMasters: no master defines the list, which merges as any other.
  enum class Taken { kFirst, kLater, kNotMasters };
  Taken Take(LeveledListRecord& list);

  // Gives every merged list its entries, flags and none chance, and writes
  // the account of each list to the log.
  void Finish();

  struct Entry {
    std::string id;
    uint16_t level = 1;
  };
  struct Version {
    std::vector<Entry> entries;
    uint32_t flags = 0;
    uint8_t chance = 0;
  };

 private:
  struct PluginVersion {
    size_t plugin;  // index into pluginNames_
    Version version;
    const Version* reference = nullptr;  // newest in the plugin's own masters
  };
  struct MasterVersion {
    size_t master;
    Version version;
  };
  struct ListState {
    std::vector<MasterVersion> masters;  // in load order
    std::vector<PluginVersion> plugins;  // in load order
    LeveledListRecord* merged = nullptr;
  };
  void Merge(ListState& list);
  void AddMasterVersion(size_t master, Record& record);
  bool ReadCachedLists(const std::vector<std::vector<uint32_t>>& offsets);

  std::vector<PluginFile*> masters_;
  ExecutionLog& log_;
  std::filesystem::path listCache_;
  std::string identity_;
  // Where the lists lie, when read from the masters: the cache to write.
  std::vector<std::vector<uint32_t>> readOffsets_;
  bool cacheFailed_ = false;  // the cache placed a list where none is
  std::unordered_map<std::string, ListState> lists_;
  std::vector<std::string> order_;  // keys of the lists plugins change, as first met
  std::vector<std::string> pluginNames_;
  std::vector<bool> named_;  // which masters the current plugin names
};

// Tag and id in lower case: lists match by tag and by id in any letter case.
std::string ListKey(const LeveledListRecord& list);

}  // namespace modrake
