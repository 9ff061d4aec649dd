#pragma once

namespace modrake {

struct Session;

// Builds "Merged_Objects.esp" in the data folder: one merged record for each
// object of a mergeable type that two or more active plugins define, with
// the account of each in the log; with activate, also makes it an active
// plugin. The session's object index, when it has one, is left describing
// the game masters, or, when no object conflicts, the scan of the plugins.
void MergeObjects(Session& session, bool activate);

}  // namespace modrake
