#include "format/plugin_file.hpp"

#include <algorithm>
#include <cstring>
#include <new>
#include <thread>

#include "core/fatal_error.hpp"
#include "core/text.hpp"
#include "platform/checksum.hpp"
#include "platform/file_names.hpp"
#include "platform/page_buffer.hpp"

namespace modrake {

namespace {
uint32_t ReadU32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

void PutU32(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
  p[2] = static_cast<uint8_t>(v >> 16);
  p[3] = static_cast<uint8_t>(v >> 24);
}

void EncodeHeader(const RecordHeader& header, uint8_t out[16]) {
  PutU32(out, header.tag);
  PutU32(out + 4, header.dataSize);
  PutU32(out + 8, header.headerWord);
  PutU32(out + 12, header.flags);
}

unsigned U(uint64_t value) {
  return static_cast<unsigned>(value);
}

// Record types are four capital letters, digits or '_' ("TES3", "NPC_").
bool IsRecordTag(Tag tag) {
  for (int i = 0; i < 4; ++i) {
    char c = static_cast<char>((tag >> (8 * i)) & 0xFF);
    if (!((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_')) return false;
  }
  return true;
}

// A tag for a message: bytes that would not print become '?'.
std::string PrintableTag(Tag tag) {
  std::string text = TagText(tag);
  for (char& c : text) {
    if (static_cast<unsigned char>(c) < 32 || static_cast<unsigned char>(c) > 126) c = '?';
  }
  return text;
}

uint32_t FileTypeFor(const std::filesystem::path& path) {
  std::string text = path.string();
  char last = text.empty() ? '\0' : text.back();
  if (last == 'm' || last == 'M') return 1;
  if (last == 's' || last == 'S') return 2;
  return 0;
}
// One block for the data of every record costs one allocation instead of
// one per record. When there is no room for it, none: each record then gets
// its own, so that only a record that cannot fit is the error.
std::shared_ptr<uint8_t[]> NewBlock(uint64_t size) {
  try {
    const size_t bytes = static_cast<size_t>(std::max<uint64_t>(size, 1));
    if (bytes < PageBuffer::kLargePage) return std::shared_ptr<uint8_t[]>(new uint8_t[bytes]);
    // From a large page up, whole pages of its own: a land mod of tens of
    // megabytes then faults in a few times instead of thousands.
    auto pages = std::make_shared<PageBuffer>();
    pages->Reserve(bytes, 0);
    return std::shared_ptr<uint8_t[]>(pages, static_cast<uint8_t*>(pages->data()));
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

// The bytes of the records as the file holds them, piece by piece: each
// record's header (gone once put takes it), then its data, which stays where
// it lies (stays set).
template <typename Put>
void PutRecords(const RecordList& records, Put put) {
  uint8_t head[16];
  for (const auto& record : records) {
    EncodeHeader(record->Header(), head);
    put(head, 16, false);
    if (record->dataSize) put(record->RawData(), record->dataSize, true);
  }
}
}  // namespace

PluginFile::PluginFile(const std::filesystem::path& folder, const std::string& name)
    : path(ResolveNoCase(folder, name)), name(name) {
  auto found = QueryFileStatus(path);
  if (!found) FatalError("Cannot find file %s", name.c_str());
  status = *found;
  ReadHeaderOnly();
}

PluginFile::PluginFile(const std::filesystem::path& file, const std::string& name, Tolerant)
    : path(file), name(name) {
  auto found = QueryFileStatus(path);
  if (!found) FatalError("Cannot find file %s", name.c_str());
  status = *found;
  try {
    ReadHeaderOnly();
  } catch (const FatalException& e) {
    ClearRecords();
    CloseFile();
    headerError = e.what();
  }
}

PluginFile::PluginFile(const std::filesystem::path& folder, const std::string& name,
                       std::string_view author, std::string_view description)
    : path(folder / TextPath(name)), name(name) {
  auto header = CreateRecord({tags::TES3, 0, 0, 0});
  Subrecord& hedr = CreateSubrecord(header->Fields(), header->Fields().end(), {tags::HEDR, 0});
  HeaderSubrecord block(hedr);
  block.SetAuthor(author);
  block.SetDescription(description);
  header->RebuildData();
  records.push_back(std::move(header));
}

PluginFile::PluginFile(const std::string& name, std::string_view bytes, InMemory)
    : name(name), memory_(bytes), inMemory_(true) {
  status.size = bytes.size();
  ReadHeaderOnly();
}

void PluginFile::OpenFile() {
  if (reader_.IsOpen()) {
    reader_.Seek(0);
    return;
  }
  if (inMemory_) {
    reader_.OpenMemory(memory_.data(), memory_.size());
    return;
  }
  if (!reader_.Open(path)) FatalError("Cannot open file %s", path.string().c_str());
}

bool PluginFile::ReadObjectHeader(RecordHeader& header) {
  header = RecordHeader{};
  if (!reader_.IsOpen()) FatalError("ReadObjectHeader(): Call OpenFile() first");
  uint64_t at = reader_.Position();
  uint8_t bytes[16];
  size_t got = reader_.Read(bytes, 16);
  if (got < 16) {
    reader_.Close();
    // A file ends between records; anything else is a file cut short.
    if (at == 0)
      FatalError("File %s is not a TES3 plugin: it holds no header record", name.c_str());
    if (got > 0) {
      FatalError("Invalid record in file %s at offset %u (the file ends inside a record header)",
                 name.c_str(), U(at));
    }
    return false;
  }
  header = {ReadU32(bytes), ReadU32(bytes + 4), ReadU32(bytes + 8), ReadU32(bytes + 12)};
  lastHeaderOffset_ = at;
  if (at == 0 && header.tag != tags::TES3) {
    reader_.Close();
    FatalError("File %s is not a TES3 plugin: it starts with \"%s\" at offset 0", name.c_str(),
               PrintableTag(header.tag).c_str());
  }
  // Zeros or noise where a record should start (a cut download, a damaged
  // file) stop the read here instead of becoming records by the million.
  if (!IsRecordTag(header.tag)) {
    reader_.Close();
    FatalError("Invalid record in file %s at offset %u (\"%s\" is not a record type)", name.c_str(),
               U(at), PrintableTag(header.tag).c_str());
  }
  return true;
}

void PluginFile::CheckDataFits(const RecordHeader& header) {
  // Never allocate what the file cannot hold.
  uint64_t left = reader_.IsOpen() ? reader_.Size() - reader_.Position() : 0;
  if (header.dataSize > left) {
    FatalError("Invalid record in file %s at offset %u (%u vs %u)", name.c_str(),
               U(reader_.Position() + left), U(left), header.dataSize);
  }
}

void PluginFile::ReadData(const RecordHeader& header, uint8_t* into) {
  size_t got = reader_.Read(into, header.dataSize);
  if (got < header.dataSize) {
    FatalError("Invalid record in file %s at offset %u (%u vs %u)", name.c_str(),
               U(reader_.Position()), U(got), header.dataSize);
  }
}

void PluginFile::FieldDoesNotFit(const RecordHeader& header, uint32_t offset) {
  uint64_t at = lastHeaderOffset_ + 16 + offset;
  FatalError("Invalid subrecord in file %s at offset %u (record %s at offset %u runs past its end)",
             name.c_str(), U(at), TagText(header.tag).c_str(), U(lastHeaderOffset_));
}

std::unique_ptr<Record> PluginFile::ReadRecord(const RecordHeader& header) {
  auto record = CreateRecord(header);
  record->file = this;
  if (header.dataSize == 0) {
    // An empty record is kept as one, so that nothing after it is lost.
    return record;
  }
  CheckDataFits(header);
  if (wholeFile_) {
    // The data goes to its place in the block, which the record then shares.
    uint8_t* at = wholeFile_.get() + reader_.Position();
    if (readInPlace_) {
      reader_.Skip(header.dataSize);
    } else {
      ReadData(header, at);
    }
    record->ShareDataToParseOnDemand(wholeFile_, at, header.dataSize);
  } else {
    std::unique_ptr<uint8_t[]> buffer;
    try {
      buffer = std::make_unique_for_overwrite<uint8_t[]>(header.dataSize);
    } catch (const std::bad_alloc&) {
      OutOfMemory();
    }
    ReadData(header, buffer.get());
    try {
      record->SetData(std::move(buffer), header.dataSize);
    } catch (const std::bad_alloc&) {
      record.reset();
      OutOfMemory();
    }
  }
  if (record->ParseErrorOffset() != Record::kParsedWhole) {
    FieldDoesNotFit(header, record->ParseErrorOffset());
  }
  return record;
}

RecordView PluginFile::ReadRecordView(const RecordHeader& header, std::vector<uint8_t>& buffer) {
  RecordView view{header, nullptr};
  if (header.dataSize == 0) return view;
  CheckDataFits(header);
  // Most records are looked at where the reader holds them; a large one (or
  // a file that shrank) goes through buffer, which only grows.
  view.data = reader_.Borrow(header.dataSize);
  if (!view.data) {
    try {
      if (buffer.size() < header.dataSize) buffer.resize(header.dataSize);
    } catch (const std::bad_alloc&) {
      OutOfMemory();
    }
    ReadData(header, buffer.data());
    view.data = buffer.data();
  }
  uint32_t unfit = FieldWalker(view.data, header.dataSize).WalkToEnd();
  if (unfit != FieldWalker::kWhole) FieldDoesNotFit(header, unfit);
  return view;
}

void PluginFile::SkipRecord(const RecordHeader& header) {
  if (!reader_.IsOpen() || header.dataSize == 0) return;
  // A record cut short is an error wherever it lies, also where it is only passed.
  CheckDataFits(header);
  reader_.Skip(header.dataSize);
}

std::unique_ptr<Record> PluginFile::ReadRecordAt(uint64_t position) {
  if (reader_.IsOpen()) reader_.Seek(position);
  RecordHeader header;
  if (!ReadObjectHeader(header)) return nullptr;
  return ReadRecord(header);
}

void PluginFile::ReadHeaderOnly() {
  ClearRecords();
  OpenFile();
  RecordHeader header;
  if (ReadObjectHeader(header)) {
    records.push_back(ReadRecord(header));
    Subrecord* hedr = records.front()->FindSubrecord(tags::HEDR);
    if (!hedr || hedr->size != HeaderSubrecord::kSize) {
      CloseFile();
      FatalError("Invalid header record in file %s at offset 0: no 300-byte HEDR", name.c_str());
    }
  }
  CloseFile();
}

void PluginFile::ReadAllRecords() {
  ClearRecords();
  // From a large page up, the file's own pages serve as the block.
  std::shared_ptr<MappedFile> mapped;
  if (!inMemory_ && status.size >= PageBuffer::kLargePage) mapped = MappedFile::Map(path);
  mapping_ = mapped;
  if (mapped) {
    reader_.OpenMemory(mapped->data(), mapped->size());
    wholeFile_ = std::shared_ptr<uint8_t[]>(mapped, mapped->data());
    readInPlace_ = true;
  } else {
    OpenFile();
    wholeFile_ = NewBlock(reader_.Size());
  }
  // However the read ends, the file keeps no hold on the block: only its records do.
  struct LetGo {
    std::shared_ptr<uint8_t[]>& block;
    bool& inPlace;
    ~LetGo() {
      block.reset();
      inPlace = false;
    }
  } letGo{wholeFile_, readInPlace_};
  RecordHeader header;
  try {
    while (ReadObjectHeader(header)) records.push_back(ReadRecord(header));
  } catch (const std::bad_alloc&) {
    // What was read goes first, so that the error has room to be told.
    wholeFile_.reset();
    ClearRecords();
    CloseFile();
    OutOfMemory();
  }
  CloseFile();
}

void PluginFile::OutOfMemory() const {
  FatalError("Out of memory reading file %s at offset %u", name.c_str(), U(lastHeaderOffset_));
}

Record* PluginFile::FindHeaderRecord() {
  for (auto& record : records) {
    if (record->tag == tags::TES3) return record.get();
  }
  return nullptr;
}

void PluginFile::RemoveRecord(Record* record) {
  for (auto it = records.begin(); it != records.end(); ++it) {
    if (it->get() == record) {
      records.erase(it);
      return;
    }
  }
}

RecordList::iterator PluginFile::RemoveRecord(RecordList::iterator it) {
  return records.erase(it);
}

void PluginFile::SetPath(const std::filesystem::path& text) {
  if (text.has_parent_path()) {
    path = text;
    name = text.filename().string();
  } else {
    name = text.string();
    path = path.parent_path() / text;
  }
}

void PluginFile::PrepareHeader() {
  // Bytes of a file that another program changed since are not written anywhere.
  if (auto mapped = mapping_.lock(); mapped && !mapped->Intact()) {
    FatalError("Cannot write file %s: %s changed while it was read", path.string().c_str(),
               mapped->path().string().c_str());
  }
  Record* header = FindHeaderRecord();
  if (!header)
    FatalError("Cannot write file %s: it has no TES3 header record", path.string().c_str());
  Subrecord* hedr = header->FindSubrecord(tags::HEDR);
  if (!hedr || hedr->size != HeaderSubrecord::kSize) FatalError("Invalid HEDR field data length");
  HeaderSubrecord block(*hedr);
  block.SetRecordCount(static_cast<uint32_t>(records.size() - 1));
  block.SetVersion(1.3f);
  block.SetFileType(FileTypeFor(path));
  header->RebuildData();
}

void PluginFile::QueryStatusAfterWrite() {
  auto found = QueryFileStatus(path);
  if (!found) FatalError("Cannot find file %s", name.c_str());
  status = *found;
}

void PluginFile::Save(WriteMode mode) {
  PrepareHeader();
  uint64_t size = 0;
  for (auto& record : records) {
    if (!record->RawDataCurrent()) record->RebuildData();
    size += 16 + uint64_t{record->dataSize};
  }
  savedChecksum.reset();
  // Summed on a thread of its own while the bytes go out, so that a run's
  // backup need not read a large file back (a small one it reads back as
  // fast): a land mod's 20 MB take about as long to sum as to write.
  std::jthread summer;
  if (size >= kChecksumBlock) {
    summer = std::jthread([this, size] {
      Checksum64Stream sum(size);
      PutRecords(records, [&](const uint8_t* bytes, size_t count, bool) { sum.Add(bytes, count); });
      savedChecksum = sum.Value();
    });
  }
  WriteResult written = WriteFileAtomically(
      path,
      [&](FileWriter& out) {
        PutRecords(records, [&](const uint8_t* bytes, size_t count, bool stays) {
          if (stays) {
            out.WriteInPlace(bytes, count);
          } else {
            out.Write(bytes, count);
          }
        });
      },
      mode);
  if (summer.joinable()) summer.join();
  if (!written) WriteFailed(path, written);
  QueryStatusAfterWrite();
}

void PluginFile::WriteHeader() {
  FileStatus kept = status;
  PrepareHeader();
  Record* header = FindHeaderRecord();
  // Written in place below, the header would not pass through the check of a whole write.
  if (std::string refusal = WriteRefusal(path); !refusal.empty()) {
    WriteFailed(path, WriteResult::Refused(refusal));
  }
  std::string bytes(16 + header->dataSize, '\0');
  EncodeHeader(header->Header(), reinterpret_cast<uint8_t*>(bytes.data()));
  std::memcpy(bytes.data() + 16, header->RawData(), header->dataSize);
  // In place only when the header on disk has the same size.
  auto sameSize = [&](const unsigned char* old) {
    return ReadU32(old) == tags::TES3 && ReadU32(old + 4) == header->dataSize;
  };
  if (!OverwriteFileStart(path, 16, sameSize, bytes)) Save();
  FileTimes times{kept.modified, kept.modifiedNsec, kept.modified, kept.modifiedNsec};
  // A time that is not put back would move the plugin in the load order.
  if (WriteResult set = SetFileTimes(path, times); !set) {
    FatalError("Cannot set the time of file %s: %s", name.c_str(), set.reason().c_str());
  }
  QueryStatusAfterWrite();
}

PluginFile* FindPluginByName(const PluginList& list, std::string_view name) {
  for (const auto& file : list) {
    if (SameFileName(file->name, name)) return file.get();
  }
  return nullptr;
}

void AddMaster(Record& header, const std::string& masterName, uint32_t masterSize) {
  for (auto it = header.Fields().begin(); it != header.Fields().end(); ++it) {
    if (it->tag != tags::MAST || !SameFileName(it->Text(), masterName)) continue;
    auto next = std::next(it);
    uint32_t value = 0xFFFFFFFF;
    if (next != header.Fields().end() && next->tag == tags::DATA) {
      value = next->size >= 4 ? next->UInt32At(0) : 0;
    }
    if (value != masterSize) header.SetFollowingData(*it, masterSize);
    return;
  }
  Subrecord& mast = CreateSubrecord(header.Fields(), header.Fields().end(), {tags::MAST, 0});
  mast.SetString(masterName);
  header.SetFollowingData(mast, masterSize);
  header.RebuildData();
}

void UpdateMasterSizes(Record& header, const PluginList& list) {
  for (auto it = header.Fields().begin(); it != header.Fields().end(); ++it) {
    if (it->tag != tags::MAST) continue;
    PluginFile* master = FindPluginByName(list, it->Text());
    if (!master) continue;
    auto next = std::next(it);
    if (next == header.Fields().end() || next->tag != tags::DATA) {
      next = header.Fields().emplace(next);
      next->InitEmpty({tags::DATA, 0});
    }
    next->SetUInt64(static_cast<uint32_t>(master->status.size), 0);
  }
}

bool IsMasterFile(PluginFile& file) {
  Record* header = file.FindHeaderRecord();
  Subrecord* hedr = header ? header->FindSubrecord(tags::HEDR) : nullptr;
  if (!hedr) return false;
  HeaderSubrecord block(*hedr);
  return block.Valid() && block.FileType() == 1;
}

std::vector<std::string> MasterNames(const Record& header) {
  std::vector<std::string> names;
  for (const Subrecord& field : header.Fields()) {
    if (field.tag == tags::MAST) names.emplace_back(field.Text());
  }
  return names;
}

}  // namespace modrake
