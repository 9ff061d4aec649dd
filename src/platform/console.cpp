#include "platform/console.hpp"

#include <csignal>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <filesystem>
#else
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace modrake {

namespace {
// The one flag Ctrl+C sets: a handler can reach nothing else.
std::atomic<bool>* interruptFlag = nullptr;
static_assert(std::atomic<bool>::is_always_lock_free);

void OnInterrupt(int) {
  if (interruptFlag) interruptFlag->store(true);
}
}  // namespace

bool IsTerminal(std::FILE* stream) {
#ifdef _WIN32
  // _isatty is true of every character device, NUL too: only a console
  // has a console mode.
  DWORD mode = 0;
  HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
  return handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) != 0;
#else
  return ::isatty(::fileno(stream)) != 0;
#endif
}

size_t TerminalColumns(std::FILE* stream) {
#ifdef _WIN32
  CONSOLE_SCREEN_BUFFER_INFO info{};
  HANDLE console = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
  if (GetConsoleScreenBufferInfo(console, &info)) {
    int columns = info.srWindow.Right - info.srWindow.Left + 1;
    if (columns > 0) return static_cast<size_t>(columns);
  }
#else
  winsize size{};
  if (::ioctl(::fileno(stream), TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
#endif
  return 80;
}

void PrepareConsole() {
#ifdef _WIN32
  SetConsoleOutputCP(CP_UTF8);
  SetConsoleCP(CP_UTF8);
#endif
}

void CatchInterrupt(std::atomic<bool>* flag) {
  interruptFlag = flag;
#ifdef _WIN32
  // The C library's handler is reset before it runs, as SA_RESETHAND does.
  std::signal(SIGINT, OnInterrupt);
#else
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART | SA_RESETHAND;
  sigaction(SIGINT, &action, nullptr);
#endif
}

bool ReadTerminalLine(std::string& line, const std::atomic<bool>* interrupted) {
  auto stopped = [&] { return interrupted && interrupted->load(); };
#ifdef _WIN32
  // Ctrl+C ends the console's read, which then looks like the end of input.
  for (int c = std::fgetc(stdin); c != EOF && c != '\n'; c = std::fgetc(stdin)) {
    if (c != '\r') line.push_back(static_cast<char>(c));
  }
  Sleep(50);  // the handler runs on a thread of its own
  return !stopped();
#else
  for (;;) {
    if (stopped()) return false;
    pollfd in{STDIN_FILENO, POLLIN, 0};
    // Woken by the line, by its end, or now and then to look at the flag.
    int ready = ::poll(&in, 1, 100);
    if (ready < 0 && errno != EINTR) return true;
    if (ready <= 0) continue;
    char c;
    ssize_t got = ::read(STDIN_FILENO, &c, 1);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0 || c == '\n') return true;
    line.push_back(c);
  }
#endif
}

ProgramArguments::ProgramArguments(int argc, char** argv) {
#ifdef _WIN32
  int count = 0;
  if (wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count)) {
    for (int i = 0; i < count; ++i) text_.push_back(std::filesystem::path(wide[i]).string());
    LocalFree(wide);
  }
  if (text_.empty())
#endif
    text_.assign(argv, argv + argc);
  for (std::string& arg : text_) pointers_.push_back(arg.data());
  pointers_.push_back(nullptr);
}

}  // namespace modrake
