#pragma once

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "support/game_folder.hpp"
#include "support/test_support.hpp"

namespace modrake::test {

// Sets an environment variable for the programs a test runs, and puts the
// old value back afterwards.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    const char* old = std::getenv(name);
    if (old) old_ = old;
    if (value) {
      setenv(name, value, 1);
    } else {
      unsetenv(name);
    }
  }
  ~ScopedEnv() {
    if (old_) {
      setenv(name_, old_->c_str(), 1);
    } else {
      unsetenv(name_);
    }
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

// Nowhere for a run to find a game but where the test puts one: HOME is a
// folder of the test's, and no variable names a Wine prefix or an OpenMW
// configuration.
struct NoGameElsewhere {
  explicit NoGameElsewhere(const std::filesystem::path& folder) : home("HOME", folder.c_str()) {}
  ScopedEnv home;
  ScopedEnv prefix{"WINEPREFIX", nullptr};
  ScopedEnv configHome{"XDG_CONFIG_HOME", nullptr};
  ScopedEnv openmwConfig{"OPENMW_CONFIG", nullptr};
  ScopedEnv openmwConfigDir{"OPENMW_CONFIG_DIR", nullptr};
};

// 2003-06-12 14:05:33 UTC and the minutes after it.
constexpr int64_t kTime = 1055426733;

// A game of header-only masters and plugins, one of them needing an inactive
// master and one a missing master, with a program home; Run runs modrake on it.
struct HeaderOnlyGame {
  HeaderOnlyGame() {
    game.AddPlugin("Morrowind.esm", kTime);
    game.AddPlugin("Tribunal.esm", kTime + 60, {"Morrowind.esm"});
    game.AddPlugin("Bloodmoon.esm", kTime + 120, {"Morrowind.esm"});
    game.AddPlugin("Needs Tribunal.esp", kTime + 180, {"Morrowind.esm", "TRIBUNAL.ESM"});
    game.AddPlugin("orphan.ESP", kTime + 240, {"Lost.esm"});
    game.WriteGameFiles({"morrowind.esm", "needs tribunal.esp", "Bloodmoon.esm"});
  }
  CommandResult Run(std::vector<std::string> args) const {
    args.insert(args.begin(), {"--home", home.path().string(), "--game", game.folder().string()});
    return RunModrake(args);
  }
  GameFolder game;
  TempDir home;
  ScopedEnv tz{"TZ", "UTC"};
};

}  // namespace modrake::test
