#pragma once

#include <memory>

namespace modrake {

class GameInstallation;
class RunLock;
struct Session;

// One command run's hold on the program home and the game's folders, so that
// two runs (two terminals, or the window and a terminal) never interleave
// their reads and writes. While another run holds a folder the user is told,
// and the guard waits. Guards nest: one made while another lives on the same
// session adds nothing. The outermost guard of a game read before it reads
// the active plugins again once it holds the game, so that the run starts
// from what an earlier run left.
class RunGuard {
 public:
  explicit RunGuard(Session& session);
  ~RunGuard();
  RunGuard(const RunGuard&) = delete;
  RunGuard& operator=(const RunGuard&) = delete;

 private:
  Session& session_;
  std::unique_ptr<RunLock> lock_;  // null when nested
};

// Adds the game folder and its data folder to the hold of the run, when one
// runs: a game found during a run is held before it is read.
void HoldGame(Session& session, const GameInstallation& game);

}  // namespace modrake
