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

namespace {
// The data folder merged plugins go to: the one the player named for this
// run, else the installation's; made when missing.
std::filesystem::path MergedPluginFolder(const Session& session) {
  std::filesystem::path folder =
      session.mergeOutput.empty() ? session.game->OutputFolder() : session.mergeOutput;
  // OpenMW's data-local folder is made the first time something goes there.
  std::error_code ec;
  if (!session.game->Previewing() && !std::filesystem::is_directory(folder, ec)) {
    session.game->BeforeCreate(folder);
    if (!std::filesystem::create_directories(folder, ec)) {
      FatalError("Cannot create folder %s: %s", folder.string().c_str(), ec.message().c_str());
    }
  }
  return folder;
}
}  // namespace

std::unique_ptr<PluginFile> CreateMergedPlugin(const Session& session, const char* name,
                                               const char* description) {
  std::filesystem::path folder = MergedPluginFolder(session);
  auto plugin = std::make_unique<PluginFile>(folder, name, kMergedPluginAuthor, description);
  plugin->path = ResolveNoCase(folder, name);
  return plugin;
}

void AddGameMaster(PluginFile& merged, const PluginFile& master) {
  AddMaster(*merged.FindHeaderRecord(), master.name, static_cast<uint32_t>(master.status.size));
}

void SaveMergedPlugin(GameInstallation& game, PluginFile& merged) {
  std::optional<std::string> before;
  std::optional<FileTimes> times = GetFileTimes(merged.path);
  if (times) before = ReadFileBytes(merged.path);
  game.SavePlugin(merged);
  if (before && times && ReadFileBytes(merged.path) == before) {
    game.SetTimes(merged.path, *times);
    if (auto status = QueryFileStatus(merged.path)) merged.status = *status;
  }
}

namespace {
// Appends the plugin saved in the data folder to the active plugins and
// writes them to morrowind.ini, unless it is already active.
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
}  // namespace

void FinishMergedPlugin(Session& session, PluginFile& merged, bool activate) {
  ExecutionLog& log = session.log;
  GameInstallation& game = *session.game;
  const bool preview = game.Previewing();
  const char* name = merged.name.c_str();
  log.Log(preview ? "!Would create %s" : "!%s has been created", name);
  if (activate) {
    ActivateMergedPlugin(game, merged.name);
    log.Log(preview ? "!Would activate %s in the %s" : "!%s has been activated in the %s", name,
            game.ListName());
  }
  // It must load after everything it merges, also when a plugin it merges
  // was saved again after it, or was made to load last.
  std::vector<const PluginFile*> merges;
  for (const auto& active : game.activePlugins()) {
    if (!game.CountsAsMaster(active.get(), session.options.allMasters) &&
        !IsMergedPluginName(active->name)) {
      merges.push_back(active.get());
    }
  }
  if (game.OrderIsTheList() && !FindPluginByName(game.activePlugins(), merged.name)) merges.clear();
  if (std::optional<std::string> after = game.LoadAfter(merged, merges)) {
    const char* how =
        game.OrderIsTheList() ? "moves to the end of the content list" : "gets a new file time";
    if (preview) {
      log.Log("!%s would load before %s: it %s", name, after->c_str(), how);
    } else {
      log.Log("!%s loaded before %s: it %s", name, after->c_str(), how);
    }
  }
  if (!activate) {
    log.AddLogLine("");
    log.Log("!Check \"%s\" for details", log.LogPath().string().c_str());
  }
}

}  // namespace modrake
