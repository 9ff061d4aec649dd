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

}  // namespace modrake::test
