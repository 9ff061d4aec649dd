#pragma once

namespace modrake {

struct Session;

// Builds "Merged_Dialogs.esp" in the data folder from the dialogue and the
// exterior cells of the game masters and every active plugin: the topics
// that several plugins change, merged and relinked, and the renamed cells
// their conditions rely on. With activate, also makes it an active plugin.
// Uses the session's master index and cell rename table when it has them.
void MergeDialogs(Session& session, bool activate);

}  // namespace modrake
