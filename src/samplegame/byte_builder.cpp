#include "samplegame/byte_builder.hpp"

#include <algorithm>

namespace modrake::samplegame {

void ByteBuilder::BeginFile(bool master, std::string_view author, std::string_view description,
                            const std::vector<std::pair<std::string, uint64_t>>& masters) {
  Begin("TES3");
  Sub("HEDR").f32(1.3f).u32(master ? 1 : 0).fixed(author, 32).fixed(description, 256);
  hedrAt_ = bytes_.size();
  u32(0).EndSub();
  for (const auto& [name, size] : masters) {
    Z("MAST", name);
    Sub("DATA").u32(static_cast<uint32_t>(size)).u32(static_cast<uint32_t>(size >> 32)).EndSub();
  }
  End();
  records_ = 0;
}

const std::string& ByteBuilder::Finish() {
  PatchSize(hedrAt_, records_);
  return bytes_;
}

ByteBuilder& ByteBuilder::Begin(TagArg tag, uint32_t flags) {
  recordStart_ = bytes_.size();
  inRecord_ = true;
  u32(tag.tag).u32(0).u32(0).u32(flags);
  return *this;
}

RecordSpan ByteBuilder::End() {
  if (inSub_) EndSub();
  PatchSize(recordStart_ + 4, bytes_.size() - recordStart_ - 16);
  inRecord_ = false;
  ++records_;
  return {recordStart_, bytes_.size() - recordStart_};
}

ByteBuilder& ByteBuilder::Sub(TagArg tag) {
  if (inSub_) EndSub();
  subStart_ = bytes_.size();
  inSub_ = true;
  return u32(tag.tag).u32(0);
}

ByteBuilder& ByteBuilder::EndSub() {
  PatchSize(subStart_ + 4, bytes_.size() - subStart_ - 8);
  inSub_ = false;
  return *this;
}

ByteBuilder& ByteBuilder::Z(TagArg tag, std::string_view t) {
  return Sub(tag).ztext(t).EndSub();
}
ByteBuilder& ByteBuilder::S(TagArg tag, std::string_view t) {
  return Sub(tag).text(t).EndSub();
}
ByteBuilder& ByteBuilder::Fixed(TagArg tag, std::string_view t, size_t width) {
  return Sub(tag).fixed(t, width).EndSub();
}

ByteBuilder& ByteBuilder::fixed(std::string_view t, size_t width) {
  // Always leaves room for the terminator, as the game's fixed texts do.
  size_t n = std::min(t.size(), width - 1);
  text(t.substr(0, n));
  return zeros(width - n);
}

RecordSpan ByteBuilder::Append(Record& record) {
  record.RebuildData();
  size_t at = bytes_.size();
  u32(record.tag).u32(record.dataSize).u32(record.headerWord).u32(record.flags);
  Put(record.RawData(), record.dataSize);
  ++records_;
  return {at, bytes_.size() - at};
}

RecordSpan ByteBuilder::AppendRaw(std::string_view recordBytes) {
  size_t at = bytes_.size();
  text(recordBytes);
  ++records_;
  return {at, recordBytes.size()};
}

void SampleRandom::Fill(char* out, size_t n) {
  while (n >= 8) {
    uint64_t v = Next();
    std::memcpy(out, &v, 8);
    out += 8;
    n -= 8;
  }
  if (n > 0) {
    uint64_t v = Next();
    std::memcpy(out, &v, n);
  }
}

uint64_t SeedFrom(std::string_view text, uint64_t salt) {
  uint64_t h = 0xCBF29CE484222325ull ^ salt;
  for (unsigned char c : text) h = (h ^ c) * 0x100000001B3ull;
  return h;
}

}  // namespace modrake::samplegame
