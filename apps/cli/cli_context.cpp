#include "cli_context.hpp"

#include "core/fatal_error.hpp"
#include "core/settings.hpp"
#include "platform/program_home.hpp"
#include "platform/wine_registry.hpp"

namespace modrake::cli {

TerminalUi& CliContext::ui() {
  if (!ui_) {
    AnswerMode mode = yes ? AnswerMode::AlwaysYes : no ? AnswerMode::AlwaysNo : AnswerMode::AskTerminal;
    ui_ = std::make_unique<TerminalUi>(mode);
  }
  return *ui_;
}

void CliContext::ChooseFiles(const std::vector<std::filesystem::path>& files) {
  std::vector<std::filesystem::path> chosen;
  for (const auto& file : files) chosen.push_back(std::filesystem::absolute(file));
  ui().SetChosenFiles(chosen);
}

const std::filesystem::path& CliContext::home() {
  if (!home_) home_ = ResolveProgramHome(homeDir);
  return *home_;
}

ExecutionLog& CliContext::log() {
  if (!log_) log_ = std::make_unique<ExecutionLog>(ui(), home() / "modrake.log");
  return *log_;
}

Session& CliContext::session() {
  if (!session_) session_ = std::make_unique<Session>(Session{ui(), log(), options_, home()});
  return *session_;
}

GameInstallation& CliContext::game() {
  if (game_) return *game_;
  auto game = std::make_unique<GameInstallation>();
  if (gameDir) {
    game->gameFolder = *gameDir;
  } else {
    std::error_code ec;
    std::filesystem::path current = std::filesystem::current_path(ec);
    // Steam's app id of the game names its Proton prefix.
    game->gameFolder = FindGameFolder(ui(), ec ? "." : current, WinePrefixes("22320"));
  }
  game->LoadActivePlugins();
  if (game->activePlugins.empty()) FatalError("Cannot find Morrowind installation");
  game->FindGameMasters();
  LoadSettings(session().SettingsPath(), {game->tribunal != nullptr, game->bloodmoon != nullptr},
               options_);
  // As when the options panel is first hidden: the flags follow the boxes.
  options_.CopyBoxesToFlags();
  game_ = std::move(game);
  session().game = game_.get();
  return *game_;
}

std::vector<RegisteredCommand>& RegisteredCommands() {
  static std::vector<RegisteredCommand> commands;
  return commands;
}

CommandRegistration::CommandRegistration(int order, CommandSetup setup) {
  RegisteredCommands().push_back({order, std::move(setup)});
}

}  // namespace modrake::cli
