#include "platform/run_backup.hpp"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <map>
#include <sstream>
#include <system_error>

#include "platform/checksum.hpp"

namespace modrake {

namespace {

constexpr char kManifestHead[] = "Modrake run backup 1";

// Paths end a manifest line; tabs, line breaks and backslashes in them are
// escaped so that no name can break a line apart.
std::string EscapePath(const std::filesystem::path& path) {
  std::string out;
  for (char c : path.string()) {
    if (c == '\\') {
      out += "\\\\";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c == '\n') {
      out += "\\n";
    } else {
      out += c;
    }
  }
  return out;
}

std::filesystem::path UnescapePath(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size()) {
      char next = text[++i];
      out += next == 't' ? '\t' : next == 'n' ? '\n' : next;
    } else {
      out += text[i];
    }
  }
  return out;
}

std::vector<std::string_view> Fields(std::string_view line, size_t count) {
  std::vector<std::string_view> fields;
  while (fields.size() + 1 < count) {
    size_t tab = line.find('\t');
    if (tab == std::string_view::npos) break;
    fields.push_back(line.substr(0, tab));
    line.remove_prefix(tab + 1);
  }
  fields.push_back(line);
  return fields;
}

bool WriteAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    ssize_t put = ::write(fd, data, size);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    data += put;
    size -= static_cast<size_t>(put);
  }
  return true;
}

// Copies a file's bytes (a clone where the file system shares blocks), and
// gives the checksum of what was copied. The run's end syncs the copy.
WriteResult CopyFile(const std::filesystem::path& from, const std::filesystem::path& to,
                     uint64_t& checksum) {
  int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return WriteResult::FromError(errno);
  int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (out < 0) {
    int error = errno;
    ::close(in);
    return WriteResult::FromError(error);
  }
  int error = 0;
  std::string bytes;
  char buffer[1 << 16];
  bool cloned = ::ioctl(out, FICLONE, in) == 0;
  for (;;) {
    ssize_t got = ::read(in, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) error = errno;
    if (got <= 0) break;
    bytes.append(buffer, static_cast<size_t>(got));
  }
  checksum = Checksum64(bytes.data(), bytes.size());
  if (error == 0 && !cloned && !WriteAll(out, bytes.data(), bytes.size()))
    error = errno ? errno : EIO;
  ::close(in);
  ::close(out);
  if (error != 0) {
    ::unlink(to.c_str());
    return WriteResult::FromError(error);
  }
  return {};
}

std::string Hex(uint64_t value) {
  char text[17];
  std::snprintf(text, sizeof text, "%016" PRIx64, value);
  return text;
}

struct ManifestEntry {
  enum Kind { kKeep, kCreate } kind = kKeep;
  std::filesystem::path path;
  std::string copy;  // the kept file's name in the run's folder
  mode_t mode = 0;
  uint64_t size = 0;
  FileTimes times;
  uint64_t before = 0;
  std::optional<uint64_t> after;  // none: the run did not finish
  bool afterMissing = false;
};

struct Manifest {
  std::string command;
  std::string started;
  std::vector<ManifestEntry> entries;
  bool finished = false;
  bool undone = false;
};

std::optional<Manifest> ReadManifest(const std::filesystem::path& folder) {
  auto text = ReadFileBytes(folder / "manifest");
  if (!text) return std::nullopt;
  std::istringstream lines(*text);
  std::string line;
  if (!std::getline(lines, line) || line != kManifestHead) return std::nullopt;
  Manifest manifest;
  std::map<std::filesystem::path, size_t> byPath;
  while (std::getline(lines, line)) {
    std::string_view view = line;
    std::string_view word = view.substr(0, view.find('\t'));
    if (word == "command" || word == "started") {
      auto f = Fields(view, 2);
      if (f.size() == 2) (word == "command" ? manifest.command : manifest.started) = f[1];
    } else if (word == "keep") {
      auto f = Fields(view, 10);
      if (f.size() != 10) continue;
      ManifestEntry e;
      e.copy = std::string(f[1]);
      e.mode = static_cast<mode_t>(std::strtoul(std::string(f[2]).c_str(), nullptr, 8));
      e.size = std::strtoull(std::string(f[3]).c_str(), nullptr, 10);
      e.times = {std::strtoll(std::string(f[4]).c_str(), nullptr, 10),
                 std::strtoll(std::string(f[5]).c_str(), nullptr, 10),
                 std::strtoll(std::string(f[6]).c_str(), nullptr, 10),
                 std::strtoll(std::string(f[7]).c_str(), nullptr, 10)};
      e.before = std::strtoull(std::string(f[8]).c_str(), nullptr, 16);
      e.path = UnescapePath(f[9]);
      byPath[e.path] = manifest.entries.size();
      manifest.entries.push_back(std::move(e));
    } else if (word == "create") {
      auto f = Fields(view, 2);
      if (f.size() != 2) continue;
      ManifestEntry e;
      e.kind = ManifestEntry::kCreate;
      e.path = UnescapePath(f[1]);
      byPath[e.path] = manifest.entries.size();
      manifest.entries.push_back(std::move(e));
    } else if (word == "after") {
      auto f = Fields(view, 3);
      if (f.size() != 3) continue;
      auto found = byPath.find(UnescapePath(f[2]));
      if (found == byPath.end()) continue;
      ManifestEntry& e = manifest.entries[found->second];
      if (f[1] == "-") {
        e.afterMissing = true;
        e.after = 0;
      } else {
        e.after = std::strtoull(std::string(f[1]).c_str(), nullptr, 16);
      }
    } else if (word == "finished") {
      manifest.finished = true;
    } else if (word == "undone") {
      manifest.undone = true;
    }
  }
  return manifest;
}

uint64_t FolderBytes(const std::filesystem::path& folder) {
  uint64_t bytes = 0;
  std::error_code ec;
  for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end;
       it.increment(ec)) {
    struct stat st {};
    if (::lstat(it->path().c_str(), &st) == 0) bytes += static_cast<uint64_t>(st.st_blocks) * 512;
  }
  return bytes;
}

// The checksum of a whole file; none when it cannot be read.
std::optional<uint64_t> FileChecksum(const std::filesystem::path& path) {
  auto bytes = ReadFileBytes(path);
  if (!bytes) return std::nullopt;
  return Checksum64(bytes->data(), bytes->size());
}

// Removes the oldest runs (never `current`) until at most keepRuns runs and
// keepBytes bytes remain.
void PruneRuns(const std::filesystem::path& backups, size_t keepRuns, uint64_t keepBytes,
               const std::string& current) {
  std::vector<RunSummary> runs = ListRuns(backups);
  uint64_t total = 0;
  for (const auto& run : runs) total += run.bytes;
  size_t count = runs.size();
  for (const auto& run : runs) {
    if (count <= keepRuns && total <= keepBytes) break;
    if (run.name == current) continue;
    std::error_code ec;
    std::filesystem::remove_all(backups / run.name, ec);
    --count;
    total -= std::min(total, run.bytes);
  }
}

}  // namespace

RunBackup::RunBackup(std::filesystem::path backups, std::string command)
    : backups_(std::move(backups)), command_(std::move(command)) {}

RunBackup::~RunBackup() = default;

WriteResult RunBackup::Start() {
  if (Started()) return {};
  std::error_code ec;
  std::filesystem::create_directories(backups_, ec);
  if (ec) return WriteResult::Failed(ec.message());
  std::time_t now = std::time(nullptr);
  std::tm utc{};
  gmtime_r(&now, &utc);
  char stamp[32], shown[40];
  std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &utc);
  std::strftime(shown, sizeof shown, "%Y-%m-%d %H:%M:%S UTC", &utc);
  // Two runs in one second get names of their own.
  for (int n = 1; n < 1000; ++n) {
    std::string name = std::string(stamp) + "-" + command_ + (n > 1 ? "-" + std::to_string(n) : "");
    if (std::filesystem::create_directory(backups_ / name, ec)) {
      name_ = name;
      break;
    }
    if (ec) return WriteResult::Failed(ec.message());
  }
  if (name_.empty()) return WriteResult::Failed("too many runs at once");
  folder_ = backups_ / name_;
  WriteResult head = Append(
      std::string(kManifestHead) + "\ncommand\t" + command_ + "\nstarted\t" + shown + "\n", true);
  if (!head) {
    std::filesystem::remove_all(folder_, ec);
    name_.clear();
  }
  return head;
}

WriteResult RunBackup::Append(const std::string& text, bool sync) {
  int fd = ::open((folder_ / "manifest").c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
  if (fd < 0) return WriteResult::FromError(errno);
  int error = 0;
  // Written before the change it guards, an entry outlives a killed run.
  // Entries are synced with the run's start and end only: what they guard is
  // on disk already (a hard link of the old file, or a synced copy), and a
  // sync per file doubled the time of a clean of every plugin.
  if (!WriteAll(fd, text.data(), text.size())) error = errno ? errno : EIO;
  if (error == 0 && sync && ::fdatasync(fd) != 0) error = errno;
  ::close(fd);
  return error == 0 ? WriteResult() : WriteResult::FromError(error);
}

WriteResult RunBackup::Keep(const std::filesystem::path& path, bool replaced) {
  const std::filesystem::path file = ResolveWriteTarget(path);
  if (kept_.count(file) || created_.count(file)) return {};
  struct stat st {};
  if (::stat(file.c_str(), &st) != 0) return {};  // nothing there yet: the run creates it
  if (WriteResult started = Start(); !started) return started;
  const std::string copy = std::to_string(next_++);
  const std::filesystem::path to = folder_ / copy;
  uint64_t checksum = 0;
  bool linked = replaced && ::link(file.c_str(), to.c_str()) == 0;
  if (linked) {
    auto sum = FileChecksum(file);
    if (!sum) return WriteResult::FromError(errno ? errno : EIO);
    checksum = *sum;
  } else if (WriteResult copied = CopyFile(file, to, checksum); !copied) {
    return copied;
  } else {
    copies_.push_back(to);
  }
  char line[256];
  std::snprintf(line, sizeof line, "keep\t%s\t%o\t%" PRIu64 "\t%lld\t%lld\t%lld\t%lld\t%s\t",
                copy.c_str(), static_cast<unsigned>(st.st_mode & 07777),
                static_cast<uint64_t>(st.st_size), static_cast<long long>(st.st_atim.tv_sec),
                static_cast<long long>(st.st_atim.tv_nsec),
                static_cast<long long>(st.st_mtim.tv_sec),
                static_cast<long long>(st.st_mtim.tv_nsec), Hex(checksum).c_str());
  WriteResult written = Append(line + EscapePath(file) + "\n");
  if (written) kept_.insert(file);
  return written;
}

WriteResult RunBackup::Created(const std::filesystem::path& path) {
  const std::filesystem::path file = ResolveWriteTarget(path);
  if (kept_.count(file) || created_.count(file)) return {};
  if (WriteResult started = Start(); !started) return started;
  WriteResult written = Append("create\t" + EscapePath(file) + "\n");
  if (written) created_.insert(file);
  return written;
}

void RunBackup::Finish(size_t keepRuns, uint64_t keepBytes) {
  if (finished_ || !Started()) return;
  finished_ = true;
  std::string text;
  // The copies reach the disk before the run is called finished (the game
  // syncs the files the run wrote).
  SyncFiles(copies_);
  auto after = [&](const std::filesystem::path& file) {
    auto sum = FileChecksum(file);
    text += "after\t" + (sum ? Hex(*sum) : std::string("-")) + "\t" + EscapePath(file) + "\n";
  };
  for (const auto& file : kept_) after(file);
  for (const auto& file : created_) after(file);
  text += "finished\n";
  Append(text, true);
  PruneRuns(backups_, keepRuns, keepBytes, name_);
}

std::vector<RunSummary> ListRuns(const std::filesystem::path& backups) {
  std::vector<RunSummary> runs;
  std::error_code ec;
  for (std::filesystem::directory_iterator it(backups, ec), end; !ec && it != end;
       it.increment(ec)) {
    if (!it->is_directory(ec)) continue;
    auto manifest = ReadManifest(it->path());
    if (!manifest) continue;
    RunSummary run;
    run.name = it->path().filename().string();
    run.command = manifest->command;
    run.started = manifest->started;
    for (const auto& e : manifest->entries) {
      (e.kind == ManifestEntry::kKeep ? run.changed : run.created) += 1;
    }
    run.finished = manifest->finished;
    run.undone = manifest->undone;
    run.bytes = FolderBytes(it->path());
    runs.push_back(std::move(run));
  }
  std::sort(runs.begin(), runs.end(),
            [](const RunSummary& a, const RunSummary& b) { return a.name < b.name; });
  return runs;
}

UndoOutcome UndoRun(const std::filesystem::path& backups, const std::string& name, bool force) {
  UndoOutcome outcome;
  const std::filesystem::path folder = backups / name;
  auto manifest = ReadManifest(folder);
  if (!manifest) {
    outcome.failed.push_back(folder.string() + ": no backup of a run is there");
    return outcome;
  }
  // A file is as the run left it, already back, or changed by another hand.
  for (const auto& e : manifest->entries) {
    auto now = FileChecksum(e.path);
    bool fine;
    if (e.kind == ManifestEntry::kKeep) {
      fine = (now && *now == e.before) || !e.after ||
             (e.afterMissing ? !now : (now && *now == *e.after));
    } else {
      std::error_code ec;
      fine = !std::filesystem::exists(e.path, ec) || std::filesystem::is_directory(e.path, ec) ||
             !e.after || (!e.afterMissing && now && *now == *e.after);
    }
    if (!fine) outcome.changedSince.push_back(e.path.string());
  }
  if (!outcome.changedSince.empty() && !force) return outcome;

  // What a killed run left half written goes too.
  std::set<std::filesystem::path> folders;
  for (const auto& e : manifest->entries) folders.insert(e.path.parent_path());
  for (const auto& f : folders) RemoveTemporaryLeftovers(f);
  // Created things go last to first, so that a folder is empty when its turn comes.
  for (auto e = manifest->entries.rbegin(); e != manifest->entries.rend(); ++e) {
    std::error_code ec;
    if (e->kind == ManifestEntry::kCreate) {
      if (!std::filesystem::exists(e->path, ec)) continue;
      if (std::filesystem::is_directory(e->path, ec) && !std::filesystem::is_empty(e->path, ec)) {
        continue;  // a folder the player has put files in stays
      }
      if (std::filesystem::remove(e->path, ec) && !ec) {
        outcome.removed.push_back(e->path);
      } else {
        outcome.failed.push_back(e->path.string() + ": " + ec.message());
      }
      continue;
    }
    auto now = FileChecksum(e->path);
    auto times = GetFileTimes(e->path);
    struct stat st {};
    bool same = now && *now == e->before && times && times->modifySec == e->times.modifySec &&
                times->modifyNsec == e->times.modifyNsec && ::stat(e->path.c_str(), &st) == 0 &&
                (st.st_mode & 07777) == e->mode;
    if (same) {
      outcome.restored.push_back(e->path);
      continue;
    }
    // Written whole and renamed over the file: never half restored. The
    // times and mode follow; an undo stopped in between does them again.
    auto bytes = ReadFileBytes(folder / e->copy);
    if (!bytes || Checksum64(bytes->data(), bytes->size()) != e->before) {
      outcome.failed.push_back(e->path.string() + ": the backup of it is damaged or gone");
      continue;
    }
    if (WriteResult written = WriteFileAtomically(e->path, *bytes); !written) {
      outcome.failed.push_back(e->path.string() + ": " + written.reason());
      continue;
    }
    if (::chmod(e->path.c_str(), e->mode) != 0 || !SetFileTimes(e->path, e->times)) {
      outcome.failed.push_back(e->path.string() + ": " + std::strerror(errno));
      continue;
    }
    outcome.restored.push_back(e->path);
  }
  if (outcome.failed.empty()) {
    int fd = ::open((folder / "manifest").c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (fd >= 0) {
      WriteAll(fd, "undone\n", 7);
      ::fdatasync(fd);
      ::close(fd);
    }
  }
  return outcome;
}

}  // namespace modrake
