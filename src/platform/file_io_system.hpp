#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>

#include "platform/file_io.hpp"

// What the file services share between their Linux and Windows halves.

namespace modrake {

// Temporary files are named "." + the target's name + "." + kRandomLength
// random letters and digits + kTemporarySuffix, so that leftovers of a killed
// run can be told from every file a player keeps.
inline constexpr char kTemporarySuffix[] = ".modrake-partial";
inline constexpr size_t kTemporarySuffixLength = sizeof kTemporarySuffix - 1;
inline constexpr size_t kTemporaryRandomLength = 6;
// Keeps the temporary name within the file system's limit on name length.
inline constexpr size_t kTemporaryTargetNameLimit = 160;

// Removes one leftover unless a running writer holds it: writers keep their
// temporary file locked until it has been renamed.
void RemoveIfAbandoned(const std::filesystem::path& path);

// The system's half of WriteFileAtomically: writes a temporary file in
// folder, held until it replaces target in one step.
WriteResult ReplaceThroughTemporary(const std::filesystem::path& target,
                                    const std::filesystem::path& folder,
                                    const std::function<void(FileWriter&)>& produce,
                                    WriteMode mode);

}  // namespace modrake
