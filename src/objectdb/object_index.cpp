#include "objectdb/object_index.hpp"

#include <algorithm>
#include <cstring>

#include "core/text.hpp"
#include "platform/checksum.hpp"

namespace modrake {

namespace {
// The key from the fields of a parsed record or of a view.
template <typename Fields>
void BuildKeyOf(ObjectKey& key, Tag tag, const Fields& record, std::string_view topic) {
  std::memset(&key, 0, sizeof key);
  std::memcpy(key.tag, &tag, 4);
  std::string text;
  std::optional<FieldView> data;
  if (tag == tags::CELL) data = record.FindField(tags::DATA);
  if (data && (data->ByteAt(0) & 1) == 0) {
    text = "<X=";
    AppendInt(text, static_cast<int32_t>(data->UInt32At(4)));
    text += ", Y=";
    AppendInt(text, static_cast<int32_t>(data->UInt32At(8)));
    text += '>';
  } else {
    text = record.GetDisplayId();
  }
  LowerCaseAsciiInPlace(text);
  // A zero inside an id would end the key early; the text stops there.
  text.resize(std::strlen(text.c_str()));
  if (tag == tags::INFO && !topic.empty()) {
    // The topic keeps its case.
    text.append(topic.substr(0, topic.find('\0')));
  }
  if (text.size() > kKeyTextLimit) {
    // A long id keeps its start and a checksum of the whole: two ids that
    // share their first characters stay two objects.
    uint64_t sum = Checksum64(text.data(), text.size());
    text.resize(kKeyTextLimit - 17);
    text += FormatText("\x1f%016llx", static_cast<unsigned long long>(sum));
  }
  std::memcpy(key.text, text.data(), text.size());
  key.length = static_cast<uint32_t>(4 + text.size());
}

}  // namespace

void BuildKey(ObjectKey& key, const Record& record, std::string_view topic) {
  BuildKeyOf(key, record.tag, record, topic);
}

void BuildKey(ObjectKey& key, const RecordView& record, std::string_view topic) {
  BuildKeyOf(key, record.header.tag, record, topic);
}

int CompareKeys(const ObjectKey& a, const ObjectKey& b) {
  // tag and text are contiguous: compare them as one run of bytes.
  uint32_t n = std::min(a.length, b.length);
  int c = std::memcmp(a.tag, b.tag, n);
  if (c != 0) return c;
  if (a.length == b.length) return 0;
  return a.length < b.length ? -1 : 1;
}

namespace {
// A hash of the bytes that tell keys apart: the tag and the text, contiguous.
uint64_t KeyHash(const ObjectKey& key) {
  return Checksum64(key.tag, key.length);
}
}  // namespace

IndexEntry* ObjectIndex::LookupKey(const ObjectKey& key) {
  IndexEntry* table = data();
  size_t lo = 0, hi = count_;
  while (lo < hi) {
    size_t mid = lo + (hi - lo) / 2;
    int c = CompareKeys(table[mid].key, key);
    if (c == 0) return &table[mid];
    if (c < 0)
      lo = mid + 1;
    else
      hi = mid;
  }
  if (recent_.empty()) return nullptr;
  auto [first, last] = recent_.equal_range(KeyHash(key));
  for (auto it = first; it != last; ++it) {
    if (CompareKeys(table[it->second].key, key) == 0) return &table[it->second];
  }
  return nullptr;
}

IndexEntry* ObjectIndex::LookupObject(const Record& record, std::string_view topic) {
  if (count_ == 0 && recent_.empty()) return nullptr;
  ObjectKey key;
  BuildKey(key, record, topic);
  return LookupKey(key);
}

IndexEntry* ObjectIndex::LookupObject(const RecordView& record, std::string_view topic) {
  if (count_ == 0 && recent_.empty()) return nullptr;
  ObjectKey key;
  BuildKey(key, record, topic);
  return LookupKey(key);
}

namespace {
bool KeyLess(const IndexEntry& a, const IndexEntry& b) {
  return CompareKeys(a.key, b.key) < 0;
}
}  // namespace

void ObjectIndex::SortIndex() {
  Settle();
  std::sort(data(), data() + count_, KeyLess);
}

IndexEntry& ObjectIndex::Append(const ObjectKey& key) {
  if ((size_ + 1) * sizeof(IndexEntry) > store_.capacity()) {
    store_.Reserve((size_ + 1) * sizeof(IndexEntry), size_ * sizeof(IndexEntry));
  }
  IndexEntry& entry = data()[size_++];
  entry.key = key;
  entry.words[0] = entry.words[1] = entry.words[2] = 0;
  return entry;
}

void ObjectIndex::Publish() {
  for (size_t i = published_; i < size_; ++i) recent_.emplace(KeyHash(data()[i].key), i);
  published_ = size_;
}

void ObjectIndex::Settle() {
  if (published_ == count_) return;
  // The entries before count are sorted already: sorting what was published
  // since and merging it in costs the size of the table.
  recent_.clear();
  IndexEntry* appended = data() + count_;
  std::sort(appended, data() + published_, KeyLess);
  std::inplace_merge(data(), appended, data() + published_, KeyLess);
  count_ = static_cast<uint32_t>(published_);
}

std::span<IndexEntry> ObjectIndex::Refill(size_t n) {
  Clear();
  store_.Reserve(n * sizeof(IndexEntry), 0);
  size_ = published_ = n;
  count_ = static_cast<uint32_t>(n);
  return entries();
}

void ObjectIndex::Truncate(size_t n) {
  recent_.clear();
  if (n < size_) size_ = n;
  published_ = size_;
  count_ = static_cast<uint32_t>(size_);
}

std::string KeyText(const ObjectKey& key) {
  return std::string(key.tag, 4) + std::string(key.text, key.length - 4);
}

int NewestRetainedWord(const IndexEntry& entry) {
  for (int w = 2; w >= 0; --w) {
    if (entry.words[w] != 0) return w;
  }
  return -1;
}

}  // namespace modrake
