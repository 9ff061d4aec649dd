#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <system_error>

#include "platform/checksum.hpp"
#include "platform/file_io.hpp"
#include "platform/file_io_system.hpp"
#include "platform/file_names.hpp"
#include "platform/windows_error.hpp"

// The file services on Windows: wide paths, times in 100 ns steps, and a
// replacement that waits a while for a program that holds the file open.

namespace modrake {

namespace {

// FILETIME counts 100 ns steps from 1601; the program counts from 1970.
constexpr int64_t kEpochSteps = 116444736000000000LL;
constexpr int64_t kStepsPerSecond = 10000000;

void FromFileTime(const FILETIME& time, int64_t& sec, int64_t& nsec) {
  ULARGE_INTEGER value;
  value.LowPart = time.dwLowDateTime;
  value.HighPart = time.dwHighDateTime;
  int64_t steps = static_cast<int64_t>(value.QuadPart) - kEpochSteps;
  sec = steps / kStepsPerSecond;
  int64_t rest = steps % kStepsPerSecond;
  if (rest < 0) {
    rest += kStepsPerSecond;
    --sec;
  }
  nsec = rest * 100;
}

FILETIME ToFileTime(int64_t sec, int64_t nsec) {
  ULARGE_INTEGER value;
  value.QuadPart = static_cast<uint64_t>(sec * kStepsPerSecond + nsec / 100 + kEpochSteps);
  FILETIME time;
  time.dwLowDateTime = value.LowPart;
  time.dwHighDateTime = value.HighPart;
  return time;
}

HANDLE AsHandle(intptr_t file) {
  return reinterpret_cast<HANDLE>(file);
}

// Every handle shares reading, writing and deleting, so that a file this run
// reads can still be replaced by its own write.
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

HANDLE OpenExisting(const std::filesystem::path& path, DWORD access, DWORD flags = 0) {
  return CreateFileW(path.c_str(), access, kShareAll, nullptr, OPEN_EXISTING,
                     FILE_ATTRIBUTE_NORMAL | flags, nullptr);
}

// Reads count bytes at offset; false when fewer are there.
bool ReadAt(HANDLE file, void* out, size_t count, uint64_t offset) {
  auto* bytes = static_cast<unsigned char*>(out);
  while (count > 0) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD got = 0;
    DWORD want = static_cast<DWORD>(std::min<size_t>(count, 1u << 30));
    if (!ReadFile(file, bytes, want, &got, &at) || got == 0) return false;
    bytes += got;
    count -= got;
    offset += got;
  }
  return true;
}

std::optional<WIN32_FILE_ATTRIBUTE_DATA> Attributes(const std::filesystem::path& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return std::nullopt;
  return data;
}

bool IsRegular(DWORD attributes) {
  return (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) == 0;
}

// Another program holds the file in a way that keeps it from being replaced
// now; it may let go in a moment.
bool IsHeldByAnother(DWORD error) {
  return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION ||
         error == ERROR_ACCESS_DENIED || error == ERROR_UNABLE_TO_REMOVE_REPLACED ||
         error == ERROR_USER_MAPPED_FILE;
}

}  // namespace

std::optional<FileStatus> QueryFileStatus(const std::filesystem::path& path) {
  auto data = Attributes(path);
  if (!data || !IsRegular(data->dwFileAttributes)) return std::nullopt;
  FileStatus status;
  status.size = static_cast<uint64_t>(data->nFileSizeHigh) << 32 | data->nFileSizeLow;
  FromFileTime(data->ftLastWriteTime, status.modified, status.modifiedNsec);
  return status;
}

std::optional<FileTimes> GetFileTimes(const std::filesystem::path& path) {
  auto data = Attributes(path);
  if (!data) return std::nullopt;
  FileTimes times;
  FromFileTime(data->ftLastAccessTime, times.accessSec, times.accessNsec);
  FromFileTime(data->ftLastWriteTime, times.modifySec, times.modifyNsec);
  return times;
}

WriteResult SetFileTimes(const std::filesystem::path& path, const FileTimes& times) {
  HANDLE file = OpenExisting(path, FILE_WRITE_ATTRIBUTES, FILE_FLAG_BACKUP_SEMANTICS);
  if (file == INVALID_HANDLE_VALUE) return WindowsErrorResult(GetLastError());
  FILETIME access = ToFileTime(times.accessSec, times.accessNsec);
  FILETIME modify = ToFileTime(times.modifySec, times.modifyNsec);
  WriteResult result;
  if (!::SetFileTime(file, nullptr, &access, &modify)) result = WindowsErrorResult(GetLastError());
  CloseHandle(file);
  return result;
}

std::optional<FileReader::Opened> FileReader::OpenForReading(const std::filesystem::path& path) {
  HANDLE file = OpenExisting(path, GENERIC_READ, FILE_FLAG_SEQUENTIAL_SCAN);
  if (file == INVALID_HANDLE_VALUE) {
    errno = ErrnoOf(GetLastError());
    return std::nullopt;
  }
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(file, &info) || !IsRegular(info.dwFileAttributes) ||
      GetFileType(file) != FILE_TYPE_DISK) {
    CloseHandle(file);
    errno = EISDIR;
    return std::nullopt;
  }
  uint64_t size = static_cast<uint64_t>(info.nFileSizeHigh) << 32 | info.nFileSizeLow;
  return Opened{reinterpret_cast<intptr_t>(file), size};
}

void FileReader::CloseFile(intptr_t file) {
  CloseHandle(AsHandle(file));
}

int64_t FileReader::ReadSome(void* out, size_t count) {
  DWORD got = 0;
  DWORD want = static_cast<DWORD>(std::min<size_t>(count, 1u << 30));
  if (!ReadFile(AsHandle(file_), out, want, &got, nullptr)) return -1;
  return got;
}

bool FileReader::SeekTo(uint64_t position) {
  LARGE_INTEGER to;
  to.QuadPart = static_cast<LONGLONG>(position);
  return SetFilePointerEx(AsHandle(file_), to, nullptr, FILE_BEGIN) != 0;
}

bool FileWriter::WritePieces(Piece* pieces, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    for (size_t done = 0; done < pieces[i].size;) {
      DWORD put = 0;
      DWORD want = static_cast<DWORD>(std::min<size_t>(pieces[i].size - done, 1u << 30));
      if (!WriteFile(AsHandle(file_), pieces[i].data + done, want, &put, nullptr) || put == 0) {
        DWORD error = GetLastError();
        Fail(static_cast<int>(error != 0 ? error : ERROR_WRITE_FAULT));
        return false;
      }
      done += put;
    }
  }
  return true;
}

std::string WriteRefusal(const std::filesystem::path& path) {
  auto data = Attributes(path);
  if (!data || !IsRegular(data->dwFileAttributes)) return {};
  return (data->dwFileAttributes & FILE_ATTRIBUTE_READONLY) ? std::string("it is read-only")
                                                            : std::string();
}

namespace {
std::optional<BY_HANDLE_FILE_INFORMATION> Information(HANDLE file) {
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(file, &info)) return std::nullopt;
  return info;
}

FileIdentity IdentityOf(const BY_HANDLE_FILE_INFORMATION& info) {
  return FileIdentity{info.dwVolumeSerialNumber,
                      static_cast<uint64_t>(info.nFileIndexHigh) << 32 | info.nFileIndexLow};
}
}  // namespace

std::optional<FileIdentity> IdentifyFile(const std::filesystem::path& path) {
  // Folders too: their handles need backup semantics.
  HANDLE file = OpenExisting(path, 0, FILE_FLAG_BACKUP_SEMANTICS);
  if (file == INVALID_HANDLE_VALUE) return std::nullopt;
  auto info = Information(file);
  CloseHandle(file);
  if (!info) return std::nullopt;
  return IdentityOf(*info);
}

std::optional<FileFingerprint> FingerprintFile(const std::filesystem::path& path) {
  HANDLE file = OpenExisting(path, GENERIC_READ);
  if (file == INVALID_HANDLE_VALUE) return std::nullopt;
  std::optional<FileFingerprint> print;
  auto info = Information(file);
  FILE_BASIC_INFO basic;
  if (info && IsRegular(info->dwFileAttributes) &&
      GetFileInformationByHandleEx(file, FileBasicInfo, &basic, sizeof basic)) {
    FileFingerprint f;
    f.identity = IdentityOf(*info);
    f.size = static_cast<uint64_t>(info->nFileSizeHigh) << 32 | info->nFileSizeLow;
    FromFileTime(info->ftLastWriteTime, f.modifySec, f.modifyNsec);
    FILETIME change;
    change.dwLowDateTime = static_cast<DWORD>(basic.ChangeTime.QuadPart);
    change.dwHighDateTime = static_cast<DWORD>(basic.ChangeTime.QuadPart >> 32);
    FromFileTime(change, f.changeSec, f.changeNsec);
    // The head and the tail of the file, which overlap in a small one.
    const size_t edge = static_cast<size_t>(std::min<uint64_t>(f.size, kFingerprintEdge));
    std::vector<unsigned char> bytes(2 * edge);
    if (ReadAt(file, bytes.data(), edge, 0) &&
        ReadAt(file, bytes.data() + edge, edge, f.size - edge)) {
      f.edgeChecksum = Checksum64(bytes.data(), bytes.size());
      print = f;
    }
  }
  CloseHandle(file);
  return print;
}

void RemoveIfAbandoned(const std::filesystem::path& path) {
  // Only a file that nobody has open can be opened without sharing; the
  // writer of a temporary file keeps it open until it is renamed.
  HANDLE file = CreateFileW(path.c_str(), DELETE, 0, nullptr, OPEN_EXISTING,
                            FILE_FLAG_DELETE_ON_CLOSE | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
}

namespace {

// A new temporary file in folder, open for writing and shared with nobody;
// INVALID_HANDLE_VALUE with the error in GetLastError on failure.
HANDLE CreateTemporaryFile(const std::filesystem::path& folder, const std::string& targetName,
                           std::filesystem::path& pathOut) {
  static constexpr char kLetters[] =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  LARGE_INTEGER counter;
  QueryPerformanceCounter(&counter);
  uint64_t seed = static_cast<uint64_t>(counter.QuadPart) ^
                  (static_cast<uint64_t>(GetCurrentProcessId()) << 32);
  for (int attempt = 0; attempt < 16; ++attempt) {
    std::string name = ".";
    name.append(targetName.substr(0, kTemporaryTargetNameLimit));
    name.push_back('.');
    for (size_t i = 0; i < kTemporaryRandomLength; ++i) {
      seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
      name.push_back(kLetters[(seed >> 33) % (sizeof kLetters - 1)]);
    }
    name.append(kTemporarySuffix);
    pathOut = folder / TextPath(name);
    HANDLE file = CreateFileW(pathOut.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS) return file;
  }
  return INVALID_HANDLE_VALUE;
}

// Puts the temporary file in the target's place in one step. A program that
// has the target open without letting others delete it (an editor, a virus
// scanner) holds it for a moment only, as a rule: wait a few seconds for it.
DWORD ReplaceWith(const std::filesystem::path& temporary, const std::filesystem::path& target) {
  DWORD error = 0;
  for (int attempt = 0; attempt < 20; ++attempt) {
    if (attempt > 0) Sleep(attempt < 5 ? 50 : 250);
    DWORD attributes = GetFileAttributesW(target.c_str());
    // ReplaceFile keeps the replaced file's attributes and security; a file
    // that does not exist yet is only renamed.
    bool done = attributes == INVALID_FILE_ATTRIBUTES
                    ? MoveFileExW(temporary.c_str(), target.c_str(),
                                  MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)
                    : ReplaceFileW(target.c_str(), temporary.c_str(), nullptr,
                                   REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr);
    if (done) return 0;
    error = GetLastError();
    if (!IsHeldByAnother(error)) return error;
  }
  return error;
}

}  // namespace

std::filesystem::path ResolveWriteTarget(const std::filesystem::path& path) {
  // Links on Windows need rights a player rarely has; a path is its own target.
  return path;
}

WriteResult ReplaceThroughTemporary(const std::filesystem::path& target,
                                    const std::filesystem::path& folder,
                                    const std::function<void(FileWriter&)>& produce,
                                    WriteMode mode) {
  // A folder is never replaced by a file.
  if (auto data = Attributes(target); data && (data->dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
    return WriteResult::FromError(EISDIR);
  }
  std::filesystem::path temporary;
  HANDLE file = CreateTemporaryFile(folder, target.filename().string(), temporary);
  if (file == INVALID_HANDLE_VALUE) return WindowsErrorResult(GetLastError());
  DWORD error = 0;
  try {
    FileWriter writer(reinterpret_cast<intptr_t>(file));
    produce(writer);
    if (!writer.Flush()) error = writer.Error() != 0 ? writer.Error() : ERROR_WRITE_FAULT;
  } catch (...) {
    // A producer that gives up leaves neither half a file nor a stray one.
    CloseHandle(file);
    DeleteFileW(temporary.c_str());
    throw;
  }
  // The data must be on disk before the rename makes it the plugin; a run
  // syncs what it wrote at its end.
  if (error == 0 && mode == WriteMode::kAlone && !FlushFileBuffers(file)) error = GetLastError();
  CloseHandle(file);
  if (error == 0) error = ReplaceWith(temporary, target);
  if (error != 0) DeleteFileW(temporary.c_str());
  if (error == 0) return {};
  if (IsHeldByAnother(error)) return WriteResult::Failed("it is open in another program");
  return WindowsErrorResult(error);
}

void SyncFiles(const std::vector<std::filesystem::path>& paths) {
  for (const auto& path : paths) {
    HANDLE file = OpenExisting(path, GENERIC_WRITE);
    if (file == INVALID_HANDLE_VALUE) continue;
    FlushFileBuffers(file);
    CloseHandle(file);
  }
}

std::string ReadAccessProblem(const std::filesystem::path& path) {
  HANDLE file = OpenExisting(path, GENERIC_READ);
  if (file == INVALID_HANDLE_VALUE) return WindowsErrorResult(GetLastError()).reason();
  CloseHandle(file);
  return {};
}

std::optional<unsigned> FileMode(const std::filesystem::path& path) {
  auto data = Attributes(path);
  if (!data) return std::nullopt;
  return (data->dwFileAttributes & FILE_ATTRIBUTE_READONLY) ? 0444u : 0666u;
}

WriteResult SetFileMode(const std::filesystem::path& path, unsigned mode) {
  DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return WindowsErrorResult(GetLastError());
  DWORD wanted =
      (mode & 0200) ? attributes & ~FILE_ATTRIBUTE_READONLY : attributes | FILE_ATTRIBUTE_READONLY;
  if (wanted != attributes && !SetFileAttributesW(path.c_str(), wanted)) {
    return WindowsErrorResult(GetLastError());
  }
  return {};
}

uint64_t DiskBytes(const std::filesystem::path& path) {
  auto status = QueryFileStatus(path);
  return status ? status->size : 0;
}

namespace {
bool WriteAll(HANDLE file, const char* data, size_t size) {
  while (size > 0) {
    DWORD put = 0;
    DWORD want = static_cast<DWORD>(std::min<size_t>(size, 1u << 30));
    if (!WriteFile(file, data, want, &put, nullptr) || put == 0) return false;
    data += put;
    size -= put;
  }
  return true;
}
}  // namespace

WriteResult CopyToNewFile(const std::filesystem::path& from, const std::filesystem::path& to,
                          uint64_t& checksum) {
  errno = 0;
  auto bytes = ReadFileBytes(from);
  if (!bytes) return WriteResult::FromError(errno ? errno : EIO);
  checksum = Checksum64(bytes->data(), bytes->size());
  HANDLE file = CreateFileW(to.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return WindowsErrorResult(GetLastError());
  DWORD error = 0;
  if (!WriteAll(file, bytes->data(), bytes->size())) error = GetLastError();
  CloseHandle(file);
  if (error == 0) return {};
  DeleteFileW(to.c_str());
  return WindowsErrorResult(error);
}

WriteResult AppendToFile(const std::filesystem::path& path, std::string_view text, bool sync) {
  HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return WindowsErrorResult(GetLastError());
  DWORD error = 0;
  if (!WriteAll(file, text.data(), text.size()) || (sync && !FlushFileBuffers(file))) {
    error = GetLastError();
  }
  CloseHandle(file);
  return error == 0 ? WriteResult() : WindowsErrorResult(error);
}

bool OverwriteFileStart(const std::filesystem::path& path, size_t headSize,
                        const std::function<bool(const unsigned char* head)>& accept,
                        std::string_view bytes) {
  HANDLE file = OpenExisting(path, GENERIC_READ | GENERIC_WRITE);
  if (file == INVALID_HANDLE_VALUE) return false;
  std::vector<unsigned char> head(headSize);
  DWORD put = 0;
  OVERLAPPED start{};
  bool written = ReadAt(file, head.data(), headSize, 0) && accept(head.data()) &&
                 WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &put, &start) &&
                 put == bytes.size();
  CloseHandle(file);
  return written;
}

std::FILE* OpenTextFile(const std::filesystem::path& path, const char* mode) {
  std::wstring wideMode(mode, mode + std::strlen(mode));
  return _wfopen(path.c_str(), wideMode.c_str());
}

}  // namespace modrake
