#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/test_support.hpp"

namespace modrake::test {

// A fresh sample game and program home, and modrake run on them.
class SampleGameRun {
 public:
  SampleGameRun() {
    auto made = RunModrake({"--home", home.path(), "sample-game", game.path()});
    if (made.exitCode != 0) throw std::runtime_error("sample-game failed: " + made.err);
  }

  CommandResult Run(std::vector<std::string> args) const {
    args.insert(args.begin(), {"--game", game.path(), "--home", home.path()});
    return RunModrake(args);
  }

  std::filesystem::path Data(const std::string& name = {}) const {
    return name.empty() ? game / "Data Files" : game / "Data Files" / name;
  }
  std::filesystem::path Ini() const { return game / "Morrowind.ini"; }

  TempDir game;
  TempDir home;
};

}  // namespace modrake::test
