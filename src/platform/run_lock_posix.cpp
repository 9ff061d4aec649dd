#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/run_lock.hpp"

// Linux locks the folder itself with flock.

namespace modrake {

std::optional<RunLock::Opened> RunLock::OpenLock(const std::filesystem::path& folder) {
  int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    ::close(fd);
    return std::nullopt;
  }
  return Opened{fd, static_cast<unsigned long long>(st.st_dev),
                static_cast<unsigned long long>(st.st_ino)};
}

RunLock::Taken RunLock::TakeLock(intptr_t handle, bool block) {
  for (;;) {
    if (::flock(static_cast<int>(handle), LOCK_EX | (block ? 0 : LOCK_NB)) == 0) return Taken::Yes;
    if (errno == EINTR) continue;
    return errno == EWOULDBLOCK ? Taken::Busy : Taken::Failed;
  }
}

void RunLock::CloseLock(intptr_t handle) {
  ::close(static_cast<int>(handle));
}

}  // namespace modrake
