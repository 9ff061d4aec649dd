#include "platform/checksum.hpp"

#include <cstring>

namespace modrake {

namespace {
constexpr uint64_t kGolden = 0x9E3779B97F4A7C15ull;

uint64_t Mix(uint64_t h) {
  h ^= h >> 33;
  h *= 0xFF51AFD7ED558CCDull;
  h ^= h >> 33;
  h *= 0xC4CEB9FE1A85EC53ull;
  h ^= h >> 33;
  return h;
}
}  // namespace

uint64_t Checksum64(const void* data, size_t size, uint64_t seed) {
  const auto* bytes = static_cast<const unsigned char*>(data);
  uint64_t h = Mix(seed ^ (static_cast<uint64_t>(size) * kGolden));
  size_t i = 0;
  for (; i + 8 <= size; i += 8) {
    uint64_t word;
    std::memcpy(&word, bytes + i, 8);
    h = (h ^ Mix(word)) * kGolden;
    h = (h << 27) | (h >> 37);
  }
  uint64_t tail = 0;
  std::memcpy(&tail, bytes + i, size - i);
  return Mix(h ^ Mix(tail ^ (size - i)));
}

}  // namespace modrake
