#include "shell/startup.hpp"

#include "core/execution_log.hpp"
#include "core/session.hpp"
#include "core/text.hpp"
#include "install/game_installation.hpp"
#include "install/master_check.hpp"

namespace modrake {

std::vector<std::string> StartupGameLines(Session& session) {
  std::vector<std::string> lines;
  const GameInstallation& game = *session.game;
  if (game.kind() != GameKind::kOpenMw) return lines;
  lines.push_back(game.Description());
  for (const std::string& warning : game.Warnings()) lines.push_back("WARNING: " + warning);
  return lines;
}

void ShowStartupLines(Session& session) {
  ExecutionLog& log = session.log;
  log.AddLogLine(FormatText("Modrake %s   by lanternfly", MODRAKE_VERSION));
  log.AddLogLine("");
  for (const std::string& line : StartupGameLines(session)) log.AddLogLine(line);
  log.AddLogLine("Please READ documentation (Modrake.htm) first!");
  log.AddLogLine("");
  // Counted only: the Manage active plugins window names them.
  unsigned count = CheckMasterReferences(*session.game, log, false);
  if (count > 0) {
    log.AddLogLine("WARNING:");
    log.Log("!%d active plugin(s) reference master files that are NOT ENABLED in the %s",
            static_cast<int>(count), session.game->ListName());
    log.AddLogLine(
        "Morrowind will still automatically load such master files. To get detailed information");
    log.AddLogLine("about invalid master files, open and close \"Manage active plugins\" window.");
    log.AddLogLine("");
  }
  log.AddLogLine("Select function from the list above");
}

}  // namespace modrake
