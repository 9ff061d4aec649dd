#pragma once

#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/environment.hpp"

namespace modrake::test {

// The log file's text with Windows' CR LF line breaks read as LF.
std::string ReadLog(const std::filesystem::path& path);

// A temporary folder removed with everything in it when the test ends.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

// TES3 bytes built by hand, independent of the reader and writer under test.
class Bytes {
 public:
  Bytes& U8(uint8_t v);
  Bytes& U16(uint16_t v);
  Bytes& U32(uint32_t v);
  Bytes& I32(int32_t v) { return U32(static_cast<uint32_t>(v)); }
  Bytes& F32(float v);
  Bytes& Text(std::string_view text);                 // without terminator
  Bytes& ZText(std::string_view text);                // with terminator
  Bytes& Fixed(std::string_view text, size_t width);  // zero-padded
  Bytes& Append(const std::string& bytes);
  Bytes& Zeros(size_t n);
  const std::string& str() const { return data_; }
  size_t size() const { return data_.size(); }

 private:
  std::string data_;
};

// A field: tag, size, data.
inline bool Contains(std::string_view text, std::string_view part) {
  return text.find(part) != std::string_view::npos;
}

std::string Field(std::string_view tag, const std::string& data);
std::string ZField(std::string_view tag, std::string_view text);  // zero-terminated text
std::string U32Field(std::string_view tag, uint32_t value);
// A record: tag, data size, header word 0, flags, then the fields.
std::string RecordBytes(std::string_view tag, const std::string& fields, uint32_t flags = 0);
// A header with a 300-byte HEDR and masters (name, size); file type 1 is a master.
std::string HeaderRecord(const std::vector<std::pair<std::string, uint64_t>>& masters = {},
                         uint32_t recordCount = 0, uint32_t fileType = 0);

void WriteFile(const std::filesystem::path& path, const std::string& bytes);
std::string ReadFile(const std::filesystem::path& path);
// Every file's bytes, time and mode by relative path, to tell that nothing changed.
std::map<std::string, std::string> Snapshot(const std::filesystem::path& folder);

// Where the real plugins made by the game's editor are; empty when absent.
std::filesystem::path RealTestData();

// Empty when the document validates against the schema (python3's jsonschema).
std::string JsonProblems(const std::string& document, const std::filesystem::path& schema);

// True when OpenMW's esmtool reads the whole file, or is not installed.
bool EsmtoolReads(const std::filesystem::path& file);

struct CommandResult {
  int exitCode = -1;
  std::string out;
  std::string err;
};
// Runs the built modrake with the arguments, standard input closed.
CommandResult RunModrake(const std::vector<std::string>& args,
                         const std::filesystem::path& workdir = {});
// Runs it with its address space capped; uncapped under ASan and on Windows.
CommandResult RunModrakeCapped(uint64_t addressSpace, const std::vector<std::string>& args);
constexpr bool kCapsAddressSpace =
#if defined(__SANITIZE_ADDRESS__) || defined(_WIN32)
    false;
#else
    true;
#endif
// Runs another program the same way.
CommandResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                         const std::filesystem::path& workdir = {});

// A program started the same way that runs while the test goes on.
class BackgroundRun {
 public:
  // pipedOutput: its standard output goes through a pipe of one page that
  // the test reads (ReadOutputLine), so the program gets no further ahead of
  // the test than that page holds.
  BackgroundRun(const std::string& program, const std::vector<std::string>& args,
                const std::filesystem::path& workdir = {}, bool pipedOutput = false);
  ~BackgroundRun();
  BackgroundRun(const BackgroundRun&) = delete;
  BackgroundRun& operator=(const BackgroundRun&) = delete;

  // What it has written to standard error until now.
  std::string ErrorsSoFar() const;
  // The next line of a piped output; false at its end.
  bool ReadOutputLine(std::string& line);
  void Signal(int signal);
  // Waits for it to end.
  CommandResult Wait();
  // Ends it at once, as a crash or a pulled plug would (SIGKILL).
  void Kill();

 private:
  TempDir capture_;
  intptr_t process_ = -1;  // the process id, on Windows its handle
  int pipe_ = -1;          // the read end of a piped output
  std::string piped_;      // what was read from it
  size_t lineStart_ = 0;
};

// Sets (or unsets) a variable for programs a test runs, restoring it afterwards.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::optional<std::string>& value);
  ~ScopedEnv() { Set(old_); }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  void Set(const std::optional<std::string>& value);
  const char* name_;
  std::optional<std::string> old_;
};

// Whether the tests run as root, who may write what its mode forbids.
bool RunsAsRoot();

using modrake::kWindows;

// Skips the rest of a test on Windows, saying why (modes, links, other users).
#ifdef _WIN32
#define SKIP_ON_WINDOWS(reason) GTEST_SKIP() << "not on Windows: " << (reason)
#else
#define SKIP_ON_WINDOWS(reason) static_cast<void>(0)
#endif

}  // namespace modrake::test
