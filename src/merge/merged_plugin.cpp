#include "merge/merged_plugin.hpp"

#include <optional>
#include <system_error>

#include "core/execution_log.hpp"
#include "core/fatal_error.hpp"
#include "core/session.hpp"
#include "install/game_installation.hpp"
#include "platform/file_io.hpp"
#include "platform/file_names.hpp"

namespace modrake {

std::unique_ptr<PluginFile> CreateMergedPlugin(const Session& session, const char* name,
                                               const char* description) {
  std::filesystem::path folder = MergedPluginFolder(session);
  auto plugin = std::make_unique<PluginFile>(folder, name, kMergedPluginAuthor, description);
  plugin->path = ResolveNoCase(folder, name);
  return plugin;
}

std::filesystem::path MergedPluginFolder(const Session& session) {
  std::filesystem::path folder =
      session.mergeOutput.empty() ? session.game->OutputFolder() : session.mergeOutput;
  // OpenMW's data-local folder is made the first time something goes there.
  std::error_code ec;
  if (!std::filesystem::is_directory(folder, ec) &&
      !std::filesystem::create_directories(folder, ec)) {
    FatalError("Cannot create folder %s: %s", folder.c_str(), ec.message().c_str());
  }
  return folder;
}

void AddGameMaster(PluginFile& merged, const PluginFile& master) {
  AddMaster(*merged.FindHeaderRecord(), master.name, static_cast<uint32_t>(master.status.size));
}

void SaveMergedPlugin(const GameInstallation& game, PluginFile& merged) {
  std::optional<std::string> before;
  std::optional<FileTimes> times = GetFileTimes(merged.path);
  if (times) before = ReadFileBytes(merged.path);
  game.SavePlugin(merged);
  if (before && times && ReadFileBytes(merged.path) == before) {
    SetFileTimes(merged.path, *times);
    if (auto status = QueryFileStatus(merged.path)) merged.status = *status;
  }
}

void ActivateMergedPlugin(GameInstallation& game, const std::string& name) {
  if (PluginFile* active = FindPluginByName(game.activePlugins(), name)) {
    // Already active: only its header and size are brought up to date.
    active->ReadHeaderOnly();
    if (auto status = QueryFileStatus(active->path)) active->status = *status;
    return;
  }
  game.AddActive(name);
  game.WriteActivePlugins();
}

void FinishMergedPlugin(Session& session, const std::string& name, bool activate) {
  ExecutionLog& log = session.log;
  log.Log("!%s has been created", name.c_str());
  if (activate) {
    ActivateMergedPlugin(*session.game, name);
    log.Log("!%s has been activated in the %s", name.c_str(), session.game->ListName());
  } else {
    log.AddLogLine("");
    log.Log("!Check \"%s\" for details", log.LogPath().c_str());
  }
}

}  // namespace modrake
