// modrake_measure: runs a shell command K times after a warm-up and prints one
// Markdown table row with the median wall time, its spread, CPU time and peak
// resident memory, beside the same figures for a floor command (the plainest
// way to read and write the same bytes).
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/text.hpp"

namespace {

using modrake::FormatText;

struct Sample {
  double wall = 0;    // seconds
  double cpu = 0;     // user + system seconds
  double peakKb = 0;  // ru_maxrss
};

struct Figures {
  double wall = 0;
  double spread = 0;  // (slowest - fastest) / median
  double cpu = 0;
  double peakKb = 0;
};

struct Operation {
  std::string name;
  std::string command;
  std::string prepare;
  std::string floor;
  std::string target;
  uint64_t bytes = 0;
  uint64_t records = 0;
  int repeat = 5;
};

double Seconds(const timeval& t) {
  return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6;
}

double Now() {
  timespec t{};
  ::clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<double>(t.tv_sec) + t.tv_nsec / 1e9;
}

// Runs the command through /bin/sh with its output thrown away (as
// `cat >/dev/null` does); the kernel's accounting of the reaped child gives
// its CPU time and peak memory, its descendants included.
Sample RunShell(const std::string& what, const std::string& command) {
  double start = Now();
  pid_t pid = ::fork();
  if (pid < 0) throw std::runtime_error(FormatText("%s: cannot start a process", what.c_str()));
  if (pid == 0) {
    int null = ::open("/dev/null", O_RDWR);
    if (null >= 0) {
      ::dup2(null, 0);
      ::dup2(null, 1);
    }
    ::execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  if (::wait4(pid, &status, 0, &usage) < 0) {
    throw std::runtime_error(FormatText("%s: lost the process", what.c_str()));
  }
  Sample sample;
  sample.wall = Now() - start;
  if (WIFSIGNALED(status)) {
    throw std::runtime_error(
        FormatText("%s: killed by signal %d: %s", what.c_str(), WTERMSIG(status), command.c_str()));
  }
  if (WEXITSTATUS(status) != 0) {
    throw std::runtime_error(
        FormatText("%s: exit status %d: %s", what.c_str(), WEXITSTATUS(status), command.c_str()));
  }
  sample.cpu = Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
  sample.peakKb = static_cast<double>(usage.ru_maxrss);
  return sample;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

Figures Summarize(const std::vector<Sample>& samples) {
  std::vector<double> wall, cpu, peak;
  for (const auto& s : samples) {
    wall.push_back(s.wall);
    cpu.push_back(s.cpu);
    peak.push_back(s.peakKb);
  }
  Figures f;
  f.wall = Median(wall);
  f.cpu = Median(cpu);
  f.peakKb = Median(peak);
  auto [low, high] = std::minmax_element(wall.begin(), wall.end());
  f.spread = f.wall > 0 ? (*high - *low) / f.wall : 0;
  return f;
}

std::string Duration(double seconds) {
  if (seconds < 0.01) return FormatText("%.2f ms", seconds * 1e3);
  if (seconds < 1) return FormatText("%.0f ms", seconds * 1e3);
  return FormatText("%.2f s", seconds);
}

std::string Size(double bytes) {
  if (bytes < 1024 * 1024) return FormatText("%.1f KiB", bytes / 1024);
  return FormatText("%.1f MiB", bytes / (1024 * 1024));
}

std::string Rate(double perSecond) {
  if (perSecond >= 1e6) return FormatText("%.2f M/s", perSecond / 1e6);
  if (perSecond >= 1e3) return FormatText("%.0f k/s", perSecond / 1e3);
  return FormatText("%.0f /s", perSecond);
}

const char kNone[] = "–";

std::string HeaderRows() {
  return "| operation | input | median wall | spread | CPU | peak memory | floor | ratio | "
         "CPU ratio | records/s | target |\n"
         "|---|--:|--:|--:|--:|--:|--:|--:|--:|--:|---|\n";
}

// Runs the operation and its floor alternately, so that a noisy neighbour
// slows both alike; the first round of each is a warm-up and not counted.
std::string MeasureRow(const Operation& op) {
  std::vector<Sample> runs, floors;
  for (int round = 0; round <= op.repeat; ++round) {
    if (!op.prepare.empty()) RunShell(op.name + " (prepare)", op.prepare);
    Sample run = RunShell(op.name, op.command);
    Sample floor;
    if (!op.floor.empty()) floor = RunShell(op.name + " (floor)", op.floor);
    if (round == 0) continue;
    runs.push_back(run);
    floors.push_back(floor);
  }
  Figures f = Summarize(runs);
  std::string floorText = kNone, ratioText = kNone, cpuRatioText = kNone;
  if (!op.floor.empty()) {
    Figures floor = Summarize(floors);
    floorText = Duration(floor.wall);
    if (floor.wall > 0) ratioText = FormatText("%.2f", f.wall / floor.wall);
    if (floor.cpu > 0) cpuRatioText = FormatText("%.2f", f.cpu / floor.cpu);
  }
  std::string rate = op.records && f.wall > 0 ? Rate(static_cast<double>(op.records) / f.wall)
                                              : std::string(kNone);
  std::string input = op.bytes ? Size(static_cast<double>(op.bytes)) : std::string(kNone);
  return FormatText("| %s | %s | %s | %.0f%% | %s | %s | %s | %s | %s | %s | %s |\n",
                    op.name.c_str(), input.c_str(), Duration(f.wall).c_str(), f.spread * 100,
                    Duration(f.cpu).c_str(), Size(f.peakKb * 1024).c_str(), floorText.c_str(),
                    ratioText.c_str(), cpuRatioText.c_str(), rate.c_str(),
                    op.target.empty() ? kNone : op.target.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{
      "Times a shell command (output discarded) over K runs after a warm-up and prints one "
      "Markdown table row: median wall time, spread, CPU time, peak resident memory, and the "
      "same command's ratio to a floor command.",
      "modrake_measure"};
  Operation op;
  bool header = false;
  app.add_flag("--header", header, "Print the table's header rows and exit");
  app.add_option("--name", op.name, "The operation's name in the first column");
  app.add_option("--repeat", op.repeat, "Counted runs (after one warm-up)")
      ->check(CLI::Range(1, 1000));
  app.add_option("--prepare", op.prepare, "Untimed shell command run before every run");
  app.add_option("--floor", op.floor, "Shell command that reads and writes the same bytes");
  app.add_option("--bytes", op.bytes, "Input size in bytes, for the input column");
  app.add_option("--records", op.records, "Records handled, for records per second");
  app.add_option("--target", op.target, "The target, as text for the last column");
  app.add_option("COMMAND", op.command, "Shell command to measure");
  CLI11_PARSE(app, argc, argv);

  if (header) {
    std::fputs(HeaderRows().c_str(), stdout);
    return 0;
  }
  if (op.command.empty()) {
    std::fputs("modrake_measure: a COMMAND is needed (or --header)\n", stderr);
    return 2;
  }
  if (op.name.empty()) op.name = op.command;
  try {
    std::fputs(MeasureRow(op).c_str(), stdout);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "modrake_measure: %s\n", e.what());
    return 1;
  }
  return 0;
}
