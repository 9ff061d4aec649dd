#include "platform/program_home.hpp"

#include <cstdlib>
#include <system_error>

namespace modrake {

std::filesystem::path ProgramFolder() {
  std::error_code ec;
  auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) return {};
  return self.parent_path();
}

std::filesystem::path ResolveProgramHome(const std::optional<std::filesystem::path>& given) {
  std::filesystem::path home;
  std::error_code ec;
  if (given && !given->empty()) {
    home = *given;
  } else if (const char* env = std::getenv("MODRAKE_HOME"); env && *env) {
    home = env;
  } else if (auto beside = ProgramFolder();
             !beside.empty() && std::filesystem::is_regular_file(beside / "modrake.ini", ec)) {
    // Only a portable copy lives beside the program: an installed one never
    // writes into a system folder, even as root.
    home = beside;
  } else if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg) {
    home = std::filesystem::path(xdg) / "modrake";
  } else {
    const char* user = std::getenv("HOME");
    home = std::filesystem::path(user ? user : ".") / ".local" / "share" / "modrake";
  }
  std::filesystem::create_directories(home, ec);
  return home;
}

}  // namespace modrake
