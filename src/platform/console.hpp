#pragma once

#include <atomic>
#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

namespace modrake {

// Whether a stream of the C library reaches a terminal (a console).
bool IsTerminal(std::FILE* stream);

// The columns of the terminal a stream reaches; 80 when it cannot tell.
size_t TerminalColumns(std::FILE* stream);

// Makes the console show the program's UTF-8 text as it is: Windows' console
// otherwise reads it in its own code page. Nothing to do on Linux.
void PrepareConsole();

// Sets flag at the first Ctrl+C; the handler then steps aside, so that a
// second one ends the process at once. The flag must be a lock-free atomic
// that lives as long as the process.
void CatchInterrupt(std::atomic<bool>* flag);

// Reads one line typed on standard input, without its line break. False when
// interrupted (when given) was set while it waited; true at the end of input.
bool ReadTerminalLine(std::string& line, const std::atomic<bool>* interrupted);

// The program's arguments as UTF-8 text: Windows hands main() its arguments
// in the ANSI code page, which loses every name outside it, so they are taken
// from the wide command line there.
class ProgramArguments {
 public:
  ProgramArguments(int argc, char** argv);
  ProgramArguments(const ProgramArguments&) = delete;
  ProgramArguments& operator=(const ProgramArguments&) = delete;

  int count() const { return static_cast<int>(text_.size()); }
  char** values() { return pointers_.data(); }

 private:
  std::vector<std::string> text_;
  std::vector<char*> pointers_;
};

}  // namespace modrake
