#include "platform/mapped_file.hpp"

namespace modrake {

std::shared_ptr<MappedFile> MappedFile::Map(const std::filesystem::path&) {
  return nullptr;
}

MappedFile::~MappedFile() = default;

bool MappedFile::Intact() const {
  return true;
}

}  // namespace modrake
