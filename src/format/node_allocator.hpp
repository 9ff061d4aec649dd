#pragma once

#include <cstddef>
#include <memory>
#include <new>
#include <vector>

namespace modrake {

// Allocates the nodes of a list from per-thread blocks and keeps freed nodes
// for reuse: parsing a large master makes and drops millions of field nodes,
// and going through malloc for each costs more than reading the file.
// Stateless, so every list of one type can splice into every other.
template <typename T>
class NodeAllocator {
 public:
  using value_type = T;

  NodeAllocator() noexcept = default;
  template <typename U>
  NodeAllocator(const NodeAllocator<U>&) noexcept {}

  T* allocate(std::size_t n) {
    if (n != 1) return static_cast<T*>(::operator new(n * sizeof(T)));
    Pool& pool = ThePool();
    if (!pool.free) pool.Grow();
    Slot* slot = pool.free;
    pool.free = slot->next;
    return reinterpret_cast<T*>(slot);
  }

  void deallocate(T* p, std::size_t n) noexcept {
    if (n != 1) {
      ::operator delete(p);
      return;
    }
    Pool& pool = ThePool();
    Slot* slot = reinterpret_cast<Slot*>(p);
    slot->next = pool.free;
    pool.free = slot;
  }

  template <typename U>
  bool operator==(const NodeAllocator<U>&) const noexcept {
    return true;
  }

 private:
  union Slot {
    Slot* next;
    alignas(T) unsigned char storage[sizeof(T)];
  };

  struct Pool {
    static constexpr std::size_t kSlotsPerBlock = 1024;
    Slot* free = nullptr;
    std::vector<std::unique_ptr<Slot[]>> blocks;

    void Grow() {
      blocks.push_back(std::make_unique<Slot[]>(kSlotsPerBlock));
      Slot* block = blocks.back().get();
      for (std::size_t i = 0; i < kSlotsPerBlock; ++i) {
        block[i].next = free;
        free = &block[i];
      }
    }
  };

  static Pool& ThePool() {
    thread_local Pool pool;
    return pool;
  }
};

}  // namespace modrake
