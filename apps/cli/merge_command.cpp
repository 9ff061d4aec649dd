#include "merge_command.hpp"

namespace modrake::cli {

CLI::App* AddMergeCommand(CLI::App& app, CliContext& context, const char* name, const char* summary,
                          const char* details, int command,
                          std::function<void(CliContext&)> prepare) {
  auto* sub = AddCommand(app, name, summary, details);
  auto activate = std::make_shared<bool>(false);
  sub->add_flag("--activate", *activate,
                "Build it without asking and make it an active plugin in morrowind.ini, as "
                "JUST FIX IT! does");
  sub->callback([&context, activate, command, prepare] {
    context.action = [&context, activate, command, prepare] {
      context.LoadGame();
      if (prepare) prepare(context);
      context.Run(command, {*activate, nullptr});
    };
  });
  return sub;
}

}  // namespace modrake::cli
