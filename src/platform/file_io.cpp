#include "platform/file_io.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <system_error>

#include "platform/checksum.hpp"

namespace modrake {

namespace {
constexpr size_t kReadBufferSize = 256 * 1024;
constexpr size_t kRandomReadAhead = 4 * 1024;
constexpr size_t kWriteBufferSize = 1024 * 1024;
}  // namespace

std::optional<FileStatus> QueryFileStatus(const std::filesystem::path& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  return FileStatus{static_cast<uint64_t>(st.st_size), static_cast<int64_t>(st.st_mtim.tv_sec),
                    static_cast<int64_t>(st.st_mtim.tv_nsec)};
}

std::optional<FileTimes> GetFileTimes(const std::filesystem::path& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return std::nullopt;
  return FileTimes{st.st_atim.tv_sec, st.st_atim.tv_nsec, st.st_mtim.tv_sec, st.st_mtim.tv_nsec};
}

bool SetFileTimes(const std::filesystem::path& path, const FileTimes& times) {
  struct timespec ts[2];
  ts[0].tv_sec = times.accessSec;
  ts[0].tv_nsec = times.accessNsec;
  ts[1].tv_sec = times.modifySec;
  ts[1].tv_nsec = times.modifyNsec;
  return ::utimensat(AT_FDCWD, path.c_str(), ts, 0) == 0;
}

bool SetFileTime(const std::filesystem::path& path, int64_t seconds) {
  return SetFileTimes(path, FileTimes{seconds, 0, seconds, 0});
}

FileReader::~FileReader() {
  Close();
}

bool FileReader::Open(const std::filesystem::path& path) {
  Close();
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return false;
  }
  fd_ = fd;
  size_ = static_cast<uint64_t>(st.st_size);
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
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
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
      ssize_t got = ::read(fd_, dst + done, want);
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) break;
      done += static_cast<size_t>(got);
    } else {
      ssize_t got = ::read(fd_, buffer_.get(), readAhead_);
      if (got < 0 && errno == EINTR) continue;
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
      ssize_t got =
          ::read(fd_, buffer_.get() + bufferLen_, std::min(want, kReadBufferSize - bufferLen_));
      if (got < 0 && errno == EINTR) continue;
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
  if (::lseek(fd_, static_cast<off_t>(position), SEEK_SET) < 0) return false;
  position_ = position;
  bufferPos_ = bufferLen_ = 0;
  readAhead_ = kRandomReadAhead;
  return true;
}

void FileWriter::Fail(int error) {
  ok_ = false;
  error_ = error != 0 ? error : EIO;
}

void FileWriter::Write(const void* data, size_t count) {
  if (!ok_) return;
  auto* src = static_cast<const unsigned char*>(data);
  if (buffer_.size() + count > kWriteBufferSize) {
    if (!Flush()) return;
  }
  if (count >= kWriteBufferSize) {
    size_t done = 0;
    while (done < count) {
      ssize_t put = ::write(fd_, src + done, count - done);
      if (put < 0 && errno == EINTR) continue;
      if (put <= 0) {
        Fail(put < 0 ? errno : ENOSPC);
        return;
      }
      done += static_cast<size_t>(put);
    }
    return;
  }
  buffer_.insert(buffer_.end(), src, src + count);
}

bool FileWriter::Flush() {
  size_t done = 0;
  while (ok_ && done < buffer_.size()) {
    ssize_t put = ::write(fd_, buffer_.data() + done, buffer_.size() - done);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0)
      Fail(put < 0 ? errno : ENOSPC);
    else
      done += static_cast<size_t>(put);
  }
  buffer_.clear();
  return ok_;
}

WriteResult WriteResult::FromError(int error) {
  return Failed(std::strerror(error != 0 ? error : EIO));
}

std::string WriteRefusal(const std::filesystem::path& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return {};
  return (st.st_mode & S_IWUSR) ? std::string() : std::string("it is read-only");
}

std::optional<FileIdentity> IdentifyFile(const std::filesystem::path& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return std::nullopt;
  return FileIdentity{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
}

std::optional<FileFingerprint> FingerprintFile(const std::filesystem::path& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  struct stat st {};
  std::optional<FileFingerprint> print;
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
    FileFingerprint f;
    f.identity = {static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
    f.size = static_cast<uint64_t>(st.st_size);
    f.modifySec = st.st_mtim.tv_sec;
    f.modifyNsec = st.st_mtim.tv_nsec;
    f.changeSec = st.st_ctim.tv_sec;
    f.changeNsec = st.st_ctim.tv_nsec;
    // The head and the tail of the file, which overlap in a small one.
    const size_t edge = static_cast<size_t>(std::min<uint64_t>(f.size, kFingerprintEdge));
    std::vector<unsigned char> bytes(2 * edge);
    bool read = ::pread(fd, bytes.data(), edge, 0) == static_cast<ssize_t>(edge) &&
                ::pread(fd, bytes.data() + edge, edge, static_cast<off_t>(f.size - edge)) ==
                    static_cast<ssize_t>(edge);
    if (read) {
      f.edgeChecksum = Checksum64(bytes.data(), bytes.size());
      print = f;
    }
  }
  ::close(fd);
  return print;
}

namespace {
// Temporary files are named "." + the target's name + "." + six characters
// from mkstemps + kTemporarySuffix, so that leftovers of a killed run can be
// told from every file a player keeps.
constexpr char kTemporarySuffix[] = ".modrake-partial";
constexpr size_t kTemporarySuffixLength = sizeof kTemporarySuffix - 1;
constexpr size_t kRandomLength = 6;
// Keeps the temporary name within the file system's limit on name length.
constexpr size_t kTargetNameLimit = 160;
constexpr int kMostLinks = 40;

bool IsRandomChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

// Removes one leftover unless a running writer holds it: writers keep their
// temporary file locked until it has been renamed.
void RemoveIfAbandoned(const std::filesystem::path& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return;
  struct stat held {};
  struct stat named {};
  if (::fstat(fd, &held) == 0 && S_ISREG(held.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
      ::lstat(path.c_str(), &named) == 0 && named.st_dev == held.st_dev &&
      named.st_ino == held.st_ino) {
    ::unlink(path.c_str());
  }
  ::close(fd);
}

// A new temporary file in folder, locked; -1 with errno set on failure.
int CreateTemporaryFile(const std::filesystem::path& folder, const std::string& targetName,
                        std::string& pathOut) {
  std::string name = ".";
  name.append(targetName.substr(0, kTargetNameLimit));
  name.push_back('.');
  name.append(kRandomLength, 'X');
  name.append(kTemporarySuffix);
  for (int attempt = 0; attempt < 8; ++attempt) {
    pathOut = (folder / name).string();
    int fd = ::mkstemps(pathOut.data(), static_cast<int>(kTemporarySuffixLength));
    if (fd < 0) return -1;
    struct stat st {};
    // Another run may have taken the new file for a leftover before the lock.
    if (::flock(fd, LOCK_EX) == 0 && ::fstat(fd, &st) == 0 && st.st_nlink > 0) return fd;
    ::close(fd);
  }
  errno = EEXIST;
  return -1;
}
}  // namespace

bool IsTemporaryFileName(std::string_view name) {
  const size_t tail = 1 + kRandomLength + kTemporarySuffixLength;
  if (name.size() < 1 + 1 + tail || name.front() != '.') return false;
  std::string_view end = name.substr(name.size() - tail);
  if (end.front() != '.' || end.substr(1 + kRandomLength) != kTemporarySuffix) return false;
  for (char c : end.substr(1, kRandomLength)) {
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

std::filesystem::path ResolveWriteTarget(const std::filesystem::path& path) {
  std::filesystem::path target = path;
  for (int hop = 0; hop < kMostLinks; ++hop) {
    struct stat st {};
    if (::lstat(target.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) break;
    std::error_code ec;
    std::filesystem::path next = std::filesystem::read_symlink(target, ec);
    if (ec) break;
    target = next.is_absolute() ? next : target.parent_path() / next;
  }
  return target;
}

WriteResult WriteFileAtomically(const std::filesystem::path& path,
                                const std::function<void(FileWriter&)>& produce) {
  // A link stays a link: the file it points to is replaced.
  const std::filesystem::path target = ResolveWriteTarget(path);
  if (std::string refusal = WriteRefusal(target); !refusal.empty()) {
    return WriteResult::Refused(refusal);
  }
  std::filesystem::path folder = target.parent_path();
  if (folder.empty()) folder = ".";
  RemoveTemporaryLeftovers(folder);
  std::string temporary;
  int fd = CreateTemporaryFile(folder, target.filename().string(), temporary);
  if (fd < 0) return WriteResult::FromError(errno);
  int error = 0;
  try {
    FileWriter writer(fd);
    produce(writer);
    if (!writer.Flush()) error = writer.Error();
  } catch (...) {
    // A producer that gives up leaves neither half a file nor a stray one.
    ::unlink(temporary.c_str());
    ::close(fd);
    throw;
  }
  // The data must be on disk before the rename makes it the plugin.
  if (error == 0 && ::fdatasync(fd) != 0) error = errno;
  struct stat old {};
  if (error == 0 && ::stat(target.c_str(), &old) == 0) {
    // The replacement keeps the old file's owner, group and mode, so that the
    // player's own programs can still write it (mkstemp made it ours and private).
    struct stat now {};
    if (::fstat(fd, &now) == 0 && (now.st_uid != old.st_uid || now.st_gid != old.st_gid) &&
        ::fchown(fd, old.st_uid, old.st_gid) != 0) {
      // Only the owner's own or a privileged run may give a file away.
    }
    ::fchmod(fd, old.st_mode & 07777);
  } else if (error == 0) {
    mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
  }
  if (error == 0 && ::rename(temporary.c_str(), target.c_str()) != 0) error = errno;
  if (error != 0) ::unlink(temporary.c_str());
  // The lock goes with the close, once the temporary name is gone.
  ::close(fd);
  return error == 0 ? WriteResult() : WriteResult::FromError(error);
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

}  // namespace modrake
