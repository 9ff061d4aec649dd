#pragma once

#include <cstddef>

namespace modrake {

// Memory for one large table, taken from the system in whole pages rather
// than from the heap: a page becomes resident only when it is touched, large
// pages are asked for where the system offers them (one fault for 2 MiB
// instead of one for 4 KiB), and growing moves the pages already written
// instead of copying them.
class PageBuffer {
 public:
  // The large page the system may back the buffer with.
  static constexpr size_t kLargePage = size_t{2} << 20;

  PageBuffer() = default;
  ~PageBuffer();
  PageBuffer(PageBuffer&& other) noexcept;
  PageBuffer& operator=(PageBuffer&& other) noexcept;
  PageBuffer(const PageBuffer&) = delete;
  PageBuffer& operator=(const PageBuffer&) = delete;

  void* data() const { return data_; }
  size_t capacity() const { return capacity_; }

  // Makes room for at least bytes; the first keep bytes stay as they are.
  // Throws std::bad_alloc when the system has no room.
  void Reserve(size_t bytes, size_t keep);
  // Gives every page back.
  void Release();

 private:
  // The capacity to grow to for at least bytes: whole large pages, at least double.
  size_t GrownCapacity(size_t bytes) const;

  void* data_ = nullptr;
  size_t capacity_ = 0;
};

}  // namespace modrake
