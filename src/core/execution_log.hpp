#pragma once

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "core/text.hpp"
#include "core/ui.hpp"
#include "platform/file_io.hpp"

namespace modrake {

// The two places a command reports to: the log file (details) and the
// Execution Log list (progress and summaries). A format starting with "!"
// goes to the list, anything else to the file.
class ExecutionLog {
 public:
  ExecutionLog(Ui& ui, std::filesystem::path logPath);
  ~ExecutionLog();
  ExecutionLog(const ExecutionLog&) = delete;
  ExecutionLog& operator=(const ExecutionLog&) = delete;

  void Log(const char* format, ...) MODRAKE_PRINTF(2, 3);
  void AddLogLine(const std::string& text);
  void ClearLogList();

  // Rotates the previous log into the backup and starts a new one; does
  // nothing while a log is open (the pipeline keeps one log for all steps).
  // A log that cannot be created is no error for most commands (its lines
  // are dropped): the result says why, for those whose output it is.
  WriteResult OpenLog();
  // Closes the log unless the pipeline runs. The result says why the log
  // could not be written whole.
  WriteResult CloseLog();
  bool IsOpen() const { return file_ != nullptr; }

  // Set while JUST FIX IT! runs: commands neither rotate nor close the log.
  bool pipeline = false;

  Answer AskUser(BoxStyle style, const char* format, ...) MODRAKE_PRINTF(3, 4);

  // What FatalError does before the message is shown: the error goes to an
  // open log, which is closed. Returns the text for the error box.
  std::string ReportFatal(const std::string& message);
  // What a cancelled run leaves: the log and the list say where it stopped
  // (next: the file it did not start; empty when it stopped waiting) and that
  // it was cancelled; an open log is closed.
  void ReportCancelled(const std::string& next);

  const std::filesystem::path& LogPath() const { return logPath_; }
  Ui& ui() { return ui_; }

 private:
  static constexpr size_t kBufferSize = 64 * 1024;

  void WriteToFile(const std::string& text);

  Ui& ui_;
  std::filesystem::path logPath_;
  std::filesystem::path backupPath_;
  std::FILE* file_ = nullptr;
  // The file's buffer: the C library would take only its own block size
  // when given no buffer, and a land mod's log then went out in thousands
  // of writes. It outlives every fclose of file_.
  std::unique_ptr<char[]> buffer_;
  int error_ = 0;  // the first error of the log being written
};

}  // namespace modrake
