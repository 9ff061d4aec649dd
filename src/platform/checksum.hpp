#pragma once

#include <cstddef>
#include <cstdint>

namespace modrake {

// A 64-bit checksum that tells versions of some bytes apart (not made to
// withstand a forger): a changed byte changes it.
uint64_t Checksum64(const void* data, size_t size, uint64_t seed = 0);

}  // namespace modrake
