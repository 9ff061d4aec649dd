#include "platform/page_buffer.hpp"

#include <gtest/gtest.h>

#include <cstdint>

namespace modrake {
namespace {

// Entries written before the table grows are still there after it.
TEST(PageBufferTest, GrowingKeepsWhatWasWritten) {
  PageBuffer buffer;
  size_t written = 0;
  for (size_t want : {size_t{100}, size_t{3} << 20, size_t{5} << 20, size_t{40} << 20}) {
    buffer.Reserve(want, written);
    ASSERT_GE(buffer.capacity(), want);
    auto* bytes = static_cast<uint8_t*>(buffer.data());
    for (size_t i = 0; i < written; i += 4093) {
      ASSERT_EQ(bytes[i], static_cast<uint8_t>(i * 31 + 7)) << "at " << i << " after " << want;
    }
    for (size_t i = written; i < want; ++i) bytes[i] = static_cast<uint8_t>(i * 31 + 7);
    written = want;
  }
}

}  // namespace
}  // namespace modrake
