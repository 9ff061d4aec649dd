#include "support/test_support.hpp"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "platform/file_io.hpp"
#include "platform/file_names.hpp"

namespace modrake::test {

namespace {
// Text that a Windows program wrote in text mode, with LF line breaks again.
std::string WithoutCrLf(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) out.push_back(text[i]);
  }
  return out;
}
}  // namespace

TempDir::TempDir() {
#ifdef _WIN32
  static unsigned counter = 0;
  for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
    auto name = "modrake-test-" + std::to_string(GetCurrentProcessId()) + "-" +
                std::to_string(GetTickCount64() % 100000) + "-" + std::to_string(++counter);
    auto folder = std::filesystem::temp_directory_path() / name;
    if (std::filesystem::create_directory(folder)) path_ = folder;
  }
  if (path_.empty()) throw std::runtime_error("cannot make a temporary folder");
#else
  std::string pattern = (std::filesystem::temp_directory_path() / "modrake-test-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
#endif
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

Bytes& Bytes::U8(uint8_t v) {
  data_.push_back(static_cast<char>(v));
  return *this;
}
Bytes& Bytes::U16(uint16_t v) {
  return U8(v & 0xFF).U8(v >> 8);
}
Bytes& Bytes::U32(uint32_t v) {
  return U16(v & 0xFFFF).U16(v >> 16);
}
Bytes& Bytes::F32(float v) {
  uint32_t bits;
  std::memcpy(&bits, &v, 4);
  return U32(bits);
}
Bytes& Bytes::Text(std::string_view text) {
  data_.append(text);
  return *this;
}
Bytes& Bytes::ZText(std::string_view text) {
  data_.append(text);
  data_.push_back('\0');
  return *this;
}
Bytes& Bytes::Fixed(std::string_view text, size_t width) {
  std::string padded(text.substr(0, width));
  padded.resize(width, '\0');
  data_.append(padded);
  return *this;
}
Bytes& Bytes::Append(const std::string& bytes) {
  data_.append(bytes);
  return *this;
}
Bytes& Bytes::Zeros(size_t n) {
  data_.append(n, '\0');
  return *this;
}

std::string Field(std::string_view tag, const std::string& data) {
  return Bytes().Text(tag).U32(static_cast<uint32_t>(data.size())).Append(data).str();
}

std::string ZField(std::string_view tag, std::string_view text) {
  return Field(tag, Bytes().ZText(text).str());
}

std::string U32Field(std::string_view tag, uint32_t value) {
  return Field(tag, Bytes().U32(value).str());
}

std::string RecordBytes(std::string_view tag, const std::string& fields, uint32_t flags) {
  return Bytes()
      .Text(tag)
      .U32(static_cast<uint32_t>(fields.size()))
      .U32(0)
      .U32(flags)
      .Append(fields)
      .str();
}

std::string HeaderRecord(const std::vector<std::pair<std::string, uint64_t>>& masters,
                         uint32_t recordCount, uint32_t fileType) {
  Bytes hedr;
  hedr.F32(1.3f).U32(fileType).Fixed("author", 32).Fixed("description", 256).U32(recordCount);
  std::string fields = Field("HEDR", hedr.str());
  for (const auto& [name, size] : masters) {
    fields += ZField("MAST", name);
    fields += Field(
        "DATA",
        Bytes().U32(static_cast<uint32_t>(size)).U32(static_cast<uint32_t>(size >> 32)).str());
  }
  return RecordBytes("TES3", fields);
}

void WriteFile(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

std::map<std::string, std::string> Snapshot(const std::filesystem::path& folder) {
  std::map<std::string, std::string> files;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
    std::string name = std::filesystem::relative(entry.path(), folder).string();
    if (entry.is_directory()) {
      files[name] = "folder";
      continue;
    }
    auto times = GetFileTimes(entry.path());
    std::string state =
        times ? std::to_string(times->modifySec) + "." + std::to_string(times->modifyNsec)
              : std::string("-");
    state += " " + std::to_string(FileMode(entry.path()).value_or(0));
    if (entry.is_symlink()) state += " link";
    if (entry.is_regular_file()) state += " " + ReadFile(entry.path());
    files[name] = state;
  }
  return files;
}

std::filesystem::path RealTestData() {
  std::filesystem::path dir = MODRAKE_REAL_TESTDATA;
  std::error_code ec;
  return std::filesystem::is_directory(dir, ec) ? dir : std::filesystem::path();
}

std::string ReadLog(const std::filesystem::path& path) {
  return WithoutCrLf(ReadFile(path));
}

std::string JsonProblems(const std::string& document, const std::filesystem::path& schema) {
#ifdef _WIN32
  // The validator runs on the Linux side, which prints the same documents.
  (void)document;
  (void)schema;
  return {};
#endif
  TempDir dir;
  WriteFile(dir / "document.json", document);
  auto result = RunProgram("/usr/bin/python3",
                           {"-c",
                            "import json, sys, jsonschema\n"
                            "schema = json.load(open(sys.argv[2]))\n"
                            "jsonschema.validators.validator_for(schema).check_schema(schema)\n"
                            "jsonschema.validate(json.load(open(sys.argv[1])), schema)\n",
                            (dir / "document.json").string(), schema.string()});
  return result.exitCode == 0 ? std::string() : result.err + result.out;
}

bool EsmtoolReads(const std::filesystem::path& file) {
  // OpenMW's tools are read on the Linux side.
  const std::filesystem::path tool = kWindows ? "" : "/usr/games/esmtool";
  std::error_code ec;
  if (tool.empty() || !std::filesystem::exists(tool, ec)) return true;
  std::string command = tool.string() + " dump \"" + file.string() + "\" >/dev/null 2>&1";
  return std::system(command.c_str()) == 0;
}

CommandResult RunModrake(const std::vector<std::string>& args,
                         const std::filesystem::path& workdir) {
  return RunProgram(MODRAKE_CLI_BINARY, args, workdir);
}

CommandResult RunModrakeCapped(uint64_t addressSpace, const std::vector<std::string>& args) {
  if (!kCapsAddressSpace) return RunModrake(args);
  std::vector<std::string> capped = {"--as=" + std::to_string(addressSpace), "--",
                                     MODRAKE_CLI_BINARY};
  capped.insert(capped.end(), args.begin(), args.end());
  return RunProgram("/usr/bin/prlimit", capped);
}

CommandResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                         const std::filesystem::path& workdir) {
  return BackgroundRun(program, args, workdir).Wait();
}

#ifdef _WIN32
void ScopedEnv::Set(const std::optional<std::string>& value) {
  // An empty value removes the variable; the wide form keeps any name.
  std::wstring wide(name_, name_ + std::char_traits<char>::length(name_));
  _wputenv_s(wide.c_str(), value ? TextPath(*value).c_str() : L"");
}

bool RunsAsRoot() {
  return false;
}

namespace {
// One argument as CommandLineToArgvW reads it back.
std::wstring Quoted(const std::wstring& arg) {
  if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos) return arg;
  std::wstring out = L"\"";
  size_t slashes = 0;
  for (wchar_t c : arg) {
    if (c == L'\\') {
      ++slashes;
      continue;
    }
    out.append(c == L'"' ? 2 * slashes + 1 : slashes, L'\\');
    slashes = 0;
    out.push_back(c);
  }
  out.append(2 * slashes, L'\\');
  out.push_back(L'"');
  return out;
}

HANDLE Inheritable(const std::filesystem::path& path, DWORD access, DWORD disposition) {
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  return CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                     &inherit, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

BackgroundRun::BackgroundRun(const std::string& program, const std::vector<std::string>& args,
                             const std::filesystem::path& workdir, bool) {
  // The output goes to a file: no test reads it piped on Windows.
  std::wstring line = Quoted(TextPath(program).wstring());
  for (const auto& arg : args) line += L" " + Quoted(TextPath(arg).wstring());
  HANDLE in = Inheritable(L"NUL", GENERIC_READ, OPEN_EXISTING);
  HANDLE out = Inheritable(capture_ / "out", GENERIC_WRITE, CREATE_ALWAYS);
  HANDLE err = Inheritable(capture_ / "err", GENERIC_WRITE, CREATE_ALWAYS);
  STARTUPINFOW start{};
  start.cb = sizeof start;
  start.dwFlags = STARTF_USESTDHANDLES;
  start.hStdInput = in;
  start.hStdOutput = out;
  start.hStdError = err;
  PROCESS_INFORMATION info{};
  if (CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                     workdir.empty() ? nullptr : workdir.c_str(), &start, &info)) {
    CloseHandle(info.hThread);
    process_ = reinterpret_cast<intptr_t>(info.hProcess);
  }
  CloseHandle(in);
  CloseHandle(out);
  CloseHandle(err);
}

BackgroundRun::~BackgroundRun() {
  if (process_ != -1) Wait();
}

std::string BackgroundRun::ErrorsSoFar() const {
  return WithoutCrLf(ReadFile(capture_ / "err"));
}

bool BackgroundRun::ReadOutputLine(std::string&) {
  return false;
}

void BackgroundRun::Signal(int) {}

void BackgroundRun::Kill() {
  if (process_ != -1) TerminateProcess(reinterpret_cast<HANDLE>(process_), 137);
}

CommandResult BackgroundRun::Wait() {
  CommandResult result;
  if (process_ == -1) return result;
  HANDLE process = reinterpret_cast<HANDLE>(process_);
  WaitForSingleObject(process, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(process, &code);
  CloseHandle(process);
  process_ = -1;
  result.exitCode = static_cast<int>(code);
  result.out = WithoutCrLf(ReadFile(capture_ / "out"));
  result.err = WithoutCrLf(ReadFile(capture_ / "err"));
  return result;
}
#else
bool RunsAsRoot() {
  return ::geteuid() == 0;
}

BackgroundRun::BackgroundRun(const std::string& program, const std::vector<std::string>& args,
                             const std::filesystem::path& workdir, bool pipedOutput) {
  auto outPath = capture_ / "out";
  auto errPath = capture_ / "err";
  int ends[2] = {-1, -1};
  if (pipedOutput) {
    if (::pipe2(ends, O_CLOEXEC) != 0) throw std::runtime_error("no pipe");
    ::fcntl(ends[0], F_SETPIPE_SZ, 4096);
  }
  process_ = ::fork();
  if (process_ == 0) {
    if (!workdir.empty() && ::chdir(workdir.c_str()) != 0) _exit(127);
    int in = ::open("/dev/null", O_RDONLY);
    int out = pipedOutput ? ends[1] : ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ::dup2(in, 0);
    ::dup2(out, 1);
    ::dup2(err, 2);
    std::vector<char*> argv;
    std::string binary = program;
    argv.push_back(binary.data());
    std::vector<std::string> copy = args;
    for (auto& a : copy) argv.push_back(a.data());
    argv.push_back(nullptr);
    ::execv(binary.c_str(), argv.data());
    _exit(127);
  }
  if (pipedOutput) {
    ::close(ends[1]);
    pipe_ = ends[0];
  }
}

bool BackgroundRun::ReadOutputLine(std::string& line) {
  for (;;) {
    size_t end = piped_.find('\n', lineStart_);
    if (end != std::string::npos) {
      line = piped_.substr(lineStart_, end - lineStart_);
      lineStart_ = end + 1;
      return true;
    }
    char buffer[512];
    ssize_t got = pipe_ < 0 ? 0 : ::read(pipe_, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    piped_.append(buffer, static_cast<size_t>(got));
  }
}

void BackgroundRun::Signal(int signal) {
  if (process_ > 0) ::kill(static_cast<pid_t>(process_), signal);
}

BackgroundRun::~BackgroundRun() {
  if (process_ > 0) Wait();
}

void BackgroundRun::Kill() {
  if (process_ > 0) ::kill(static_cast<pid_t>(process_), SIGKILL);
}

std::string BackgroundRun::ErrorsSoFar() const {
  return ReadFile(capture_ / "err");
}

CommandResult BackgroundRun::Wait() {
  CommandResult result;
  if (process_ <= 0) return result;
  int status = 0;
  std::string rest;
  while (ReadOutputLine(rest)) {
  }
  if (pipe_ >= 0) ::close(pipe_);
  pipe_ = -1;
  ::waitpid(static_cast<pid_t>(process_), &status, 0);
  process_ = -1;
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  result.out = piped_.empty() ? ReadFile(capture_ / "out") : piped_;
  result.err = ReadFile(capture_ / "err");
  return result;
}

void ScopedEnv::Set(const std::optional<std::string>& value) {
  if (value) {
    ::setenv(name_, value->c_str(), 1);
  } else {
    ::unsetenv(name_);
  }
}
#endif

ScopedEnv::ScopedEnv(const char* name, const std::optional<std::string>& value) : name_(name) {
  if (const char* old = std::getenv(name)) old_ = old;
  Set(value);
}

}  // namespace modrake::test
