#include "shell/dispatch.hpp"

#include <system_error>

#include "clean/clean_command.hpp"
#include "core/execution_log.hpp"
#include "core/fatal_error.hpp"
#include "core/session.hpp"
#include "install/game_installation.hpp"
#include "merge/dialogs/merge_dialogs.hpp"
#include "merge/leveled/merge_leveled_lists.hpp"
#include "merge/objects/merge_objects.hpp"
#include "report/conflict_report.hpp"
#include "shell/function_list.hpp"
#include "shell/just_fix_it.hpp"
#include "shell/plugin_manager.hpp"
#include "shell/run_guard.hpp"

namespace modrake {

namespace {

// The merge entries ask before they replace their plugin; only Yes goes on.
bool ConfirmRecreate(Session& session, const char* name) {
  return session.log.AskUser(BoxStyle::YesNoQuestion, "Do you want to recreate %s?", name) ==
         Answer::Yes;
}

template <typename Merge>
void RunMerge(Session& session, const char* name, const DispatchOptions& options, Merge merge) {
  if (options.activate || ConfirmRecreate(session, name)) merge(session, options.activate);
}

}  // namespace

bool Dispatch(Session& session, int command, const DispatchOptions& options) {
  RunGuard guard(session);
  // Only the Manage active plugins window works around an active plugin
  // whose header cannot be read (so that it can be deactivated); every
  // other entry reads them all and stops with its error first.
  if (command != kManageActivePluginsCommand && session.game) session.game->RequireReadable();
  // Whatever else escapes a command (memory that ran out, a library's
  // exception) ends it as an error too, also on the window's worker thread.
  try {
    switch (command) {
      case kCleanCommand:
      case kCleanSubfolderCommand:
        if (session.optionsNotVisited) {
          session.optionsNotVisited = false;
          if (session.log.AskUser(BoxStyle::YesNoQuestion,
                                  "You have not visited Options dialog yet. Do you want to go "
                                  "there?") == Answer::Yes) {
            return true;
          }
        }
        RunCleanEntry(session, command);
        break;
      case kMergeLeveledListsCommand:
        RunMerge(session, kMergedLeveledListsName, options, MergeLeveledLists);
        break;
      case kMergeObjectsCommand:
        RunMerge(session, kMergedObjectsName, options, MergeObjects);
        break;
      case kMergeDialogsCommand:
        RunMerge(session, kMergedDialogsName, options, MergeDialogs);
        break;
      case kConflictReportCommand:
        RunReportEntry(session, options.reportJson);
        break;
      case kManageActivePluginsCommand:
        if (options.manageWindow) ManageActivePlugins(session, *options.manageWindow);
        break;
      case kJustFixItCommand:
        if (session.log.AskUser(BoxStyle::YesNoQuestion, "%s", kJustFixItQuestion) == Answer::Yes) {
          JustFixIt(session);
        }
        break;
      default:
        break;
    }
  } catch (const FatalException&) {
    throw;
  } catch (const std::exception& e) {
    throw FatalException(FailureMessage(e));
  }
  return false;
}

bool ChooseMergeOutput(Session& session, const std::filesystem::path& folder) {
  std::error_code ec;
  auto wanted = std::filesystem::weakly_canonical(std::filesystem::absolute(folder, ec), ec);
  for (const auto& data : session.game->DataFolders()) {
    auto known = std::filesystem::weakly_canonical(data, ec);
    if (!ec && known == wanted) {
      session.mergeOutput = data;
      return true;
    }
  }
  return false;
}

bool IsGameMasterFile(const std::filesystem::path& file) {
  return IsGameMasterName(file.filename().string());
}

}  // namespace modrake
