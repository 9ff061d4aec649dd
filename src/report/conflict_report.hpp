#pragma once

#include <cstdint>
#include <string>

namespace modrake {

struct Session;
class ObjectIndex;

// The detailed conflict report of the plugins the user chooses (Ui::ChooseFiles;
// game masters among them are left out): for every object that two or more of
// them define, the fields in which their versions differ, then which plugins
// conflict with which. Written as the log file, or with json as one JSON
// document into it (docs/report.schema.json), the log file left as it is.
void GenerateConflictReport(Session& session, std::string* json = nullptr);

// The report's entry of the function list: dialogue responses are compared
// from their data on for the run, whatever the cleaning setting says.
void RunReportEntry(Session& session, std::string* json = nullptr);

}  // namespace modrake
