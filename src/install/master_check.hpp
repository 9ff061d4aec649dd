#pragma once

#include <string>
#include <vector>

namespace modrake {

class ExecutionLog;
class GameInstallation;

// Counts the master references of the active plugins that name a file of the
// data folder which is not active. With report, each such reference is
// logged as a WARNING line and each reference to a missing file as an ERROR
// line (missing ones are not counted).
unsigned CheckMasterReferences(const GameInstallation& game, ExecutionLog& log, bool report);

// One master reference of an active plugin to a file that is missing from the
// data folders, or there but not active.
struct MasterProblem {
  std::string plugin;
  std::string master;
  bool missing = false;
};
std::vector<MasterProblem> FindMasterProblems(const GameInstallation& game);

}  // namespace modrake
