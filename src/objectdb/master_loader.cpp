#include "objectdb/master_loader.hpp"

#include <algorithm>
#include <cstring>
#include <new>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "core/execution_log.hpp"
#include "core/fatal_error.hpp"
#include "core/session.hpp"
#include "core/text.hpp"
#include "format/plugin_file.hpp"
#include "format/record_stream.hpp"
#include "install/game_installation.hpp"
#include "objectdb/record_comparison.hpp"

namespace modrake {

namespace {
bool IsSteelCuirass(const ObjectKey& key) {
  static const char kCuirass[18] = {'A', 'R', 'M', 'O', 's', 't', 'e', 'e', 'l',
                                    '_', 'c', 'u', 'i', 'r', 'a', 's', 's', '\0'};
  return std::memcmp(key.tag, kCuirass, 18) == 0;
}

// Clears word when the later record only repeats the earlier master's version.
bool RepeatsMaster(Session& session, PluginFile* earlierFile, uint32_t offset,
                   const Record& later) {
  if (!earlierFile || offset == 0) return false;
  auto earlier = earlierFile->ReadRecordAt(offset);
  return earlier &&
         SameAsEarlierMaster(*earlier, later, session.options.unrestrictedDialogCleaning);
}
}  // namespace

uint32_t MasterSetFlags(const Session& session) {
  uint32_t flags = 0;
  if (session.game->tribunal()) flags |= 1;
  if (session.game->bloodmoon()) flags |= 2;
  return flags;
}

void LoadRecords(Session& session, char mode, PluginFile* file) {
  GameInstallation& game = *session.game;
  ObjectIndex& index = *session.index;
  ExecutionLog& log = session.log;

  PluginFile* source = file;
  int word = -1;
  if (file) {
    mode = 'X';
  } else {
    switch (mode) {
      case 'M':
        word = kMorrowindWord;
        break;
      case 'T':
        word = kTribunalWord;
        break;
      case 'B':
        word = kBloodmoonWord;
        break;
      default:
        return;
    }
    source = game.masters()[word];
    if (!source) return;
  }

  // Earlier masters' versions are read back while a later one loads.
  std::optional<OpenGameMasters> masters;
  if (mode != 'X') masters.emplace(game);
  RecordStream stream(*source);
  log.Log(mode == 'X' ? "!Scanning %s" : "!Loading %s", source->name.c_str());

  const auto startCount = static_cast<uint32_t>(index.entries().size());
  uint32_t modified = 0, ignored = 0;
  TopicTracker topic;
  while (stream.Next()) {
    const uint32_t pos = static_cast<uint32_t>(stream.offset());
    // Most records only need their key, read straight from their bytes; a
    // record is parsed only to compare it with an earlier master's version.
    const RecordView& record = stream.View();
    const Tag tag = record.header.tag;
    topic.Track(record);
    if (tag == tags::TES3 || tag == tags::DIAL) {
      ++ignored;
    } else if (mode != 'X' && tag == tags::CELL && !record.FindField(tags::FRMR) &&
               !record.FindField(tags::AMBI) && !record.FindField(tags::WHGT) &&
               !record.FindField(tags::NAM5)) {
      ++ignored;
    } else {
      ObjectKey key;
      BuildKey(key, record, topic.topic());
      IndexEntry* entry = index.LookupKey(key);
      if (entry) {
        if (IsSteelCuirass(entry->key)) log.Log("!found cuirass");
        uint32_t* w = entry->words;
        switch (mode) {
          case 'M':
            w[0] = pos;
            ++modified;
            break;
          case 'T': {
            auto later = stream.Keep();
            w[1] = pos;
            if (RepeatsMaster(session, game.morrowind(), w[0], *later)) w[1] = 0;
            if (w[1] != 0) ++modified;
            break;
          }
          case 'B': {
            auto later = stream.Keep();
            w[2] = pos;
            if (RepeatsMaster(session, game.morrowind(), w[0], *later)) w[2] = w[1] = 0;
            if (w[1] != 0 && RepeatsMaster(session, game.tribunal(), w[1], *later)) w[2] = 0;
            if (w[2] != 0) ++modified;
            break;
          }
          default:
            ++w[0];
            break;
        }
      } else {
        IndexEntry* added = nullptr;
        try {
          added = &index.Append(key);
        } catch (const std::bad_alloc&) {
          source->OutOfMemory();  // the index grows with the file
        }
        if (word >= 0) added->words[word] = pos;
      }
    }
  }

  uint32_t count = static_cast<uint32_t>(index.entries().size());
  if (mode != 'X') {
    log.Log("!Total %u records (%u new, %u ignored, %u modified)", count, count - startCount,
            ignored, modified);
  }
  index.Publish();
}

std::filesystem::path MasterCacheStampPath(const std::filesystem::path& cachePath) {
  std::filesystem::path stamp = cachePath;
  stamp += ".stamp";
  return stamp;
}

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

// The masters beyond the game's own that count for this run, in load order.
std::vector<PluginFile*> ExtraMasters(const Session& session) {
  std::vector<PluginFile*> extras;
  if (!session.options.allMasters) return extras;
  for (PluginFile* master : session.game->LoadOrderMasters(true)) {
    if (!session.game->IsGameMaster(master)) extras.push_back(master);
  }
  return extras;
}
}  // namespace

std::string MasterCacheIdentity(const Session& session) {
  const GameInstallation& game = *session.game;
  std::error_code ec;
  std::filesystem::path folder = std::filesystem::absolute(game.Source(), ec);
  if (auto canonical = std::filesystem::weakly_canonical(folder, ec); !ec) folder = canonical;
  std::string text =
      FormatText("Modrake master cache stamp 2\nFlags %u\n%s %s\n", MasterSetFlags(session),
                 game.kind() == GameKind::kOpenMw ? "OpenMW configuration" : "Game folder",
                 folder.string().c_str());
  const auto& masters = game.masters();
  for (int i = 0; i < 3; ++i) {
    if (masters[i]) text += MasterLine(FormatText("Master %d", i), masters[i]->path);
  }
  // The other masters that count: adding, removing or changing one rebuilds
  // the cache and what it holds of them.
  for (PluginFile* extra : ExtraMasters(session)) text += MasterLine("Extra master", extra->path);
  return text;
}

std::optional<uint32_t> ReadMasterCacheStamp(const std::filesystem::path& path,
                                             const std::string& identity) {
  static const char kEntries[] = "Entries ";
  FileReader reader;
  if (!reader.Open(path)) return std::nullopt;
  // The identity, "Entries ", at most six digits and a line break.
  const size_t most = identity.size() + sizeof kEntries - 1 + 7;
  if (reader.Size() > most) return std::nullopt;
  std::string text(static_cast<size_t>(reader.Size()), '\0');
  if (reader.Read(text.data(), text.size()) != text.size()) return std::nullopt;
  if (text.compare(0, identity.size(), identity) != 0) return std::nullopt;
  std::string_view rest = std::string_view(text).substr(identity.size());
  if (rest.substr(0, sizeof kEntries - 1) != kEntries || rest.back() != '\n') return std::nullopt;
  rest = rest.substr(sizeof kEntries - 1);
  rest.remove_suffix(1);
  if (rest.empty()) return std::nullopt;
  uint64_t entries = 0;
  for (char c : rest) {
    if (c < '0' || c > '9') return std::nullopt;
    entries = entries * 10 + static_cast<uint64_t>(c - '0');
  }
  if (entries == 0 || entries > kMasterCacheEntryLimit) return std::nullopt;
  return static_cast<uint32_t>(entries);
}

WriteResult WriteMasterCacheStamp(const std::filesystem::path& path, const std::string& identity,
                                  uint32_t entries) {
  return WriteFileAtomically(path, identity + FormatText("Entries %u\n", entries));
}

namespace {
// Whether entries read from a cache may reach the binary search and the masters.
bool ValidCacheEntries(std::span<const IndexEntry> table, const uint64_t masterSizes[3]) {
  for (size_t i = 0; i < table.size(); ++i) {
    const IndexEntry& e = table[i];
    if (e.key.length < 4 || e.key.length > 4 + sizeof e.key.text - 1) return false;
    if (strnlen(e.key.text, sizeof e.key.text) != e.key.length - 4) return false;
    if (i > 0 && CompareKeys(table[i - 1].key, e.key) > 0) return false;
    for (int w = 0; w < 3; ++w) {
      if (e.words[w] != 0 && e.words[w] + 16ull > masterSizes[w]) return false;
    }
  }
  return true;
}
}  // namespace

bool ReadMasterCache(const std::filesystem::path& path, uint32_t flags,
                     const uint64_t masterSizes[3], uint32_t entries, ObjectIndex& index) {
  index.Clear();
  FileReader reader;
  if (!reader.Open(path)) return false;
  uint8_t head[kMasterCacheHeaderSize + 4];
  // Only what the stamp allows is ever read, whatever the file holds.
  if (entries == 0 || entries > kMasterCacheEntryLimit) return false;
  if (reader.Size() != sizeof head + uint64_t{entries} * sizeof(IndexEntry)) return false;
  if (reader.Read(head, sizeof head) != sizeof head) return false;
  if (std::memcmp(head, kMasterCacheHeader, 21) != 0) return false;
  uint32_t stored;
  std::memcpy(&stored, head + kMasterCacheHeaderSize, 4);
  if (stored != flags) return false;

  // One read, straight into the table.
  std::span<IndexEntry> table = index.Refill(entries);
  const size_t bytes = table.size_bytes();
  if (reader.Read(table.data(), bytes) != bytes || !ValidCacheEntries(table, masterSizes)) {
    index.Clear();
    return false;
  }
  return true;
}

WriteResult WriteMasterCache(const std::filesystem::path& path, uint32_t flags,
                             std::span<const IndexEntry> entries) {
  return WriteFileAtomically(path, [&](FileWriter& out) {
    char head[kMasterCacheHeaderSize] = {};
    std::memcpy(head, kMasterCacheHeader, 21);
    out.Write(head, sizeof head);
    out.Write(&flags, 4);
    out.Write(entries.data(), entries.size_bytes());
  });
}

namespace {
// Reads the masters into the index and caches it (when the home allows).
void BuildMasterIndex(Session& session) {
  ObjectIndex& index = *session.index;
  std::filesystem::path cachePath = session.CachePath();
  std::filesystem::path stampPath = MasterCacheStampPath(cachePath);
  index.Clear();

  // The stamp goes before the cache changes, so that a run stopped halfway
  // never leaves a stamp beside a cache it does not describe.
  std::error_code ec;
  std::filesystem::remove(stampPath, ec);

  {
    // The master index always compares dialogue from DATA on, whatever the option.
    ScopedFlag unrestricted(session.options.unrestrictedDialogCleaning, true);
    LoadRecords(session, 'M', nullptr);
    LoadRecords(session, 'T', nullptr);
    LoadRecords(session, 'B', nullptr);
  }
  uint32_t count = index.Count();
  // An index past the limit is never cached: a reader would refuse it.
  if (count == 0 || count > kMasterCacheEntryLimit) return;
  WriteResult written =
      WriteMasterCache(cachePath, MasterSetFlags(session), index.entries().first(count));
  if (written) written = WriteMasterCacheStamp(stampPath, MasterCacheIdentity(session), count);
  if (written) {
    session.log.Log("!Created %s", cachePath.string().c_str());
  } else {
    // Without a cache the masters are only read again next time.
    session.log.Log("!Cannot write file %s: %s", cachePath.string().c_str(),
                    written.reason().c_str());
  }
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
}  // namespace

namespace {
constexpr char kExtraCacheHeader[] = "Modrake extra masters 1\n";

void AppendWord(std::string& out, uint32_t value) {
  out.append(reinterpret_cast<const char*>(&value), 4);
}

}  // namespace

// The header, the stamp's identity it was made for, then per master its
// name, its number of objects and each object's key text and offset.
WriteResult WriteExtraMasterCache(const std::filesystem::path& path, const std::string& identity,
                                  const std::vector<ObjectIndex::ExtraMaster>& extras) {
  std::string bytes = kExtraCacheHeader;
  AppendWord(bytes, static_cast<uint32_t>(identity.size()));
  bytes += identity;
  AppendWord(bytes, static_cast<uint32_t>(extras.size()));
  for (const auto& extra : extras) {
    AppendWord(bytes, static_cast<uint32_t>(extra.file->name.size()));
    bytes += extra.file->name;
    AppendWord(bytes, static_cast<uint32_t>(extra.offsets.size()));
    for (const auto& [key, offset] : extra.offsets) {
      AppendWord(bytes, static_cast<uint32_t>(key.size()));
      bytes += key;
      AppendWord(bytes, offset);
    }
  }
  return WriteFileAtomically(path, bytes);
}

bool ReadExtraMasterCache(const std::filesystem::path& path, const std::string& identity,
                          const std::vector<PluginFile*>& masters,
                          std::vector<ObjectIndex::ExtraMaster>& extras) {
  extras.clear();
  FileReader reader;
  if (!reader.Open(path) || reader.Size() > (uint64_t{1} << 31)) return false;
  std::string bytes(static_cast<size_t>(reader.Size()), '\0');
  if (reader.Read(bytes.data(), bytes.size()) != bytes.size()) return false;
  size_t at = 0;
  auto take = [&](size_t n, std::string_view& out) {
    if (bytes.size() - at < n) return false;
    out = std::string_view(bytes).substr(at, n);
    at += n;
    return true;
  };
  auto word = [&](uint32_t& value) {
    std::string_view four;
    if (!take(4, four)) return false;
    std::memcpy(&value, four.data(), 4);
    return true;
  };
  std::string_view text;
  uint32_t n = 0;
  if (!take(sizeof kExtraCacheHeader - 1, text) || text != kExtraCacheHeader) return false;
  if (!word(n) || !take(n, text) || text != identity) return false;
  if (!word(n) || n != masters.size()) return false;
  for (PluginFile* master : masters) {
    ObjectIndex::ExtraMaster& extra = extras.emplace_back();
    extra.file = master;
    uint32_t count = 0;
    if (!word(n) || !take(n, text) || text != master->name || !word(count)) break;
    for (uint32_t i = 0; i < count; ++i) {
      uint32_t offset = 0;
      if (!word(n) || !take(n, text) || !word(offset) || offset + 16ull > master->status.size) {
        extras.clear();
        return false;
      }
      extra.offsets.emplace(text, offset);
    }
  }
  if (extras.size() != masters.size() || at != bytes.size()) {
    extras.clear();
    return false;
  }
  return true;
}

namespace {
// Where each object lies in the masters beyond the game's own: from their
// cache when the stamp accepted it, else read from the files (and cached).
void LoadExtraMasters(Session& session, bool rebuild = false) {
  ObjectIndex& index = *session.index;
  index.extraMasters.clear();
  index.extrasFromCache = false;
  std::vector<PluginFile*> masters = ExtraMasters(session);
  if (masters.empty()) return;
  std::filesystem::path cachePath = ExtraMasterCachePath(session.CachePath());
  std::string identity = MasterCacheIdentity(session);
  if (!rebuild && index.fromCache &&
      ReadExtraMasterCache(cachePath, identity, masters, index.extraMasters)) {
    index.extrasFromCache = true;
    return;
  }
  for (PluginFile* master : masters) {
    ObjectIndex::ExtraMaster& extra = index.extraMasters.emplace_back();
    extra.file = master;
    session.log.Log("!Loading %s", master->name.c_str());
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
  // Without it they are only read again next time.
  WriteResult written = WriteExtraMasterCache(cachePath, identity, index.extraMasters);
  if (!written) {
    session.log.Log("!Cannot write file %s: %s", cachePath.c_str(), written.reason().c_str());
  }
}
}  // namespace

std::filesystem::path ExtraMasterCachePath(const std::filesystem::path& cachePath) {
  std::filesystem::path extras = cachePath;
  extras += ".masters";
  return extras;
}

void LoadMasters(Session& session) {
  LoadGameMasters(session);
  LoadExtraMasters(session);
}

std::unique_ptr<Record> ReadExtraMasterVersion(Session& session, const ObjectKey& key,
                                               std::string_view topic,
                                               const std::vector<std::string>* names) {
  auto& extras = session.index->extraMasters;
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
    if (!session.index->extrasFromCache) {
      FatalError("Invalid record in file %s at offset %u (not the object read there before)",
                 extra->file->name.c_str(), found->second);
    }
    session.log.Log("!The master cache does not match the masters: building it again");
    LoadExtraMasters(session, true);
    return ReadExtraMasterVersion(session, key, topic, names);
  }
  return nullptr;
}

void LoadGameMasters(Session& session) {
  ObjectIndex& index = *session.index;
  std::filesystem::path cachePath = session.CachePath();
  index.Clear();
  uint64_t sizes[3] = {};
  GameInstallation& game = *session.game;
  const auto& masters = game.masters();
  for (int i = 0; i < 3; ++i) sizes[i] = masters[i] ? masters[i]->status.size : 0;
  auto allowed =
      ReadMasterCacheStamp(MasterCacheStampPath(cachePath), MasterCacheIdentity(session));
  if (allowed && ReadMasterCache(cachePath, MasterSetFlags(session), sizes, *allowed, index)) {
    index.fromCache = true;
    session.log.Log("!Loaded %u records from %s", index.Count(), cachePath.string().c_str());
    return;
  }
  BuildMasterIndex(session);
}

std::unique_ptr<Record> ReadMasterVersion(Session& session, const ObjectKey& lookedUp,
                                          std::string_view topic, int word) {
  // A copy: the key may lie in the index, which may be built again.
  const ObjectKey key = lookedUp;
  // The masters beyond the game's load after it: theirs is the newest.
  if (word < 0) {
    if (auto version = ReadExtraMasterVersion(session, key, topic, nullptr)) return version;
  }
  ObjectIndex& index = *session.index;
  GameInstallation& game = *session.game;
  const auto& masters = game.masters();
  for (;;) {
    const IndexEntry* entry = index.LookupKey(key);
    if (!entry) return nullptr;
    const int w = word < 0 ? NewestRetainedWord(*entry) : word;
    if (w < 0 || entry->words[w] == 0 || !masters[w]) return nullptr;
    const uint32_t offset = entry->words[w];
    auto version = TryReadRecordAt(*masters[w], offset);
    if (version && IsObject(*version, key, topic)) return version;
    if (!index.fromCache) {
      // Read from the masters in this run: the master changed while it ran.
      FatalError("Invalid record in file %s at offset %u (not the object the index places there)",
                 masters[w]->name.c_str(), offset);
    }
    session.log.Log("!The master cache does not match the masters: building it again");
    std::vector<PluginFile*> open;
    for (PluginFile* master : masters) {
      if (master && master->IsOpen()) open.push_back(master);
    }
    BuildMasterIndex(session);
    // Building reads the masters to their end and closes them.
    for (PluginFile* master : open) master->OpenFile();
  }
}

}  // namespace modrake
