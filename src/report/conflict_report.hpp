#pragma once

#include <cstdint>

namespace modrake {

struct Session;
class ObjectIndex;

// The detailed conflict report of the plugins the user chooses (Ui::ChooseFiles;
// game masters among them are left out): for every object that two or more of
// them define, the fields in which their versions differ, then which plugins
// conflict with which. Written as the log file.
void GenerateConflictReport(Session& session);

// The report's entry of the function list: dialogue responses are compared
// from their data on for the run, whatever the cleaning setting says.
void RunReportEntry(Session& session);

}  // namespace modrake
