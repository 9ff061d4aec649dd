#include "platform/run_lock.hpp"

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
  for (const Held& held : held_) CloseLock(held.handle);
  held_.clear();
}

RunLock::Result RunLock::Lock(const std::filesystem::path& folder, bool wait,
                              const std::function<void()>* waiting,
                              const std::function<bool()>* stop) {
  std::optional<Opened> opened = OpenLock(folder);
  if (!opened) return Result::Unlockable;
  for (const Held& held : held_) {
    if (held.device == opened->device && held.inode == opened->inode) {
      CloseLock(opened->handle);
      return Result::Locked;
    }
  }
  Taken taken = TakeLock(opened->handle, false);
  if (taken == Taken::Busy) {
    if (!wait) {
      CloseLock(opened->handle);
      return Result::Busy;
    }
    if (waiting && *waiting) (*waiting)();
    if (stop && *stop) {
      // A wait that may be given up looks again now and then instead of
      // blocking for good.
      while ((taken = TakeLock(opened->handle, false)) == Taken::Busy) {
        if ((*stop)()) {
          CloseLock(opened->handle);
          return Result::Stopped;
        }
        std::this_thread::sleep_for(kStopPollInterval);
      }
    } else {
      taken = TakeLock(opened->handle, true);
    }
  }
  if (taken != Taken::Yes) {
    CloseLock(opened->handle);
    return Result::Unlockable;
  }
  held_.push_back({opened->device, opened->inode, opened->handle});
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
