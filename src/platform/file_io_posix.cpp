#include <fcntl.h>
#include <linux/fs.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <set>
#include <system_error>

#include "platform/checksum.hpp"
#include "platform/file_io.hpp"
#include "platform/file_io_system.hpp"

// The file services on Linux.

namespace modrake {

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

WriteResult SetFileTimes(const std::filesystem::path& path, const FileTimes& times) {
  struct timespec ts[2];
  ts[0].tv_sec = times.accessSec;
  ts[0].tv_nsec = times.accessNsec;
  ts[1].tv_sec = times.modifySec;
  ts[1].tv_nsec = times.modifyNsec;
  if (::utimensat(AT_FDCWD, path.c_str(), ts, 0) != 0) return WriteResult::FromError(errno);
  return {};
}

std::optional<FileReader::Opened> FileReader::OpenForReading(const std::filesystem::path& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return std::nullopt;
  }
  return Opened{fd, static_cast<uint64_t>(st.st_size)};
}

void FileReader::CloseFile(intptr_t file) {
  ::close(static_cast<int>(file));
}

int64_t FileReader::ReadSome(void* out, size_t count) {
  for (;;) {
    ssize_t got = ::read(static_cast<int>(file_), out, count);
    if (got >= 0 || errno != EINTR) return got;
  }
}

bool FileReader::SeekTo(uint64_t position) {
  return ::lseek(static_cast<int>(file_), static_cast<off_t>(position), SEEK_SET) >= 0;
}

bool FileWriter::WritePieces(Piece* pieces, size_t count) {
  iovec vectors[kMostPieces];
  while (count > 0) {
    const size_t n = std::min(count, kMostPieces);
    for (size_t i = 0; i < n; ++i) {
      vectors[i] = {const_cast<unsigned char*>(pieces[i].data), pieces[i].size};
    }
    ssize_t put = ::writev(static_cast<int>(file_), vectors, static_cast<int>(n));
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) {
      Fail(put == 0 ? ENOSPC : errno != 0 ? errno : EIO);
      return false;
    }
    // What the system took: whole pieces first.
    auto left = static_cast<size_t>(put);
    while (count > 0 && left >= pieces->size) {
      left -= pieces->size;
      ++pieces;
      --count;
    }
    if (count > 0) {
      pieces->data += left;
      pieces->size -= left;
    }
  }
  return true;
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

namespace {

constexpr int kMostLinks = 40;

// A new temporary file in folder, locked; -1 with errno set on failure.
int CreateTemporaryFile(const std::filesystem::path& folder, const std::string& targetName,
                        std::string& pathOut) {
  std::string name = ".";
  name.append(targetName.substr(0, kTemporaryTargetNameLimit));
  name.push_back('.');
  name.append(kTemporaryRandomLength, 'X');
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

WriteResult ReplaceThroughTemporary(const std::filesystem::path& target,
                                    const std::filesystem::path& folder,
                                    const std::function<void(FileWriter&)>& produce,
                                    WriteMode mode) {
  std::string temporary;
  int fd = CreateTemporaryFile(folder, target.filename().string(), temporary);
  if (fd < 0) return WriteResult::FromError(errno);
  int error = 0;
  try {
    FileWriter writer(fd);
    produce(writer);
    if (!writer.Flush()) error = writer.Error() != 0 ? writer.Error() : EIO;
  } catch (...) {
    // A producer that gives up leaves neither half a file nor a stray one.
    ::unlink(temporary.c_str());
    ::close(fd);
    throw;
  }
  // The data must be on disk before the rename makes it the plugin; in a
  // run, its writing only starts here and the run's end waits for it.
  if (error == 0 && mode == WriteMode::kAlone && ::fdatasync(fd) != 0) error = errno;
  if (error == 0 && mode == WriteMode::kInRun) ::sync_file_range(fd, 0, 0, SYNC_FILE_RANGE_WRITE);
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

void SyncFiles(const std::vector<std::filesystem::path>& paths) {
  // Every sync of a file waits for the disk to empty its cache, a few
  // milliseconds each: past a handful of files, one sync of each file system
  // that holds them is faster, though it also writes what other programs left
  // unwritten there.
  constexpr size_t kFilesSyncedOneByOne = 16;
  std::set<dev_t> synced;
  for (const auto& path : paths) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || synced.count(st.st_dev)) continue;
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) continue;
    if (paths.size() <= kFilesSyncedOneByOne) {
      ::fdatasync(fd);
    } else if (::syncfs(fd) == 0) {
      synced.insert(st.st_dev);
    }
    ::close(fd);
  }
}

std::string ReadAccessProblem(const std::filesystem::path& path) {
  return ::access(path.c_str(), R_OK) == 0 ? std::string() : std::strerror(errno);
}

bool OverwriteFileStart(const std::filesystem::path& path, size_t headSize,
                        const std::function<bool(const unsigned char* head)>& accept,
                        std::string_view bytes) {
  struct stat owned {};
  if (::stat(path.c_str(), &owned) != 0 || (owned.st_uid != ::geteuid() && ::geteuid() != 0)) {
    return false;
  }
  int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) return false;
  std::vector<unsigned char> head(headSize);
  bool written = ::pread(fd, head.data(), headSize, 0) == static_cast<ssize_t>(headSize) &&
                 accept(head.data()) &&
                 ::pwrite(fd, bytes.data(), bytes.size(), 0) == static_cast<ssize_t>(bytes.size());
  ::close(fd);
  return written;
}

std::optional<unsigned> FileMode(const std::filesystem::path& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return std::nullopt;
  return static_cast<unsigned>(st.st_mode & 07777);
}

WriteResult SetFileMode(const std::filesystem::path& path, unsigned mode) {
  if (::chmod(path.c_str(), static_cast<mode_t>(mode)) != 0) return WriteResult::FromError(errno);
  return {};
}

uint64_t DiskBytes(const std::filesystem::path& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0) return 0;
  return static_cast<uint64_t>(st.st_blocks) * 512;
}

namespace {
bool WriteAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    ssize_t put = ::write(fd, data, size);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    data += put;
    size -= static_cast<size_t>(put);
  }
  return true;
}
}  // namespace

WriteResult CopyToNewFile(const std::filesystem::path& from, const std::filesystem::path& to,
                          uint64_t& checksum) {
  int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return WriteResult::FromError(errno);
  int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (out < 0) {
    int error = errno;
    ::close(in);
    return WriteResult::FromError(error);
  }
  struct stat st {};
  int error = ::fstat(in, &st) == 0 ? 0 : errno;
  // A clone shares the blocks; the bytes are still read for their checksum.
  bool cloned = error == 0 && ::ioctl(out, FICLONE, in) == 0;
  Checksum64Stream sum(static_cast<uint64_t>(st.st_size));
  uint64_t copied = 0;
  char buffer[1 << 16];
  while (error == 0) {
    ssize_t got = ::read(in, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) error = errno;
    if (got <= 0) break;
    sum.Add(buffer, static_cast<size_t>(got));
    copied += static_cast<uint64_t>(got);
    if (!cloned && !WriteAll(out, buffer, static_cast<size_t>(got))) error = errno ? errno : EIO;
  }
  // A file that changed its size while it was copied has no true copy.
  if (error == 0 && copied != static_cast<uint64_t>(st.st_size)) error = EIO;
  checksum = sum.Value();
  ::close(in);
  ::close(out);
  if (error != 0) {
    ::unlink(to.c_str());
    return WriteResult::FromError(error);
  }
  return {};
}

WriteResult AppendToFile(const std::filesystem::path& path, std::string_view text, bool sync) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
  if (fd < 0) return WriteResult::FromError(errno);
  int error = 0;
  if (!WriteAll(fd, text.data(), text.size())) error = errno ? errno : EIO;
  if (error == 0 && sync && ::fdatasync(fd) != 0) error = errno;
  ::close(fd);
  return error == 0 ? WriteResult() : WriteResult::FromError(error);
}

std::FILE* OpenTextFile(const std::filesystem::path& path, const char* mode) {
  return std::fopen(path.c_str(), mode);
}

}  // namespace modrake
