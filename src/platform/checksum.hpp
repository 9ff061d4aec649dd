#pragma once

#include <cstddef>
#include <cstdint>

namespace modrake {

// A 64-bit checksum that tells versions of some bytes apart (not made to
// withstand a forger): a changed byte changes it.
uint64_t Checksum64(const void* data, size_t size, uint64_t seed = 0);

// The same checksum of bytes that come in pieces (a file read a block at a
// time), whose total size is known before the first.
class Checksum64Stream {
 public:
  explicit Checksum64Stream(uint64_t size, uint64_t seed = 0);
  void Add(const void* data, size_t count);
  // Checksum64 of the bytes added, once they add up to the size.
  uint64_t Value() const;

 private:
  uint64_t h_;
  unsigned char pending_[8] = {};  // the start of a word cut between two pieces
  size_t pendingCount_ = 0;
};

}  // namespace modrake
