#pragma once

#include <filesystem>
#include <vector>

namespace modrake {

struct Session;

// The clean entries of the function list: set the ignored expansions aside,
// load the master index, clean the files the user chose (Ui::ChooseFiles) in
// place, beside them under "Clean " names, or in a "Clean" subfolder of
// their folder, and take the expansions back.
void RunCleanEntry(Session& session, int subfolder);

}  // namespace modrake
