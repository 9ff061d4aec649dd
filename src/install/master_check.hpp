#pragma once

namespace modrake {

class ExecutionLog;
class GameInstallation;

// Counts the master references of the active plugins that name a file of the
// data folder which is not active. With report, each such reference is
// logged as a WARNING line and each reference to a missing file as an ERROR
// line (missing ones are not counted).
unsigned CheckMasterReferences(const GameInstallation& game, ExecutionLog& log, bool report);

}  // namespace modrake
