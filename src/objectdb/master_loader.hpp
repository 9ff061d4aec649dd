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

class ExecutionLog;
class GameInstallation;
class PluginFile;

// Reads one plugin into a scan index: each entry counts the later files that
// met its object.
void ScanRecords(ObjectIndex& index, ExecutionLog& log, PluginFile& file);
// Reads game master `word` of the game, when in use, into the master index:
// where each object lies in it, unless it only repeats an earlier master's
// version.
void LoadMasterRecords(ObjectIndex& index, ExecutionLog& log, const GameInstallation& game,
                       int word);

// The cache file: "Modrake Data File 1.7", the master-set flags, then the
// sorted entries as they are in memory.
inline constexpr char kMasterCacheHeader[] = "Modrake Data File 1.7";
constexpr uint32_t kMasterCacheHeaderSize = 22;
// The most entries a cache may hold.
constexpr uint32_t kMasterCacheEntryLimit = 100000;

// Said when a cache turns out not to hold true for the masters it names.
inline constexpr char kMasterCacheMismatch[] =
    "The master cache does not match the masters: building it again";
// Says that a cache file could not be written: the masters are then only read
// in full again next time.
void LogUnwrittenCache(ExecutionLog& log, const std::filesystem::path& path,
                       const WriteResult& written);

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
// Where each master's leveled lists lie (the lists that are not deleted and
// have an id), in file order, for merging lists against their masters:
// beside the cache and made for the stamp's identity, like the file above.
std::filesystem::path ListCachePath(const std::filesystem::path& cachePath);
WriteResult WriteListCache(const std::filesystem::path& path, const std::string& identity,
                           const std::vector<PluginFile*>& masters,
                           const std::vector<std::vector<uint32_t>>& offsets);
// Reads what WriteListCache wrote for this identity and these masters; false,
// with nothing kept, for anything else, offsets out of order or past a
// master's end included.
bool ReadListCache(const std::filesystem::path& path, const std::string& identity,
                   const std::vector<PluginFile*>& masters,
                   std::vector<std::vector<uint32_t>>& offsets);
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
