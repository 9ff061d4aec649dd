#include "platform/ini_file.hpp"

#include <cerrno>
#include <cstring>
#include <system_error>

#include "platform/ascii.hpp"
#include "platform/file_io.hpp"

namespace modrake {

namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && (IsBlank(text.back()) || text.back() == '\r')) text.remove_suffix(1);
  return text;
}

bool SameName(std::string_view a, std::string_view b) {
  return EqualsNoCase(a, b);
}

// A byte order mark some editors put first is no part of the first name.
std::string_view SkipLead(std::string_view text, bool firstLine) {
  if (firstLine && text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  return text;
}

std::optional<std::string_view> SectionName(std::string_view line, bool firstLine) {
  line = SkipLead(line, firstLine);
  if (line.empty() || line.front() != '[') return std::nullopt;
  line.remove_prefix(1);
  size_t close = line.find(']');
  return Trim(line.substr(0, close));
}

// The key of a "key=value" line; none for comments, section lines and lines
// without "=".
std::optional<std::string_view> KeyName(std::string_view line, bool firstLine) {
  line = SkipLead(line, firstLine);
  if (line.empty() || line.front() == ';' || line.front() == '#' || line.front() == '[') {
    return std::nullopt;
  }
  size_t equals = line.find('=');
  if (equals == std::string_view::npos) return std::nullopt;
  return Trim(line.substr(0, equals));
}

// The bytes of the file; a missing file (or a missing folder on its path)
// reads as empty. Any other failure leaves the system's reason in error.
std::string ReadWholeFile(const std::filesystem::path& path, std::string& error) {
  std::error_code ec;
  const std::filesystem::file_status status = std::filesystem::status(path, ec);
  if (!std::filesystem::exists(status)) {
    if (ec && ec != std::errc::no_such_file_or_directory && ec != std::errc::not_a_directory) {
      error = ec.message();
    }
    return {};
  }
  if (std::filesystem::is_directory(status)) {
    error = std::make_error_code(std::errc::is_a_directory).message();
    return {};
  }
  errno = 0;
  std::optional<std::string> text = ReadFileBytes(path);
  if (!text) {
    error = std::strerror(errno != 0 ? errno : EIO);
    return {};
  }
  return std::move(*text);
}

}  // namespace

IniFile::IniFile(std::filesystem::path path) : path_(std::move(path)) {
  Parse(ReadWholeFile(path_, readError_));
}

IniFile::IniFile(std::filesystem::path path, std::string text) : path_(std::move(path)) {
  Parse(text);
}

void IniFile::Parse(std::string_view text) {
  size_t start = 0;
  while (start < text.size()) {
    size_t newline = text.find('\n', start);
    Line line;
    if (newline == std::string_view::npos) {
      line.text = text.substr(start);
      start = text.size();
    } else {
      size_t end = newline;
      if (end > start && text[end - 1] == '\r') --end;
      line.text = text.substr(start, end - start);
      line.ending = text.substr(end, newline + 1 - end);
      start = newline + 1;
    }
    if (newLine_.empty() && !line.ending.empty()) newLine_ = line.ending;
    lines_.push_back(std::move(line));
  }
}

const std::string& IniFile::NewLineEnding() const {
  static const std::string platform = "\n";
  return newLine_.empty() ? platform : newLine_;
}

std::optional<IniFile::Section> IniFile::FindSection(std::string_view name) const {
  for (size_t i = 0; i < lines_.size(); ++i) {
    auto found = SectionName(lines_[i].text, i == 0);
    if (!found || !SameName(*found, name)) continue;
    size_t end = i + 1;
    while (end < lines_.size() && !SectionName(lines_[end].text, false)) ++end;
    return Section{i, end};
  }
  return std::nullopt;
}

std::optional<size_t> IniFile::FindKey(const Section& section, std::string_view key) const {
  for (size_t i = section.header + 1; i < section.end; ++i) {
    auto found = KeyName(lines_[i].text, false);
    if (found && SameName(*found, key)) return i;
  }
  return std::nullopt;
}

std::optional<std::string> IniFile::Find(std::string_view section, std::string_view key,
                                         size_t maxChars) const {
  auto where = FindSection(section);
  if (!where) return std::nullopt;
  auto line = FindKey(*where, key);
  if (!line) return std::nullopt;
  std::string_view text = lines_[*line].text;
  std::string_view value = Trim(text.substr(text.find('=') + 1));
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front()) {
    value = value.substr(1, value.size() - 2);
  }
  return std::string(value.substr(0, maxChars));
}

std::vector<std::string> IniFile::Keys(std::string_view section) const {
  std::vector<std::string> keys;
  auto where = FindSection(section);
  if (!where) return keys;
  for (size_t i = where->header + 1; i < where->end; ++i) {
    if (auto key = KeyName(lines_[i].text, false)) keys.emplace_back(*key);
  }
  return keys;
}

std::string IniFile::Read(std::string_view section, std::string_view key, std::string_view fallback,
                          size_t maxChars) const {
  auto value = Find(section, key, maxChars);
  return value ? *value : std::string(fallback.substr(0, maxChars));
}

void IniFile::Write(std::string_view section, std::string_view key, std::string_view rawValue) {
  // A line break inside a value would forge lines of its own.
  std::string value;
  for (char c : rawValue) {
    if (c != '\r' && c != '\n') value.push_back(c);
  }
  const std::string& newLine = NewLineEnding();
  auto where = FindSection(section);
  if (!where) {
    if (!lines_.empty() && lines_.back().ending.empty()) lines_.back().ending = newLine;
    lines_.push_back({"[" + std::string(section) + "]", newLine});
    lines_.push_back({std::string(key) + "=" + value, newLine});
    changed_ = true;
    return;
  }
  if (auto line = FindKey(*where, key)) {
    std::string& text = lines_[*line].text;
    size_t keep = text.find('=') + 1;
    while (keep < text.size() && IsBlank(text[keep])) ++keep;
    if (std::string_view(text).substr(keep) == value) return;
    text.replace(keep, std::string::npos, value);
    changed_ = true;
    return;
  }
  size_t after = where->header;
  for (size_t i = where->header + 1; i < where->end; ++i) {
    if (KeyName(lines_[i].text, false)) after = i;
  }
  Line added{std::string(key) + "=" + value, newLine};
  if (lines_[after].ending.empty()) {
    // The last line had no line ending: the added one becomes the last.
    lines_[after].ending = newLine;
    added.ending.clear();
  }
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(after + 1), std::move(added));
  changed_ = true;
}

void IniFile::Delete(std::string_view section, std::string_view key) {
  auto where = FindSection(section);
  if (!where) return;
  while (auto line = FindKey(*where, key)) {
    lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(*line));
    --where->end;
    changed_ = true;
  }
}

std::string IniFile::Text() const {
  std::string text;
  for (const auto& line : lines_) {
    text += line.text;
    text += line.ending;
  }
  return text;
}

WriteResult IniFile::Save() {
  if (!changed_) return {};
  // What could not be read must not be replaced by the few keys we know.
  if (!readError_.empty()) return WriteResult::Failed(readError_);
  WriteResult result = WriteFileAtomically(path_, Text());
  if (result) changed_ = false;
  return result;
}

}  // namespace modrake
