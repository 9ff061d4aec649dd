// Feeds arbitrary bytes to the master cache reader, to the reader of the
// stamp beside it and to the readers of the other masters' places and of the
// masters' lists: never a crash; whatever they accept is what the writers
// make, and an accepted cache is a sorted index whose offsets lie inside the
// masters, which the binary search finds again.
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "format/plugin_file.hpp"
#include "fuzz_support.hpp"
#include "objectdb/master_loader.hpp"
#include "objectdb/object_index.hpp"
#include "platform/file_io.hpp"

namespace {

// Morrowind.esm and Tribunal.esm in use, Bloodmoon.esm not.
constexpr uint32_t kFlags = 1;
const uint64_t kMasterSizes[3] = {1 << 20, 1 << 16, 0};
const std::string kIdentity = "Game /games/Morrowind\nMorrowind.esm 1048576 1000000000\n";

void Check(bool holds) {
  if (!holds) std::abort();
}

void CheckStamp(const std::filesystem::path& stamp) {
  auto entries = modrake::ReadMasterCacheStamp(stamp, kIdentity);
  if (!entries) return;
  Check(*entries > 0 && *entries <= modrake::kMasterCacheEntryLimit);
  Check(static_cast<bool>(modrake::WriteMasterCacheStamp(stamp, kIdentity, *entries)));
  Check(modrake::ReadMasterCacheStamp(stamp, kIdentity) == entries);
}

void CheckCache(const std::filesystem::path& cache, uint32_t entries) {
  modrake::ObjectIndex index;
  if (!modrake::ReadMasterCache(cache, kFlags, kMasterSizes, entries, index)) {
    Check(index.Count() == 0);
    return;
  }
  const auto table = index.entries();
  Check(index.Count() == entries && table.size() == entries);
  for (size_t i = 0; i < table.size(); ++i) {
    const modrake::IndexEntry& e = table[i];
    Check(e.key.length >= 4 && e.key.length - 4 < sizeof e.key.text);
    Check(strnlen(e.key.text, sizeof e.key.text) == e.key.length - 4);
    if (i > 0) Check(modrake::CompareKeys(table[i - 1].key, e.key) <= 0);
    for (int w = 0; w < 3; ++w) Check(e.words[w] == 0 || e.words[w] + 16ull <= kMasterSizes[w]);
  }
  for (const auto& e : table) {
    const modrake::IndexEntry* found = index.LookupKey(e.key);
    Check(found && modrake::CompareKeys(found->key, e.key) == 0);
  }
}

// Two masters beyond the game's, of 64 KiB and 1 KiB.
struct TwoMasters {
  TwoMasters() {
    shared.status.size = 1 << 16;
    small.status.size = 1 << 10;
  }
  modrake::PluginFile shared{{}, "Shared_Data.esm", "", ""};
  modrake::PluginFile small{{}, "Small.esm", "", ""};
  const std::vector<modrake::PluginFile*> masters = {&shared, &small};
};

void CheckExtras(const std::filesystem::path& file) {
  const TwoMasters two;
  const auto& masters = two.masters;
  std::vector<modrake::ObjectIndex::ExtraMaster> extras;
  if (!modrake::ReadExtraMasterCache(file, kIdentity, masters, extras)) {
    Check(extras.empty());
    return;
  }
  Check(extras.size() == masters.size());
  for (size_t i = 0; i < extras.size(); ++i) {
    Check(extras[i].file == masters[i]);
    for (const auto& [key, offset] : extras[i].offsets) {
      Check(offset + 16ull <= masters[i]->status.size);
    }
  }
  // What was accepted is written back the same way and read back alike.
  Check(static_cast<bool>(modrake::WriteExtraMasterCache(file, kIdentity, extras)));
  std::vector<modrake::ObjectIndex::ExtraMaster> again;
  Check(modrake::ReadExtraMasterCache(file, kIdentity, masters, again));
  for (size_t i = 0; i < extras.size(); ++i) Check(again[i].offsets == extras[i].offsets);
}

void CheckLists(const std::filesystem::path& file) {
  const TwoMasters two;
  const auto& masters = two.masters;
  std::vector<std::vector<uint32_t>> offsets;
  if (!modrake::ReadListCache(file, kIdentity, masters, offsets)) {
    Check(offsets.empty());
    return;
  }
  Check(offsets.size() == masters.size());
  for (size_t i = 0; i < offsets.size(); ++i) {
    for (size_t j = 0; j < offsets[i].size(); ++j) {
      Check(offsets[i][j] + 16ull <= masters[i]->status.size);
      if (j > 0) Check(offsets[i][j] >= offsets[i][j - 1] + 16ull);
    }
  }
  Check(static_cast<bool>(modrake::WriteListCache(file, kIdentity, masters, offsets)));
  std::vector<std::vector<uint32_t>> again;
  Check(modrake::ReadListCache(file, kIdentity, masters, again) && again == offsets);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The first byte picks what the rest is: a stamp, a whole cache file, the
  // places of the other masters' objects or of the masters' lists (by its
  // third bit), or the entries of a cache behind a valid header (so that the
  // checks of the entries are reached often); its high bits move the count
  // the stamp allows.
  if (size == 0) return 0;
  const uint8_t mode = data[0] & 3;
  if (mode == 3 && (data[0] & 4)) {
    const auto lists = modrake::fuzz::WorkFolder() / "modrake.dat.lists";
    if (modrake::fuzz::WriteInput(lists, data + 1, size - 1)) CheckLists(lists);
    return 0;
  }
  if (mode == 3) {
    const auto extras = modrake::fuzz::WorkFolder() / "modrake.dat.masters";
    if (modrake::fuzz::WriteInput(extras, data + 1, size - 1)) CheckExtras(extras);
    return 0;
  }
  const int skew = (data[0] >> 2) % 3 - 1;
  const auto& folder = modrake::fuzz::WorkFolder();
  if (mode == 0) {
    const auto stamp = folder / "modrake.dat.stamp";
    if (modrake::fuzz::WriteInput(stamp, data + 1, size - 1)) CheckStamp(stamp);
    return 0;
  }
  std::vector<uint8_t> file;
  if (mode == 1) {
    file.assign(data + 1, data + size);
  } else {
    file.resize(modrake::kMasterCacheHeaderSize + 4);
    std::memcpy(file.data(), modrake::kMasterCacheHeader, sizeof modrake::kMasterCacheHeader);
    std::memcpy(file.data() + modrake::kMasterCacheHeaderSize, &kFlags, 4);
    file.insert(file.end(), data + 1, data + size);
  }
  const auto cache = folder / "modrake.dat";
  if (!modrake::fuzz::WriteInput(cache, file.data(), file.size())) return 0;
  const size_t whole =
      file.size() < modrake::kMasterCacheHeaderSize + 4
          ? 0
          : (file.size() - modrake::kMasterCacheHeaderSize - 4) / sizeof(modrake::IndexEntry);
  CheckCache(cache, static_cast<uint32_t>(static_cast<int64_t>(whole) + skew));
  return 0;
}
