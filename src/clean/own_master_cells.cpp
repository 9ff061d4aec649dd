#include "clean/own_master_cells.hpp"

#include <algorithm>

#include "format/record_stream.hpp"
#include "install/game_installation.hpp"
#include "platform/file_names.hpp"

namespace modrake {

namespace {
bool KeyLess(const ObjectKey& a, const ObjectKey& b) {
  return CompareKeys(a, b) < 0;
}
}  // namespace

OwnMasterCells::OwnMasterCells(const GameInstallation& game, PluginFile& plugin) : game_(game) {
  const Record* header = plugin.FindHeaderRecord();
  if (!header) return;
  for (std::string& name : MasterNames(*header)) {
    if (!IsGameMasterName(name)) masters_.push_back(std::move(name));
  }
}

std::optional<OwnMasterCells::Holder> OwnMasterCells::Find(const Record& cell) {
  if (masters_.empty()) return std::nullopt;
  if (!loaded_) Load();
  if (unreadable_) return Holder{*unreadable_, false};
  ObjectKey key;
  BuildKey(key, cell, {});
  auto found =
      std::lower_bound(cells_.begin(), cells_.end(), key,
                       [](const Cell& a, const ObjectKey& b) { return KeyLess(a.key, b); });
  if (found == cells_.end() || CompareKeys(found->key, key) != 0) return std::nullopt;
  return Holder{masters_[found->master]};
}

void OwnMasterCells::Load() {
  loaded_ = true;
  for (size_t m = 0; m < masters_.size(); ++m) {
    auto path = game_.FindFile(masters_[m]);
    if (!path) {
      unreadable_ = masters_[m];
      return;
    }
    PluginFile master(path->parent_path(), masters_[m]);
    RecordStream stream(master);
    while (stream.Next()) {
      if (stream.header().tag != tags::CELL) continue;
      Cell cell;
      BuildKey(cell.key, stream.View(), {});
      cell.master = m;
      cells_.push_back(cell);
    }
  }
  std::stable_sort(cells_.begin(), cells_.end(),
                   [](const Cell& a, const Cell& b) { return KeyLess(a.key, b.key); });
}

}  // namespace modrake
