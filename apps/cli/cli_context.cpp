#include "cli_context.hpp"

#include <algorithm>
#include <atomic>

#include "core/fatal_error.hpp"
#include "core/text.hpp"
#include "shell/chosen_file.hpp"
#include "shell/startup.hpp"

namespace modrake::cli {

namespace {

// Set by Ctrl+C: the run stops at its next file boundary, as Cancel does in
// the window.
std::atomic<bool> interrupted{false};

}  // namespace

TerminalUi& CliContext::ui() {
  if (!ui_) {
    AnswerMode mode = yes  ? AnswerMode::AlwaysYes
                      : no ? AnswerMode::AlwaysNo
                           : AnswerMode::AskTerminal;
    ui_ = std::make_unique<TerminalUi>(mode);
    ui_->WatchInterrupt(&interrupted);
  }
  return *ui_;
}

Program& CliContext::program() {
  if (!program_) {
    program_ = std::make_unique<Program>(ui(), homeDir);
    program_->progress().WatchFlag(&interrupted);
  }
  return *program_;
}

void CliContext::ChooseFiles(const std::vector<ArgumentPath>& files) {
  LoadGame();
  // Every file is looked at before any is worked on: those that cannot be
  // read stop the command, all of them named.
  std::vector<std::filesystem::path> chosen;
  std::string problems;
  for (const auto& file : files) {
    if (file.empty()) throw UsageError("FILE must name a plugin file, not be empty");
    ChosenFile found = FindChosenFile(session(), file);
    if (found.path.empty()) {
      problems += FormatText("\n  %s: %s", Utf8Text(file.string()).c_str(), found.problem.c_str());
    }
    chosen.push_back(found.path);
  }
  if (!problems.empty()) {
    throw UsageError("nothing was done, as these files cannot be read:" + problems);
  }
  ui().SetChosenFiles(chosen);
}

void CliContext::LoadGame(GameUse use) {
  // Only runs on the game can stop at a file boundary; any other command
  // still ends at once on Ctrl+C.
  CatchInterrupt(&interrupted);
  if (!runGuard_) {
    session().runName = runName;
    session().dryRun = dryRun;
    runGuard_ = std::make_unique<RunGuard>(session());
  }
  if (program().GameLoaded()) return;
  try {
    program().LoadGame({gameDir, openmwConfig}, use);
  } catch (const FatalException&) {
    // The game in question was passed over: the error is about another place.
    if (!ui().Unanswered().empty()) throw Unasked();
    throw;
  }
  // Nothing is done on a game other than the one the question was about.
  if (!ui().Unanswered().empty()) throw Unasked();
  // An OpenMW game names its configuration first, and what was wrong in it.
  for (const std::string& line : StartupGameLines(session())) log().AddLogLine(line);
}

void CliContext::ChooseOutput(const std::optional<ArgumentPath>& folder) {
  if (!folder) return;
  if (!ChooseMergeOutput(session(), *folder)) {
    throw UsageError(
        FormatText("--output: \"%s\" is not a data folder of the game", folder->string().c_str()));
  }
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
  // Also when empty: a subcommand would show its parent's paragraph.
  command->footer(details);
  return command;
}

AllMastersFlag::AllMastersFlag(CLI::App& command) {
  command.add_flag("--all-masters", *given_,
                   "Every active master counts as a master: active master files that other "
                   "active plugins name are cleaned and merged against, as the game masters are");
}

void AllMastersFlag::Apply(CliContext& context) const {
  context.options().boxes.allMasters |= *given_;
  context.options().CopyBoxesToFlags();
}

std::string OneLine(const std::string& text) {
  std::string line;
  for (char c : Utf8Text(text)) {
    if (c != '\n') {
      line += c;
    } else if (!line.empty() && line.back() != ' ') {
      // A paragraph that ends without a stop gets one, so the parts stay apart.
      if (std::string_view(".:?!").find(line.back()) == std::string_view::npos) line += '.';
      line += ' ';
    }
  }
  return line;
}

namespace {
// Edits (insertions, deletions, changes of one character) that turn a into b.
size_t EditDistance(const std::string& a, const std::string& b) {
  std::vector<size_t> row(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    size_t diagonal = row[0];
    row[0] = i;
    for (size_t j = 1; j <= b.size(); ++j) {
      size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}
}  // namespace

std::optional<std::string> UnknownCommand(CLI::App& app) {
  // The deepest command given; the first word left over is what was meant
  // as one of its commands.
  CLI::App* level = &app;
  while (!level->get_subcommands().empty()) level = level->get_subcommands().front();
  auto commands = level->get_subcommands([](CLI::App*) { return true; });
  if (commands.empty()) return std::nullopt;
  std::vector<std::string> rest = app.remaining(true);
  if (rest.empty() || rest.front().empty() || rest.front()[0] == '-') return std::nullopt;
  const std::string& word = rest.front();
  std::string closest;
  size_t best = SIZE_MAX;
  for (CLI::App* command : commands) {
    size_t distance = EditDistance(word, command->get_name());
    if (distance < best) best = distance, closest = command->get_name();
  }
  std::string path = level == &app ? "modrake" : "modrake " + level->get_name();
  return FormatText("unknown command \"%s\"; did you mean \"%s\"? (\"%s --help\" lists them)",
                    word.c_str(), closest.c_str(), path.c_str());
}

}  // namespace modrake::cli
