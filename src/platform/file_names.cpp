#include "platform/file_names.hpp"

#include <strings.h>

#include <system_error>

namespace modrake {

std::optional<std::filesystem::path> FindNoCase(const std::filesystem::path& folder,
                                                const std::string& name) {
  // Only a name of an entry is looked up: "", "." and ".." would find the
  // folder or its parent, and a separator would leave the folder.
  if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos) {
    return std::nullopt;
  }
  std::error_code ec;
  std::filesystem::path exact = folder / name;
  if (std::filesystem::exists(exact, ec)) return exact;
  std::filesystem::directory_iterator it(folder.empty() ? "." : folder, ec);
  for (; !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
    std::string entryName = it->path().filename().string();
    if (strcasecmp(entryName.c_str(), name.c_str()) == 0) return folder / entryName;
  }
  return std::nullopt;
}

std::filesystem::path ResolveNoCase(const std::filesystem::path& folder, const std::string& name) {
  auto found = FindNoCase(folder, name);
  return found ? *found : folder / name;
}

}  // namespace modrake
