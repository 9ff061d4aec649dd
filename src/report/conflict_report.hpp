#pragma once

#include <string>

namespace modrake {

struct Session;

// The report's entry of the function list: the detailed conflict report of
// the plugins the user chooses (Ui::ChooseFiles; game masters among them are
// left out): for every object that two or more of them define, the fields in
// which their versions differ, then which plugins conflict with which.
// Written as the log file, or with json as one JSON document into it
// (docs/report.schema.json), the log file left as it is. Dialogue responses
// are compared from their data on for the run, whatever the cleaning
// setting says.
void RunReportEntry(Session& session, std::string* json = nullptr);

}  // namespace modrake
