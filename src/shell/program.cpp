#include "shell/program.hpp"

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
// names, else the original engine's game as its own tools find it, else
// OpenMW's own configuration of the user.
std::pair<std::filesystem::path, std::vector<std::filesystem::path>> FindGame(Ui& ui) {
  if (auto chain = NamedOpenMwConfig(std::nullopt)) return {{}, *chain};
  std::error_code ec;
  std::filesystem::path current = std::filesystem::current_path(ec);
  std::filesystem::path folder = FindGameFolder(ui, ec ? "." : current, WinePrefixes(kSteamAppId));
  if (!folder.empty() && FindNoCase(folder, "morrowind.ini")) return {folder, {}};
  if (auto chain = DefaultOpenMwConfig()) return {{}, *chain};
  return {folder, {}};
}
}  // namespace

void Program::LoadGame(const GameLocation& where, GameUse use) {
  if (game_) return;
  if (where.openmwConfig) {
    found_ = FoundGame{{}, *NamedOpenMwConfig(where.openmwConfig)};
  } else if (where.gameFolder) {
    found_ = FoundGame{*where.gameFolder, {}};
  }
  Session& s = session();
  // Asked once: a reload keeps the game that was chosen.
  if (!found_) {
    auto [folder, chain] = FindGame(ui_);
    found_ = FoundGame{folder, chain};
  }
  std::unique_ptr<GameInstallation> game;
  if (!found_->openmwChain.empty()) {
    game = GameInstallation::ForOpenMw(found_->openmwChain);
  } else {
    game = std::make_unique<GameInstallation>(found_->gameFolder);
  }
  game->requireMorrowind = use == GameUse::kMasters;
  HoldGame(s, *game);
  game->Reload();
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

bool Program::TribunalActive() const {
  return game_ && game_->tribunal();
}
bool Program::BloodmoonActive() const {
  return game_ && game_->bloodmoon();
}

WriteResult Program::SaveOptions() {
  RunGuard guard(session());
  WriteResult saved =
      SaveSettings(session().SettingsPath(), {TribunalActive(), BloodmoonActive()}, options_);
  options_.CopyBoxesToFlags();
  return saved;
}

}  // namespace modrake
