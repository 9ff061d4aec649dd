#include "platform/program_home.hpp"

#include <system_error>

#include "platform/environment.hpp"
#include "platform/file_names.hpp"

#ifdef _WIN32
#include <windows.h>
#endif

namespace modrake {

namespace {
#ifdef _WIN32
// Whether this process may create files in folder: a portable copy unpacked
// where the player can write keeps its files beside it.
bool CanWriteIn(const std::filesystem::path& folder) {
  std::filesystem::path probe =
      folder / (".modrake-probe-" + std::to_string(GetCurrentProcessId()));
  HANDLE file = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  CloseHandle(file);
  return true;
}
#endif

// The home when neither --home nor $MODRAKE_HOME names one.
std::filesystem::path DefaultHome() {
  std::filesystem::path beside = ProgramFolder();
#ifdef _WIN32
  if (!beside.empty() && CanWriteIn(beside)) return beside;
  std::string appData = EnvironmentValue("APPDATA");
  return (appData.empty() ? UserFolder() / "AppData" / "Roaming" : TextPath(appData)) / "Modrake";
#else
  std::error_code ec;
  if (!beside.empty() && std::filesystem::is_regular_file(beside / "modrake.ini", ec)) {
    // Only a portable copy lives beside the program: an installed one never
    // writes into a system folder, even as root.
    return beside;
  }
  if (std::string xdg = EnvironmentValue("XDG_DATA_HOME"); !xdg.empty()) {
    return TextPath(xdg) / "modrake";
  }
  std::filesystem::path user = UserFolder();
  return (user.empty() ? std::filesystem::path(".") : user) / ".local" / "share" / "modrake";
#endif
}
}  // namespace

std::filesystem::path ProgramFolder() {
#ifdef _WIN32
  std::wstring name(MAX_PATH, L'\0');
  for (;;) {
    DWORD length = GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size()));
    if (length == 0) return {};
    if (length < name.size()) {
      name.resize(length);
      return std::filesystem::path(name).parent_path();
    }
    name.resize(name.size() * 2);
  }
#else
  std::error_code ec;
  auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) return {};
  return self.parent_path();
#endif
}

std::filesystem::path ResolveProgramHome(const std::optional<std::filesystem::path>& given) {
  std::filesystem::path home;
  if (given && !given->empty()) {
    home = *given;
  } else if (std::string env = EnvironmentValue("MODRAKE_HOME"); !env.empty()) {
    home = TextPath(env);
  } else {
    home = DefaultHome();
  }
  std::error_code ec;
  std::filesystem::create_directories(home, ec);
  return home;
}

}  // namespace modrake
