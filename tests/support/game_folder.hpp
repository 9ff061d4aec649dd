#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "support/test_support.hpp"

namespace modrake::test {

// A temporary game folder with its own program home, Morrowind.ini and plugins.
class GameFolder {
 public:
  explicit GameFolder(const std::string& dataFolderName = "Data Files");

  const std::filesystem::path& folder() const { return dir_.path(); }
  std::filesystem::path data() const { return dir_.path() / dataFolderName_; }

  // A plugin of a header naming the masters (each with size 1) and the
  // records, with its modification time set; returns its path.
  std::filesystem::path AddPlugin(const std::string& name, int64_t time,
                                  const std::vector<std::string>& masters = {},
                                  const std::string& records = "");
  // Morrowind.ini (or another spelling) with [Game Files] listing the names
  // and CRLF line endings, after an [General] section.
  void WriteGameFiles(const std::vector<std::string>& names,
                      const std::string& iniName = "Morrowind.ini");
  std::string ReadIni(const std::string& iniName = "Morrowind.ini") const;
  int64_t TimeOf(const std::string& name) const;
  // modrake --game DIR --home HOME args...
  CommandResult Run(std::vector<std::string> args) const;

 private:
  TempDir dir_;
  std::string dataFolderName_;

 public:
  TempDir home;
};

}  // namespace modrake::test
