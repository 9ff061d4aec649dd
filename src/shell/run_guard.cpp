#include "shell/run_guard.hpp"

#include "core/session.hpp"
#include "core/text.hpp"
#include "install/game_installation.hpp"
#include "platform/run_lock.hpp"
#include "platform/ui.hpp"

namespace modrake {

namespace {

void Hold(Ui& ui, RunLock& lock, const std::filesystem::path& folder) {
  lock.Add(folder, [&] {
    ui.ShowWaiting(
        FormatText("Waiting for another run of Modrake to finish with \"%s\"", folder.c_str()));
  });
}

void HoldGameFolders(Ui& ui, RunLock& lock, const GameInstallation& game) {
  for (const auto& folder : game.LockFolders()) Hold(ui, lock, folder);
}

}  // namespace

RunGuard::RunGuard(Session& session) : session_(session) {
  if (session.runLock) return;
  lock_ = std::make_unique<RunLock>();
  Hold(session.ui, *lock_, session.home);
  if (session.game) {
    HoldGameFolders(session.ui, *lock_, *session.game);
    session.game->Reload();
  }
  session.runLock = lock_.get();
}

RunGuard::~RunGuard() {
  if (lock_) session_.runLock = nullptr;
}

void HoldGame(Session& session, const GameInstallation& game) {
  if (session.runLock) HoldGameFolders(session.ui, *session.runLock, game);
}

}  // namespace modrake
