#include "install/openmw_config.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unordered_map>

#include "core/fatal_error.hpp"
#include "core/text.hpp"
#include "platform/environment.hpp"
#include "platform/file_names.hpp"

namespace modrake {

namespace {

// Far beyond any real configuration; a larger file is something else.
constexpr uint64_t kMaxConfigSize = 64 << 20;

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r';
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

// One line of a file: where it lies (next is where the line after it
// starts, past its line ending) and, for a "key=value" line, its key and
// its value as written.
struct CfgLine {
  unsigned number = 0;
  size_t begin = 0;
  size_t next = 0;
  std::string_view key;  // empty for comments and lines without "="
  std::string_view value;
};

template <typename Fn>
void ForEachLine(std::string_view text, Fn&& fn) {
  CfgLine line;
  for (size_t begin = 0; begin < text.size(); begin = line.next) {
    size_t newline = text.find('\n', begin);
    size_t end = newline == std::string_view::npos ? text.size() : newline;
    line = {line.number + 1, begin, end == text.size() ? end : end + 1, {}, {}};
    std::string_view body = text.substr(begin, end - begin);
    // A byte order mark some editors put first is no part of the first key.
    if (begin == 0 && body.starts_with("\xEF\xBB\xBF")) body.remove_prefix(3);
    body = Trim(body);
    size_t equals = body.find('=');
    if (!body.starts_with('#') && equals != std::string_view::npos) {
      line.key = Trim(body.substr(0, equals));
      line.value = Trim(body.substr(equals + 1));
    }
    fn(line);
  }
}

// A value in double quotes ends at the closing quote, and inside it "&"
// takes the next character as it is.
std::string Unquote(std::string_view value) {
  if (!value.starts_with('"')) return std::string(value);
  std::string out;
  for (size_t i = 1; i < value.size() && value[i] != '"'; ++i) {
    if (value[i] == '&' && ++i == value.size()) break;
    out.push_back(value[i]);
  }
  return out;
}

// Whether a value as written names that file, without a copy of the many
// values that need no unquoting.
bool ValueNames(std::string_view value, std::string_view name) {
  return value.starts_with('"') ? SameFileName(Unquote(value), name) : SameFileName(value, name);
}

// The value that reads back as name: plain when nothing in it means
// something to the reader, else quoted with "&" escapes.
std::string Quote(std::string_view name) {
  bool plain = !name.empty() && !IsBlank(name.front()) && !IsBlank(name.back()) &&
               name.front() != '"' && name.find_first_of("&#") == std::string_view::npos;
  if (plain) return std::string(name);
  std::string out = "\"";
  for (char c : name) {
    if (c == '&' || c == '"') out.push_back('&');
    out.push_back(c);
  }
  out.push_back('"');
  return out;
}

// A path as OpenMW expands it: a token at the start stands for its folder
// and the rest is taken relative to it; any other relative path is taken
// from the folder of the file that gives it.
std::filesystem::path ExpandPath(const std::string& value, const std::filesystem::path& fileFolder,
                                 const OpenMwPaths& paths) {
  const std::pair<std::string_view, const std::filesystem::path*> tokens[] = {
      {"?userdata?", &paths.userData},
      {"?userconfig?", &paths.userConfig},
      {"?global?", &paths.global},
      {"?local?", &fileFolder},
  };
  for (const auto& [token, base] : tokens) {
    if (!value.starts_with(token)) continue;
    std::string_view rest = std::string_view(value).substr(token.size());
    while (rest.starts_with('/')) rest.remove_prefix(1);
    return rest.empty() ? *base : *base / TextPath(rest);
  }
  std::filesystem::path path = TextPath(value);
  return path.is_relative() ? fileFolder / path : path;
}

// The bytes of a configuration file; none, with the system's reason, when
// it cannot be read. Only regular files are opened, so that a pipe or a
// device never blocks the read.
std::optional<std::string> ReadConfigFile(const std::filesystem::path& file, std::string& reason) {
  std::error_code ec;
  const std::filesystem::file_status status = std::filesystem::status(file, ec);
  if (ec) {
    reason = ec.message();
    return std::nullopt;
  }
  if (std::filesystem::is_directory(status)) {
    reason = std::make_error_code(std::errc::is_a_directory).message();
  } else if (!std::filesystem::is_regular_file(status)) {
    reason = "not a regular file";
  } else if (std::filesystem::file_size(file, ec) > kMaxConfigSize && !ec) {
    reason = "too large for a configuration file";
  } else {
    errno = 0;
    if (auto bytes = ReadFileBytes(file)) return bytes;
    reason = errno != 0 ? std::strerror(errno) : "read error";
  }
  return std::nullopt;
}

const std::string& FileEnding(std::string_view text) {
  static const std::string lf = "\n", crlf = "\r\n";
  size_t newline = text.find('\n');
  return newline != std::string_view::npos && newline > 0 && text[newline - 1] == '\r' ? crlf : lf;
}

bool IsDirectory(const std::filesystem::path& path) {
  std::error_code ec;
  // A NUL byte would cut the name the system sees.
  return path.native().find('\0') == std::string::npos && std::filesystem::is_directory(path, ec);
}

}  // namespace

OpenMwPaths OpenMwPaths::FromEnvironment() {
  GameUserFolders user = UserFoldersOfGame("openmw", "OpenMW");
  return {user.data, user.config, "/usr/share/games/openmw"};
}

OpenMwConfig OpenMwConfig::Read(const std::vector<std::filesystem::path>& start,
                                const OpenMwPaths& paths) {
  OpenMwConfig config;
  struct Pending {
    std::filesystem::path file;
    size_t from = 0;    // the file whose config= line names it
    unsigned line = 0;  // 0 for a start file
  };
  // Depth first, as OpenMW reads: a file's config= folders come right
  // after it, in the order given.
  std::vector<Pending> pending;
  for (auto it = start.rbegin(); it != start.rend(); ++it) pending.push_back({*it});
  std::vector<FileIdentity> seen;
  while (!pending.empty()) {
    Pending next = std::move(pending.back());
    pending.pop_back();
    auto identity = IdentifyFile(next.file);
    if (identity && std::find(seen.begin(), seen.end(), *identity) != seen.end()) {
      // The start list may name a file that a config= line chains already.
      if (next.line != 0) {
        config.Problem(next.from, next.line,
                       FormatText("config= reaches %s a second time; it is read once",
                                  next.file.string().c_str()));
      }
      continue;
    }
    std::string reason;
    auto text = ReadConfigFile(next.file, reason);
    if (!text) {
      if (next.line == 0)
        FatalError("Cannot read file %s: %s", next.file.string().c_str(), reason.c_str());
      config.Problem(next.from, next.line,
                     FormatText("Cannot read %s: %s", next.file.string().c_str(), reason.c_str()));
      continue;
    }
    if (identity) seen.push_back(*identity);
    size_t index = config.files_.size();
    config.files_.push_back(next.file);
    config.texts_.push_back(std::move(*text));
    std::vector<Pending> chained;
    ForEachLine(config.texts_.back(), [&](const CfgLine& line) {
      if (line.key != "config") return;
      auto folder = ExpandPath(Unquote(line.value), next.file.parent_path(), paths);
      chained.push_back({folder / "openmw.cfg", index, line.number});
    });
    pending.insert(pending.end(), chained.rbegin(), chained.rend());
  }
  if (config.files_.empty()) FatalError("No openmw.cfg to read");

  // The user's file: the last one that holds content= lines.
  config.user_ = config.files_.size() - 1;
  for (size_t i = 0; i < config.texts_.size(); ++i) {
    ForEachLine(config.texts_[i], [&](const CfgLine& line) {
      if (line.key == "content") config.user_ = i;
    });
  }
  config.saved_ = config.texts_[config.user_];

  auto folderOf = [&](size_t file) { return config.files_[file].parent_path(); };
  for (const auto& data : config.Values("data")) {
    auto folder = ExpandPath(data.text, folderOf(data.file), paths);
    if (IsDirectory(folder)) {
      config.dataFolders_.push_back(folder);
    } else {
      config.Problem(
          data.file, data.line,
          FormatText("Data folder %s does not exist; it is left out", folder.string().c_str()));
    }
  }
  // An empty data-local= means the default, as in OpenMW.
  auto local = config.Values("data-local");
  config.dataLocal_ = local.empty() || local.back().text.empty()
                          ? paths.userData / "data"
                          : ExpandPath(local.back().text, folderOf(local.back().file), paths);
  config.dataFolders_.push_back(config.dataLocal_);
  for (auto& cover : config.Values("groundcover")) config.groundcover_.push_back(cover.text);
  config.readProblems_ = config.problems_.size();
  config.stale_ = true;
  return config;
}

const std::vector<std::filesystem::path>& OpenMwConfig::files() const {
  return files_;
}
const std::filesystem::path& OpenMwConfig::userFile() const {
  return files_[user_];
}
const std::vector<std::filesystem::path>& OpenMwConfig::dataFolders() const {
  return dataFolders_;
}
const std::filesystem::path& OpenMwConfig::dataLocal() const {
  return dataLocal_;
}
const std::vector<ContentEntry>& OpenMwConfig::content() const {
  if (stale_) CollectContent();
  return content_;
}
const std::vector<std::string>& OpenMwConfig::groundcover() const {
  return groundcover_;
}
const std::vector<ConfigProblem>& OpenMwConfig::problems() const {
  if (stale_) CollectContent();
  return problems_;
}

void OpenMwConfig::Problem(size_t file, unsigned line, std::string message) const {
  problems_.push_back({files_[file], line, std::move(message)});
}

std::vector<OpenMwConfig::Value> OpenMwConfig::Values(std::string_view key) const {
  std::vector<Value> values;
  for (size_t file = 0; file < texts_.size(); ++file) {
    size_t fromThisFile = values.size();
    bool replace = false;
    ForEachLine(texts_[file], [&](const CfgLine& line) {
      if (line.key == key) {
        values.push_back({file, line.number, Unquote(line.value)});
      } else if (line.key == "replace" && Unquote(line.value) == key) {
        replace = true;
      }
    });
    // As OpenMW merges: "replace=" drops what earlier files gave, not what
    // its own file gives.
    if (replace) values.erase(values.begin(), values.begin() + fromThisFile);
  }
  return values;
}

void OpenMwConfig::CollectContent() const {
  stale_ = false;
  content_.clear();
  problems_.resize(readProblems_);
  std::unordered_map<std::string, size_t> first;  // name key -> index in content_
  for (auto& value : Values("content")) {
    if (value.text.empty()) continue;
    auto [it, added] = first.try_emplace(FileNameKey(value.text), content_.size());
    if (added) {
      content_.push_back({std::move(value.text), value.file, value.line});
      continue;
    }
    const ContentEntry& kept = content_[it->second];
    Problem(value.file, value.line,
            FormatText("Content file %s is listed twice; the first entry (%s, line %u) counts",
                       value.text.c_str(), files_[kept.file].string().c_str(), kept.line));
  }
}

std::vector<OpenMwConfig::UserLine> OpenMwConfig::UserContentLines() const {
  std::vector<UserLine> lines;
  ForEachLine(texts_[user_], [&](const CfgLine& line) {
    if (line.key == "content") lines.push_back({line.begin, line.next, line.value});
  });
  return lines;
}

void OpenMwConfig::AddContent(std::string_view rawName) {
  // A line break inside a name would forge lines of its own.
  std::string name;
  for (char c : rawName) {
    if (c != '\r' && c != '\n') name.push_back(c);
  }
  if (name.empty()) return;
  for (const auto& entry : content()) {
    if (SameFileName(entry.name, name)) return;
  }
  std::string& text = texts_[user_];
  auto lines = UserContentLines();
  size_t at = lines.empty() ? text.size() : lines.back().next;
  if (at == text.size() && !text.empty() && !text.ends_with('\n')) {
    text += FileEnding(text);
    at = text.size();
  }
  text.insert(at, "content=" + Quote(name) + FileEnding(text));
  // When the user's file ends the chain, no later file can drop the new
  // entry (replace=content): it simply comes last, and a long list of
  // additions needs no recollection between them.
  if (user_ + 1 < files_.size()) {
    stale_ = true;
  } else {
    auto number = static_cast<unsigned>(std::count(text.begin(), text.begin() + at, '\n') + 1);
    content_.push_back({std::move(name), user_, number});
  }
}

bool OpenMwConfig::RemoveContent(std::string_view name) {
  return TakeContent(name, false);
}

bool OpenMwConfig::MoveContentToEnd(std::string_view name) {
  return TakeContent(name, true);
}

bool OpenMwConfig::TakeContent(std::string_view name, bool toEnd) {
  auto lines = UserContentLines();
  std::vector<size_t> taken;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (ValueNames(lines[i].value, name)) taken.push_back(i);
  }
  if (taken.empty()) return false;
  // Lines already last stay where they are.
  if (toEnd && taken.front() == lines.size() - taken.size()) return true;

  const std::string& text = texts_[user_];
  std::string out, moved;
  size_t copied = 0;
  for (size_t i : taken) {
    out.append(text, copied, lines[i].begin - copied);
    moved.append(text, lines[i].begin, lines[i].next - lines[i].begin);
    copied = lines[i].next;
  }
  if (toEnd) {
    // The last content line is one that stays: the moved lines go after it.
    size_t after = lines.back().next;
    out.append(text, copied, after - copied);
    if (!out.ends_with('\n')) out += FileEnding(text);
    out += moved;
    copied = after;
  }
  out.append(text, copied);
  texts_[user_] = std::move(out);
  stale_ = true;
  return true;
}

bool OpenMwConfig::Changed() const {
  return texts_[user_] != saved_;
}

WriteResult OpenMwConfig::Save() {
  if (!Changed()) return {};
  WriteResult result = WriteFileAtomically(files_[user_], texts_[user_]);
  if (result) saved_ = texts_[user_];
  return result;
}

}  // namespace modrake
