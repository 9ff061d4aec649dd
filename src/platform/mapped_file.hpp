#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>

namespace modrake {

// A file's bytes mapped into memory, so that reading a land mod of tens of
// megabytes takes the system's cached pages of it instead of fresh memory
// that is zeroed and then copied into. The bytes may be changed; the changes
// stay private to this process.
//
// A page that cannot be read (another program cut the file short while it
// is mapped, or the disk fails) would end the process on its first touch;
// instead it reads as zeros, and Intact() tells the reader that the bytes it
// holds are not the file's.
class MappedFile {
 public:
  // None where the file cannot be mapped; the caller then reads it. Windows
  // maps nothing: there a mapped file could not be replaced by its cleaned
  // version while its records are alive.
  static std::shared_ptr<MappedFile> Map(const std::filesystem::path& path);

  ~MappedFile();
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;

  uint8_t* data() const { return data_; }
  size_t size() const { return size_; }
  const std::filesystem::path& path() const { return path_; }
  // Whether the file still has the size and time it had when it was mapped,
  // and every page of it could be read.
  bool Intact() const;

 private:
  MappedFile() = default;

  std::filesystem::path path_;
  uint8_t* data_ = nullptr;
  size_t size_ = 0;
  intptr_t file_ = -1;  // held open, so that Intact() looks at the mapped file itself
  int64_t modified_ = 0, modifiedNsec_ = 0;
};

}  // namespace modrake
