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
    auto made = RunModrake({"--home", home.path().string(), "sample-game", game.path().string()});
    if (made.exitCode != 0) throw std::runtime_error("sample-game failed: " + made.err);
  }

  CommandResult Run(std::vector<std::string> args) const { return RunModrake(WithGame(args)); }
  // Starts modrake and lets it run while the test goes on.
  std::unique_ptr<BackgroundRun> Start(std::vector<std::string> args) const {
    return std::make_unique<BackgroundRun>(MODRAKE_CLI_BINARY, WithGame(args));
  }
  std::vector<std::string> WithGame(std::vector<std::string> args) const {
    args.insert(args.begin(), {"--game", game.path().string(), "--home", home.path().string()});
    return args;
  }

  std::filesystem::path Data(const std::string& name = {}) const {
    return name.empty() ? game / "Data Files" : game / "Data Files" / name;
  }
  std::filesystem::path Ini() const { return game / "Morrowind.ini"; }

  // Copies the real plugins beside the checkout into the game (writable) and
  // activates them; returns their names, none when there are none.
  std::vector<std::string> AddRealPlugins() const {
    std::filesystem::path real = RealTestData();
    if (real.empty()) return {};
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(real)) {
      if (entry.path().extension() == ".md") continue;
      names.push_back(entry.path().filename().string());
      std::filesystem::copy_file(entry.path(), Data(names.back()));
      std::filesystem::permissions(Data(names.back()), std::filesystem::perms::owner_write,
                                   std::filesystem::perm_options::add);
    }
    std::vector<std::string> activate = {"plugins", "activate"};
    activate.insert(activate.end(), names.begin(), names.end());
    auto activated = Run(activate);
    if (activated.exitCode != 0) throw std::runtime_error("activate failed: " + activated.err);
    return names;
  }

  TempDir game;
  TempDir home;
};

}  // namespace modrake::test
