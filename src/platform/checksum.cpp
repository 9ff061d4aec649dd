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

uint64_t Begin(uint64_t size, uint64_t seed) {
  return Mix(seed ^ (size * kGolden));
}

// Takes in whole words; returns how many bytes it took.
size_t AddWords(uint64_t& state, const unsigned char* bytes, size_t size) {
  uint64_t h = state;
  size_t i = 0;
  for (; i + 8 <= size; i += 8) {
    uint64_t word;
    std::memcpy(&word, bytes + i, 8);
    h = (h ^ Mix(word)) * kGolden;
    h = (h << 27) | (h >> 37);
  }
  state = h;
  return i;
}

// The last 0 to 7 bytes.
uint64_t End(uint64_t h, const unsigned char* tail, size_t count) {
  uint64_t word = 0;
  std::memcpy(&word, tail, count);
  return Mix(h ^ Mix(word ^ count));
}
}  // namespace

uint64_t Checksum64(const void* data, size_t size, uint64_t seed) {
  const auto* bytes = static_cast<const unsigned char*>(data);
  uint64_t h = Begin(size, seed);
  size_t done = AddWords(h, bytes, size);
  return End(h, bytes + done, size - done);
}

Checksum64Stream::Checksum64Stream(uint64_t size, uint64_t seed) : h_(Begin(size, seed)) {}

void Checksum64Stream::Add(const void* data, size_t count) {
  const auto* bytes = static_cast<const unsigned char*>(data);
  if (pendingCount_ > 0) {
    size_t take = count < 8 - pendingCount_ ? count : 8 - pendingCount_;
    std::memcpy(pending_ + pendingCount_, bytes, take);
    pendingCount_ += take;
    bytes += take;
    count -= take;
    if (pendingCount_ < 8) return;
    AddWords(h_, pending_, 8);
    pendingCount_ = 0;
  }
  size_t done = AddWords(h_, bytes, count);
  pendingCount_ = count - done;
  std::memcpy(pending_, bytes + done, pendingCount_);
}

uint64_t Checksum64Stream::Value() const {
  return End(h_, pending_, pendingCount_);
}

}  // namespace modrake
