#include "platform/file_io.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/checksum.hpp"
#include "platform/file_io_system.hpp"

namespace modrake {

namespace {
constexpr size_t kReadBufferSize = 256 * 1024;
constexpr size_t kRandomReadAhead = 4 * 1024;
constexpr size_t kWriteBufferSize = 1024 * 1024;

bool IsRandomChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}
}  // namespace

WriteResult SetFileTime(const std::filesystem::path& path, int64_t seconds) {
  return SetFileTimes(path, FileTimes{seconds, 0, seconds, 0});
}

bool IsReadableFile(const std::filesystem::path& path) {
  return QueryFileStatus(path) && ReadAccessProblem(path).empty();
}

FileReader::~FileReader() {
  Close();
}

bool FileReader::Open(const std::filesystem::path& path) {
  Close();
  auto opened = OpenForReading(path);
  if (!opened) return false;
  file_ = opened->file;
  size_ = opened->size;
  position_ = 0;
  bufferPos_ = bufferLen_ = 0;
  // Start small: many files are opened only for their header record.
  readAhead_ = kRandomReadAhead;
  buffer_ = std::make_unique_for_overwrite<unsigned char[]>(kReadBufferSize);
  return true;
}

void FileReader::OpenMemory(const void* bytes, size_t size) {
  Close();
  // The block is the buffer, filled from start to end.
  static const unsigned char kNothing = 0;
  memory_ = size ? static_cast<const unsigned char*>(bytes) : &kNothing;
  size_ = bufferLen_ = size;
}

void FileReader::Close() {
  if (file_ != kNoFile) CloseFile(file_);
  file_ = kNoFile;
  memory_ = nullptr;
  position_ = size_ = 0;
  bufferPos_ = bufferLen_ = 0;
  buffer_.reset();
}

size_t FileReader::Read(void* out, size_t count) {
  if (!IsOpen()) return 0;
  auto* dst = static_cast<unsigned char*>(out);
  size_t done = 0;
  size_t buffered = bufferLen_ - bufferPos_;
  if (buffered > 0) {
    size_t take = buffered < count ? buffered : count;
    std::memcpy(dst, Bytes() + bufferPos_, take);
    bufferPos_ += take;
    done = take;
  }
  while (done < count && !memory_) {
    size_t want = count - done;
    if (want >= readAhead_) {
      // Large records go straight into their own buffer; the buffer then no
      // longer holds the bytes just before the position, so it is dropped.
      bufferPos_ = bufferLen_ = 0;
      int64_t got = ReadSome(dst + done, want);
      if (got <= 0) break;
      done += static_cast<size_t>(got);
    } else {
      int64_t got = ReadSome(buffer_.get(), readAhead_);
      if (got <= 0) break;
      bufferLen_ = static_cast<size_t>(got);
      if (readAhead_ < kReadBufferSize) readAhead_ *= 2;
      size_t take = want < bufferLen_ ? want : bufferLen_;
      std::memcpy(dst + done, buffer_.get(), take);
      bufferPos_ = take;
      done += take;
    }
  }
  position_ += done;
  return done;
}

const unsigned char* FileReader::Borrow(size_t count) {
  if (!IsOpen()) return nullptr;
  size_t buffered = bufferLen_ - bufferPos_;
  if (memory_ && buffered < count) return nullptr;
  if (!memory_ && count > kReadBufferSize) return nullptr;
  if (buffered < count) {
    // What is left goes to the front and the rest is read behind it.
    std::memmove(buffer_.get(), buffer_.get() + bufferPos_, buffered);
    bufferPos_ = 0;
    bufferLen_ = buffered;
    while (bufferLen_ < count) {
      size_t want = std::max(readAhead_, count - bufferLen_);
      int64_t got =
          ReadSome(buffer_.get() + bufferLen_, std::min(want, kReadBufferSize - bufferLen_));
      if (got <= 0) return nullptr;
      bufferLen_ += static_cast<size_t>(got);
    }
    if (readAhead_ < kReadBufferSize) readAhead_ *= 2;
  }
  const unsigned char* bytes = Bytes() + bufferPos_;
  bufferPos_ += count;
  position_ += count;
  return bytes;
}

void FileReader::Skip(uint64_t count) {
  if (!IsOpen()) return;
  size_t buffered = bufferLen_ - bufferPos_;
  if (count <= buffered) {
    bufferPos_ += static_cast<size_t>(count);
    position_ += count;
    return;
  }
  Seek(position_ + count);
}

bool FileReader::Seek(uint64_t position) {
  if (!IsOpen()) return false;
  if (memory_) {
    // Past the end there is nothing more to read.
    bufferPos_ = static_cast<size_t>(std::min<uint64_t>(position, size_));
    position_ = position;
    return true;
  }
  // A target inside the buffer needs no system call.
  uint64_t bufferStart = position_ - bufferPos_;
  if (position >= bufferStart && position <= bufferStart + bufferLen_) {
    bufferPos_ = static_cast<size_t>(position - bufferStart);
    position_ = position;
    return true;
  }
  if (!SeekTo(position)) return false;
  position_ = position;
  bufferPos_ = bufferLen_ = 0;
  readAhead_ = kRandomReadAhead;
  return true;
}

void FileWriter::Fail(int error) {
  ok_ = false;
  error_ = error;
}

void FileWriter::Write(const void* data, size_t count) {
  if (!ok_) return;
  auto* src = static_cast<const unsigned char*>(data);
  // Full, or a large piece that must follow what is lined up.
  if (buffer_.size() + count >= kWriteBufferSize && !Flush()) return;
  if (count >= kWriteBufferSize) {
    Piece whole{src, count};
    WritePieces(&whole, 1);
    return;
  }
  if (buffer_.capacity() < kWriteBufferSize) buffer_.reserve(kWriteBufferSize);
  buffer_.insert(buffer_.end(), src, src + count);
}

void FileWriter::WriteInPlace(const void* data, size_t count) {
  // Below this, a copy costs less than a piece of its own.
  constexpr size_t kCopiedBelow = 256;
  if (count < kCopiedBelow) {
    Write(data, count);
    return;
  }
  if (!ok_) return;
  QueueBuffer();
  pieces_.push_back({static_cast<const unsigned char*>(data), count});
  if (pieces_.size() + 1 >= kMostPieces) Flush();
}

void FileWriter::QueueBuffer() {
  if (buffer_.size() <= queued_) return;
  pieces_.push_back({buffer_.data() + queued_, buffer_.size() - queued_});
  queued_ = buffer_.size();
}

bool FileWriter::Flush() {
  QueueBuffer();
  if (ok_ && !pieces_.empty()) WritePieces(pieces_.data(), pieces_.size());
  pieces_.clear();
  buffer_.clear();
  queued_ = 0;
  return ok_;
}

WriteResult WriteResult::FromError(int error) {
  return Failed(std::strerror(error != 0 ? error : EIO));
}

bool IsTemporaryFileName(std::string_view name) {
  const size_t tail = 1 + kTemporaryRandomLength + kTemporarySuffixLength;
  if (name.size() < 1 + 1 + tail || name.front() != '.') return false;
  std::string_view end = name.substr(name.size() - tail);
  if (end.front() != '.' || end.substr(1 + kTemporaryRandomLength) != kTemporarySuffix)
    return false;
  for (char c : end.substr(1, kTemporaryRandomLength)) {
    if (!IsRandomChar(c)) return false;
  }
  return true;
}

void RemoveTemporaryLeftovers(const std::filesystem::path& folder) {
  std::error_code ec;
  std::filesystem::directory_iterator it(folder.empty() ? "." : folder, ec);
  for (; !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
    if (IsTemporaryFileName(it->path().filename().string())) RemoveIfAbandoned(it->path());
  }
}

WriteResult WriteFileAtomically(const std::filesystem::path& path,
                                const std::function<void(FileWriter&)>& produce, WriteMode mode) {
  // A link stays a link: the file it points to is replaced.
  const std::filesystem::path target = ResolveWriteTarget(path);
  if (std::string refusal = WriteRefusal(target); !refusal.empty()) {
    return WriteResult::Refused(refusal);
  }
  std::filesystem::path folder = target.parent_path();
  if (folder.empty()) folder = ".";
  if (mode == WriteMode::kAlone) RemoveTemporaryLeftovers(folder);
  return ReplaceThroughTemporary(target, folder, produce, mode);
}

WriteResult WriteFileAtomically(const std::filesystem::path& target, const std::string& bytes) {
  return WriteFileAtomically(target, [&](FileWriter& w) { w.Write(bytes.data(), bytes.size()); });
}

std::optional<std::string> ReadFileBytes(const std::filesystem::path& path) {
  FileReader reader;
  if (!reader.Open(path)) return std::nullopt;
  std::string bytes(reader.Size(), '\0');
  if (reader.Read(bytes.data(), bytes.size()) != bytes.size()) return std::nullopt;
  return bytes;
}

std::optional<uint64_t> ChecksumFile(const std::filesystem::path& path) {
  // One small block over and over: reading a large plugin whole cost more
  // in fresh pages than the checksum itself.
  FileReader reader;
  if (!reader.Open(path)) return std::nullopt;
  auto block = std::make_unique_for_overwrite<unsigned char[]>(kChecksumBlock);
  Checksum64Stream sum(reader.Size());
  for (uint64_t left = reader.Size(); left > 0;) {
    size_t want = static_cast<size_t>(std::min<uint64_t>(left, kChecksumBlock));
    if (reader.Read(block.get(), want) != want) return std::nullopt;
    sum.Add(block.get(), want);
    left -= want;
  }
  return sum.Value();
}

}  // namespace modrake
