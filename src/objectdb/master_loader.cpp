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

  const uint32_t startCount = index.Count();
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

std::string MasterCacheIdentity(const Session& session) {
  const GameInstallation& game = *session.game;
  std::error_code ec;
  std::filesystem::path folder = std::filesystem::absolute(game.Source(), ec);
  if (auto canonical = std::filesystem::weakly_canonical(folder, ec); !ec) folder = canonical;
  std::string text = FormatText(
      "Modrake master cache stamp 2\nFlags %u\n%s %s\n", MasterSetFlags(session),
      game.kind() == GameKind::kOpenMw ? "OpenMW configuration" : "Game folder", folder.c_str());
  const auto& masters = game.masters();
  for (int i = 0; i < 3; ++i) {
    if (!masters[i]) continue;
    std::filesystem::path real = std::filesystem::weakly_canonical(masters[i]->path, ec);
    if (ec) real = masters[i]->path;
    auto print = FingerprintFile(real);
    if (!print) {
      text += FormatText("Master %d %s missing\n", i, real.c_str());
      continue;
    }
    text += FormatText(
        "Master %d %s size %llu time %lld.%09lld change %lld.%09lld inode %llu:%llu sum %016llx\n",
        i, real.c_str(), static_cast<unsigned long long>(print->size),
        static_cast<long long>(print->modifySec), static_cast<long long>(print->modifyNsec),
        static_cast<long long>(print->changeSec), static_cast<long long>(print->changeNsec),
        static_cast<unsigned long long>(print->identity.device),
        static_cast<unsigned long long>(print->identity.inode),
        static_cast<unsigned long long>(print->edgeChecksum));
  }
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
    session.log.Log("!Created %s", cachePath.c_str());
  } else {
    // Without a cache the masters are only read again next time.
    session.log.Log("!Cannot write file %s: %s", cachePath.c_str(), written.reason().c_str());
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
// Where each object lies in the masters beyond the game's own; they are read
// in every run that counts them (their lists are short beside the game's).
void LoadExtraMasters(Session& session) {
  ObjectIndex& index = *session.index;
  GameInstallation& game = *session.game;
  index.extraMasters.clear();
  if (!session.options.allMasters) return;
  for (PluginFile* master : game.LoadOrderMasters(true)) {
    if (game.IsGameMaster(master)) continue;
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
}
}  // namespace

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
    if (!version || !IsObject(*version, key, topic)) {
      FatalError("Invalid record in file %s at offset %u (not the object read there before)",
                 extra->file->name.c_str(), found->second);
    }
    return version;
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
    session.log.Log("!Loaded %u records from %s", index.Count(), cachePath.c_str());
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
