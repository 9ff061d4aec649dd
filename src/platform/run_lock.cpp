#include "platform/run_lock.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>

namespace modrake {

namespace {
// How soon a wait notices that it is to stop.
constexpr std::chrono::milliseconds kStopPollInterval{50};
}  // namespace

RunLock::~RunLock() {
  ReleaseAll();
}

void RunLock::ReleaseAll() {
  for (const Held& held : held_) ::close(held.fd);
  held_.clear();
}

RunLock::Result RunLock::Lock(const std::filesystem::path& folder, bool wait,
                              const std::function<void()>* waiting,
                              const std::function<bool()>* stop) {
  int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return Result::Unlockable;
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    ::close(fd);
    return Result::Unlockable;
  }
  for (const Held& held : held_) {
    if (held.device == st.st_dev && held.inode == st.st_ino) {
      ::close(fd);
      return Result::Locked;
    }
  }
  int rc;
  while ((rc = ::flock(fd, LOCK_EX | LOCK_NB)) != 0 && errno == EINTR) {
  }
  if (rc != 0 && errno == EWOULDBLOCK) {
    if (!wait) {
      ::close(fd);
      return Result::Busy;
    }
    if (waiting && *waiting) (*waiting)();
    if (stop && *stop) {
      // A wait that may be given up looks again now and then instead of
      // blocking for good.
      while ((rc = ::flock(fd, LOCK_EX | LOCK_NB)) != 0 &&
             (errno == EWOULDBLOCK || errno == EINTR)) {
        if ((*stop)()) {
          ::close(fd);
          return Result::Stopped;
        }
        std::this_thread::sleep_for(kStopPollInterval);
      }
    } else {
      while ((rc = ::flock(fd, LOCK_EX)) != 0 && errno == EINTR) {
      }
    }
  }
  if (rc != 0) {
    ::close(fd);
    return Result::Unlockable;
  }
  held_.push_back(
      {static_cast<unsigned long long>(st.st_dev), static_cast<unsigned long long>(st.st_ino), fd});
  return Result::Locked;
}

bool RunLock::Add(const std::filesystem::path& folder, const std::function<void()>& waiting,
                  const std::function<bool()>& stop) {
  return Lock(folder, true, &waiting, &stop) != Result::Stopped;
}

bool RunLock::TryAdd(const std::filesystem::path& folder) {
  return Lock(folder, false, nullptr, nullptr) != Result::Busy;
}

}  // namespace modrake
