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

// Whether the later master's record only repeats the earlier master's
// version. The master index always compares dialogue from DATA on.
bool RepeatsMaster(PluginFile* earlierFile, uint32_t offset, const Record& later) {
  if (!earlierFile || offset == 0) return false;
  auto earlier = earlierFile->ReadRecordAt(offset);
  return earlier && SameAsEarlierMaster(*earlier, later, true);
}

// A master's version of an object already in the index: where it lies, unless
// it only repeats an earlier master's. Returns whether it counts as a change.
bool PlaceMasterVersion(const GameInstallation& game, int word, uint32_t* w, uint32_t pos,
                        RecordStream& stream) {
  if (word == kMorrowindWord) {
    w[0] = pos;
    return true;
  }
  auto later = stream.Keep();
  if (word == kTribunalWord) {
    w[1] = pos;
    if (RepeatsMaster(game.morrowind(), w[0], *later)) w[1] = 0;
    return w[1] != 0;
  }
  w[2] = pos;
  if (RepeatsMaster(game.morrowind(), w[0], *later)) w[2] = w[1] = 0;
  if (w[1] != 0 && RepeatsMaster(game.tribunal(), w[1], *later)) w[2] = 0;
  return w[2] != 0;
}

// A game master (word >= 0, the game given) or a scanned plugin (word -1).
void LoadRecords(ObjectIndex& index, ExecutionLog& log, const GameInstallation* game, int word,
                 PluginFile& source) {
  const bool scan = word < 0;
  // Earlier masters' versions are read back while a later one loads.
  std::optional<OpenGameMasters> masters;
  if (!scan) masters.emplace(*game);
  RecordStream stream(source);
  log.Log(scan ? "!Scanning %s" : "!Loading %s", source.name.c_str());

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
    } else if (!scan && tag == tags::CELL && !record.FindField(tags::FRMR) &&
               !record.FindField(tags::AMBI) && !record.FindField(tags::WHGT) &&
               !record.FindField(tags::NAM5)) {
      ++ignored;
    } else {
      ObjectKey key;
      BuildKey(key, record, topic.topic());
      if (IndexEntry* entry = index.LookupKey(key)) {
        if (IsSteelCuirass(entry->key)) log.Log("!found cuirass");
        if (scan) {
          ++entry->words[0];
        } else if (PlaceMasterVersion(*game, word, entry->words, pos, stream)) {
          ++modified;
        }
      } else {
        IndexEntry* added = nullptr;
        try {
          added = &index.Append(key);
        } catch (const std::bad_alloc&) {
          source.OutOfMemory();  // the index grows with the file
        }
        if (!scan) added->words[word] = pos;
      }
    }
  }

  uint32_t count = static_cast<uint32_t>(index.entries().size());
  if (!scan) {
    log.Log("!Total %u records (%u new, %u ignored, %u modified)", count, count - startCount,
            ignored, modified);
  }
  index.Publish();
}
}  // namespace

void ScanRecords(ObjectIndex& index, ExecutionLog& log, PluginFile& file) {
  LoadRecords(index, log, nullptr, -1, file);
}

void LoadMasterRecords(ObjectIndex& index, ExecutionLog& log, const GameInstallation& game,
                       int word) {
  if (PluginFile* master = game.masters()[word]) LoadRecords(index, log, &game, word, *master);
}

std::filesystem::path MasterCacheStampPath(const std::filesystem::path& cachePath) {
  std::filesystem::path stamp = cachePath;
  stamp += ".stamp";
  return stamp;
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
constexpr char kExtraCacheHeader[] = "Modrake extra masters 1\n";
constexpr char kListCacheHeader[] = "Modrake master lists 1\n";

// The files beside the cache share one frame: a header line, the stamp's
// identity they were made for, then per master its name and its items.
class CacheOut {
 public:
  CacheOut(const char* header, const std::string& identity, size_t masters) : bytes_(header) {
    Text(identity);
    Word(static_cast<uint32_t>(masters));
  }
  void Word(uint32_t value) { bytes_.append(reinterpret_cast<const char*>(&value), 4); }
  void Text(std::string_view text) {
    Word(static_cast<uint32_t>(text.size()));
    bytes_ += text;
  }
  WriteResult Write(const std::filesystem::path& path) const {
    return WriteFileAtomically(path, bytes_);
  }

 private:
  std::string bytes_;
};

class CacheIn {
 public:
  // Reads the file; false unless its frame was made with that header, for
  // that identity and that many masters.
  bool Open(const std::filesystem::path& path, const char* header, const std::string& identity,
            size_t masters) {
    FileReader reader;
    if (!reader.Open(path) || reader.Size() > (uint64_t{1} << 31)) return false;
    bytes_.assign(static_cast<size_t>(reader.Size()), '\0');
    if (reader.Read(bytes_.data(), bytes_.size()) != bytes_.size()) return false;
    std::string_view text;
    uint32_t n = 0;
    const size_t headerSize = std::strlen(header);
    return Take(headerSize, text) && text == std::string_view(header, headerSize) && Text(text) &&
           text == identity && Word(n) && n == masters;
  }
  bool Word(uint32_t& value) {
    std::string_view four;
    if (!Take(4, four)) return false;
    std::memcpy(&value, four.data(), 4);
    return true;
  }
  bool Text(std::string_view& text) {
    uint32_t n = 0;
    return Word(n) && Take(n, text);
  }
  size_t Left() const { return bytes_.size() - at_; }
  // Calls readItems(master, count) after each master's name and count, in
  // the masters' order; true when every call was and nothing is left over.
  template <typename ReadItems>
  bool EachMaster(const std::vector<PluginFile*>& masters, ReadItems readItems) {
    for (PluginFile* master : masters) {
      std::string_view name;
      uint32_t count = 0;
      if (!Text(name) || name != master->name || !Word(count) || !readItems(*master, count)) {
        return false;
      }
    }
    return Left() == 0;
  }

 private:
  bool Take(size_t n, std::string_view& out) {
    if (Left() < n) return false;
    out = std::string_view(bytes_).substr(at_, n);
    at_ += n;
    return true;
  }

  std::string bytes_;
  size_t at_ = 0;
};

// Whether a record header may start at offset and still fit in the master.
bool Fits(uint32_t offset, const PluginFile& master) {
  return offset + 16ull <= master.status.size;
}
}  // namespace

// Per master: each object's key text and offset.
WriteResult WriteExtraMasterCache(const std::filesystem::path& path, const std::string& identity,
                                  const std::vector<ObjectIndex::ExtraMaster>& extras) {
  CacheOut out(kExtraCacheHeader, identity, extras.size());
  for (const auto& extra : extras) {
    out.Text(extra.file->name);
    out.Word(static_cast<uint32_t>(extra.offsets.size()));
    for (const auto& [key, offset] : extra.offsets) {
      out.Text(key);
      out.Word(offset);
    }
  }
  return out.Write(path);
}

bool ReadExtraMasterCache(const std::filesystem::path& path, const std::string& identity,
                          const std::vector<PluginFile*>& masters,
                          std::vector<ObjectIndex::ExtraMaster>& extras) {
  extras.clear();
  CacheIn in;
  bool read = in.Open(path, kExtraCacheHeader, identity, masters.size()) &&
              in.EachMaster(masters, [&](PluginFile& master, uint32_t count) {
                ObjectIndex::ExtraMaster& extra = extras.emplace_back();
                extra.file = &master;
                for (uint32_t i = 0; i < count; ++i) {
                  std::string_view key;
                  uint32_t offset = 0;
                  if (!in.Text(key) || !in.Word(offset) || !Fits(offset, master)) return false;
                  extra.offsets.emplace(key, offset);
                }
                return true;
              });
  if (!read) extras.clear();
  return read;
}

std::filesystem::path ExtraMasterCachePath(const std::filesystem::path& cachePath) {
  std::filesystem::path extras = cachePath;
  extras += ".masters";
  return extras;
}

void LogUnwrittenCache(ExecutionLog& log, const std::filesystem::path& path,
                       const WriteResult& written) {
  log.Log("!Cannot write file %s: %s", path.string().c_str(), written.reason().c_str());
}

std::filesystem::path ListCachePath(const std::filesystem::path& cachePath) {
  std::filesystem::path lists = cachePath;
  lists += ".lists";
  return lists;
}

// Per master: the offsets of its lists.
WriteResult WriteListCache(const std::filesystem::path& path, const std::string& identity,
                           const std::vector<PluginFile*>& masters,
                           const std::vector<std::vector<uint32_t>>& offsets) {
  CacheOut out(kListCacheHeader, identity, masters.size());
  for (size_t m = 0; m < masters.size(); ++m) {
    out.Text(masters[m]->name);
    out.Word(static_cast<uint32_t>(offsets[m].size()));
    for (uint32_t offset : offsets[m]) out.Word(offset);
  }
  return out.Write(path);
}

bool ReadListCache(const std::filesystem::path& path, const std::string& identity,
                   const std::vector<PluginFile*>& masters,
                   std::vector<std::vector<uint32_t>>& offsets) {
  offsets.clear();
  CacheIn in;
  bool read = in.Open(path, kListCacheHeader, identity, masters.size()) &&
              in.EachMaster(masters, [&](PluginFile& master, uint32_t count) {
                std::vector<uint32_t>& places = offsets.emplace_back();
                for (uint32_t i = 0; i < count; ++i) {
                  uint32_t offset = 0;
                  // In file order: each list once, none inside the one before.
                  uint64_t least = places.empty() ? 16 : places.back() + 16ull;
                  if (!in.Word(offset) || offset < least || !Fits(offset, master)) return false;
                  places.push_back(offset);
                }
                return true;
              });
  if (!read) offsets.clear();
  return read;
}

}  // namespace modrake
