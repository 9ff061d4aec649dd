#include "shell/undo.hpp"

#include <algorithm>

#include "core/execution_log.hpp"
#include "core/fatal_error.hpp"
#include "core/session.hpp"
#include "core/text.hpp"
#include "install/game_installation.hpp"
#include "shell/run_guard.hpp"

namespace modrake {

namespace {

std::filesystem::path BackupsOf(const Session& session) {
  return session.home / "backups";
}

std::string Joined(const std::vector<std::string>& items) {
  std::string all;
  for (const auto& item : items) all += (all.empty() ? "" : ", ") + item;
  return all;
}

}  // namespace

std::vector<RunSummary> BackedUpRuns(Session& session) {
  return ListRuns(BackupsOf(session));
}

const RunSummary* RunToUndo(const std::vector<RunSummary>& runs) {
  for (auto run = runs.rbegin(); run != runs.rend(); ++run) {
    if (!run->undone) return &*run;
  }
  return nullptr;
}

std::string DescribeRun(const RunSummary& run) {
  std::string line = FormatText("%s  %s  %-14s %zu file(s) changed, %zu made", run.name.c_str(),
                                run.started.c_str(), run.command.c_str(), run.changed, run.created);
  if (run.undone) {
    line += "  (undone)";
  } else if (!run.finished) {
    line += "  (stopped before its end)";
  }
  return line;
}

void UndoLastRun(Session& session, const std::string& name, bool force) {
  RunGuard guard(session);
  ExecutionLog& log = session.log;
  std::vector<RunSummary> runs = BackedUpRuns(session);
  const RunSummary* run = nullptr;
  if (name.empty()) {
    run = RunToUndo(runs);
    if (!run) {
      log.AddLogLine("Nothing to undo");
      return;
    }
  } else {
    auto found =
        std::find_if(runs.begin(), runs.end(), [&](const RunSummary& r) { return r.name == name; });
    if (found == runs.end()) FatalError("No run named %s has a backup", name.c_str());
    run = &*found;
  }
  UndoOutcome outcome = UndoRun(BackupsOf(session), run->name, force);
  if (!outcome.changedSince.empty() && !force) {
    FatalError(
        "Cannot undo %s: %zu file(s) changed since that run: %s (undo --force brings them back "
        "all the same)",
        run->name.c_str(), outcome.changedSince.size(), Joined(outcome.changedSince).c_str());
  }
  if (!outcome.failed.empty()) {
    FatalError(
        "Undo of %s stopped: %zu file(s) are back, %zu are not (%s); undo again to finish it",
        run->name.c_str(), outcome.restored.size() + outcome.removed.size(), outcome.failed.size(),
        Joined(outcome.failed).c_str());
  }
  log.AddLogLine(FormatText("Undid %s (%s): %zu file(s) restored, %zu taken away",
                            run->name.c_str(), run->command.c_str(), outcome.restored.size(),
                            outcome.removed.size()));
  if (session.game) session.game->Reload();
}

}  // namespace modrake
