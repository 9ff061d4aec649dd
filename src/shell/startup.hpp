#pragma once

#include <string>
#include <vector>

namespace modrake {

struct Session;

// The lines the window opens with: the program and the documentation hint, a
// warning when active plugins need masters that are not active, and what to
// do next. The game must be loaded.
void ShowStartupLines(Session& session);

// The lines that name the game when it is not the original engine's (its
// OpenMW configuration), and what was wrong in that configuration.
std::vector<std::string> StartupGameLines(Session& session);

}  // namespace modrake
