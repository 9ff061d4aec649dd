// modrake report [--full] [--skip-mergeable] [--all-masters] [--json] FILE...: the detailed
// conflict report of the chosen plugins, written as the log file.
#include <cstdio>

#include "cli_context.hpp"
#include "core/fatal_error.hpp"

namespace modrake::cli {
namespace {

struct ReportArguments {
  bool full = false;
  bool skipMergeable = false;
  bool json = false;
  std::vector<ArgumentPath> files;
};

void RunReport(CliContext& context, const ReportArguments& args, const AllMastersFlag& allMasters) {
  // The game masters are left out of the report: what is left must compare.
  size_t plugins = 0;
  for (const auto& file : args.files) plugins += IsGameMasterFile(file) ? 0 : 1;
  if (plugins < 2) {
    throw UsageError("a conflict report needs two or more plugins besides the game masters");
  }
  // Standard output holds the document alone: every other line goes to standard error.
  if (args.json) context.ui().SendLinesTo(stderr);
  context.LoadGame();  // also loads the settings
  // A flag ticks its box for this run; otherwise the settings hold.
  CheckBoxes& boxes = context.options().boxes;
  boxes.fullConflictReport |= args.full;
  boxes.ignoreMergeableConflicts |= args.skipMergeable;
  allMasters.Apply(context);
  context.ChooseFiles(args.files);
  if (!args.json) {
    context.Run(kConflictReportCommand);
    return;
  }
  std::string document;
  context.Run(kConflictReportCommand, {false, nullptr, &document});
  if (document.empty()) FatalError("The conflict report was not made");
  std::fputs(document.c_str(), stdout);
}

const CommandRegistration registration(kReportOrder, [](CLI::App& app, CliContext& context) {
  auto* command = AddCommand(
      app, "report", "Write a detailed conflict report of the plugins into the log file",
      "For every object that two or more of the plugins define: the fields in which they "
      "differ, then which plugins conflict with which. Game masters among the files are left "
      "out.");
  auto args = std::make_shared<ReportArguments>();
  command->add_flag("--full", args->full, "Report LEVI/LEVC/LTEX conflicts");
  command->add_flag("--skip-mergeable", args->skipMergeable, "Do not report mergeable conflicts");
  command->add_flag("--json", args->json,
                    "Write the report as one JSON document to standard output instead of the log "
                    "file: objects, each plugin's fields and the master's, cross-references; the "
                    "schema is docs/report.schema.json");
  AllMastersFlag allMasters(*command);
  command
      ->add_option("FILE", args->files,
                   "Plugin files to compare (two or more): paths, or names in the game's data "
                   "folders")
      ->required();
  command->callback([&context, args, allMasters] {
    context.action = [&context, args, allMasters] { RunReport(context, *args, allMasters); };
  });
});

}  // namespace
}  // namespace modrake::cli
