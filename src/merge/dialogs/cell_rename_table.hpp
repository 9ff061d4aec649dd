#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace modrake {

// The exterior cells that plugins gave new names: each name a cell had,
// mapped to the name the latest file gives it. Names compare in any letter
// case; entries are never removed, only emptied all at once.
class CellRenameTable {
 public:
  struct Entry {
    std::string oldName;
    std::string newName;
  };

  void Clear();
  bool Empty() const { return entries_.empty(); }
  const std::vector<Entry>& Entries() const { return entries_; }

  // A cell called oldName is now called newName: every entry that led to
  // oldName leads to newName from now on, and oldName gets an entry of its
  // own unless it has one. So A to B and later B to C gives (A, C), (B, C).
  void Rename(std::string_view oldName, std::string_view newName);

  // The name a cell once called name has now, or null when it was never renamed.
  const std::string* NewNameFor(std::string_view name) const;

 private:
  void PointAt(size_t entry, std::string_view newName);

  std::vector<Entry> entries_;
  // Lower-cased names to entries: old names are unique, new names are shared.
  std::unordered_map<std::string, size_t> byOld_;
  std::unordered_map<std::string, std::vector<size_t>> byNew_;
};

}  // namespace modrake
