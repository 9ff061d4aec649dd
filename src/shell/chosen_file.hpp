#pragma once

#include <filesystem>
#include <string>

namespace modrake {

struct Session;

// Where a FILE given to clean or report is, as the file dialog would have
// chosen it: the path itself (relative to the current folder), found in any
// letter case as the game finds plugins; else, for a bare name, the file of
// that name in the game's data folders.
struct ChosenFile {
  std::filesystem::path path;  // empty when there is no file it may read
  std::string problem;         // then why: missing, or why it cannot be read
};
ChosenFile FindChosenFile(const Session& session, const std::filesystem::path& given);

}  // namespace modrake
