#include "clean/clean_command.hpp"

#include <set>
#include <system_error>

#include "clean/plugin_cleaner.hpp"
#include "core/execution_log.hpp"
#include "core/session.hpp"
#include "core/text.hpp"
#include "install/game_installation.hpp"
#include "objectdb/master_loader.hpp"
#include "platform/ui.hpp"

namespace modrake {

namespace {
bool IsNeverCleaned(const std::string& name) {
  return IsGameMasterName(name) || IsMergedPluginName(name);
}
}  // namespace

void CleanCommand(Session& session, int subfolder) {
  ExecutionLog& log = session.log;
  const bool keepTime = session.options.boxes.keepFileDate;
  const bool keepNames = session.options.boxes.keepFileName;

  std::vector<std::filesystem::path> chosen = session.ui.ChooseFiles();
  if (chosen.empty()) return;

  // Each chosen file keeps its own folder; the Clean subfolders are made
  // before anything is cleaned.
  if (subfolder) {
    std::set<std::filesystem::path> folders;
    for (const auto& file : chosen) folders.insert(file.parent_path());
    for (const auto& folder : folders) {
      std::filesystem::path clean = folder / "Clean";
      std::error_code ec;
      if (std::filesystem::exists(clean, ec)) continue;
      if (!std::filesystem::create_directory(clean, ec) || ec) {
        log.AskUser(BoxStyle::OkError, "ERROR: Failed to create subfolder:\n\n%s", clean.c_str());
        return;
      }
    }
  }

  log.OpenLog();
  uint32_t cleaned = 0;
  for (const auto& file : chosen) {
    std::string name = file.filename().string();
    if (IsNeverCleaned(name)) {
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
    if (CleanPlugin(session, &plugin, prefix, keepTime) == 1) ++cleaned;
  }
  log.AddLogLine("");
  log.Log("!Cleaned %u file(s)", cleaned);
  log.Log("!Check \"%s\" for details", log.LogPath().c_str());
  log.CloseLog();
}

void RunCleanEntry(Session& session, int subfolder) {
  GameInstallation& game = *session.game;
  const CheckBoxes& boxes = session.options.boxes;
  if (boxes.ignoreTribunal) game.tribunal = nullptr;
  if (boxes.ignoreBloodmoon) game.bloodmoon = nullptr;
  auto restore = [&] {
    if (boxes.ignoreTribunal) game.tribunal = FindPluginByName(game.activePlugins, "tribunal.esm");
    if (boxes.ignoreBloodmoon)
      game.bloodmoon = FindPluginByName(game.activePlugins, "bloodmoon.esm");
  };
  try {
    LoadMasters(session);
    CleanCommand(session, subfolder);
  } catch (...) {
    restore();
    throw;
  }
  restore();
}

}  // namespace modrake
