#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "support/test_support.hpp"

namespace modrake::test {

// A small game folder in a temporary folder: Morrowind.ini and a data folder
// of plugins that hold only a header.
class GameFolder {
 public:
  explicit GameFolder(const std::string& dataFolderName = "Data Files");

  const std::filesystem::path& folder() const { return dir_.path(); }
  std::filesystem::path data() const { return dir_.path() / dataFolderName_; }

  // A plugin whose header names the masters (each with size 1), with its
  // modification time set; returns its path.
  std::filesystem::path AddPlugin(const std::string& name, int64_t time,
                                  const std::vector<std::string>& masters = {});
  // Morrowind.ini (or another spelling) with [Game Files] listing the names
  // and CRLF line endings, after an [General] section.
  void WriteGameFiles(const std::vector<std::string>& names,
                      const std::string& iniName = "Morrowind.ini");
  std::string ReadIni(const std::string& iniName = "Morrowind.ini") const;
  int64_t TimeOf(const std::string& name) const;

 private:
  TempDir dir_;
  std::string dataFolderName_;
};

// A game folder for runs of the built modrake: plugins written from record
// bytes, and a program home of its own.
class CliGame {
 public:
  CliGame();

  std::filesystem::path data() const { return dir / "Data Files"; }
  // A file of a header and the records, with its modification time.
  void Write(const std::string& name, const std::vector<std::string>& records, int64_t time);
  // modrake --game DIR --home HOME args...
  CommandResult Run(std::vector<std::string> args) const;

  TempDir dir;
  TempDir home;
};

}  // namespace modrake::test
