#pragma once

#include <cstdio>
#include <filesystem>

namespace modrake {

// Writes one line per record of the file: offset, tag, flags (hex), data
// size and display id, separated by tabs. The file is read as a stream, so
// a master of any size costs one record at a time.
void DumpRecords(const std::filesystem::path& file, std::FILE* out);

}  // namespace modrake
