#pragma once

#include <filesystem>
#include <string>

namespace modrake {

struct Session;
class ManageWindow;

struct DispatchOptions {
  // The merge entries run without their question and activate what they
  // build, as JUST FIX IT! does.
  bool activate = false;
  // The front end's Manage active plugins window; without one that entry
  // runs nothing.
  ManageWindow* manageWindow = nullptr;
  // The report entry writes its report here as one JSON document instead of
  // into the log file.
  std::string* reportJson = nullptr;
};

// Runs an entry of the function list, or JUST FIX IT! (kJustFixItCommand),
// with the questions and preparations each one has. Returns true when the
// options panel is to be shown instead of running anything. Any other index
// runs nothing.
bool Dispatch(Session& session, int command, const DispatchOptions& options = {});

// Sends the merged plugins of this run to that folder, which must be one of
// the game's data folders (the game is loaded); false, nothing changed,
// when it is none of them.
bool ChooseMergeOutput(Session& session, const std::filesystem::path& folder);

// Whether a chosen file is a game master, which the report leaves out and
// clean skips.
bool IsGameMasterFile(const std::filesystem::path& file);

}  // namespace modrake
