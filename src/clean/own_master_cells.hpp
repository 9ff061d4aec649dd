#pragma once

#include <optional>
#include <string>
#include <vector>

#include "objectdb/object_index.hpp"

namespace modrake {

class GameInstallation;
class PluginFile;

// The cells that a plugin's own masters other than the game masters define
// (a landmass or an asset master). A plugin that changes one of them (a flag,
// a name, a region) keeps that cell even when nothing of it differs from the
// game masters. The masters are read when first asked.
class OwnMasterCells {
 public:
  OwnMasterCells(const GameInstallation& game, PluginFile& plugin);

  struct Holder {
    std::string master;
    bool read = true;  // false: the master could not be read, so it may hold the cell
  };
  // The first of the masters that defines the cell, or one that could not be
  // read; none when no master but the game masters may hold it.
  std::optional<Holder> Find(const Record& cell);

 private:
  void Load();

  const GameInstallation& game_;
  std::vector<std::string> masters_;  // in header order
  bool loaded_ = false;
  std::optional<std::string> unreadable_;
  struct Cell {
    ObjectKey key;
    size_t master;  // into masters_
  };
  std::vector<Cell> cells_;  // by key; of equal keys the first master's first
};

}  // namespace modrake
