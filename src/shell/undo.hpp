#pragma once

#include <string>
#include <vector>

#include "platform/run_backup.hpp"

namespace modrake {

struct Session;

// The runs whose backups the program home keeps, oldest first.
std::vector<RunSummary> BackedUpRuns(Session& session);
// The newest run that is not undone yet; none when there is none.
const RunSummary* RunToUndo(const std::vector<RunSummary>& runs);

// Brings the game back to what it was before a run (the newest one not
// undone when name is empty): every file it changed back with its times and
// mode, every file it made taken away. Refuses, changing nothing, when a
// file changed since the run (unless force): a FatalError that names them.
// A run stopped halfway is a FatalError saying what is back and what not;
// undoing it again finishes it.
void UndoLastRun(Session& session, const std::string& name, bool force);

// One line of `undo --list`.
std::string DescribeRun(const RunSummary& run);

}  // namespace modrake
