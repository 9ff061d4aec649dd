#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace modrake {

// What a registry lookup found: whether the key exists, and its value when
// that could be read.
struct RegistryValue {
  bool keyFound = false;
  std::optional<std::string> value;
};

// Looks a string value up in a Wine registry file (system.reg), where the
// Windows programs of a Wine prefix keep their local-machine keys. keyPath is
// relative to the local machine hive, with single backslashes; names match in
// any letter case.
RegistryValue ReadWineRegistryValue(const std::filesystem::path& registryFile,
                                    std::string_view keyPath, std::string_view valueName);

// The string value of a local-machine key in the running system's own
// registry: on Windows its registry (64-bit view; a 32-bit program's keys
// are under Software\\Wow6432Node there); nothing on Linux, which has none.
RegistryValue ReadSystemRegistryValue(std::string_view keyPath, std::string_view valueName);

// The Wine prefixes to search, in order: $WINEPREFIX, ~/.wine, and the Proton
// prefix Steam gives the game with that app id; none on Windows itself.
std::vector<std::filesystem::path> WinePrefixes(std::string_view steamAppId);

// A Windows path of the prefix ("C:\\Games\\Morrowind") as a Linux path,
// through the prefix's dosdevices links; each folder is found in any letter
// case. Empty when the path has no drive letter.
std::filesystem::path WindowsPathInPrefix(const std::filesystem::path& prefix,
                                          std::string_view windowsPath);

}  // namespace modrake
