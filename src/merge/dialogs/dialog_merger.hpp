#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "format/plugin_file.hpp"

namespace modrake {

class ExecutionLog;
class CellRenameTable;
class MasterSet;

// A topic as one file has it: the DIAL and the INFOs read after it.
struct TopicChain {
  std::unique_ptr<Record> dial;
  RecordList infos;
};

// What MergeInfo did to the response already there.
enum class InfoMerge {
  kUnchanged = 0,       // nothing: the incoming version changes no field
  kMerged = 1,          // the incoming version's changed fields went into it
  kReplaced = 2,        // the incoming version replaced a plugin's version
  kReplacedMaster = 3,  // the incoming version replaced a game master's version
};

// Combines the topics of the game masters and the active plugins, read in
// load order, into one set of topics, and follows the exterior cells that
// files rename. A record's file link tells where it stands: a game master's
// or a plugin's file while it is only that file's version, the merged plugin
// once it was merged or has to be relinked; only the latter are saved.
class DialogMerger {
 public:
  // The masters are loaded; merged is the plugin being built, holding only
  // its header.
  DialogMerger(MasterSet& masters, ExecutionLog& log, CellRenameTable& renames, PluginFile& merged);
  ~DialogMerger();
  DialogMerger(const DialogMerger&) = delete;
  DialogMerger& operator=(const DialogMerger&) = delete;

  // One topic of the merged set: its DIAL, its responses in chain order and
  // the responses by id (INAM bytes), each id once.
  struct Topic {
    std::unique_ptr<Record> dial;
    RecordList infos;
    std::unordered_map<std::string, RecordList::iterator> byId;
  };

  // Merges one file's version of a topic (the merger takes over its records);
  // `count` is the number of INFOs read with it.
  void MergeTopic(TopicChain chain, int count);

  // The merged topic with the DIAL's display id in any letter case, or null.
  Topic* FindTopic(const Record& dial);

  // Merges the incoming version of a response into the one already there,
  // against the game masters' version when there is one. Does not keep it.
  InfoMerge MergeInfo(Record& existing, Record& incoming, std::string_view topic, bool logged);

  // Follows an exterior cell of a file: names and renames. Does not keep it,
  // so a cell is only looked at, never parsed whole with its references.
  void TrackExteriorCell(const RecordView& cell, PluginFile* file);

  // Puts the exterior cells whose names the merge relies on into the merged
  // plugin, right after its header, in the order their grid positions were
  // first met; the other tracked cells are dropped.
  void AddRenamedCells();

  struct RelinkCounts {
    int relinked = 0;
    int lookedAt = 0;
  };
  // Rewrites the links of every merged topic, renames the cells its merged
  // responses name, and appends to the merged plugin the topics and responses
  // it has to hold. The merger holds no topic afterwards.
  RelinkCounts RelinkTopics();

 private:
  struct Placement;
  // "INFO id ; what" about a response of the merged plugin or of a plugin.
  void LogResponse(const std::string& id, const Record& existing, const char* ofMerged,
                   const char* ofPlugin);
  void AddNewTopic(TopicChain& chain);
  // The merged topic a file's version of a topic merges into, said in the
  // log; null when there is none to merge into: a topic without a name is
  // left out, a deleted one marks the merged topic deleted, a new one is
  // added as it is.
  Topic* TopicToMergeInto(TopicChain& chain, int count, bool logged);
  std::unique_ptr<Record> MasterVersion(const Record& info, std::string_view topic);
  bool Relink(Topic& topic);

  // Whether the record was read from a master of the set.
  bool IsFromMaster(const Record& record) const;

  MasterSet& masters_;
  ExecutionLog& log_;
  CellRenameTable& renames_;
  PluginFile& merged_;

  std::vector<std::unique_ptr<Topic>> topics_;
  std::unordered_map<std::string, Topic*> topicsByName_;  // lower-cased display id

  RecordList cells_;  // one per exterior grid position, in the order first met
  std::unordered_map<uint64_t, Record*> cellsByGrid_;
};

}  // namespace modrake
