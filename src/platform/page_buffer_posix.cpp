#include <sys/mman.h>

#include <cstdint>
#include <cstring>
#include <new>

#include "platform/page_buffer.hpp"

namespace modrake {

namespace {
constexpr size_t kLargePage = PageBuffer::kLargePage;

size_t RoundUp(size_t n, size_t to) {
  return (n + to - 1) / to * to;
}

// An anonymous mapping of bytes (a multiple of kLargePage) that starts on a
// large-page boundary, so that the system can back it with large pages.
void* MapAligned(size_t bytes) {
  const size_t span = bytes + kLargePage;
  void* raw = ::mmap(nullptr, span, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (raw == MAP_FAILED) throw std::bad_alloc();
  const auto at = reinterpret_cast<uintptr_t>(raw);
  const size_t head = RoundUp(at, kLargePage) - at;
  if (head) ::munmap(raw, head);
  char* start = static_cast<char*>(raw) + head;
  if (span - head > bytes) ::munmap(start + bytes, span - head - bytes);
  // Only a hint: without large pages the table works the same, only slower.
  ::madvise(start, bytes, MADV_HUGEPAGE);
  return start;
}
}  // namespace

void PageBuffer::Reserve(size_t bytes, size_t keep) {
  if (bytes <= capacity_) return;
  const size_t grown = GrownCapacity(bytes);
  void* fresh = MapAligned(grown);
  if (data_) {
    // The written pages move into the new mapping; nothing is copied.
    if (::mremap(data_, capacity_, capacity_, MREMAP_MAYMOVE | MREMAP_FIXED, fresh) == MAP_FAILED) {
      std::memcpy(fresh, data_, keep < capacity_ ? keep : capacity_);
      ::munmap(data_, capacity_);
    }
  }
  data_ = fresh;
  capacity_ = grown;
}

void PageBuffer::Release() {
  if (data_) ::munmap(data_, capacity_);
  data_ = nullptr;
  capacity_ = 0;
}

}  // namespace modrake
