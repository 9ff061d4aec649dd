#pragma once

namespace modrake {

struct Session;

// The lines the window opens with: the program and the documentation hint, a
// warning when active plugins need masters that are not active, and what to
// do next. The game must be loaded.
void ShowStartupLines(Session& session);

}  // namespace modrake
