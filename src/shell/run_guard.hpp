#pragma once

#include <memory>

namespace modrake {

class GameInstallation;
class RunBackup;
class RunLock;
struct Session;

// One command run's hold on the program home and the game's folders, so that
// two runs (two terminals, or the window and a terminal) never interleave
// their reads and writes. While another run holds a folder the user is told,
// and the guard waits. Guards nest: one made while another lives on the same
// session adds nothing. The outermost guard of a game read before it reads
// the active plugins again once it holds the game, so that the run starts
// from what an earlier run left.
//
// The outermost guard is also the run's safety net: the backup of every file
// of the game it changes (finished, and old runs pruned, when it ends), or,
// for a preview, the folder where what it would write goes instead (removed
// when it ends).
//
// A wait for another run ends early when the user cancels (RunCancelled).
class RunGuard {
 public:
  explicit RunGuard(Session& session);
  ~RunGuard();
  RunGuard(const RunGuard&) = delete;
  RunGuard& operator=(const RunGuard&) = delete;

 private:
  Session& session_;
  std::unique_ptr<RunLock> lock_;  // null when nested
  std::unique_ptr<RunBackup> backup_;
};

// Adds the game's folders to the hold of the run, when one runs, and its
// safety net to the game: a game found during a run is held before it is
// read.
void HoldGame(Session& session, GameInstallation& game);
// The run's safety net reaches the game: every change it makes is backed up
// (unless the settings keep no runs), or goes aside in a preview. Again once
// the settings are read.
void ProtectGame(Session& session, GameInstallation& game);

}  // namespace modrake
