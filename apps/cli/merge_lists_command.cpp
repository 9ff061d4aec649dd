// modrake merge-lists [--activate]: Merged_Leveled_Lists.esp from the leveled
// lists of every active plugin.
#include "cli_context.hpp"
#include "merge/leveled/merge_leveled_lists.hpp"

namespace modrake::cli {
namespace {

const CommandRegistration registration(20, [](CLI::App& app, CliContext& context) {
  auto* command = app.add_subcommand(
      "merge-lists", "Merge the leveled lists of all active plugins into Merged_Leveled_Lists.esp");
  auto activate = std::make_shared<bool>(false);
  command->add_flag("--activate", *activate,
                    "Build it without asking and make it an active plugin in morrowind.ini, as "
                    "JUST FIX IT! does");
  command->callback([&context, activate] {
    context.action = [&context, activate] {
      context.game();
      // The function list asks first; the pipeline never does.
      if (!*activate &&
          context.log().AskUser(BoxStyle::YesNoQuestion, "Do you want to recreate %s?",
                                kMergedLeveledListsName) != Answer::Yes) {
        return;
      }
      MergeLeveledLists(context.session(), *activate);
    };
  });
});

}  // namespace
}  // namespace modrake::cli
