#include <windows.h>

#include <cerrno>
#include <filesystem>

#include "platform/windows_error.hpp"

namespace modrake {

namespace {
struct ErrorPair {
  DWORD windows;
  int posix;
};
constexpr ErrorPair kErrors[] = {
    {ERROR_FILE_NOT_FOUND, ENOENT},    {ERROR_PATH_NOT_FOUND, ENOENT},
    {ERROR_INVALID_NAME, ENOENT},      {ERROR_BAD_NETPATH, ENOENT},
    {ERROR_ACCESS_DENIED, EACCES},     {ERROR_SHARING_VIOLATION, EACCES},
    {ERROR_LOCK_VIOLATION, EACCES},    {ERROR_WRITE_PROTECT, EROFS},
    {ERROR_DISK_FULL, ENOSPC},         {ERROR_HANDLE_DISK_FULL, ENOSPC},
    {ERROR_ALREADY_EXISTS, EEXIST},    {ERROR_FILE_EXISTS, EEXIST},
    {ERROR_NOT_ENOUGH_MEMORY, ENOMEM}, {ERROR_OUTOFMEMORY, ENOMEM},
    {ERROR_DIRECTORY, ENOTDIR},        {ERROR_FILENAME_EXCED_RANGE, ENAMETOOLONG},
};
}  // namespace

int ErrnoOf(unsigned long error) {
  for (const ErrorPair& pair : kErrors) {
    if (pair.windows == error) return pair.posix;
  }
  return EIO;
}

WriteResult WindowsErrorResult(unsigned long error) {
  for (const ErrorPair& pair : kErrors) {
    if (pair.windows == error) return WriteResult::FromError(pair.posix);
  }
  wchar_t* text = nullptr;
  DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring words = length > 0 ? std::wstring(text, length) : std::wstring();
  LocalFree(text);
  // The system ends its sentences with a full stop and a line break.
  while (!words.empty() && (words.back() == L'\n' || words.back() == L'\r' ||
                            words.back() == L'.' || words.back() == L' ')) {
    words.pop_back();
  }
  if (words.empty()) return WriteResult::Failed("error " + std::to_string(error));
  return WriteResult::Failed(std::filesystem::path(words).string());
}

}  // namespace modrake
