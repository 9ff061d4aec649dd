#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "install/game_installation.hpp"
#include "objectdb/object_index.hpp"

namespace modrake {

struct Session;
class ExecutionLog;
class PluginFile;

// The masters a plugin is compared with, in master order: the game masters
// in use (morrowind.esm, tribunal.esm, bloodmoon.esm) and, when every active
// master counts, the other active masters after them in load order. Where
// each of their objects lies is kept in the index, built from the masters or
// read from the cache beside the settings; the set itself holds nothing
// else, so any two sets over the same index agree.
class MasterSet {
 public:
  MasterSet(GameInstallation& game, ObjectIndex& index, ExecutionLog& log,
            std::filesystem::path cachePath, bool allMasters);
  // The session's game, index, log and cache, with its AllMasters option.
  explicit MasterSet(Session& session);

  // Fills the index: from the cache when it matches the masters in use,
  // else by reading the masters (and writing the cache); with every active
  // master counting, also where the objects of the other masters lie.
  void Load();

  // Keeps the game masters open for reading while it lives.
  [[nodiscard]] OpenGameMasters Open() const { return OpenGameMasters(game_); }

  // The version of an object that game master `word` retains (kMorrowindWord,
  // kTribunalWord, kBloodmoonWord; -1 the newest retained one, where a
  // version in another master that counts comes first), read back where the
  // index places it; key and topic are what the object was looked up with.
  // An index from the cache is checked on the way: a record there that is
  // not that object means the cache lies about the masters, so the index is
  // built from the masters (once, saying so) and the object looked up again.
  // Null when no master in use retains a version there.
  std::unique_ptr<Record> Version(const ObjectKey& key, std::string_view topic, int word);
  std::unique_ptr<Record> NewestVersion(const ObjectKey& key, std::string_view topic) {
    return Version(key, topic, -1);
  }
  // The newest version of the object in the masters beyond the game's own,
  // only those the names list when there are names; null when none holds it.
  std::unique_ptr<Record> ExtraVersion(const ObjectKey& key, std::string_view topic,
                                       const std::vector<std::string>* names);

  // Whether the file is one of the set.
  bool Holds(PluginFile* file) const { return file && game_.CountsAsMaster(file, allMasters_); }
  bool HasExtraMasters() const { return !index_.extraMasters.empty(); }
  // The entry of the object in the index, or null.
  IndexEntry* Find(const Record& record, std::string_view topic) {
    return index_.LookupObject(record, topic);
  }
  IndexEntry* FindKey(const ObjectKey& key) { return index_.LookupKey(key); }
  // Changes whenever the index is built again: entries found before are gone.
  uint32_t generation() const { return index_.generation; }

  // Bit 0 tribunal.esm in use, bit 1 bloodmoon.esm.
  uint32_t Flags() const;
  // What the cache stamp names (see MasterCacheIdentity).
  std::string CacheIdentity() const;

 private:
  void LoadGameMasters();
  void BuildIndex();
  void LoadExtraMasters(bool rebuild);

  GameInstallation& game_;
  ObjectIndex& index_;
  ExecutionLog& log_;
  std::filesystem::path cachePath_;
  bool allMasters_;
};

// What the cache stamp names for the masters in use (every active master
// counting when allMasters): the game folder and each master by its real
// path, with what tells its versions apart.
std::string MasterCacheIdentity(const GameInstallation& game, bool allMasters);

}  // namespace modrake
