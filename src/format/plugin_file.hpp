#pragma once

#include <cstdint>
#include <filesystem>
#include <list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "format/record.hpp"
#include "platform/file_io.hpp"
#include "platform/mapped_file.hpp"

namespace modrake {

// Its nodes come from a pool, as the records do: a land mod holds tens of thousands.
using RecordList = std::list<std::unique_ptr<Record>, NodeAllocator<std::unique_ptr<Record>>>;

// One plugin or master file: where it is, its size and time, and the records
// read from it or built for it (the TES3 header record first).
class PluginFile {
 public:
  // An existing file: its status is queried and its header record read.
  // The file is looked up in folder whatever the letter case of name.
  PluginFile(const std::filesystem::path& folder, const std::string& name);
  // A new plugin in memory, holding only a header with author and description.
  PluginFile(const std::filesystem::path& folder, const std::string& name, std::string_view author,
             std::string_view description);
  // An existing file as a listing needs it, found already (file is its
  // path, name what it goes by): queried and its header read as above, but a
  // header that cannot be read leaves the file without records and the
  // error in headerError, so that one bad file does not stop a list.
  struct Tolerant {};
  PluginFile(const std::filesystem::path& file, const std::string& name, Tolerant);
  // Bytes in memory read as a file of that name, its header record read as
  // above; the bytes must outlive the reads. It has no path until SetPath.
  struct InMemory {};
  PluginFile(const std::string& name, std::string_view bytes, InMemory);
  PluginFile(const PluginFile&) = delete;
  PluginFile& operator=(const PluginFile&) = delete;

  std::filesystem::path path;
  std::string name;  // the name it goes by in messages and MAST entries
  FileStatus status;
  RecordList records;
  std::string headerError;  // why the header could not be read; empty when it was
  // Checksum64 of the bytes the last Save wrote, when they were many.
  std::optional<uint64_t> savedChecksum;

  // Streaming reads.
  void OpenFile();
  bool ReadObjectHeader(RecordHeader& header);
  std::unique_ptr<Record> ReadRecord(const RecordHeader& header);
  // Reads the record with the same checks as ReadRecord but parses nothing:
  // a view of the reader's own bytes, or of buffer (which grows as needed)
  // for a large record. It lasts until the next read of this file.
  RecordView ReadRecordView(const RecordHeader& header, std::vector<uint8_t>& buffer);
  void SkipRecord(const RecordHeader& header);
  std::unique_ptr<Record> ReadRecordAt(uint64_t position);
  uint64_t FilePosition() const { return reader_.IsOpen() ? reader_.Position() : 0; }
  void CloseFile() { reader_.Close(); }
  bool IsOpen() const { return reader_.IsOpen(); }

  // Whole-file operations.
  void ClearRecords() { records.clear(); }
  void ReadHeaderOnly();
  void ReadAllRecords();
  Record* FindHeaderRecord();
  void RemoveRecord(Record* record);
  RecordList::iterator RemoveRecord(RecordList::iterator it);
  void SetPath(const std::filesystem::path& text);
  void Save(WriteMode mode = WriteMode::kAlone);
  void WriteHeader();

  // FatalError for memory that ran out while this file was read: it names
  // the file and the record read last, as for a damaged file.
  [[noreturn]] void OutOfMemory() const;

 private:
  void CheckDataFits(const RecordHeader& header);
  void ReadData(const RecordHeader& header, uint8_t* into);
  [[noreturn]] void FieldDoesNotFit(const RecordHeader& header, uint32_t offset);
  void PrepareHeader();
  void QueryStatusAfterWrite();

  FileReader reader_;
  std::string_view memory_;  // the bytes read instead of a file
  bool inMemory_ = false;
  uint64_t lastHeaderOffset_ = 0;
  // While the whole file is read: one block for the data of all its records.
  std::shared_ptr<uint8_t[]> wholeFile_;
  // The block is the file's own mapping, read where it lies.
  bool readInPlace_ = false;
  // That mapping, while a record of it lives.
  std::weak_ptr<MappedFile> mapping_;
};

using PluginList = std::vector<std::unique_ptr<PluginFile>>;

// First file of the list whose name equals name in any letter case.
PluginFile* FindPluginByName(const PluginList& list, std::string_view name);

// Makes sure the header record lists the master with that size.
void AddMaster(Record& header, const std::string& masterName, uint32_t masterSize);
// Sets the DATA of each listed master to the size of that file in the list.
void UpdateMasterSizes(Record& header, const PluginList& list);

// Whether the file's header marks it as a master file (.esm), whatever its name.
bool IsMasterFile(PluginFile& file);

// The MAST names of a header record, in order.
std::vector<std::string> MasterNames(const Record& header);

}  // namespace modrake
