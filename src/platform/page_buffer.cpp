#include "platform/page_buffer.hpp"

#include <utility>

namespace modrake {

PageBuffer::~PageBuffer() {
  Release();
}

PageBuffer::PageBuffer(PageBuffer&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)), capacity_(std::exchange(other.capacity_, 0)) {}

PageBuffer& PageBuffer::operator=(PageBuffer&& other) noexcept {
  if (this != &other) {
    Release();
    data_ = std::exchange(other.data_, nullptr);
    capacity_ = std::exchange(other.capacity_, 0);
  }
  return *this;
}

size_t PageBuffer::GrownCapacity(size_t bytes) const {
  const size_t wanted = bytes > 2 * capacity_ ? bytes : 2 * capacity_;
  return (wanted + kLargePage - 1) / kLargePage * kLargePage;
}

}  // namespace modrake
