#pragma once

#include <filesystem>
#include <optional>

namespace modrake {

// The folder of the settings file, the log, its backup and the master cache:
// the given folder, else $MODRAKE_HOME, else on Linux beside the program when
// that folder already holds a modrake.ini (a portable copy), else
// $XDG_DATA_HOME/modrake (~/.local/share/modrake); on Windows beside
// modrake.exe when that folder is writable, else %APPDATA%\Modrake.
// The folder is created when missing.
std::filesystem::path ResolveProgramHome(const std::optional<std::filesystem::path>& given);

// Where the running program lives; empty when it cannot be told.
std::filesystem::path ProgramFolder();

}  // namespace modrake
