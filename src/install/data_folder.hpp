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

// Every master and plugin of the data folders (see PluginFileNames), the
// winning copy of each name once, each with its header read, ticked when
// active, in load order. A file whose header cannot be read is listed all
// the same, with the error in its headerError. Logs how many were found.
FolderFiles ScanDataFolder(const GameInstallation& game, ExecutionLog& log);

// Orders the rows by a SortMode; the load order is the game's.
void SortFolderFiles(const GameInstallation& game, FolderFiles& files, int mode);

// The row of that name (any letter case); null when there is none.
FolderFile* FindFolderFile(FolderFiles& files, std::string_view name);

// Makes the active plugins follow the check boxes: unticked ones leave the
// list, newly ticked ones are appended in row order.
void ApplyActiveChecks(GameInstallation& game, const FolderFiles& files);

// Makes the selected rows (game masters never) load last, in row order (see
// GameInstallation::LoadLast).
void UpdatePluginTimes(GameInstallation& game, FolderFiles& files);

// Rewrites the header of each selected row (game masters never): version
// 1.3, file type, record count and the present sizes of its active masters;
// the file keeps its time. Ends with a message box.
void UpdatePluginHeaders(GameInstallation& game, FolderFiles& files, Ui& ui);

// Why a name given by the player cannot stand for one file of its data
// folder in the game's list: it holds a control character, or starts or
// ends with a blank in morrowind.ini (the game would read another name), or
// several files of the folder answer to it in the game's eyes (letter case,
// or the two spellings of one name) and the game could not tell which is
// meant. Empty when it is usable or no file has it.
std::string NameProblem(const GameInstallation& game, const std::string& name);

// A modification time as the list shows it, in local time:
// "Jun 12, 2003   14:05:33"; "UNKNOWN" when it cannot be converted.
std::string DateText(int64_t time);

}  // namespace modrake
