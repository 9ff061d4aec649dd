#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <vector>

namespace modrake {

// Exclusive locks on the folders one run writes into (the game folder, the
// program home), held until the RunLock ends, so that two runs never
// interleave their reads and writes. A folder is locked once however it is
// spelled. The locks go with the process, so a killed run holds nothing.
class RunLock {
 public:
  RunLock() = default;
  ~RunLock();
  RunLock(const RunLock&) = delete;
  RunLock& operator=(const RunLock&) = delete;

  // Locks folder as well. When another run holds it, calls waiting once and
  // then waits until that run ends, or until stop (when given) says to give
  // up: then it returns false. A folder that does not exist, or whose file
  // system cannot lock, is left unlocked.
  bool Add(const std::filesystem::path& folder, const std::function<void()>& waiting,
           const std::function<bool()>& stop = {});
  // Like Add, but never waits: false when another run holds the folder.
  bool TryAdd(const std::filesystem::path& folder);
  void ReleaseAll();

 private:
  enum class Result { Locked, Busy, Unlockable, Stopped };
  Result Lock(const std::filesystem::path& folder, bool wait, const std::function<void()>* waiting,
              const std::function<bool()>* stop);

  // The system's half. A folder's lock, opened but not yet taken, with what
  // tells the folder apart however it is spelled.
  struct Opened {
    intptr_t handle;  // a descriptor or a Windows HANDLE
    unsigned long long device;
    unsigned long long inode;
  };
  static std::optional<Opened> OpenLock(const std::filesystem::path& folder);
  enum class Taken { Yes, Busy, Failed };
  // Takes the lock; block waits while another process holds it.
  static Taken TakeLock(intptr_t handle, bool block);
  static void CloseLock(intptr_t handle);

  struct Held {
    unsigned long long device;
    unsigned long long inode;
    intptr_t handle;  // the open lock, a descriptor or a Windows HANDLE
  };
  std::vector<Held> held_;
};

}  // namespace modrake
