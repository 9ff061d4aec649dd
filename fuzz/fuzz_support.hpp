#pragma once
// What the fuzz targets share: a private folder for the files they write.
#include <stdlib.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace modrake::fuzz {

// One temporary folder for the whole run.
inline const std::filesystem::path& WorkFolder() {
  static const std::filesystem::path folder = [] {
    std::string pattern = (std::filesystem::temp_directory_path() / "modrake-fuzz-XXXXXX").string();
    if (!mkdtemp(pattern.data())) std::abort();
    return std::filesystem::path(pattern);
  }();
  return folder;
}

// Writes the bytes to the file; false when it cannot.
inline bool WriteInput(const std::filesystem::path& file, const uint8_t* data, size_t size) {
  std::FILE* f = std::fopen(file.c_str(), "wb");
  if (!f) return false;
  bool written = std::fwrite(data, 1, size, f) == size;
  return std::fclose(f) == 0 && written;
}

}  // namespace modrake::fuzz
