#pragma once

#include <cstddef>
#include <memory>
#include <mutex>
#include <new>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#define MODRAKE_POISON(p, n) ASAN_POISON_MEMORY_REGION(p, n)
#define MODRAKE_UNPOISON(p, n) ASAN_UNPOISON_MEMORY_REGION(p, n)
#else
#define MODRAKE_POISON(p, n) ((void)(p), (void)(n))
#define MODRAKE_UNPOISON(p, n) ((void)(p), (void)(n))
#endif

namespace modrake {

// Allocates the nodes of a list from blocks and keeps freed nodes for reuse:
// parsing a large master makes and drops millions of field nodes, and going
// through malloc for each costs more than reading the file.
//
// The blocks belong to one store per node type that lives as long as the
// process, so a node may be freed on any thread, also after the thread that
// made it has ended (records made by the worker outlive it). Each thread
// keeps a cache of free nodes and trades them with the store in batches, so
// the common path takes no lock. Free nodes are poisoned for the address
// sanitizer, which thus sees a use after free inside the pool too.
//
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
    Slot* slot = Take();
    MODRAKE_UNPOISON(slot, sizeof(Slot));
    return reinterpret_cast<T*>(slot);
  }

  void deallocate(T* p, std::size_t n) noexcept {
    if (n != 1) {
      ::operator delete(p);
      return;
    }
    Give(reinterpret_cast<Slot*>(p));
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

  static constexpr std::size_t kSlotsPerBlock = 1024;
  // A thread hands free nodes back once it holds more than this many.
  static constexpr std::size_t kCacheLimit = 4 * kSlotsPerBlock;

  // A chain of free slots linked through their first word, which stays
  // poisoned except while it is read or written.
  struct Chain {
    Slot* head = nullptr;
    Slot* tail = nullptr;
    std::size_t count = 0;

    static Slot* Next(Slot* slot) {
      MODRAKE_UNPOISON(slot, sizeof(Slot*));
      Slot* next = slot->next;
      MODRAKE_POISON(slot, sizeof(Slot));
      return next;
    }
    static void Link(Slot* slot, Slot* next) {
      MODRAKE_UNPOISON(slot, sizeof(Slot*));
      slot->next = next;
      MODRAKE_POISON(slot, sizeof(Slot));
    }
    void Push(Slot* slot) {
      Link(slot, head);
      head = slot;
      if (!tail) tail = slot;
      ++count;
    }
    Slot* Pop() {
      Slot* slot = head;
      head = Next(slot);
      if (!head) tail = nullptr;
      --count;
      return slot;
    }
    // Moves the first n slots (at most all) of this chain onto the front of to.
    void MoveFront(Chain& to, std::size_t n) {
      if (n == 0 || !head) return;
      Slot* first = head;
      Slot* last = head;
      std::size_t moved = 1;
      for (; moved < n && last != tail; ++moved) last = Next(last);
      head = Next(last);
      if (!head) tail = nullptr;
      count -= moved;
      Link(last, to.head);
      if (!to.tail) to.tail = last;
      to.head = first;
      to.count += moved;
    }
  };

  // Owns every block of this node type until the process ends; holds the
  // free slots that threads handed back.
  struct Store {
    std::mutex mutex;
    std::vector<std::unique_ptr<Slot[]>> blocks;
    Chain free;

    // Fills an empty cache with a batch of free slots, from a new block when
    // no thread handed any back.
    void Refill(Chain& cache) {
      std::lock_guard<std::mutex> lock(mutex);
      if (free.count == 0) {
        // Left unset: every slot is linked below before anything reads it.
        blocks.push_back(std::make_unique_for_overwrite<Slot[]>(kSlotsPerBlock));
        Slot* block = blocks.back().get();
        MODRAKE_POISON(block, kSlotsPerBlock * sizeof(Slot));
        for (std::size_t i = kSlotsPerBlock; i-- > 0;) cache.Push(&block[i]);
        return;
      }
      free.MoveFront(cache, kSlotsPerBlock);
    }
    void Return(Chain& cache, std::size_t n) {
      std::lock_guard<std::mutex> lock(mutex);
      cache.MoveFront(free, n);
    }
  };

  static Store& TheStore() {
    // Never destroyed: a thread hands its slots back as it ends, which on
    // Windows comes for the main thread after static objects are gone.
    alignas(Store) static unsigned char place[sizeof(Store)];
    static Store* store = ::new (place) Store;
    return *store;
  }

  // The free slots one thread holds. Plain data, so reaching it costs no
  // check of its construction; the Returner hands the slots back when the
  // thread ends.
  struct Local {
    Chain chain;
    bool returnerMade = false;
    bool gone = false;  // the thread is ending: no more caching
  };

  static Local& TheLocal() {
    thread_local Local local;
    return local;
  }

  struct Returner {
    ~Returner() {
      Local& local = TheLocal();
      TheStore().Return(local.chain, local.chain.count);
      local.gone = true;
    }
  };

  // Made when the thread first caches slots.
  static void MakeReturner(Local& local) {
    if (local.returnerMade) return;
    thread_local Returner returner;
    (void)returner;
    local.returnerMade = true;
  }

  static Slot* Take() {
    Local& local = TheLocal();
    if (local.chain.count == 0) {
      if (local.gone) {
        Chain one;
        TheStore().Refill(one);
        Slot* slot = one.Pop();
        TheStore().Return(one, one.count);
        return slot;
      }
      MakeReturner(local);
      TheStore().Refill(local.chain);
    }
    return local.chain.Pop();
  }

  static void Give(Slot* slot) {
    Local& local = TheLocal();
    if (local.gone) {
      Chain one;
      one.Push(slot);
      TheStore().Return(one, 1);
      return;
    }
    if (local.chain.count == 0) MakeReturner(local);
    local.chain.Push(slot);
    if (local.chain.count > kCacheLimit) {
      TheStore().Return(local.chain, local.chain.count - kCacheLimit / 2);
    }
  }
};

}  // namespace modrake

#undef MODRAKE_POISON
#undef MODRAKE_UNPOISON
