#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace modrake {

// Size and modification time of a file, as the load order needs them.
struct FileStatus {
  uint64_t size = 0;
  int64_t modified = 0;  // seconds since 1970, UTC
  int64_t modifiedNsec = 0;
};

std::optional<FileStatus> QueryFileStatus(const std::filesystem::path& path);

// A read handle with its own buffer: small reads (record headers) come from
// memory, large reads go straight into the caller's buffer, and skips past the
// buffer only move the file position.
class FileReader {
 public:
  FileReader() = default;
  ~FileReader();
  FileReader(const FileReader&) = delete;
  FileReader& operator=(const FileReader&) = delete;

  bool Open(const std::filesystem::path& path);
  // Reads a block of bytes in memory as a file; they must outlive the reads.
  void OpenMemory(const void* bytes, size_t size);
  void Close();
  bool IsOpen() const { return file_ != kNoFile || memory_; }

  // Reads up to count bytes; returns how many were read (short only at the end).
  size_t Read(void* out, size_t count);
  // The next count bytes, handed out from the reader's own buffer without a
  // copy; they last until the next call. nullptr, with nothing consumed, when
  // count is larger than the buffer or the file ends first.
  const unsigned char* Borrow(size_t count);
  void Skip(uint64_t count);
  bool Seek(uint64_t position);
  uint64_t Position() const { return position_; }
  uint64_t Size() const { return size_; }

 private:
  // What the reader hands out from: the block in memory, or its buffer.
  const unsigned char* Bytes() const { return memory_ ? memory_ : buffer_.get(); }

  // The system's handle of the open file (a descriptor, or a Windows HANDLE).
  static constexpr intptr_t kNoFile = -1;
  struct Opened {
    intptr_t file;
    uint64_t size;
  };
  // A regular file opened for reading, with its size.
  static std::optional<Opened> OpenForReading(const std::filesystem::path& path);
  static void CloseFile(intptr_t file);
  // Reads what the system gives, up to count bytes: 0 at the end, -1 on failure.
  int64_t ReadSome(void* out, size_t count);
  bool SeekTo(uint64_t position);

  intptr_t file_ = kNoFile;
  const unsigned char* memory_ = nullptr;  // the whole file, read from memory
  uint64_t position_ = 0;                  // logical position of the next byte handed out
  uint64_t size_ = 0;
  std::unique_ptr<unsigned char[]> buffer_;  // held only while the file is open
  size_t bufferPos_ = 0;
  size_t bufferLen_ = 0;
  // How much a refill reads: small after a jump, so that reading one record
  // by its offset does not read a whole buffer; doubled while reads go on in order.
  size_t readAhead_ = 0;
};

// What became of a write: nothing to say when it succeeded, else why it
// failed, in words the player can act on ("No space left on device", "it is
// read-only").
class WriteResult {
 public:
  WriteResult() = default;
  static WriteResult Failed(std::string reason) {
    WriteResult result;
    result.reason_ = reason.empty() ? "unknown error" : std::move(reason);
    return result;
  }
  // A write that the file itself forbids (see WriteRefusal), as opposed to
  // one the system could not do.
  static WriteResult Refused(std::string reason) {
    WriteResult result = Failed(std::move(reason));
    result.refused_ = true;
    return result;
  }
  // The C library's words for an error number (errno).
  static WriteResult FromError(int error);
  explicit operator bool() const { return reason_.empty(); }
  const std::string& reason() const { return reason_; }
  bool refused() const { return refused_; }

 private:
  std::string reason_;
  bool refused_ = false;
};

// Access and modification times with their nanoseconds, so that a file can be
// given back exactly the times it had.
struct FileTimes {
  int64_t accessSec = 0;
  int64_t accessNsec = 0;
  int64_t modifySec = 0;
  int64_t modifyNsec = 0;
};

std::optional<FileTimes> GetFileTimes(const std::filesystem::path& path);
WriteResult SetFileTimes(const std::filesystem::path& path, const FileTimes& times);
// Sets access and modification time to the same whole second.
WriteResult SetFileTime(const std::filesystem::path& path, int64_t seconds);

// Why an existing file may not be changed: a file without its owner's write
// permission is the player's way of freezing it, and stays as it is even for
// a program that could write it (root). Empty when it may be changed or does
// not exist.
std::string WriteRefusal(const std::filesystem::path& path);

// Which file a path reaches (links followed): two paths that give the same
// identity are one file, whatever names or links lead to it.
struct FileIdentity {
  uint64_t device = 0;
  uint64_t inode = 0;
  bool operator==(const FileIdentity&) const = default;
};
std::optional<FileIdentity> IdentifyFile(const std::filesystem::path& path);

// What tells one version of a file from another without reading it whole:
// where it lies, its size, its modification and change times (a copy that
// keeps the first gets a new second), and a checksum of its first and last
// kFingerprintEdge bytes.
struct FileFingerprint {
  FileIdentity identity;
  uint64_t size = 0;
  int64_t modifySec = 0, modifyNsec = 0;
  int64_t changeSec = 0, changeNsec = 0;
  uint64_t edgeChecksum = 0;
  bool operator==(const FileFingerprint&) const = default;
};
constexpr size_t kFingerprintEdge = 64 * 1024;
std::optional<FileFingerprint> FingerprintFile(const std::filesystem::path& path);

// Collects the bytes of a file being written; failures are remembered and
// reported once by the caller.
class FileWriter {
 public:
  explicit FileWriter(intptr_t file) : file_(file) {}
  FileWriter(const FileWriter&) = delete;
  FileWriter& operator=(const FileWriter&) = delete;
  ~FileWriter() = default;

  void Write(const void* data, size_t count);
  // The same, for bytes that stay as they are until the next Flush (the
  // records of a plugin being saved): they go out from where they lie, in
  // one gathered write with the rest, instead of being copied first.
  void WriteInPlace(const void* data, size_t count);
  bool Flush();
  bool Ok() const { return ok_; }
  // The system's error code of the write that failed.
  int Error() const { return error_; }

 private:
  struct Piece {
    const unsigned char* data;
    size_t size;
  };
  // The most pieces one gathered write takes.
  static constexpr size_t kMostPieces = 1024;
  // Writes the pieces whole, in order; false with the error set on failure.
  bool WritePieces(Piece* pieces, size_t count);
  void Fail(int error);
  // Lines up what the buffer holds beyond what is lined up already.
  void QueueBuffer();

  intptr_t file_;
  bool ok_ = true;
  int error_ = 0;
  std::vector<unsigned char> buffer_;  // never grows past its first room: pieces point into it
  std::vector<Piece> pieces_;          // what the next Flush writes, in order
  size_t queued_ = 0;                  // the start of the buffer not yet in pieces_
};

// How a write reaches the disk. kAlone: leftovers in the folder are removed
// first and the file is synced before its rename. kInRun: the run that holds
// the game removed the folder's leftovers when it first wrote there and syncs
// every file it wrote together at its end: a sync per file waits for the
// disk to empty its cache each time and made a run over 2,000 plugins wait for
// the disk most of its time. kScratch: a file thrown away soon (a preview's):
// never worth a sync, and removed fastest while the disk has not started on it.
enum class WriteMode { kAlone, kInRun, kScratch };

// Writes a file through a temporary file in the same folder that is renamed
// over the target only when every byte was written, so a failure never leaves
// half a file. On failure the target stays as it was and the result says why.
//
// A target reached through symbolic links is written at the file they point
// to, and the links stay links; a replaced file keeps its owner, group and
// mode; a read-only target (see WriteRefusal) is never replaced. Temporary
// files are named ".NAME.XXXXXX.modrake-partial"; leftovers of that pattern in
// the folder (from a run that was killed) are removed first.
WriteResult WriteFileAtomically(const std::filesystem::path& target,
                                const std::function<void(FileWriter&)>& produce,
                                WriteMode mode = WriteMode::kAlone);

WriteResult WriteFileAtomically(const std::filesystem::path& target, const std::string& bytes);

// The file a write to path lands on: path itself, or the file its symbolic
// links lead to.
std::filesystem::path ResolveWriteTarget(const std::filesystem::path& path);

// Whether a name has the pattern of the temporary files of a write.
bool IsTemporaryFileName(std::string_view name);
// Removes the temporary files of writes that no running program holds.
void RemoveTemporaryLeftovers(const std::filesystem::path& folder);

// Waits until the files' data is on disk; quietly skips one that cannot be
// opened.
void SyncFiles(const std::vector<std::filesystem::path>& paths);

// The whole content of a file; none when it cannot be read.
std::optional<std::string> ReadFileBytes(const std::filesystem::path& path);
// Checksum64 of the whole content of a file, read a block of
// kChecksumBlock bytes at a time; none when it cannot be read.
constexpr size_t kChecksumBlock = 256 * 1024;
std::optional<uint64_t> ChecksumFile(const std::filesystem::path& path);

// The permission bits of a file (07777); Windows has only read-only (0444)
// or not (0666).
std::optional<unsigned> FileMode(const std::filesystem::path& path);
WriteResult SetFileMode(const std::filesystem::path& path, unsigned mode);
// How many bytes a file takes on disk.
uint64_t DiskBytes(const std::filesystem::path& path);
// Copies a file into a new file (a clone where the file system shares
// blocks), which SyncFiles puts on disk, a block at a time; checksum gets the
// Checksum64 of what was copied.
WriteResult CopyToNewFile(const std::filesystem::path& from, const std::filesystem::path& to,
                          uint64_t& checksum);
// Appends text to a file, made (private) when missing; with sync, it is on
// disk when this returns.
WriteResult AppendToFile(const std::filesystem::path& path, std::string_view text, bool sync);

// Whether path is a regular file this process may read.
bool IsReadableFile(const std::filesystem::path& path);
// Why this process may not read the file at path, in the system's words;
// empty when it may.
std::string ReadAccessProblem(const std::filesystem::path& path);

// Writes bytes over the start of an existing file in place, when accept
// agrees to the first headSize bytes the file holds now; false when it cannot
// be opened, accept refuses, or the write does not complete. Only a file the
// program owns (or any, run as root) is written in place: only its owner may
// give it back its time, and the caller's whole write of another user's file
// makes the replacement ours.
bool OverwriteFileStart(const std::filesystem::path& path, size_t headSize,
                        const std::function<bool(const unsigned char* head)>& accept,
                        std::string_view bytes);

// A text file opened with the C library (mode as for fopen); on Windows its
// lines end in CR LF there. Null with errno set when it cannot be opened.
std::FILE* OpenTextFile(const std::filesystem::path& path, const char* mode);

}  // namespace modrake
