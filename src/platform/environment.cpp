#include "platform/environment.hpp"

#include <cstdlib>

#include "platform/file_names.hpp"

#ifdef _WIN32
#include <windows.h>
// After windows.h, which they need.
#include <knownfolders.h>
#include <shlobj.h>
#endif

namespace modrake {

#ifdef _WIN32
namespace {
std::filesystem::path DocumentsFolder() {
  std::filesystem::path folder;
  wchar_t* known = nullptr;
  if (SHGetKnownFolderPath(FOLDERID_Documents, 0, nullptr, &known) == S_OK) folder = known;
  CoTaskMemFree(known);
  return folder.empty() ? UserFolder() / "Documents" : folder;
}
}  // namespace
#endif

std::string EnvironmentValue(const char* name) {
#ifdef _WIN32
  // The narrow environment is in the ANSI code page: names outside it
  // survive only in the wide one.
  std::wstring wide(name, name + std::char_traits<char>::length(name));
  const wchar_t* value = _wgetenv(wide.c_str());
  return value ? std::filesystem::path(value).string() : std::string();
#else
  const char* value = std::getenv(name);
  return value ? std::string(value) : std::string();
#endif
}

namespace {
// The calendar time of seconds since 1970, in the user's time zone or in UTC.
std::optional<std::tm> CalendarTime(int64_t seconds, bool local) {
  std::time_t t = static_cast<std::time_t>(seconds);
  std::tm out{};
  if (static_cast<int64_t>(t) != seconds) return std::nullopt;
#ifdef _WIN32
  if ((local ? localtime_s(&out, &t) : gmtime_s(&out, &t)) != 0) return std::nullopt;
#else
  if (!(local ? localtime_r(&t, &out) : gmtime_r(&t, &out))) return std::nullopt;
#endif
  return out;
}
}  // namespace

std::optional<std::tm> LocalTimeOf(int64_t seconds) {
  return CalendarTime(seconds, true);
}

std::optional<std::tm> UtcTimeOf(int64_t seconds) {
  return CalendarTime(seconds, false);
}

std::filesystem::path UserFolder() {
#ifdef _WIN32
  return TextPath(EnvironmentValue("USERPROFILE"));
#else
  return TextPath(EnvironmentValue("HOME"));
#endif
}

GameUserFolders UserFoldersOfGame(const char* name, const char* windowsName) {
#ifdef _WIN32
  (void)name;
  std::filesystem::path folder = DocumentsFolder() / "My Games" / windowsName;
  return {folder, folder};
#else
  (void)windowsName;
  auto base = [&](const char* variable, const char* underHome) {
    if (std::string value = EnvironmentValue(variable); !value.empty())
      return TextPath(value) / name;
    return UserFolder() / underHome / name;
  };
  return {base("XDG_DATA_HOME", ".local/share"), base("XDG_CONFIG_HOME", ".config")};
#endif
}

}  // namespace modrake
