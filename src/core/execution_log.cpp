#include "core/execution_log.hpp"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <system_error>

#include "core/text.hpp"

namespace modrake {

namespace {
std::filesystem::path BackupPathFor(const std::filesystem::path& logPath) {
  std::filesystem::path backup = logPath;
  backup.replace_extension(".bak");
  return backup;
}
}  // namespace

ExecutionLog::ExecutionLog(Ui& ui, std::filesystem::path logPath)
    : ui_(ui), logPath_(std::move(logPath)), backupPath_(BackupPathFor(logPath_)) {}

ExecutionLog::~ExecutionLog() {
  if (file_) std::fclose(file_);
}

void ExecutionLog::Log(const char* format, ...) {
  va_list args;
  va_start(args, format);
  if (format[0] == '!') {
    std::string text = FormatTextV(format + 1, args);
    AddLogLine(TrimValue(text));
  } else if (file_ && std::vfprintf(file_, format, args) < 0 && error_ == 0) {
    // Formatted straight into the file's buffer: a land mod logs tens of
    // thousands of lines.
    error_ = errno != 0 ? errno : EIO;
  }
  va_end(args);
}

void ExecutionLog::WriteToFile(const std::string& text) {
  if (!file_) return;
  // Buffered: a command writes its log in a few large writes. Every way out
  // of a command (CloseLog, ReportFatal, the destructor) closes the file and
  // so writes what is buffered.
  if (std::fwrite(text.data(), 1, text.size(), file_) != text.size() && error_ == 0) {
    error_ = errno != 0 ? errno : EIO;
  }
}

void ExecutionLog::AddLogLine(const std::string& text) {
  ui_.AddLogLine(text);
}

void ExecutionLog::ClearLogList() {
  ui_.ClearLogList();
}

WriteResult ExecutionLog::OpenLog() {
  if (file_) return {};
  error_ = 0;
  std::error_code ec;
  if (std::filesystem::exists(backupPath_, ec)) std::filesystem::remove(backupPath_, ec);
  if (std::filesystem::exists(logPath_, ec)) std::filesystem::rename(logPath_, backupPath_, ec);
  file_ = OpenTextFile(logPath_, "w");
  if (!file_) {
    int error = errno;
    return WriteResult::FromError(error);
  }
  if (!buffer_) buffer_ = std::make_unique_for_overwrite<char[]>(kBufferSize);
  std::setvbuf(file_, buffer_.get(), _IOFBF, kBufferSize);
  return {};
}

WriteResult ExecutionLog::CloseLog() {
  if (pipeline || !file_) return {};
  if (std::fclose(file_) != 0 && error_ == 0) error_ = errno != 0 ? errno : EIO;
  file_ = nullptr;
  return error_ == 0 ? WriteResult() : WriteResult::FromError(error_);
}

Answer ExecutionLog::AskUser(BoxStyle style, const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string text = FormatTextV(format, args);
  va_end(args);
  // The user may look at the log before answering.
  if (file_) std::fflush(file_);
  return ui_.Ask("Modrake", text, style);
}

std::string ExecutionLog::ReportFatal(const std::string& message) {
  std::string shown = message;
  if (file_) {
    WriteToFile("\nERROR: " + message + "\n\nOperation has been aborted.\n");
    shown += "\n\nDo not forget to check Modrake.log file! ";
    std::fclose(file_);
    file_ = nullptr;
  }
  return shown;
}

void ExecutionLog::ReportCancelled(const std::string& next) {
  std::string where = next.empty() ? std::string() : "Canceled before " + next;
  if (file_) {
    WriteToFile("\n" + (where.empty() ? std::string() : where + "\n\n") +
                "Operation has been canceled.\n");
    std::fclose(file_);
    file_ = nullptr;
  }
  AddLogLine("");
  if (!where.empty()) AddLogLine(where);
  AddLogLine("Operation has been canceled");
}

}  // namespace modrake
