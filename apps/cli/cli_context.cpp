#include "cli_context.hpp"

#include "platform/program_home.hpp"

namespace modrake::cli {

TerminalUi& CliContext::ui() {
  if (!ui_) {
    AnswerMode mode = yes ? AnswerMode::AlwaysYes : no ? AnswerMode::AlwaysNo : AnswerMode::AskTerminal;
    ui_ = std::make_unique<TerminalUi>(mode);
  }
  return *ui_;
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

std::vector<RegisteredCommand>& RegisteredCommands() {
  static std::vector<RegisteredCommand> commands;
  return commands;
}

CommandRegistration::CommandRegistration(int order, CommandSetup setup) {
  RegisteredCommands().push_back({order, std::move(setup)});
}

}  // namespace modrake::cli
