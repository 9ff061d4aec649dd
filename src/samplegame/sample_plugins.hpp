#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "samplegame/sample_masters.hpp"

namespace modrake::samplegame {

// One file of Data Files other than the game masters, built in memory.
struct BuiltPlugin {
  std::string name;
  std::string bytes;
  bool active = true;
};

// The two non-game masters, the scenario plugins and count generated plugins,
// in load order.
std::vector<BuiltPlugin> BuildPlugins(const SampleMasters& masters, int count);

}  // namespace modrake::samplegame
