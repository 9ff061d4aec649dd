#include "merge_command.hpp"

namespace modrake::cli {

std::shared_ptr<std::optional<ArgumentPath>> AddOutputOption(CLI::App& command) {
  auto output = std::make_shared<std::optional<ArgumentPath>>();
  command.add_option("--output", *output,
                     "The data folder of the game the merged plugins go to (OpenMW: one that "
                     "openmw.cfg lists; default its data-local folder)");
  return output;
}

CLI::App* AddMergeCommand(CLI::App& app, CliContext& context, const char* name, const char* summary,
                          const char* details, int command,
                          std::function<void(CliContext&)> prepare) {
  auto* sub = AddCommand(app, name, summary, details);
  auto activate = std::make_shared<bool>(false);
  sub->add_flag("--activate", *activate,
                "Build it without asking and make it an active plugin of the game, as JUST FIX "
                "IT! does");
  auto output = AddOutputOption(*sub);
  AllMastersFlag allMasters(*sub);
  sub->callback([&context, activate, command, prepare, output, allMasters] {
    context.action = [&context, activate, command, prepare, output, allMasters] {
      context.LoadGame();
      context.ChooseOutput(*output);
      allMasters.Apply(context);
      if (prepare) prepare(context);
      context.Run(command, {*activate, nullptr});
    };
  });
  return sub;
}

}  // namespace modrake::cli
