#include "platform/run_backup.hpp"

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
#include "platform/environment.hpp"
#include "platform/file_names.hpp"

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
  return TextPath(out);
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

std::string Hex(uint64_t value) {
  char text[17];
  std::snprintf(text, sizeof text, "%016" PRIx64, value);
  return text;
}

struct ManifestEntry {
  enum Kind { kKeep, kCreate } kind = kKeep;
  std::filesystem::path path;
  std::string copy;  // the kept file's name in the run's folder
  unsigned mode = 0;
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
      e.mode = static_cast<unsigned>(std::strtoul(std::string(f[2]).c_str(), nullptr, 8));
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
    bytes += DiskBytes(it->path());
  }
  return bytes;
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
  std::tm utc = UtcTimeOf(std::time(nullptr)).value_or(std::tm{});
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
  // Written before the change it guards, an entry outlives a killed run.
  // Entries are synced with the run's start and end only: what they guard is
  // on disk already (a hard link of the old file, or a synced copy), and a
  // sync per file doubled the time of a clean of every plugin.
  return AppendToFile(folder_ / "manifest", text, sync);
}

WriteResult RunBackup::Keep(const std::filesystem::path& path, bool replaced) {
  const std::filesystem::path file = ResolveWriteTarget(path);
  if (kept_.count(file) || created_.count(file)) return {};
  auto status = QueryFileStatus(file);
  auto times = GetFileTimes(file);
  auto mode = FileMode(file);
  if (!status || !times || !mode) return {};  // nothing there yet: the run creates it
  if (WriteResult started = Start(); !started) return started;
  const std::string copy = std::to_string(next_++);
  const std::filesystem::path to = folder_ / copy;
  uint64_t checksum = 0;
  std::error_code ec;
  bool linked = replaced && (std::filesystem::create_hard_link(file, to, ec), !ec);
  if (linked) {
    auto sum = ChecksumFile(file);
    if (!sum) return WriteResult::FromError(errno ? errno : EIO);
    checksum = *sum;
  } else {
    if (WriteResult copied = CopyToNewFile(file, to, checksum); !copied) return copied;
    copies_.push_back(to);
  }
  char line[256];
  std::snprintf(line, sizeof line, "keep\t%s\t%o\t%" PRIu64 "\t%lld\t%lld\t%lld\t%lld\t%s\t",
                copy.c_str(), *mode, status->size, static_cast<long long>(times->accessSec),
                static_cast<long long>(times->accessNsec), static_cast<long long>(times->modifySec),
                static_cast<long long>(times->modifyNsec), Hex(checksum).c_str());
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

void RunBackup::Wrote(const std::filesystem::path& path, uint64_t checksum) {
  const std::filesystem::path file = ResolveWriteTarget(path);
  if (auto print = FingerprintFile(file)) {
    written_[file] = {*print, checksum};
  } else {
    written_.erase(file);
  }
}

void RunBackup::Finish(size_t keepRuns, uint64_t keepBytes) {
  if (finished_ || !Started()) return;
  finished_ = true;
  std::string text;
  // The copies reach the disk before the run is called finished (the game
  // syncs the files the run wrote).
  SyncFiles(copies_);
  auto after = [&](const std::filesystem::path& file) {
    std::optional<uint64_t> sum;
    auto known = written_.find(file);
    if (known != written_.end() && FingerprintFile(file) == known->second.print) {
      sum = known->second.checksum;
    } else {
      sum = ChecksumFile(file);
    }
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
    auto now = ChecksumFile(e.path);
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
    auto now = ChecksumFile(e->path);
    auto times = GetFileTimes(e->path);
    bool same = now && *now == e->before && times && times->modifySec == e->times.modifySec &&
                times->modifyNsec == e->times.modifyNsec && FileMode(e->path) == e->mode;
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
    WriteResult set = SetFileMode(e->path, e->mode);
    if (set) set = SetFileTimes(e->path, e->times);
    if (!set) {
      outcome.failed.push_back(e->path.string() + ": " + set.reason());
      continue;
    }
    outcome.restored.push_back(e->path);
  }
  if (outcome.failed.empty()) {
    AppendToFile(folder / "manifest", "undone\n", true);
  }
  return outcome;
}

}  // namespace modrake
