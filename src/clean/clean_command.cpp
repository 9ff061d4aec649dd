#include "clean/clean_command.hpp"

#include <algorithm>
#include <set>
#include <system_error>
#include <vector>

#include "clean/plugin_cleaner.hpp"
#include "core/execution_log.hpp"
#include "core/fatal_error.hpp"
#include "core/progress.hpp"
#include "core/session.hpp"
#include "core/text.hpp"
#include "core/ui.hpp"
#include "install/game_installation.hpp"
#include "objectdb/master_set.hpp"
#include "platform/file_names.hpp"

namespace modrake {

namespace {
// Masters beyond the game's own that count for the run are left as they are:
// what was read of them must stay true while the others are cleaned.
bool IsNeverCleaned(const Session& session, const std::string& name) {
  const auto& extras = session.index->extraMasters;
  return IsGameMasterName(name) || IsMergedPluginName(name) ||
         std::any_of(extras.begin(), extras.end(), [&](const ObjectIndex::ExtraMaster& extra) {
           return EqualsNoCase(extra.file->name, name);
         });
}

// Folders made for this run, taken away again when they stay empty, also
// when the run stops on an error.
struct MadeFolders {
  std::vector<std::filesystem::path> folders;
  ~MadeFolders() {
    for (const auto& folder : folders) {
      std::error_code ec;
      if (std::filesystem::is_empty(folder, ec) && !ec) std::filesystem::remove(folder, ec);
    }
  }
};

// Cleans the files the user chose (Ui::ChooseFiles) against the masters
// (loaded): in place, beside them under "Clean " names, or in a "Clean"
// subfolder of their folder.
void CleanCommand(Session& session, MasterSet& masters, int subfolder) {
  ExecutionLog& log = session.log;
  const bool keepTime = session.options.boxes.keepFileDate;
  const bool keepNames = session.options.boxes.keepFileName;

  std::vector<std::filesystem::path> chosen = session.ui.ChooseFiles();
  if (chosen.empty()) return;
  // A missing file stops the command before anything is made or cleaned.
  for (const auto& file : chosen) {
    // Found as the plugin itself would be: in any letter case.
    auto found = FindNoCase(file.parent_path(), file.filename().string());
    if (!found || !QueryFileStatus(*found)) {
      FatalError("Cannot find file %s", file.filename().string().c_str());
    }
  }

  // Each chosen file keeps its own folder; the Clean subfolders are made
  // before anything is cleaned, and those this run made go again when
  // nothing was saved in them.
  MadeFolders made;
  if (subfolder) {
    std::set<std::filesystem::path> folders;
    for (const auto& file : chosen) folders.insert(file.parent_path());
    for (const auto& folder : folders) {
      std::filesystem::path clean = folder / "Clean";
      std::error_code ec;
      // A preview makes nothing: the cleaned files go aside.
      if (std::filesystem::is_directory(clean, ec) || session.game->Previewing()) continue;
      session.game->BeforeCreate(clean);
      if (!std::filesystem::create_directory(clean, ec) || ec) {
        FatalError("Failed to create subfolder %s: %s", clean.string().c_str(),
                   ec ? ec.message().c_str() : "a file of that name is in the way");
      }
      made.folders.push_back(clean);
    }
  }

  log.OpenLog();
  ProgressTask progress(session.progress, chosen.size());
  const PluginCleaner cleaner = PluginCleaner::For(session, masters);
  uint32_t cleaned = 0;
  auto open = masters.Open();  // once, not once per plugin
  for (const auto& file : chosen) {
    std::string name = file.filename().string();
    progress.Step(name);
    if (IsNeverCleaned(session, name)) {
      log.AddLogLine("");
      log.Log("!Skipping %s", name.c_str());
      continue;
    }
    std::filesystem::path folder = file.parent_path();
    std::optional<std::string> prefix;
    if (subfolder || !keepNames) {
      std::string target = (subfolder ? folder / "Clean" : folder).string();
      if (!target.empty() && target.back() != '/') target += '/';
      if (!keepNames) target += "Clean ";
      prefix = target;
    }
    PluginFile plugin(folder, name);
    if (CleanPlugin(cleaner, &plugin, prefix, keepTime) == 1) ++cleaned;
  }
  log.AddLogLine("");
  log.Log("!Cleaned %u file(s)", cleaned);
  log.Log("!Check \"%s\" for details", log.LogPath().string().c_str());
  log.CloseLog();
}
}  // namespace

void RunCleanEntry(Session& session, int subfolder) {
  GameInstallation& game = *session.game;
  const CheckBoxes& boxes = session.options.boxes;
  GameInstallation::IgnoredMasters ignored(game, boxes.ignoreTribunal, boxes.ignoreBloodmoon);
  MasterSet masters(session);
  masters.Load();
  CleanCommand(session, masters, subfolder);
}

}  // namespace modrake
