#include "install/master_check.hpp"

#include "core/execution_log.hpp"
#include "install/game_installation.hpp"
#include "platform/file_names.hpp"

namespace modrake {

std::vector<MasterProblem> FindMasterProblems(const GameInstallation& game) {
  std::vector<MasterProblem> problems;
  for (const auto& plugin : game.activePlugins()) {
    Record* header = plugin->FindHeaderRecord();
    if (!header) continue;
    for (const std::string& master : MasterNames(*header)) {
      auto path = game.FindFile(master);
      if (!path || !QueryFileStatus(*path)) {
        problems.push_back({plugin->name, master, true});
      } else if (!FindPluginByName(game.activePlugins(), master)) {
        problems.push_back({plugin->name, master, false});
      }
    }
  }
  return problems;
}

unsigned CheckMasterReferences(const GameInstallation& game, ExecutionLog& log, bool report) {
  unsigned count = 0;
  for (const MasterProblem& problem : FindMasterProblems(game)) {
    if (!problem.missing) ++count;
    if (!report) continue;
    if (problem.missing) {
      log.Log("!ERROR: \"%s\" is MISSING, but referenced by \"%s\"", problem.master.c_str(),
              problem.plugin.c_str());
    } else {
      log.Log("!WARNING: \"%s\" is INACTIVE, but referenced by \"%s\"", problem.master.c_str(),
              problem.plugin.c_str());
    }
  }
  return count;
}

}  // namespace modrake
