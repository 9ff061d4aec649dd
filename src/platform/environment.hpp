#pragma once

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <optional>
#include <string>

namespace modrake {

// The value of an environment variable as UTF-8 text; empty when it is unset
// or empty.
std::string EnvironmentValue(const char* name);

// Whether the program runs on Windows, for what only differs in which
// places are looked at.
#ifdef _WIN32
inline constexpr bool kWindows = true;
#else
inline constexpr bool kWindows = false;
#endif

// What separates the folders of a list in one variable (as PATH does).
#ifdef _WIN32
inline constexpr char kPathListSeparator = ';';
#else
inline constexpr char kPathListSeparator = ':';
#endif

// A time (seconds since 1970) in the user's time zone; none when the system
// cannot tell it.
std::optional<std::tm> LocalTimeOf(int64_t seconds);
// The same time in UTC.
std::optional<std::tm> UtcTimeOf(int64_t seconds);

// The user's own folder ($HOME, on Windows %USERPROFILE%); empty when unknown.
std::filesystem::path UserFolder();

// Where a game keeps its user's own files, in folders named after it: on
// Linux $XDG_DATA_HOME/name and $XDG_CONFIG_HOME/name (~/.local/share/name
// and ~/.config/name when those are unset), on Windows Documents\My
// Games\windowsName for both.
struct GameUserFolders {
  std::filesystem::path data;
  std::filesystem::path config;
};
GameUserFolders UserFoldersOfGame(const char* name, const char* windowsName);

}  // namespace modrake
