#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_io.hpp"

namespace modrake {

// What the tokens at the start of a path in openmw.cfg stand for, as OpenMW
// expands them. "?local?" is the folder of the file that names it.
struct OpenMwPaths {
  std::filesystem::path userData;    // ?userdata?: $XDG_DATA_HOME/openmw
  std::filesystem::path userConfig;  // ?userconfig?: $XDG_CONFIG_HOME/openmw
  std::filesystem::path global;      // ?global?: /usr/share/games/openmw

  // From XDG_DATA_HOME, XDG_CONFIG_HOME and HOME (~/.local/share/openmw and
  // ~/.config/openmw when those are unset or empty); on Windows both user
  // folders are Documents\My Games\OpenMW.
  static OpenMwPaths FromEnvironment();
};

// Something found wrong while reading the chain: the file, the line (from 1;
// 0 for the file as a whole) and what is wrong, in words for the player.
struct ConfigProblem {
  std::filesystem::path file;
  unsigned line = 0;
  std::string message;
};

// One content= entry of the chain, in load order.
struct ContentEntry {
  std::string name;  // as the line gives it, quotes and escapes undone
  size_t file = 0;   // index into OpenMwConfig::files()
  unsigned line = 0;
};

// An OpenMW configuration: a chain of openmw.cfg files read in order, each
// "key=value" line adding to what the files before it gave. Only the user's
// file (the last one read that holds content= lines, else the last file) is
// ever written, and in it only the content= lines that change: every other
// byte stays as it was.
class OpenMwConfig {
 public:
  // Reads the chain that starts with these files, in order; a "config=" line
  // adds the openmw.cfg of that folder, read right after the file that names
  // it (and what that one chains). A file reached twice is read once (a
  // config= loop is a problem). FatalError when a start file cannot be read.
  static OpenMwConfig Read(const std::vector<std::filesystem::path>& start,
                           const OpenMwPaths& paths);

  // The files read, in reading order.
  const std::vector<std::filesystem::path>& files() const;
  const std::filesystem::path& userFile() const;
  // The data= folders in priority order (a later one wins), then the
  // data-local folder; tokens expanded, relative paths taken from the folder
  // of the file that gives them; folders that do not exist are left out (and
  // named in problems()), the data-local folder excepted.
  const std::vector<std::filesystem::path>& dataFolders() const;
  // data-local=, the last one given; by default userData / "data".
  const std::filesystem::path& dataLocal() const;
  // Every content= entry in load order, whatever its extension; an entry
  // given again is left out after its first place (a problem).
  const std::vector<ContentEntry>& content() const;
  // The groundcover= entries: plugins OpenMW loads as grass, not content.
  const std::vector<std::string>& groundcover() const;
  const std::vector<ConfigProblem>& problems() const;

  // Changes of the user's file, kept until Save; content() follows them.
  // Adds content=NAME after the last content= line of the user's file (at
  // its end when it has none), ending as the file's other lines do; nothing
  // when content() holds that name already.
  void AddContent(std::string_view name);
  // Takes the user's file's content= line of that name (any letter case, or
  // the other spelling of one name) away; false when the user's file has
  // none (the entry lies in another file of the chain, or nowhere).
  bool RemoveContent(std::string_view name);
  // Moves the user's file's content= line of that name to the end of its
  // content lines; false when the user's file has none.
  bool MoveContentToEnd(std::string_view name);
  bool Changed() const;
  // Writes the user's file atomically when something changed.
  WriteResult Save();

 private:
  // One value of a key, quotes and escapes undone, and where it stands.
  struct Value {
    size_t file = 0;
    unsigned line = 0;
    std::string text;
  };
  // A content= line of the user's file: its bytes, line ending included,
  // and its value as written.
  struct UserLine {
    size_t begin = 0;
    size_t next = 0;
    std::string_view value;
  };

  // What the chain gives for a multi-valued key, in order, with what a
  // "replace=KEY" drops left out.
  std::vector<Value> Values(std::string_view key) const;
  void CollectContent() const;
  std::vector<UserLine> UserContentLines() const;
  bool TakeContent(std::string_view name, bool toEnd);
  void Problem(size_t file, unsigned line, std::string message) const;

  std::vector<std::filesystem::path> files_;
  std::vector<std::string> texts_;  // the bytes of each file, the user's with its changes
  size_t user_ = 0;
  std::string saved_;  // the user's file as it is on disk
  std::vector<std::filesystem::path> dataFolders_;
  std::filesystem::path dataLocal_;
  std::vector<std::string> groundcover_;
  size_t readProblems_ = 0;  // those found while reading; the content ones follow
  // Collected again only when asked for after a change, so that a long run
  // of changes costs one pass over the chain, not one each.
  mutable bool stale_ = false;
  mutable std::vector<ContentEntry> content_;
  mutable std::vector<ConfigProblem> problems_;
};

}  // namespace modrake
