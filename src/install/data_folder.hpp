#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "format/plugin_file.hpp"

namespace modrake {

class ExecutionLog;
class GameInstallation;
class Ui;

// One master or plugin of the data folder as the Manage active plugins window
// lists it: the file with its header, its check box and its selection.
struct FolderFile {
  std::unique_ptr<PluginFile> file;
  bool active = false;
  bool selected = false;
};
using FolderFiles = std::vector<FolderFile>;

// Every *.esm, then every *.esp file of the data folder (extensions in any
// letter case), each with its header read, ticked when active, in load
// order. A file whose header cannot be read is listed all the same, with
// the error in its headerError. Logs how many were found.
FolderFiles ScanDataFolder(const GameInstallation& game, ExecutionLog& log);

// Orders the rows by a SortMode.
void SortFolderFiles(FolderFiles& files, int mode);

// The row of that name (any letter case); null when there is none.
FolderFile* FindFolderFile(FolderFiles& files, std::string_view name);

// Makes the active plugins follow the check boxes: unticked ones leave the
// list, newly ticked ones are appended in row order.
void ApplyActiveChecks(GameInstallation& game, const FolderFiles& files);

// Gives the selected rows (game masters never) modification times one minute
// apart after the newest unselected file, in row order, so that they load
// last. Does nothing when no unselected file has a time.
void UpdatePluginTimes(GameInstallation& game, FolderFiles& files);

// Rewrites the header of each selected row (game masters never): version
// 1.3, file type, record count and the present sizes of its active masters;
// the file keeps its time. Ends with a message box.
void UpdatePluginHeaders(GameInstallation& game, FolderFiles& files, Ui& ui);

// Why a name given by the player cannot stand for one file of the folder in
// morrowind.ini: it holds a control character or starts or ends with a
// blank (the game would read another name), or several files answer to it
// in the game's eyes (letter case, or the two spellings of one name) and the
// game could not tell which is meant. Empty when it is usable or no file has
// it.
std::string NameProblem(const std::filesystem::path& folder, const std::string& name);

// A modification time as the list shows it, in local time:
// "Jun 12, 2003   14:05:33"; "UNKNOWN" when it cannot be converted.
std::string DateText(int64_t time);

}  // namespace modrake
