#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_io.hpp"

namespace modrake {

// A settings file of sections and keys, read and changed key by key the way
// the game and Windows' profile functions treat it: section and key names
// match in any letter case, and every byte that no change touches stays as
// it was (comments, blank lines, unknown keys, line endings, non-ASCII bytes).
class IniFile {
 public:
  // Reads the file; a missing file reads as empty. A file that exists but
  // cannot be read also reads as empty, with the reason in ReadError, and is
  // never saved over.
  explicit IniFile(std::filesystem::path path);
  // Parses text held in memory (no file behind it until Save).
  IniFile(std::filesystem::path path, std::string text);

  // The value of the first such key of the first such section, without the
  // blanks around it and without one pair of enclosing quotes, cut to
  // maxChars; none when the key is absent.
  std::optional<std::string> Find(std::string_view section, std::string_view key,
                                  size_t maxChars = std::string::npos) const;
  std::string Read(std::string_view section, std::string_view key, std::string_view fallback,
                   size_t maxChars = std::string::npos) const;

  // The keys of the first such section, in file order.
  std::vector<std::string> Keys(std::string_view section) const;

  // Replaces the value in place, or adds the key after the last key of its
  // section, or adds the section at the end of the file.
  void Write(std::string_view section, std::string_view key, std::string_view value);
  // Removes every line of the section that holds the key.
  void Delete(std::string_view section, std::string_view key);

  // Why the file could not be read; empty when it was read or is missing.
  const std::string& ReadError() const { return readError_; }
  bool Changed() const { return changed_; }
  std::string Text() const;
  // Writes the file atomically when something changed; a file that could
  // not be read is never saved over.
  WriteResult Save();

  const std::filesystem::path& path() const { return path_; }

 private:
  struct Line {
    std::string text;  // without its line ending
    std::string ending;
  };
  struct Section {
    size_t header;  // line index of the [section] line
    size_t end;     // one past its last line
  };

  void Parse(std::string_view text);
  std::optional<Section> FindSection(std::string_view name) const;
  std::optional<size_t> FindKey(const Section& section, std::string_view key) const;
  const std::string& NewLineEnding() const;

  std::filesystem::path path_;
  std::vector<Line> lines_;
  std::string newLine_;  // the ending the file uses for lines we add
  std::string readError_;
  bool changed_ = false;
};

}  // namespace modrake
