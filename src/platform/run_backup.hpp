#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/file_io.hpp"

namespace modrake {

// The backup of one run of a command that changes the game, so that the run
// can be undone. Before the run changes or replaces a file it did not create,
// the file's bytes (a hard link when the change replaces the file, else a
// copy), times and mode are kept; the files it creates are listed. Each
// entry is written to the manifest before the change it guards is made, so
// that a run killed at any moment can still be undone.
//
// A run's folder is "backups/RUN" in the program home, RUN being its UTC
// start time and command ("20261206-160102-fix"); it holds "manifest" and
// the kept files. Nothing is written until the first file is kept.
class RunBackup {
 public:
  RunBackup(std::filesystem::path backups, std::string command);
  ~RunBackup();
  RunBackup(const RunBackup&) = delete;
  RunBackup& operator=(const RunBackup&) = delete;

  // Keeps the file as it is now, once per run; a file the run created is not
  // kept. replaced: the change renames another file over it (so the old one
  // can stay as a hard link). A failure (disk full, a home that cannot be
  // written) says why: the caller must then leave the file alone.
  WriteResult Keep(const std::filesystem::path& file, bool replaced);
  // Lists a file or folder the run made; undo takes it away again.
  WriteResult Created(const std::filesystem::path& path);
  // The run has just written the file, whose bytes have that checksum: the
  // end of the run then need not read it back, unless it changed since.
  void Wrote(const std::filesystem::path& path, uint64_t checksum);
  // Writes what each file is like after the run, so that undo can tell a
  // later change by another hand. Then the oldest runs (never this one) go
  // until at most keepRuns runs and keepBytes bytes remain.
  void Finish(size_t keepRuns, uint64_t keepBytes);

  // The run's name, once something was kept.
  const std::string& name() const { return name_; }
  bool Started() const { return !name_.empty(); }

 private:
  WriteResult Start();
  WriteResult Append(const std::string& text, bool sync = false);

  std::filesystem::path backups_;
  std::string command_;
  std::string name_;
  std::filesystem::path folder_;
  std::set<std::filesystem::path> kept_;
  std::set<std::filesystem::path> created_;
  std::vector<std::filesystem::path> copies_;  // synced at the end
  struct Written {
    FileFingerprint print;
    uint64_t checksum;
  };
  std::map<std::filesystem::path, Written> written_;
  unsigned next_ = 0;
  bool finished_ = false;
};

// One run as `undo --list` shows it.
struct RunSummary {
  std::string name;
  std::string command;
  std::string started;  // "2026-12-06 16:01:02 UTC"
  size_t changed = 0;   // files kept
  size_t created = 0;
  bool finished = false;  // the run reached its end (else it was stopped or killed)
  bool undone = false;
  uint64_t bytes = 0;  // what its folder takes on disk
};

// The runs of the backups folder, oldest first.
std::vector<RunSummary> ListRuns(const std::filesystem::path& backups);

// What an undo did, or would not do.
struct UndoOutcome {
  std::vector<std::filesystem::path> restored;  // back as before the run
  std::vector<std::filesystem::path> removed;   // created by the run, taken away
  std::vector<std::string> changedSince;        // refused: changed since the run
  std::vector<std::string> failed;              // could not be restored, and why
};

// Brings back every file the run changed, byte for byte with its times and
// mode, and takes away every file it created. Refuses, doing nothing, when
// one of them changed since the run (unless force). Each file is restored
// atomically; a run stopped halfway is finished by undoing it again. The
// run is marked undone when every file is back.
UndoOutcome UndoRun(const std::filesystem::path& backups, const std::string& name, bool force);

}  // namespace modrake
