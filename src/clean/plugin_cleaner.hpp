#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "clean/own_master_cells.hpp"
#include "format/plugin_file.hpp"

namespace modrake {

struct Session;
class ExecutionLog;
class GameInstallation;
class GameSettingTable;
class MasterSet;

// What plugins are cleaned against and by: the masters (loaded), the game
// settings no plugin should change, and the options that steer it.
struct PluginCleaner {
  MasterSet& masters;
  ExecutionLog& log;
  GameInstallation& game;  // where cleaned plugins are saved
  const GameSettingTable* gameSettings = nullptr;
  bool unrestrictedDialogs = true;
  bool unrestrictedCells = true;
  bool relaxedAiData = true;
  bool forceSave = false;

  // The session's pieces and options.
  static PluginCleaner For(Session& session, MasterSet& masters);
};

// Cleans one plugin against the masters: removes stray game settings,
// records that repeat a master version, unchanged cell fields and
// references, empty cells and topics and earlier duplicates, then saves it
// over itself or as prefix + name. Returns 1 when it had changes and was
// saved.
int CleanPlugin(const PluginCleaner& cleaner, PluginFile* file,
                const std::optional<std::string>& prefix, bool keepTime);

bool IsEvilGameSetting(const PluginCleaner& cleaner, const Record& gmst);

// topic holds the id of the last DIAL passed; a DIAL updates it.
bool IsIdenticalToMaster(const PluginCleaner& cleaner, Record& record, std::string& topic);

// The LAND and PGRD records of a plugin by their grid, for which an empty
// exterior cell stays: a landmass plugin has tens of thousands of cells, too
// many to search the file for each. The first pass tells it what it removes.
class RelatedRecords {
 public:
  explicit RelatedRecords(const PluginFile& file);
  void Forget(const Record& record);
  // The first LAND or PGRD in file order whose grid is these eight bytes
  // (X and Y); none: nullptr.
  const Record* AtGrid(const uint8_t* grid) const;

 private:
  static std::optional<uint64_t> Key(const Record& record);
  std::unordered_map<uint64_t, std::vector<const Record*>> byGrid_;
};

// The number of fields removed from the cell, or -1 when the cell is empty
// and is to be removed; a cell that one of the plugin's own masters defines
// is never empty.
int CleanCell(const PluginCleaner& cleaner, Record& cell, PluginFile& file,
              const RelatedRecords& related, OwnMasterCells& ownMasters);

int CleanCellFields(ExecutionLog& log, const Record& masterCell, Record& cell);

}  // namespace modrake
