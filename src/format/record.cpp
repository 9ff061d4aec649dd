#include "format/record.hpp"

#include <cstring>
#include <typeinfo>

#include "core/text.hpp"

namespace modrake {

std::string TagText(Tag tag) {
  std::string text(4, '\0');
  for (int i = 0; i < 4; ++i) text[i] = static_cast<char>((tag >> (8 * i)) & 0xFF);
  return text;
}

namespace {
constexpr uint32_t kVersion13Bits = 0x3FA66666;  // the float 1.3

uint32_t ReadU32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

void WriteU32(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
  p[2] = static_cast<uint8_t>(v >> 16);
  p[3] = static_cast<uint8_t>(v >> 24);
}
}  // namespace

// ---- FieldView, FieldWalker, RecordView ----

std::string_view FieldView::Text() const {
  if (!data) return {};
  const void* zero = std::memchr(data, 0, size);
  size_t length = zero ? static_cast<size_t>(static_cast<const uint8_t*>(zero) - data) : size;
  return std::string_view(reinterpret_cast<const char*>(data), length);
}

uint32_t FieldView::UInt32At(uint32_t offset) const {
  if (!data || size < 4 || offset > size - 4) return 0;
  return ReadU32(data + offset);
}

float FieldView::FloatAt(uint32_t offset) const {
  uint32_t bits = UInt32At(offset);
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

uint16_t FieldView::UInt16At(uint32_t offset) const {
  if (!data || size < 2 || offset > size - 2) return 0;
  return static_cast<uint16_t>(data[offset] | data[offset + 1] << 8);
}

bool FieldWalker::Next(FieldView& field) {
  if (pos_ >= size_ || error_ != kWhole) return false;
  if (size_ - pos_ < 8 || ReadU32(data_ + pos_ + 4) > size_ - pos_ - 8) {
    error_ = pos_;
    return false;
  }
  field = {ReadU32(data_ + pos_), ReadU32(data_ + pos_ + 4), data_ + pos_ + 8};
  pos_ += 8 + field.size;
  return true;
}

uint32_t FieldWalker::WalkToEnd() {
  for (FieldView field; Next(field);) {
  }
  return error_;
}

std::optional<FieldView> RecordView::FindField(Tag wanted) const {
  FieldWalker walker(data, header.dataSize);
  FieldView field;
  while (walker.Next(field)) {
    if (field.tag == wanted) return field;
  }
  return std::nullopt;
}

// ---- Subrecord ----

void Subrecord::InitEmpty(const SubrecordHeader& header) {
  tag = header.tag;
  owned_.reset();
  data = nullptr;
  size = 0;
  if (tag == tags::HEDR) {
    owned_ = std::make_unique<uint8_t[]>(HeaderSubrecord::kSize);
    WriteU32(owned_.get(), kVersion13Bits);
    data = owned_.get();
    size = HeaderSubrecord::kSize;
  }
}

void Subrecord::SetString(std::string_view text) {
  size_t n = text.size() + 1;
  if (n == size && data) {
    std::memcpy(data, text.data(), text.size());
    data[text.size()] = 0;
    return;
  }
  owned_ = std::make_unique<uint8_t[]>(n);
  std::memcpy(owned_.get(), text.data(), text.size());
  owned_[text.size()] = 0;
  data = owned_.get();
  size = static_cast<uint32_t>(n);
}

void Subrecord::SetUInt64(uint32_t low, uint32_t high) {
  if (data && size >= 8) {
    WriteU32(data, low);
    WriteU32(data + 4, high);
    return;
  }
  // A field too short for the two words gets a buffer of its own.
  owned_ = std::make_unique<uint8_t[]>(8);
  WriteU32(owned_.get(), low);
  WriteU32(owned_.get() + 4, high);
  data = owned_.get();
  size = 8;
}

void Subrecord::SetUInt32(uint32_t value) {
  if (data && size >= 4) {
    WriteU32(data, value);
    return;
  }
  owned_ = std::make_unique<uint8_t[]>(4);
  WriteU32(owned_.get(), value);
  data = owned_.get();
  size = 4;
}

void Subrecord::SetBytes(const void* bytes, uint32_t count) {
  auto fresh = std::make_unique<uint8_t[]>(count ? count : 1);
  if (count) std::memcpy(fresh.get(), bytes, count);
  owned_ = std::move(fresh);
  data = owned_.get();
  size = count;
}

void Subrecord::Borrow(uint8_t* bytes, uint32_t count) {
  owned_.reset();
  data = bytes;
  size = count;
}

void Subrecord::MakeOwned() {
  if (owned_ || !data) return;
  SetBytes(data, size);
}

bool Subrecord::SameBytes(const Subrecord& other) const {
  return size == other.size && (size == 0 || std::memcmp(data, other.data, size) == 0);
}

// ---- HeaderSubrecord ----

float HeaderSubrecord::Version() const {
  return field_.FloatAt(0);
}

void HeaderSubrecord::SetVersion(float version) {
  uint32_t bits;
  std::memcpy(&bits, &version, 4);
  if (Valid()) WriteU32(field_.data, bits);
}

void HeaderSubrecord::SetFileType(uint32_t type) {
  if (Valid()) WriteU32(field_.data + 4, type);
}

namespace {
std::string FixedText(const Subrecord& field, uint32_t offset, uint32_t width) {
  if (!field.data || field.size < offset + width) return {};
  const char* start = reinterpret_cast<const char*>(field.data + offset);
  return std::string(start, strnlen(start, width));
}

void SetFixedText(Subrecord& field, uint32_t offset, uint32_t width, std::string_view text) {
  if (!field.data || field.size < offset + width) return;
  size_t n = text.size() < width - 1 ? text.size() : width - 1;
  std::memset(field.data + offset, 0, width);
  std::memcpy(field.data + offset, text.data(), n);
}
}  // namespace

std::string HeaderSubrecord::Author() const {
  return FixedText(field_, 8, kAuthorSize);
}
void HeaderSubrecord::SetAuthor(std::string_view author) {
  SetFixedText(field_, 8, kAuthorSize, author);
}
std::string HeaderSubrecord::Description() const {
  return FixedText(field_, 40, kDescriptionSize);
}
void HeaderSubrecord::SetDescription(std::string_view description) {
  SetFixedText(field_, 40, kDescriptionSize, description);
}
void HeaderSubrecord::SetRecordCount(uint32_t count) {
  if (Valid()) WriteU32(field_.data + 296, count);
}

// ---- Record ----

Record::Record(const RecordHeader& header)
    : tag(header.tag), dataSize(0), headerWord(header.headerWord), flags(header.flags) {}

void Record::ClearSubrecords() {
  subrecords_.clear();
  parsed_ = true;
}

void Record::ParseSubrecords() {
  ParsePlain();
}

void Record::ParsePlain() {
  ClearSubrecords();
  parseError_ = kParsedWhole;
  if (dataSize == 0 || !raw_) return;
  FieldWalker walker(raw_, dataSize);
  FieldView view;
  while (walker.Next(view)) {
    Subrecord& field = subrecords_.emplace_back();
    field.tag = view.tag;
    field.Borrow(raw_ + (view.data - raw_), view.size);
  }
  parseError_ = walker.ErrorOffset();
}

bool Record::RawDataCurrent() const {
  if (parseError_ != kParsedWhole) return false;
  if (!parsed_) return true;  // nothing has touched the fields
  const uint8_t* expected = raw_;
  uint64_t total = 0;
  for (const Subrecord& field : subrecords_) {
    if (field.OwnsData() && field.size > 0) return false;
    if (!raw_ || expected + 8 > raw_ + dataSize) return false;
    if (ReadU32(expected) != field.tag || ReadU32(expected + 4) != field.size) return false;
    if (field.size > 0 && field.data != expected + 8) return false;
    expected += 8 + field.size;
    total += 8 + field.size;
  }
  return total == dataSize;
}

void Record::RebuildData() {
  uint64_t total = 0;
  for (const Subrecord& field : Fields()) total += 8 + field.size;
  auto buffer = std::make_unique_for_overwrite<uint8_t[]>(total ? total : 1);
  uint8_t* p = buffer.get();
  for (const Subrecord& field : subrecords_) {
    WriteU32(p, field.tag);
    WriteU32(p + 4, field.size);
    if (field.size) std::memcpy(p + 8, field.data, field.size);
    p += 8 + field.size;
  }
  ClearSubrecords();
  owned_ = std::move(buffer);
  raw_ = owned_.get();
  dataSize = static_cast<uint32_t>(total);
  ParseSubrecords();
}

void Record::CopyData(const uint8_t* bytes, uint32_t size) {
  auto copy = std::make_unique_for_overwrite<uint8_t[]>(size ? size : 1);
  if (size) std::memcpy(copy.get(), bytes, size);
  SetData(std::move(copy), size);
}

void Record::SetData(std::unique_ptr<uint8_t[]> buffer, uint32_t size) {
  ClearSubrecords();
  owned_ = std::move(buffer);
  raw_ = owned_.get();
  dataSize = size;
  ParseSubrecords();
}

void Record::PointInto(const std::shared_ptr<uint8_t[]>& block, uint8_t* data, uint32_t size) {
  ClearSubrecords();
  owned_ = std::shared_ptr<uint8_t[]>(block, data);
  raw_ = data;
  dataSize = size;
}

void Record::ShareData(const std::shared_ptr<uint8_t[]>& block, uint8_t* data, uint32_t size) {
  PointInto(block, data, size);
  ParseSubrecords();
}

void Record::ShareDataToParseOnDemand(const std::shared_ptr<uint8_t[]>& block, uint8_t* data,
                                      uint32_t size) {
  // The kinds keep pointers to their fields: they are parsed at once.
  if (typeid(*this) != typeid(Record) || size == 0) {
    ShareData(block, data, size);
    return;
  }
  PointInto(block, data, size);
  parseError_ = FieldWalker(raw_, dataSize).WalkToEnd();
  parsed_ = false;
}

Subrecord* Record::FindSubrecord(Tag wanted) {
  for (Subrecord& field : Fields()) {
    if (field.tag == wanted) return &field;
  }
  return nullptr;
}

const Subrecord* Record::FindSubrecord(Tag wanted) const {
  for (const Subrecord& field : Fields()) {
    if (field.tag == wanted) return &field;
  }
  return nullptr;
}

std::optional<FieldView> Record::FindField(Tag wanted) const {
  if (!parsed_) return RecordView{Header(), raw_}.FindField(wanted);
  const Subrecord* field = FindSubrecord(wanted);
  if (!field) return std::nullopt;
  return field->View();
}

SubrecordList::iterator Record::IteratorOf(const Subrecord* field) {
  SubrecordList& fields = Fields();
  for (auto it = fields.begin(); it != fields.end(); ++it) {
    if (&*it == field) return it;
  }
  return fields.end();
}

void Record::RemoveSubrecord(Subrecord* field) {
  if (!field) return;
  auto it = IteratorOf(field);
  if (it != subrecords_.end()) subrecords_.erase(it);
}

void Record::SetFollowingData(Subrecord& field, uint32_t value) {
  auto it = IteratorOf(&field);
  if (it == subrecords_.end()) return;
  auto next = std::next(it);
  if (next == subrecords_.end() || next->tag != tags::DATA) {
    next = subrecords_.emplace(next);
    next->InitEmpty({tags::DATA, 0});
  }
  next->SetUInt64(value, 0);
}

bool Record::IsDeleted() const {
  if (flags & kDeletedFlag) return true;
  return FindField(tags::DELE).has_value();
}

namespace {
void AppendGrid(std::string& text, const FieldView& field, uint32_t first) {
  AppendInt(text, static_cast<int32_t>(field.UInt32At(first)), 3);
  text += ' ';
  AppendInt(text, static_cast<int32_t>(field.UInt32At(first + 4)), 3);
}

// Appends the display id from the fields of a parsed record or of a view.
template <typename Fields>
void AppendDisplayIdOf(std::string& text, Tag tag, const Fields& fields) {
  const size_t start = text.size();
  auto none = [&] { return text.size() == start; };
  switch (tag) {
    case tags::CELL: {
      auto data = fields.FindField(tags::DATA);
      if (data && (data->UInt32At(0) & 1) == 0) AppendGrid(text, *data, 4);
      auto chosen = fields.FindField(tags::NAME);
      if (!chosen || chosen->size <= 1) chosen = fields.FindField(tags::RGNN);
      if (chosen && chosen->size > 0) {
        if (!none()) text += ", ";
        text += chosen->Text();
      }
      break;
    }
    case tags::PGRD: {
      if (auto data = fields.FindField(tags::DATA)) AppendGrid(text, *data, 0);
      if (auto name = fields.FindField(tags::NAME)) {
        if (!none()) text += ", ";
        text += name->Text();
      }
      break;
    }
    case tags::LAND:
      if (auto intv = fields.FindField(tags::INTV)) AppendGrid(text, *intv, 0);
      break;
    case tags::MGEF:
    case tags::SKIL:
      if (auto indx = fields.FindField(tags::INDX)) {
        AppendInt(text, static_cast<int32_t>(indx->UInt32At(0)), 3);
      }
      break;
    case tags::INFO:
      if (auto inam = fields.FindField(tags::INAM)) text += inam->Text();
      break;
    case tags::SSCR:
      if (auto data = fields.FindField(tags::DATA)) text += data->Text();
      break;
    case tags::SCPT:
      if (auto schd = fields.FindField(tags::SCHD)) text += schd->Text().substr(0, 31);
      break;
    default:
      if (auto name = fields.FindField(tags::NAME)) {
        text += name->Text();
        if (none()) text += "<<NONAME>>";
      }
      break;
  }
  if (none()) text += "<<UNKNOWN>>";
}
}  // namespace

std::string Record::GetDisplayId() const {
  std::string text;
  AppendDisplayIdOf(text, tag, *this);
  return text;
}

std::string RecordView::GetDisplayId() const {
  std::string text;
  AppendDisplayId(text);
  return text;
}

void RecordView::AppendDisplayId(std::string& text) const {
  AppendDisplayIdOf(text, header.tag, *this);
}

// ---- Record kinds ----

void BodyPartRecord::ParseSubrecords() {
  ParsePlain();
  name = FindSubrecord(tags::NAME);
  modl = FindSubrecord(tags::MODL);
  fnam = FindSubrecord(tags::FNAM);
  bydt = FindSubrecord(tags::BYDT);
}

void NpcRecord::ParseSubrecords() {
  ParsePlain();
  name = FindSubrecord(tags::NAME);
  modl = FindSubrecord(tags::MODL);
  fnam = FindSubrecord(tags::FNAM);
  rnam = FindSubrecord(tags::RNAM);
  cnam = FindSubrecord(tags::CNAM);
  anam = FindSubrecord(tags::ANAM);
  bnam = FindSubrecord(tags::BNAM);
  knam = FindSubrecord(tags::KNAM);
  scri = FindSubrecord(tags::SCRI);
  flag = FindSubrecord(tags::FLAG);
  npco = FindSubrecord(tags::NPCO);
}

void LeveledListRecord::ParseSubrecords() {
  ParsePlain();
  RefreshLinks();
}

void LeveledListRecord::RefreshLinks() {
  entryTag = tag == tags::LEVC ? tags::CNAM : tags::INAM;
  name = FindSubrecord(tags::NAME);
  data = FindSubrecord(tags::DATA);
  nnam = FindSubrecord(tags::NNAM);
  indx = FindSubrecord(tags::INDX);
}

// ---- Factories ----

Subrecord& CreateSubrecord(SubrecordList& list, SubrecordList::iterator pos,
                           const SubrecordHeader& header) {
  Subrecord& field = *list.emplace(pos);
  field.InitEmpty(header);
  return field;
}

std::unique_ptr<Record> CreateRecord(const RecordHeader& header) {
  switch (header.tag) {
    case tags::BODY:
      return std::make_unique<BodyPartRecord>(header);
    case tags::NPC_:
      return std::make_unique<NpcRecord>(header);
    case tags::LEVI:
    case tags::LEVC: {
      auto record = std::make_unique<LeveledListRecord>(header);
      record->RefreshLinks();
      return record;
    }
    default:
      return std::make_unique<Record>(header);
  }
}

std::unique_ptr<Record> CopyRecord(const RecordView& view) {
  auto copy = CreateRecord(view.header);
  copy->CopyData(view.data, view.header.dataSize);
  return copy;
}

std::unique_ptr<Record> CloneRecord(Record* source) {
  if (!source) return nullptr;
  if (!source->RawDataCurrent()) source->RebuildData();
  auto clone = CreateRecord(source->Header());
  clone->file = source->file;
  clone->CopyData(source->RawData(), source->dataSize);
  return clone;
}

std::unique_ptr<Record> RecordFromBytes(std::string_view bytes) {
  if (bytes.size() < 16) return nullptr;
  const auto* at = reinterpret_cast<const uint8_t*>(bytes.data());
  auto record = CreateRecord({ReadU32(at), ReadU32(at + 4), ReadU32(at + 8), ReadU32(at + 12)});
  record->CopyData(at + 16, static_cast<uint32_t>(bytes.size() - 16));
  return record;
}

}  // namespace modrake
