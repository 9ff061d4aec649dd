#include "shell/program.hpp"

#include <algorithm>

#include "clean/game_setting_table.hpp"
#include "core/execution_log.hpp"
#include "core/settings.hpp"
#include "install/game_installation.hpp"
#include "merge/dialogs/cell_rename_table.hpp"
#include "objectdb/object_index.hpp"
#include "platform/file_names.hpp"
#include "platform/program_home.hpp"
#include "platform/wine_registry.hpp"
#include "shell/run_guard.hpp"

namespace modrake {

namespace {
// Steam's app id of the game names its Proton prefix.
constexpr char kSteamAppId[] = "22320";
}  // namespace

std::string GameProblem(const std::exception& error) {
  if (auto* notFound = dynamic_cast<const GameNotFound*>(&error)) {
    return GameNotFound::Describe(notFound->tried());
  }
  return error.what();
}

std::vector<std::filesystem::path> OpenMwConfigChoices() {
  std::vector<std::filesystem::path> files;
  for (const auto& file : DefaultOpenMwConfigPlaces()) {
    std::error_code ec;
    if (std::filesystem::is_regular_file(file, ec)) files.push_back(file);
  }
  return files;
}

Program::Program(Ui& ui, std::optional<std::filesystem::path> home)
    : ui_(ui), givenHome_(std::move(home)), progress_(ui) {}

Program::~Program() = default;

const std::filesystem::path& Program::home() {
  if (!home_) home_ = ResolveProgramHome(givenHome_);
  return *home_;
}

ExecutionLog& Program::log() {
  if (!log_) log_ = std::make_unique<ExecutionLog>(ui_, home() / "modrake.log");
  return *log_;
}

Session& Program::session() {
  if (!session_) {
    session_ = std::make_unique<Session>(Session{ui_, log(), options_, home()});
    session_->progress = &progress_;
  }
  return *session_;
}

namespace {
// The game the player did not name: an OpenMW configuration the environment
// names, else the original engine's game in the current folder (asked), else
// the game the player chose in the window, else the original engine's game
// as its own tools find it, else OpenMW's own configuration of the user. The
// places that were not a game are kept for the message when none is.
void FindGame(Ui& ui, const std::filesystem::path& settings, std::filesystem::path& folder,
              std::vector<std::filesystem::path>& chain, std::vector<TriedPlace>& tried) {
  if (auto named = NamedOpenMwConfig(std::nullopt)) {
    chain = *named;
    return;
  }
  std::error_code ec;
  std::filesystem::path current = std::filesystem::current_path(ec);
  if (ec) current = ".";
  if (auto here = AskCurrentFolder(ui, current, &tried)) {
    folder = *here;
    return;
  }
  ChosenGame chosen = LoadChosenGame(settings);
  const char* note = " (chosen before, kept in modrake.ini)";
  if (!chosen.openmwConfig.empty()) {
    if (std::filesystem::is_regular_file(chosen.openmwConfig, ec)) {
      chain = {chosen.openmwConfig};
      return;
    }
    tried.push_back({chosen.openmwConfig, std::string("no such file") + note});
  } else if (!chosen.gameFolder.empty()) {
    std::string why = WhyNotGameFolder(chosen.gameFolder);
    if (why.empty()) {
      folder = chosen.gameFolder;
      return;
    }
    tried.push_back({chosen.gameFolder, why + note});
  }
  auto installed = RegistryGameFolder(WinePrefixes(kSteamAppId), &tried);
  folder = installed ? *installed : current;
  if (!folder.empty() && FindNoCase(folder, "morrowind.ini")) return;
  for (const auto& file : DefaultOpenMwConfigPlaces()) {
    if (std::filesystem::is_regular_file(file, ec)) {
      chain = {file};
      return;
    }
    tried.push_back({file, "no such file (OpenMW's configuration)"});
  }
}
}  // namespace

void Program::LoadGame(const GameLocation& where, GameUse use) {
  if (game_) return;
  if (where.openmwConfig) {
    found_ = FoundGame{{}, *NamedOpenMwConfig(where.openmwConfig), {}};
  } else if (where.gameFolder) {
    found_ = FoundGame{GameFolderOf(*where.gameFolder), {}, {}};
  }
  Session& s = session();
  // Asked once: a reload keeps the game that was chosen.
  if (!found_) {
    found_ = FoundGame{};
    FindGame(ui_, s.SettingsPath(), found_->gameFolder, found_->openmwChain, found_->tried);
  }
  std::unique_ptr<GameInstallation> game;
  if (!found_->openmwChain.empty()) {
    game = GameInstallation::ForOpenMw(found_->openmwChain);
  } else {
    game = std::make_unique<GameInstallation>(found_->gameFolder);
  }
  game->requireMorrowind = use == GameUse::kMasters;
  HoldGame(s, *game);
  try {
    game->Reload();
  } catch (const GameNotFound& e) {
    // What the search passed over, then the place it settled on.
    std::vector<TriedPlace> tried = found_->tried;
    for (const TriedPlace& place : e.tried()) {
      bool listed = std::any_of(tried.begin(), tried.end(),
                                [&](const TriedPlace& t) { return t.place == place.place; });
      if (!listed && !place.place.empty()) tried.push_back(place);
    }
    throw GameNotFound(std::move(tried));
  }
  LoadSettings(s.SettingsPath(), {game->tribunal() != nullptr, game->bloodmoon() != nullptr},
               options_);
  if (s.runLock) ProtectGame(s, *game);
  // As when the options panel is first hidden: the flags follow the boxes.
  options_.CopyBoxesToFlags();
  if (!index_) index_ = std::make_unique<ObjectIndex>();
  if (!gameSettings_) {
    gameSettings_ = std::make_unique<GameSettingTable>(GameSettingTable::Standard());
  }
  if (!cellRenames_) cellRenames_ = std::make_unique<CellRenameTable>();
  game_ = std::move(game);
  s.game = game_.get();
  s.index = index_.get();
  s.gameSettings = gameSettings_.get();
  s.cellRenames = cellRenames_.get();
}

void Program::SetGameUse(GameUse use) {
  if (game_) game_->requireMorrowind = use == GameUse::kMasters;
}

void Program::ForgetGame() {
  if (session_) session_->game = nullptr;
  game_.reset();
  if (index_) index_->Clear();
}

GameInstallation& Program::game() {
  LoadGame();
  return *game_;
}

std::filesystem::path Program::DataFolder() {
  return game().MainDataFolder();
}

ActiveMasters Program::ActiveGameMasters() const {
  return {game_ && game_->tribunal(), game_ && game_->bloodmoon()};
}

WriteResult Program::RememberGame() {
  if (!found_) return {};
  RunGuard guard(session());
  std::error_code ec;
  ChosenGame chosen;
  if (!found_->openmwChain.empty()) {
    chosen.openmwConfig = std::filesystem::absolute(found_->openmwChain.front(), ec);
  } else {
    chosen.gameFolder = std::filesystem::absolute(found_->gameFolder, ec);
  }
  return SaveChosenGame(session().SettingsPath(), chosen);
}

WriteResult Program::SaveOptions() {
  RunGuard guard(session());
  WriteResult saved = SaveSettings(session().SettingsPath(), ActiveGameMasters(), options_);
  options_.CopyBoxesToFlags();
  return saved;
}

}  // namespace modrake
