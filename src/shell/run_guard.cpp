#include "shell/run_guard.hpp"

#include <functional>
#include <system_error>

#include "core/fatal_error.hpp"
#include "core/options.hpp"
#include "core/progress.hpp"
#include "core/session.hpp"
#include "core/text.hpp"
#include "core/ui.hpp"
#include "install/game_installation.hpp"
#include "platform/run_backup.hpp"
#include "platform/run_lock.hpp"

namespace modrake {

namespace {

// A wait for another run ends when that run does, or when the user cancels.
void Hold(Session& session, RunLock& lock, const std::filesystem::path& folder) {
  Ui& ui = session.ui;
  bool waited = false;
  std::function<bool()> cancelled;
  if (Progress* progress = session.progress)
    cancelled = [progress] { return progress->Cancelled(); };
  bool held = lock.Add(
      folder,
      [&] {
        waited = true;
        ui.ShowWaiting(FormatText("Waiting for another run of Modrake to finish with \"%s\"",
                                  folder.string().c_str()));
      },
      cancelled);
  if (waited) ui.ShowWaiting("");
  if (!held) throw RunCancelled{};
}

void HoldGameFolders(Session& session, RunLock& lock, const GameInstallation& game) {
  for (const auto& folder : game.LockFolders()) Hold(session, lock, folder);
}

// A name a folder can carry: the command's words, in lower case.
std::string RunFolderName(const std::string& name) {
  std::string out;
  for (char c : name) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) {
      out += FoldAscii(c);
    } else if (!out.empty() && out.back() != '-') {
      out += '-';
    }
  }
  while (!out.empty() && out.back() == '-') out.pop_back();
  return out.empty() ? "run" : out;
}

}  // namespace

RunGuard::RunGuard(Session& session) : session_(session) {
  if (session.runLock) return;
  lock_ = std::make_unique<RunLock>();
  Hold(session, *lock_, session.home);
  if (session.dryRun) {
    std::error_code ec;
    std::filesystem::path folder = session.home / "preview";
    std::filesystem::remove_all(folder, ec);  // what a stopped preview left
    std::filesystem::create_directories(folder, ec);
    if (ec)
      FatalError("Cannot create folder %s: %s", folder.string().c_str(), ec.message().c_str());
    session.previewFolder = folder;
  } else {
    backup_ = std::make_unique<RunBackup>(session.home / "backups", RunFolderName(session.runName));
    session.runBackup = backup_.get();
  }
  if (session.game) {
    HoldGameFolders(session, *lock_, *session.game);
    ProtectGame(session, *session.game);
    session.game->Reload();
  }
  session.runLock = lock_.get();
}

RunGuard::~RunGuard() {
  if (!lock_) return;
  if (session_.game) {
    session_.game->FinishRun();
    session_.game->SetRunSafety({});
  }
  if (backup_) backup_->Finish(session_.options.backupRuns, session_.options.backupBytes);
  if (!session_.previewFolder.empty()) {
    std::error_code ec;
    std::filesystem::remove_all(session_.previewFolder, ec);
  }
  session_.runBackup = nullptr;
  session_.previewFolder.clear();
  session_.runLock = nullptr;
}

void HoldGame(Session& session, GameInstallation& game) {
  if (!session.runLock) return;
  HoldGameFolders(session, *session.runLock, game);
  ProtectGame(session, game);
}

void ProtectGame(Session& session, GameInstallation& game) {
  // KeepRuns=0 in the settings: the player wants no backups.
  game.SetRunSafety(
      {session.options.backupRuns ? session.runBackup : nullptr, session.previewFolder, true});
}

}  // namespace modrake
