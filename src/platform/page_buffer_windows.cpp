#include <windows.h>

#include <cstring>
#include <new>

#include "platform/page_buffer.hpp"

// Windows: reserved and committed pages; growing copies what was written
// (large pages need a privilege players do not have).

namespace modrake {

void PageBuffer::Reserve(size_t bytes, size_t keep) {
  if (bytes <= capacity_) return;
  const size_t grown = GrownCapacity(bytes);
  void* fresh = VirtualAlloc(nullptr, grown, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
  if (!fresh) throw std::bad_alloc();
  if (data_) {
    std::memcpy(fresh, data_, keep < capacity_ ? keep : capacity_);
    VirtualFree(data_, 0, MEM_RELEASE);
  }
  data_ = fresh;
  capacity_ = grown;
}

void PageBuffer::Release() {
  if (data_) VirtualFree(data_, 0, MEM_RELEASE);
  data_ = nullptr;
  capacity_ = 0;
}

}  // namespace modrake
