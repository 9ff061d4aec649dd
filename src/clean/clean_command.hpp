#pragma once

#include <filesystem>
#include <vector>

namespace modrake {

struct Session;
class MasterSet;

// Cleans the files the user chose (Ui::ChooseFiles) against the masters
// (loaded): in place, beside them under "Clean " names, or in a "Clean"
// subfolder of their folder.
void CleanCommand(Session& session, MasterSet& masters, int subfolder);

// The clean entries of the function list: set the ignored expansions aside,
// load the master index, clean, and take the expansions back.
void RunCleanEntry(Session& session, int subfolder);

}  // namespace modrake
