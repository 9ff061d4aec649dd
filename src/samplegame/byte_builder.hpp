#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "format/record.hpp"
#include "format/tag.hpp"

namespace modrake::samplegame {

// A tag given as "NAME" or as a Tag value.
struct TagArg {
  constexpr TagArg(const char (&text)[5]) : tag(MakeTag(text)) {}
  constexpr TagArg(Tag value) : tag(value) {}
  Tag tag;
};

// Where a record lies in the bytes of the file being built.
struct RecordSpan {
  size_t offset = 0;
  size_t size = 0;  // header included
};

// Builds the bytes of a TES3 file straight into one growing buffer: records and
// fields are opened, filled and closed, and their sizes are patched on close.
// This is what lets an 80 MB master be made in well under a second.
class ByteBuilder {
 public:
  explicit ByteBuilder(size_t reserve = 0) { bytes_.reserve(reserve); }

  // The TES3 header record; the record count is patched by Finish.
  void BeginFile(bool master, std::string_view author, std::string_view description,
                 const std::vector<std::pair<std::string, uint64_t>>& masters);
  // Patches the record count; the bytes stay for copies of their records.
  const std::string& Finish();
  size_t Size() const { return bytes_.size(); }
  uint32_t RecordCount() const { return records_; }

  ByteBuilder& Begin(TagArg tag, uint32_t flags = 0);
  // Closes the record and returns where it lies.
  RecordSpan End();
  ByteBuilder& Sub(TagArg tag);
  ByteBuilder& EndSub();

  // Whole fields.
  ByteBuilder& Z(TagArg tag, std::string_view text);  // zero-terminated text
  ByteBuilder& S(TagArg tag, std::string_view text);  // text without terminator
  ByteBuilder& Fixed(TagArg tag, std::string_view text, size_t width);
  ByteBuilder& I32(TagArg tag, int32_t v) { return Sub(tag).i32(v).EndSub(); }
  ByteBuilder& U32(TagArg tag, uint32_t v) { return Sub(tag).u32(v).EndSub(); }
  ByteBuilder& F32(TagArg tag, float v) { return Sub(tag).f32(v).EndSub(); }
  ByteBuilder& U8(TagArg tag, uint8_t v) { return Sub(tag).u8(v).EndSub(); }
  ByteBuilder& U16(TagArg tag, uint16_t v) { return Sub(tag).u16(v).EndSub(); }

  // Values inside an open field.
  ByteBuilder& u8(uint8_t v) {
    bytes_.push_back(static_cast<char>(v));
    return *this;
  }
  ByteBuilder& u16(uint16_t v) { return Put(&v, 2); }
  ByteBuilder& i16(int16_t v) { return Put(&v, 2); }
  ByteBuilder& u32(uint32_t v) { return Put(&v, 4); }
  ByteBuilder& i32(int32_t v) { return Put(&v, 4); }
  ByteBuilder& f32(float v) { return Put(&v, 4); }
  ByteBuilder& text(std::string_view t) { return Put(t.data(), t.size()); }
  ByteBuilder& ztext(std::string_view t) { return text(t).u8(0); }
  ByteBuilder& fixed(std::string_view t, size_t width);
  ByteBuilder& zeros(size_t n) {
    bytes_.append(n, '\0');
    return *this;
  }
  // Makes room for n bytes and returns where they start.
  char* Grow(size_t n) {
    size_t at = bytes_.size();
    bytes_.resize(at + n);
    return bytes_.data() + at;
  }

  // A whole record made elsewhere (its raw data is rebuilt first).
  RecordSpan Append(Record& record);
  RecordSpan AppendRaw(std::string_view recordBytes);
  std::string_view View(const RecordSpan& span) const {
    return std::string_view(bytes_).substr(span.offset, span.size);
  }

 private:
  ByteBuilder& Put(const void* p, size_t n) {
    bytes_.append(static_cast<const char*>(p), n);
    return *this;
  }
  void PatchSize(size_t at, size_t size) {
    uint32_t v = static_cast<uint32_t>(size);
    std::memcpy(bytes_.data() + at, &v, 4);
  }

  std::string bytes_;
  size_t recordStart_ = 0;
  size_t subStart_ = 0;
  bool inRecord_ = false;
  bool inSub_ = false;
  size_t hedrAt_ = 0;
  uint32_t records_ = 0;
};

// A small, fast generator; the same seed always gives the same sequence.
class SampleRandom {
 public:
  explicit SampleRandom(uint64_t seed) : state_(seed) {}
  uint64_t Next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // A value in [0, n).
  uint32_t Below(uint32_t n) { return n == 0 ? 0 : static_cast<uint32_t>(Next() % n); }
  int32_t Between(int32_t lo, int32_t hi) {
    return lo + static_cast<int32_t>(Below(static_cast<uint32_t>(hi - lo + 1)));
  }
  float Real(float lo, float hi) {
    return lo + (hi - lo) * static_cast<float>(Next() >> 40) / static_cast<float>(1 << 24);
  }
  bool Chance(uint32_t percent) { return Below(100) < percent; }
  void Fill(char* out, size_t n);

 private:
  uint64_t state_;
};

// A seed made from a text, so that every part of the game has its own stream.
uint64_t SeedFrom(std::string_view text, uint64_t salt = 0);

}  // namespace modrake::samplegame
