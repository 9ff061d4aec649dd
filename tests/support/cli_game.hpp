#pragma once

#include <string>
#include <vector>

#include "support/game_folder.hpp"
#include "support/test_support.hpp"

namespace modrake::test {

// HOME is the test's, and no variable names a Wine prefix or an OpenMW configuration.
struct NoGameElsewhere {
  explicit NoGameElsewhere(const std::filesystem::path& folder) : home("HOME", folder.string()) {}
  ScopedEnv home;
  ScopedEnv prefix{"WINEPREFIX", std::nullopt};
  ScopedEnv configHome{"XDG_CONFIG_HOME", std::nullopt};
  ScopedEnv openmwConfig{"OPENMW_CONFIG", std::nullopt};
  ScopedEnv openmwConfigDir{"OPENMW_CONFIG_DIR", std::nullopt};
};

// 2003-06-12 14:05:33 UTC and the minutes after it.
constexpr int64_t kTime = 1055426733;

// Header-only plugins, one needing an inactive master, one a missing one; dates in UTC.
struct HeaderOnlyGame : GameFolder {
  HeaderOnlyGame() {
    AddPlugin("Morrowind.esm", kTime);
    AddPlugin("Tribunal.esm", kTime + 60, {"Morrowind.esm"});
    AddPlugin("Bloodmoon.esm", kTime + 120, {"Morrowind.esm"});
    AddPlugin("Needs Tribunal.esp", kTime + 180, {"Morrowind.esm", "TRIBUNAL.ESM"});
    AddPlugin("orphan.ESP", kTime + 240, {"Lost.esm"});
    WriteGameFiles({"morrowind.esm", "needs tribunal.esp", "Bloodmoon.esm"});
  }
  ScopedEnv tz{"TZ", "UTC"};
};

}  // namespace modrake::test
