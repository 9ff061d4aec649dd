#include <windows.h>

#include <cstdio>
#include <system_error>

#include "platform/file_io.hpp"
#include "platform/run_lock.hpp"

// On Windows a folder cannot be locked itself: each folder has a lock file
// under the temporary folder, named after the folder's identity so that
// every spelling of it meets the same lock, and LockFileEx holds it. The
// lock goes when the handle closes or the process ends.

namespace modrake {

namespace {
std::filesystem::path LockFileOf(const FileIdentity& identity) {
  wchar_t temp[MAX_PATH + 1];
  DWORD length = GetTempPathW(MAX_PATH + 1, temp);
  std::filesystem::path folder = (length > 0 && length <= MAX_PATH ? std::filesystem::path(temp)
                                                                   : std::filesystem::path(L".")) /
                                 "modrake-locks";
  CreateDirectoryW(folder.c_str(), nullptr);
  char name[64];
  std::snprintf(name, sizeof name, "%016llx-%016llx.lock",
                static_cast<unsigned long long>(identity.device),
                static_cast<unsigned long long>(identity.inode));
  return folder / name;
}
}  // namespace

std::optional<RunLock::Opened> RunLock::OpenLock(const std::filesystem::path& folder) {
  std::error_code ec;
  if (!std::filesystem::is_directory(folder, ec)) return std::nullopt;
  auto identity = IdentifyFile(folder);
  if (!identity) return std::nullopt;
  HANDLE file = CreateFileW(LockFileOf(*identity).c_str(), GENERIC_READ | GENERIC_WRITE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::nullopt;
  return Opened{reinterpret_cast<intptr_t>(file), identity->device, identity->inode};
}

RunLock::Taken RunLock::TakeLock(intptr_t handle, bool block) {
  OVERLAPPED start{};
  DWORD flags = LOCKFILE_EXCLUSIVE_LOCK | (block ? 0 : LOCKFILE_FAIL_IMMEDIATELY);
  if (LockFileEx(reinterpret_cast<HANDLE>(handle), flags, 0, 1, 0, &start)) return Taken::Yes;
  return GetLastError() == ERROR_LOCK_VIOLATION ? Taken::Busy : Taken::Failed;
}

void RunLock::CloseLock(intptr_t handle) {
  CloseHandle(reinterpret_cast<HANDLE>(handle));
}

}  // namespace modrake
