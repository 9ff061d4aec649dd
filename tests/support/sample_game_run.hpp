#pragma once

#include <filesystem>
#include <memory>
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

  CommandResult Run(std::vector<std::string> args) const { return RunModrake(WithGame(args)); }
  // Starts modrake and lets it run while the test goes on.
  std::unique_ptr<BackgroundRun> Start(std::vector<std::string> args) const {
    return std::make_unique<BackgroundRun>(MODRAKE_CLI_BINARY, WithGame(args));
  }
  std::vector<std::string> WithGame(std::vector<std::string> args) const {
    args.insert(args.begin(), {"--game", game.path(), "--home", home.path()});
    return args;
  }

  std::filesystem::path Data(const std::string& name = {}) const {
    return name.empty() ? game / "Data Files" : game / "Data Files" / name;
  }
  std::filesystem::path Ini() const { return game / "Morrowind.ini"; }

  TempDir game;
  TempDir home;
};

}  // namespace modrake::test
