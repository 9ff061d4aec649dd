#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace modrake {

// The game treats file names case-insensitively; on a case-sensitive file
// system this finds the entry of folder whose name matches name in any letter
// case (an exact match wins). Returns the full path, or none.
std::optional<std::filesystem::path> FindNoCase(const std::filesystem::path& folder,
                                                const std::string& name);

// folder/name when such an entry exists in any letter case, else folder/name
// as given (for files about to be created).
std::filesystem::path ResolveNoCase(const std::filesystem::path& folder, const std::string& name);

}  // namespace modrake
