// modrake report [--full] [--skip-mergeable] FILE...: the detailed conflict
// report of the chosen plugins, written as the log file.
#include "cli_context.hpp"
#include "objectdb/object_index.hpp"
#include "report/conflict_report.hpp"

namespace modrake::cli {
namespace {

struct ReportArguments {
  bool full = false;
  bool skipMergeable = false;
  std::vector<std::filesystem::path> files;
};

void RunReport(CliContext& context, const ReportArguments& args) {
  context.game();  // also loads the settings
  // A flag ticks its box for this run; otherwise the settings hold.
  CheckBoxes& boxes = context.options().boxes;
  boxes.fullConflictReport |= args.full;
  boxes.ignoreMergeableConflicts |= args.skipMergeable;
  context.options().CopyBoxesToFlags();

  context.ChooseFiles(args.files);

  ObjectIndex index;
  Session& session = context.session();
  session.index = &index;
  RunReportEntry(session);
  session.index = nullptr;
}

const CommandRegistration registration(40, [](CLI::App& app, CliContext& context) {
  auto* command = app.add_subcommand(
      "report",
      "Write a detailed conflict report of the plugins: for every object that two or more of "
      "them define, the fields in which they differ, then which plugins conflict with which. "
      "The report is the log file");
  auto args = std::make_shared<ReportArguments>();
  command->add_flag("--full", args->full, "Report LEVI/LEVC/LTEX conflicts");
  command->add_flag("--skip-mergeable", args->skipMergeable, "Do not report mergeable conflicts");
  command->add_option("FILE", args->files, "Plugin files to compare, from any folder (two or more)")
      ->required();
  command->callback(
      [&context, args] { context.action = [&context, args] { RunReport(context, *args); }; });
});

}  // namespace
}  // namespace modrake::cli
