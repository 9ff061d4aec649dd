#include "merge_command.hpp"

namespace modrake::cli {

CLI::App* AddMergeCommand(CLI::App& app, CliContext& context, const char* command,
                          const char* description, const char* pluginName, MergeRun run) {
  auto* sub = app.add_subcommand(command, description);
  auto activate = std::make_shared<bool>(false);
  sub->add_flag("--activate", *activate,
                "Build it without asking and make it an active plugin in morrowind.ini, as "
                "JUST FIX IT! does");
  sub->callback([&context, activate, pluginName, run] {
    context.action = [&context, activate, pluginName, run] {
      context.game();
      // The function list asks first; the pipeline never does.
      if (!*activate &&
          context.log().AskUser(BoxStyle::YesNoQuestion, "Do you want to recreate %s?",
                                pluginName) != Answer::Yes) {
        return;
      }
      run(context.session(), *activate);
    };
  });
  return sub;
}

}  // namespace modrake::cli
