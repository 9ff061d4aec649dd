#pragma once

#include <cstdint>
#include <list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "format/node_allocator.hpp"
#include "format/tag.hpp"

namespace modrake {

class PluginFile;

// The 8 bytes in front of every field.
struct SubrecordHeader {
  Tag tag = 0;
  uint32_t size = 0;
};

// The 16 bytes in front of every record.
struct RecordHeader {
  Tag tag = 0;
  uint32_t dataSize = 0;
  uint32_t headerWord = 0;
  uint32_t flags = 0;
};

constexpr uint32_t kDeletedFlag = 0x20;
constexpr uint32_t kComparedFlag = 0x400;

// The bytes of one field, wherever they live.
struct FieldView {
  Tag tag = 0;
  uint32_t size = 0;
  const uint8_t* data = nullptr;

  // The bytes as a string: at most size bytes, up to the first zero.
  std::string_view Text() const;
  // Little-endian words of the data; 0 where the data is too short.
  uint32_t UInt32At(uint32_t offset) const;
  uint16_t UInt16At(uint32_t offset) const;
  uint8_t ByteAt(uint32_t offset) const { return offset < size ? data[offset] : 0; }
  // A 32-bit float of the data, as the game stores it; 0 where it is too short.
  float FloatAt(uint32_t offset) const;
};

// Walks the fields of a record's raw data in file order. It stops at the end,
// or at the first field that does not fit whole (its 8-byte header and its
// data), whose offset it then tells.
class FieldWalker {
 public:
  static constexpr uint32_t kWhole = UINT32_MAX;

  FieldWalker(const uint8_t* data, uint32_t size) : data_(data), size_(size) {}
  bool Next(FieldView& field);
  // Offset of the field that did not fit, or kWhole.
  uint32_t ErrorOffset() const { return error_; }
  // Walks past every field left; then the same as ErrorOffset.
  uint32_t WalkToEnd();

 private:
  const uint8_t* data_;
  uint32_t size_;
  uint32_t pos_ = 0;
  uint32_t error_ = kWhole;
};

// A record read only to be looked at: its header and its raw data, borrowed
// from a buffer that the next read reuses. Every field is known to fit.
struct RecordView {
  RecordHeader header;
  const uint8_t* data = nullptr;

  // The first field of that tag.
  std::optional<FieldView> FindField(Tag wanted) const;
  std::string GetDisplayId() const;
  // The same id appended to text, which spares a string per record.
  void AppendDisplayId(std::string& text) const;
};

// One field of a record. Its bytes are either borrowed from the record's raw
// data or owned by the field once it was given a value of its own.
class Subrecord {
 public:
  Subrecord() = default;
  Subrecord(const Subrecord&) = delete;
  Subrecord& operator=(const Subrecord&) = delete;

  Tag tag = 0;
  uint32_t size = 0;
  uint8_t* data = nullptr;

  bool OwnsData() const { return owned_ != nullptr || data == nullptr; }

  // Takes the header's tag with no data; a HEDR gets the default 300-byte block.
  void InitEmpty(const SubrecordHeader& header);

  // Stores a zero-terminated text; in place when the size is unchanged.
  void SetString(std::string_view text);
  // Stores two 32-bit words, low first; in place when there is data.
  void SetUInt64(uint32_t low, uint32_t high);
  // Stores a 32-bit word; in place when there is data.
  void SetUInt32(uint32_t value);
  // Replaces the data by an owned copy of the bytes.
  void SetBytes(const void* bytes, uint32_t count);
  // Points the field at bytes it does not own.
  void Borrow(uint8_t* bytes, uint32_t count);
  // Gives a borrowing field an owned copy of its bytes.
  void MakeOwned();

  FieldView View() const { return {tag, size, data}; }
  std::string_view Text() const { return View().Text(); }
  uint32_t UInt32At(uint32_t offset) const { return View().UInt32At(offset); }
  uint16_t UInt16At(uint32_t offset) const { return View().UInt16At(offset); }
  uint8_t ByteAt(uint32_t offset) const { return View().ByteAt(offset); }
  float FloatAt(uint32_t offset) const { return View().FloatAt(offset); }
  bool SameBytes(const Subrecord& other) const;

 private:
  std::unique_ptr<uint8_t[]> owned_;
};

using SubrecordList = std::list<Subrecord, NodeAllocator<Subrecord> >;

// The file header block of a plugin: accessors over a 300-byte HEDR field.
class HeaderSubrecord {
 public:
  static constexpr uint32_t kSize = 300;
  static constexpr uint32_t kAuthorSize = 32;
  static constexpr uint32_t kDescriptionSize = 256;

  explicit HeaderSubrecord(Subrecord& field) : field_(field) {}
  bool Valid() const { return field_.tag == tags::HEDR && field_.size == kSize; }

  float Version() const;
  void SetVersion(float version);
  uint32_t FileType() const { return field_.UInt32At(4); }
  void SetFileType(uint32_t type);
  std::string Author() const;
  void SetAuthor(std::string_view author);
  std::string Description() const;
  void SetDescription(std::string_view description);
  uint32_t RecordCount() const { return field_.UInt32At(296); }
  void SetRecordCount(uint32_t count);

 private:
  Subrecord& field_;
};

// One record: its header words, its raw data and its fields in file order.
class Record {
 public:
  explicit Record(const RecordHeader& header);
  virtual ~Record() = default;
  Record(const Record&) = delete;
  Record& operator=(const Record&) = delete;

  // Plain records come from a pool, as their fields do: a land mod makes and
  // drops a hundred thousand of them, and malloc's bookkeeping for each cost
  // more than reading them.
  static void* operator new(std::size_t size) {
    if (size == sizeof(Record)) return NodeAllocator<Record>().allocate(1);
    return ::operator new(size);
  }
  static void operator delete(void* p, std::size_t size) noexcept {
    if (size == sizeof(Record)) {
      NodeAllocator<Record>().deallocate(static_cast<Record*>(p), 1);
    } else {
      ::operator delete(p);
    }
  }

  Tag tag = 0;
  uint32_t dataSize = 0;
  uint32_t headerWord = 0;
  uint32_t flags = 0;
  PluginFile* file = nullptr;  // not owned

  // The fields in file order. A record read to be parsed on demand splits
  // its raw data into them the first time they are asked for.
  SubrecordList& Fields() {
    if (!parsed_) ParseOnDemand();
    return subrecords_;
  }
  const SubrecordList& Fields() const {
    if (!parsed_) ParseOnDemand();
    return subrecords_;
  }

  RecordHeader Header() const { return {tag, dataSize, headerWord, flags}; }
  uint8_t* RawData() { return raw_; }
  const uint8_t* RawData() const { return raw_; }
  bool OwnsData() const { return owned_ != nullptr || raw_ == nullptr; }

  // Splits the raw data into fields; the kinds then refresh their links.
  // Parsing stops at the first field that does not fit (see ParseErrorOffset).
  virtual void ParseSubrecords();
  void ClearSubrecords();
  // Flattens the fields into a new raw data buffer and parses it again.
  void RebuildData();
  // True when the fields still lie back to back in the raw data, so that a
  // rebuild would give the same bytes.
  bool RawDataCurrent() const;

  // Replaces the raw data by a copy of bytes, and parses it.
  void CopyData(const uint8_t* bytes, uint32_t size);
  // Replaces the raw data by a buffer the record takes over, and parses it.
  void SetData(std::unique_ptr<uint8_t[]> buffer, uint32_t size);
  // Replaces the raw data by bytes inside a block that other records share
  // (each its own bytes), and parses it; the block lives while any does.
  void ShareData(const std::shared_ptr<uint8_t[]>& block, uint8_t* data, uint32_t size);
  // The same, but a plain record only checks that its fields fit and splits
  // them when they are first asked for: most records of a large plugin are
  // only looked at (FindField) and written back as they were.
  void ShareDataToParseOnDemand(const std::shared_ptr<uint8_t[]>& block, uint8_t* data,
                                uint32_t size);

  Subrecord* FindSubrecord(Tag wanted);
  const Subrecord* FindSubrecord(Tag wanted) const;
  // The first field of that tag, read from the raw data while the fields are
  // not split yet.
  std::optional<FieldView> FindField(Tag wanted) const;
  void RemoveSubrecord(Subrecord* field);
  SubrecordList::iterator IteratorOf(const Subrecord* field);
  // Makes sure the field after this one is a DATA holding (value, 0).
  void SetFollowingData(Subrecord& field, uint32_t value);

  bool IsDeleted() const;
  std::string GetDisplayId() const;

  // Offset within the raw data of the first field that did not fit, or
  // kParsedWhole when every field did.
  static constexpr uint32_t kParsedWhole = FieldWalker::kWhole;
  uint32_t ParseErrorOffset() const { return parseError_; }

 protected:
  void ParsePlain();

 private:
  // Records are never made const: parsing on demand from a const reader only
  // fills in what the raw data already says.
  void ParseOnDemand() const { const_cast<Record*>(this)->ParseSubrecords(); }
  // Takes bytes inside a shared block as the raw data, with no fields yet.
  void PointInto(const std::shared_ptr<uint8_t[]>& block, uint8_t* data, uint32_t size);

  SubrecordList subrecords_;
  bool parsed_ = true;  // false: subrecords_ is still to be split from raw_
  uint8_t* raw_ = nullptr;
  std::shared_ptr<uint8_t[]> owned_;
  uint32_t parseError_ = kParsedWhole;
};

class BodyPartRecord : public Record {
 public:
  using Record::Record;
  void ParseSubrecords() override;

  Subrecord* name = nullptr;
  Subrecord* modl = nullptr;
  Subrecord* fnam = nullptr;
  Subrecord* bydt = nullptr;
};

class NpcRecord : public Record {
 public:
  using Record::Record;
  void ParseSubrecords() override;

  Subrecord* name = nullptr;
  Subrecord* modl = nullptr;
  Subrecord* fnam = nullptr;
  Subrecord* rnam = nullptr;
  Subrecord* cnam = nullptr;
  Subrecord* anam = nullptr;
  Subrecord* bnam = nullptr;
  Subrecord* knam = nullptr;
  Subrecord* scri = nullptr;
  Subrecord* flag = nullptr;
  Subrecord* npco = nullptr;
};

class LeveledListRecord : public Record {
 public:
  using Record::Record;
  void ParseSubrecords() override;
  // Refreshes the entry tag and the links without parsing the raw data.
  void RefreshLinks();

  Tag entryTag = tags::INAM;
  Subrecord* name = nullptr;
  Subrecord* data = nullptr;
  Subrecord* nnam = nullptr;
  Subrecord* indx = nullptr;
};

// Makes a field with the header's tag and no data (HEDR: the default block)
// in the list, before pos.
Subrecord& CreateSubrecord(SubrecordList& list, SubrecordList::iterator pos,
                           const SubrecordHeader& header);
// A record of the kind for the header's tag, with no data yet.
std::unique_ptr<Record> CreateRecord(const RecordHeader& header);
// A record from its bytes as a file holds them: the 16-byte header, then its
// data; null when there are fewer than 16 bytes.
std::unique_ptr<Record> RecordFromBytes(std::string_view bytes);
// A deep copy that shares nothing with the source.
std::unique_ptr<Record> CloneRecord(Record* source);
// A record of its own with a copy of the viewed bytes.
std::unique_ptr<Record> CopyRecord(const RecordView& view);

}  // namespace modrake
