// modrake report [--full] [--skip-mergeable] FILE...: the detailed conflict
// report of the chosen plugins, written as the log file.
#include "cli_context.hpp"

namespace modrake::cli {
namespace {

struct ReportArguments {
  bool full = false;
  bool skipMergeable = false;
  std::vector<std::filesystem::path> files;
};

void RunReport(CliContext& context, const ReportArguments& args, const AllMastersFlag& allMasters) {
  // The game masters are left out of the report: what is left must compare.
  size_t plugins = 0;
  for (const auto& file : args.files) plugins += IsGameMasterFile(file) ? 0 : 1;
  if (plugins < 2) {
    throw UsageError("a conflict report needs two or more plugins besides the game masters");
  }
  context.LoadGame();  // also loads the settings
  // A flag ticks its box for this run; otherwise the settings hold.
  CheckBoxes& boxes = context.options().boxes;
  boxes.fullConflictReport |= args.full;
  boxes.ignoreMergeableConflicts |= args.skipMergeable;
  allMasters.Apply(context);
  context.ChooseFiles(args.files);
  context.Run(kConflictReportCommand);
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
