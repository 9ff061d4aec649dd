#include "merge/dialogs/cell_rename_table.hpp"

#include "core/text.hpp"

namespace modrake {

void CellRenameTable::Clear() {
  entries_.clear();
  byOld_.clear();
  byNew_.clear();
}

void CellRenameTable::PointAt(size_t entry, std::string_view newName) {
  bool sameKey = EqualsNoCase(entries_[entry].newName, newName);
  entries_[entry].newName = newName;
  if (!sameKey) byNew_[LowerCaseAscii(newName)].push_back(entry);
}

void CellRenameTable::Rename(std::string_view oldName, std::string_view newName) {
  if (EqualsNoCase(oldName, newName)) return;
  std::string oldKey = LowerCaseAscii(oldName);
  // Entries that reached oldName move on to newName. A list may still hold
  // entries that have moved on since; only those that still lead here count.
  if (auto reached = byNew_.find(oldKey); reached != byNew_.end()) {
    std::vector<size_t> moved = std::move(reached->second);
    byNew_.erase(reached);
    for (size_t entry : moved) {
      if (EqualsNoCase(entries_[entry].newName, oldName)) PointAt(entry, newName);
    }
  }
  if (auto own = byOld_.find(oldKey); own != byOld_.end()) {
    PointAt(own->second, newName);
    return;
  }
  entries_.push_back({std::string(oldName), std::string(newName)});
  byOld_.emplace(std::move(oldKey), entries_.size() - 1);
  byNew_[LowerCaseAscii(newName)].push_back(entries_.size() - 1);
}

const std::string* CellRenameTable::NewNameFor(std::string_view name) const {
  auto found = byOld_.find(LowerCaseAscii(name));
  return found == byOld_.end() ? nullptr : &entries_[found->second].newName;
}

}  // namespace modrake
