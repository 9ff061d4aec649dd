#include "shell/startup.hpp"

#include "core/execution_log.hpp"
#include "core/session.hpp"
#include "core/text.hpp"
#include "install/master_check.hpp"

namespace modrake {

void ShowStartupLines(Session& session) {
  ExecutionLog& log = session.log;
  log.AddLogLine(FormatText("Modrake %s   by lanternfly", MODRAKE_VERSION));
  log.AddLogLine("");
  log.AddLogLine("Please READ documentation (Modrake.htm) first!");
  log.AddLogLine("");
  // Counted only: the Manage active plugins window names them.
  unsigned count = CheckMasterReferences(*session.game, log, false);
  if (count > 0) {
    log.AddLogLine("WARNING:");
    log.Log("!%d active plugin(s) reference master files that are NOT ENABLED in the morrowind.ini",
            static_cast<int>(count));
    log.AddLogLine(
        "Morrowind will still automatically load such master files. To get detailed information");
    log.AddLogLine("about invalid master files, open and close \"Manage active plugins\" window.");
    log.AddLogLine("");
  }
  log.AddLogLine("Select function from the list above");
}

}  // namespace modrake
