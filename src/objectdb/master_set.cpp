#include "objectdb/master_set.hpp"

#include <algorithm>
#include <system_error>
#include <utility>

#include "core/execution_log.hpp"
#include "core/fatal_error.hpp"
#include "core/session.hpp"
#include "core/text.hpp"
#include "format/plugin_file.hpp"
#include "format/record_stream.hpp"
#include "objectdb/master_loader.hpp"

namespace modrake {

namespace {
// One line of the stamp: a master by its real path and what tells its
// versions apart.
std::string MasterLine(const std::string& which, const std::filesystem::path& path) {
  std::error_code ec;
  std::filesystem::path real = std::filesystem::weakly_canonical(path, ec);
  if (ec) real = path;
  auto print = FingerprintFile(real);
  if (!print) return FormatText("%s %s missing\n", which.c_str(), real.string().c_str());
  return FormatText(
      "%s %s size %llu time %lld.%09lld change %lld.%09lld inode %llu:%llu sum %016llx\n",
      which.c_str(), real.string().c_str(), static_cast<unsigned long long>(print->size),
      static_cast<long long>(print->modifySec), static_cast<long long>(print->modifyNsec),
      static_cast<long long>(print->changeSec), static_cast<long long>(print->changeNsec),
      static_cast<unsigned long long>(print->identity.device),
      static_cast<unsigned long long>(print->identity.inode),
      static_cast<unsigned long long>(print->edgeChecksum));
}

std::unique_ptr<Record> TryReadRecordAt(PluginFile& master, uint32_t offset) {
  try {
    if (!master.IsOpen()) master.OpenFile();
    return master.ReadRecordAt(offset);
  } catch (const FatalException&) {
    return nullptr;
  }
}

bool IsObject(const Record& record, const ObjectKey& key, std::string_view topic) {
  ObjectKey found;
  BuildKey(found, record, topic);
  return CompareKeys(found, key) == 0;
}

uint32_t MasterSetFlags(const GameInstallation& game) {
  uint32_t flags = 0;
  if (game.tribunal()) flags |= 1;
  if (game.bloodmoon()) flags |= 2;
  return flags;
}

// The masters beyond the game's own that count for this run, in load order.
std::vector<PluginFile*> ExtraMasterFiles(const GameInstallation& game, bool allMasters) {
  std::vector<PluginFile*> extras;
  if (!allMasters) return extras;
  for (PluginFile* master : game.LoadOrderMasters(true)) {
    if (!game.IsGameMaster(master)) extras.push_back(master);
  }
  return extras;
}
}  // namespace

MasterSet::MasterSet(GameInstallation& game, ObjectIndex& index, ExecutionLog& log,
                     std::filesystem::path cachePath, bool allMasters)
    : game_(game),
      index_(index),
      log_(log),
      cachePath_(std::move(cachePath)),
      allMasters_(allMasters) {}

MasterSet::MasterSet(Session& session)
    : MasterSet(*session.game, *session.index, session.log, session.CachePath(),
                session.options.allMasters) {}

std::string MasterCacheIdentity(const GameInstallation& game, bool allMasters) {
  std::error_code ec;
  std::filesystem::path folder = std::filesystem::absolute(game.Source(), ec);
  if (auto canonical = std::filesystem::weakly_canonical(folder, ec); !ec) folder = canonical;
  std::string text =
      FormatText("Modrake master cache stamp 2\nFlags %u\n%s %s\n", MasterSetFlags(game),
                 game.kind() == GameKind::kOpenMw ? "OpenMW configuration" : "Game folder",
                 folder.string().c_str());
  const auto& masters = game.masters();
  for (int i = 0; i < 3; ++i) {
    if (masters[i]) text += MasterLine(FormatText("Master %d", i), masters[i]->path);
  }
  // The other masters that count: adding, removing or changing one rebuilds
  // the cache and what it holds of them.
  for (PluginFile* extra : ExtraMasterFiles(game, allMasters)) {
    text += MasterLine("Extra master", extra->path);
  }
  return text;
}

uint32_t MasterSet::Flags() const {
  return MasterSetFlags(game_);
}

std::string MasterSet::CacheIdentity() const {
  return MasterCacheIdentity(game_, allMasters_);
}

// Reads the masters into the index and caches it (when the home allows).
void MasterSet::BuildIndex() {
  std::filesystem::path stampPath = MasterCacheStampPath(cachePath_);
  index_.Clear();

  // The stamp goes before the cache changes, so that a run stopped halfway
  // never leaves a stamp beside a cache it does not describe.
  std::error_code ec;
  std::filesystem::remove(stampPath, ec);

  // Taken before the masters are read: a master that changes meanwhile no
  // longer matches the stamp, and the next run builds the index again.
  const std::string identity = CacheIdentity();
  for (int word : {kMorrowindWord, kTribunalWord, kBloodmoonWord}) {
    LoadMasterRecords(index_, log_, game_, word);
  }
  uint32_t count = index_.Count();
  // An index past the limit is never cached: a reader would refuse it.
  if (count == 0 || count > kMasterCacheEntryLimit) return;
  WriteResult written = WriteMasterCache(cachePath_, Flags(), index_.entries().first(count));
  if (written) written = WriteMasterCacheStamp(stampPath, identity, count);
  if (written) {
    log_.Log("!Created %s", cachePath_.string().c_str());
  } else {
    LogUnwrittenCache(log_, cachePath_, written);
  }
}

// Where each object lies in the masters beyond the game's own: from their
// cache when the stamp accepted it, else read from the files (and cached).
void MasterSet::LoadExtraMasters(bool rebuild) {
  index_.extraMasters.clear();
  index_.extrasFromCache = false;
  std::vector<PluginFile*> masters = ExtraMasterFiles(game_, allMasters_);
  if (masters.empty()) return;
  std::filesystem::path cachePath = ExtraMasterCachePath(cachePath_);
  std::string identity = CacheIdentity();
  if (!rebuild && index_.fromCache &&
      ReadExtraMasterCache(cachePath, identity, masters, index_.extraMasters)) {
    index_.extrasFromCache = true;
    return;
  }
  for (PluginFile* master : masters) {
    ObjectIndex::ExtraMaster& extra = index_.extraMasters.emplace_back();
    extra.file = master;
    log_.Log("!Loading %s", master->name.c_str());
    RecordStream stream(*master);
    TopicTracker topic;
    while (stream.Next()) {
      const RecordView& record = stream.View();
      topic.Track(record);
      const Tag tag = record.header.tag;
      if (tag == tags::TES3 || tag == tags::DIAL || tag == tags::CELL) continue;
      ObjectKey key;
      BuildKey(key, record, topic.topic());
      extra.offsets[KeyText(key)] = static_cast<uint32_t>(stream.offset());
    }
  }
  WriteResult written = WriteExtraMasterCache(cachePath, identity, index_.extraMasters);
  if (!written) LogUnwrittenCache(log_, cachePath, written);
}

void MasterSet::Load() {
  LoadGameMasters();
  LoadExtraMasters(false);
}

std::unique_ptr<Record> MasterSet::ExtraVersion(const ObjectKey& key, std::string_view topic,
                                                const std::vector<std::string>* names) {
  auto& extras = index_.extraMasters;
  const std::string text = KeyText(key);
  for (auto extra = extras.rbegin(); extra != extras.rend(); ++extra) {
    if (names && std::none_of(names->begin(), names->end(), [&](const std::string& name) {
          return EqualsNoCase(name, extra->file->name);
        })) {
      continue;
    }
    auto found = extra->offsets.find(text);
    if (found == extra->offsets.end()) continue;
    auto version = TryReadRecordAt(*extra->file, found->second);
    if (version && IsObject(*version, key, topic)) return version;
    if (!index_.extrasFromCache) {
      FatalError("Invalid record in file %s at offset %u (not the object read there before)",
                 extra->file->name.c_str(), found->second);
    }
    log_.Log("!%s", kMasterCacheMismatch);
    LoadExtraMasters(true);
    return ExtraVersion(key, topic, names);
  }
  return nullptr;
}

void MasterSet::LoadGameMasters() {
  index_.Clear();
  uint64_t sizes[3] = {};
  const auto& masters = game_.masters();
  for (int i = 0; i < 3; ++i) sizes[i] = masters[i] ? masters[i]->status.size : 0;
  auto allowed = ReadMasterCacheStamp(MasterCacheStampPath(cachePath_), CacheIdentity());
  if (allowed && ReadMasterCache(cachePath_, Flags(), sizes, *allowed, index_)) {
    index_.fromCache = true;
    log_.Log("!Loaded %u records from %s", index_.Count(), cachePath_.string().c_str());
    return;
  }
  BuildIndex();
}

std::unique_ptr<Record> MasterSet::Version(const ObjectKey& lookedUp, std::string_view topic,
                                           int word) {
  // A copy: the key may lie in the index, which may be built again.
  const ObjectKey key = lookedUp;
  // The masters beyond the game's load after it: theirs is the newest.
  if (word < 0) {
    if (auto version = ExtraVersion(key, topic, nullptr)) return version;
  }
  const auto& masters = game_.masters();
  for (;;) {
    const IndexEntry* entry = index_.LookupKey(key);
    if (!entry) return nullptr;
    const int w = word < 0 ? NewestRetainedWord(*entry) : word;
    if (w < 0 || entry->words[w] == 0 || !masters[w]) return nullptr;
    const uint32_t offset = entry->words[w];
    auto version = TryReadRecordAt(*masters[w], offset);
    if (version && IsObject(*version, key, topic)) return version;
    if (!index_.fromCache) {
      // Read from the masters in this run: the master changed while it ran.
      FatalError("Invalid record in file %s at offset %u (not the object the index places there)",
                 masters[w]->name.c_str(), offset);
    }
    log_.Log("!%s", kMasterCacheMismatch);
    std::vector<PluginFile*> open;
    for (PluginFile* master : masters) {
      if (master && master->IsOpen()) open.push_back(master);
    }
    BuildIndex();
    // Building reads the masters to their end and closes them.
    for (PluginFile* master : open) master->OpenFile();
  }
}

}  // namespace modrake
