#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "format/record.hpp"
#include "platform/page_buffer.hpp"

namespace modrake {

// The identity of an object: its tag and its lower-cased id (exterior cells
// by grid; dialogue responses with their topic appended). Plain bytes, so
// that the master index can be cached as it is in memory.
struct ObjectKey {
  char tag[4];
  char text[124];   // zero-terminated; bytes after the zero are zero
  uint32_t length;  // 4 + the length of text
};

struct IndexEntry {
  ObjectKey key;
  // Master mode: offsets in morrowind.esm, tribunal.esm, bloodmoon.esm (0 =
  // no retained version). Scan mode: later files that met the key, 0, and a
  // word free for the caller (the conflict group number).
  uint32_t words[3];
};

static_assert(sizeof(ObjectKey) == 132);
static_assert(sizeof(IndexEntry) == 144);

// The longest key text kept as it is; a longer one (a long id, or a
// response's id with its topic) ends in a checksum of the whole text.
constexpr size_t kKeyTextLimit = sizeof(ObjectKey::text) - 1;

void BuildKey(ObjectKey& key, const Record& record, std::string_view topic);
void BuildKey(ObjectKey& key, const RecordView& record, std::string_view topic);
int CompareKeys(const ObjectKey& a, const ObjectKey& b);
// The key as one string: its tag and its text.
std::string KeyText(const ObjectKey& key);

// The sorted table of objects. A load appends entries and publishes them:
// they are found at once (by a hash of their keys) and sorted in when the
// table is next counted, so that publishing after each of thousands of
// scanned plugins does not merge the whole table each time. The table lives
// in pages of its own: only what it holds is ever touched, and growing never
// copies it.
class ObjectIndex {
 public:
  // The entries, every published one sorted in: [0, Count()) is sorted.
  uint32_t Count() {
    Settle();
    return count_;
  }
  void Clear() {
    size_ = count_ = published_ = 0;
    recent_.clear();
    fromCache = false;
    ++generation;
  }

  // Whether the entries came from the master cache, and so may lie about
  // masters that changed behind its stamp.
  bool fromCache = false;
  // Changes whenever the table is emptied: entries found before are gone.
  uint32_t generation = 0;

  IndexEntry* LookupObject(const Record& record, std::string_view topic);
  IndexEntry* LookupObject(const RecordView& record, std::string_view topic);
  IndexEntry* LookupKey(const ObjectKey& key);
  void SortIndex();

  // Appending during a load; Publish makes them searchable.
  IndexEntry& Append(const ObjectKey& key);
  void Publish();
  // Sorts the published entries in.
  void Settle();

  // Empties the table and makes room for n entries for the caller to fill
  // in their sorted order (the cache); they count as published.
  std::span<IndexEntry> Refill(size_t n);
  // Keeps the first n entries (n at most the present size) and publishes them
  // unsorted: the caller sorts after changing keys.
  void Truncate(size_t n);

  // The masters beyond the game's own that count as masters for this run
  // (the AllMasters option), in load order, with where each object lies in
  // each: by KeyText, the offset of its last record there.
  struct ExtraMaster {
    PluginFile* file = nullptr;
    std::unordered_map<std::string, uint32_t> offsets;
  };
  std::vector<ExtraMaster> extraMasters;
  // Whether they came from the cache, and so may lie about masters that
  // changed behind its stamp.
  bool extrasFromCache = false;

  // Every entry, the appended ones included.
  std::span<IndexEntry> entries() { return {data(), size_}; }
  std::span<const IndexEntry> entries() const { return {data(), size_}; }
  IndexEntry& operator[](size_t i) { return data()[i]; }

 private:
  IndexEntry* data() const { return static_cast<IndexEntry*>(store_.data()); }

  PageBuffer store_;
  size_t size_ = 0;
  uint32_t count_ = 0;    // [0, count) is sorted
  size_t published_ = 0;  // [count, published) is found through recent_
  // Published entries not yet sorted in, by a hash of their keys (the table
  // may move as it grows: places, not addresses).
  std::unordered_multimap<uint64_t, size_t> recent_;
};

// The newest retained master version's word: 2 (bloodmoon), 1, 0, or -1.
int NewestRetainedWord(const IndexEntry& entry);

}  // namespace modrake
