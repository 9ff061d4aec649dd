#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "objectdb/object_index.hpp"
#include "platform/file_io.hpp"

namespace modrake {

struct Session;
class PluginFile;

// Reads one file into the index. Without a file the mode letter picks the
// game master ('M', 'T', 'B') and the entries record where each object lies
// in it; with a file the mode is 'X' (scan) and each entry counts the later
// files that met it.
void LoadRecords(Session& session, char mode, PluginFile* file);

// Fills the index with the master index: from the cache file when it matches
// the masters in use, else by reading the masters (and writing the cache);
// with the AllMasters option, also reads where the objects of the other
// masters lie (LoadGameMasters does only the first).
void LoadMasters(Session& session);
void LoadGameMasters(Session& session);

// The newest version of the object in the masters beyond the game's own,
// only those the names list when there are names; null when none holds it.
std::unique_ptr<Record> ReadExtraMasterVersion(Session& session, const ObjectKey& key,
                                               std::string_view topic,
                                               const std::vector<std::string>* names);

// The version of an object that game master `word` retains (0 morrowind.esm,
// 1 tribunal.esm, 2 bloodmoon.esm; -1 the newest retained one), read back
// where the master index places it; key and topic are what the object was
// looked up with; with -1 a version of a master beyond the game's own comes
// first (see LoadMasters). An index from the cache is checked on the way: a record
// there that is not that object means the cache lies about the masters, so
// the index is built from the masters (once, saying so) and the object looked
// up again. Null when no master in use retains a version there.
std::unique_ptr<Record> ReadMasterVersion(Session& session, const ObjectKey& key,
                                          std::string_view topic, int word);

// The cache file: "Modrake Data File 1.7", the master-set flags, then the
// sorted entries as they are in memory.
inline constexpr char kMasterCacheHeader[] = "Modrake Data File 1.7";
constexpr uint32_t kMasterCacheHeaderSize = 22;
// The most entries a cache may hold.
constexpr uint32_t kMasterCacheEntryLimit = 100000;

// The flags of the masters in use: bit 0 tribunal.esm, bit 1 bloodmoon.esm.
uint32_t MasterSetFlags(const Session& session);

// The stamp beside the cache names what the cache was built from: the game
// folder and each master in use by its real path, with what tells its
// versions apart (see FileFingerprint). Any difference means the offsets in
// the cache may be wrong.
std::filesystem::path MasterCacheStampPath(const std::filesystem::path& cachePath);
// Where the objects of the other masters that count (the AllMasters option)
// lie, beside the cache and valid under the same stamp, whose identity then
// names those masters too.
std::filesystem::path ExtraMasterCachePath(const std::filesystem::path& cachePath);
WriteResult WriteExtraMasterCache(const std::filesystem::path& path, const std::string& identity,
                                  const std::vector<ObjectIndex::ExtraMaster>& extras);
// Reads what WriteExtraMasterCache wrote for this identity and these
// masters; false, with nothing kept, for anything else or anything that
// does not fit (an offset past its master's end included).
bool ReadExtraMasterCache(const std::filesystem::path& path, const std::string& identity,
                          const std::vector<PluginFile*>& masters,
                          std::vector<ObjectIndex::ExtraMaster>& extras);
std::string MasterCacheIdentity(const Session& session);
// The number of entries the stamp allows for that identity; none when the
// stamp is missing, of another identity, or allows more than the limit.
std::optional<uint32_t> ReadMasterCacheStamp(const std::filesystem::path& path,
                                             const std::string& identity);
WriteResult WriteMasterCacheStamp(const std::filesystem::path& path, const std::string& identity,
                                  uint32_t entries);

// Fills the index with the entries of a cache file made for these flags.
// False, with the index empty, when the file is missing, of another version
// or master set, not exactly the header and `entries` whole entries, or not a
// valid index. masterSizes bounds the offsets (0 = that master is not in use).
bool ReadMasterCache(const std::filesystem::path& path, uint32_t flags,
                     const uint64_t masterSizes[3], uint32_t entries, ObjectIndex& index);
WriteResult WriteMasterCache(const std::filesystem::path& path, uint32_t flags,
                             std::span<const IndexEntry> entries);

}  // namespace modrake
