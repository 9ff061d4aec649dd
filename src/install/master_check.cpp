#include "install/master_check.hpp"

#include "core/execution_log.hpp"
#include "install/game_installation.hpp"
#include "platform/file_names.hpp"

namespace modrake {

unsigned CheckMasterReferences(const GameInstallation& game, ExecutionLog& log, bool report) {
  unsigned count = 0;
  for (const auto& plugin : game.activePlugins()) {
    Record* header = plugin->FindHeaderRecord();
    if (!header) continue;
    for (const std::string& master : MasterNames(*header)) {
      auto path = game.FindFile(master);
      if (!path || !QueryFileStatus(*path)) {
        if (report) {
          log.Log("!ERROR: \"%s\" is MISSING, but referenced by \"%s\"", master.c_str(),
                  plugin->name.c_str());
        }
      } else if (!FindPluginByName(game.activePlugins(), master)) {
        ++count;
        if (report) {
          log.Log("!WARNING: \"%s\" is INACTIVE, but referenced by \"%s\"", master.c_str(),
                  plugin->name.c_str());
        }
      }
    }
  }
  return count;
}

}  // namespace modrake
