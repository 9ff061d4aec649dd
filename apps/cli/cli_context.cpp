#include "cli_context.hpp"

namespace modrake::cli {

TerminalUi& CliContext::ui() {
  if (!ui_) {
    AnswerMode mode = yes  ? AnswerMode::AlwaysYes
                      : no ? AnswerMode::AlwaysNo
                           : AnswerMode::AskTerminal;
    ui_ = std::make_unique<TerminalUi>(mode);
  }
  return *ui_;
}

Program& CliContext::program() {
  if (!program_) program_ = std::make_unique<Program>(ui(), homeDir);
  return *program_;
}

void CliContext::ChooseFiles(const std::vector<std::filesystem::path>& files) {
  std::vector<std::filesystem::path> chosen;
  for (const auto& file : files) chosen.push_back(std::filesystem::absolute(file));
  ui().SetChosenFiles(chosen);
}

void CliContext::Run(int command, const DispatchOptions& options) {
  LoadGame();
  Dispatch(session(), command, options);
}

std::vector<RegisteredCommand>& RegisteredCommands() {
  static std::vector<RegisteredCommand> commands;
  return commands;
}

CommandRegistration::CommandRegistration(int order, CommandSetup setup) {
  RegisteredCommands().push_back({order, std::move(setup)});
}

CLI::App* AddCommand(CLI::App& app, const char* name, const char* summary,
                     const std::string& details) {
  CLI::App* command = app.add_subcommand(name, summary);
  if (!details.empty()) command->footer(details);
  return command;
}

}  // namespace modrake::cli
