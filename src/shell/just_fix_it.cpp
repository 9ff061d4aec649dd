#include "shell/just_fix_it.hpp"

#include <algorithm>
#include <string>
#include <vector>

#include "clean/plugin_cleaner.hpp"
#include "core/execution_log.hpp"
#include "core/fatal_error.hpp"
#include "core/progress.hpp"
#include "core/session.hpp"
#include "install/game_installation.hpp"
#include "merge/dialogs/merge_dialogs.hpp"
#include "merge/leveled/merge_leveled_lists.hpp"
#include "merge/objects/merge_objects.hpp"
#include "objectdb/master_set.hpp"
#include "shell/run_guard.hpp"

namespace modrake {

const char* const kJustFixItQuestion =
    "Utility will now try to reduce number of conflicts between active plugins by means of "
    "removing duplicate data from ESP/ESM files, and generating new ESP files with merged data "
    "for leveled lists, objects and dialogs.\n\nWARNING! Many of the ESP/ESM files in the Data "
    "Files folder will be modifed. Please, make sure you have original copies of all mods prior "
    "to using this function. Also, do not expect miracles - utility WILL NOT eliminate all mod "
    "conflicts, it will just significantly reduce their number.\n\nWhole process is fully "
    "automatic and will not require user intervention.\n\nThis operation may take awhile. Do you "
    "want to proceed?";

namespace {

// The flags the pipeline fixes for its run; the boxes decide them again
// when it ends, however it ends.
class PipelineFlags {
 public:
  explicit PipelineFlags(Session& session) : session_(session) {
    Options& options = session.options;
    session.log.pipeline = true;
    options.unrestrictedDialogCleaning = true;
    options.unrestrictedCellCleaning = false;
    options.mergeUnchangedObjects = false;
  }
  ~PipelineFlags() {
    session_.log.pipeline = false;
    session_.options.CopyBoxesToFlags();
  }
  PipelineFlags(const PipelineFlags&) = delete;
  PipelineFlags& operator=(const PipelineFlags&) = delete;

 private:
  Session& session_;
};

void Separator(ExecutionLog& log) {
  log.Log("\n\n%s\n\n", std::string(80, '=').c_str());
  log.AddLogLine("");
  log.AddLogLine("");
}

// What the player's files forbid (a read-only plugin or ini, a link to a game
// master) stops one step, not the run: the rest is done, and the run fails
// at its end naming what was left as it was.
class RefusedWrites {
 public:
  explicit RefusedWrites(ExecutionLog& log) : log_(log) {}

  template <typename Step>
  void Try(Step step) {
    try {
      step();
    } catch (const WriteRefusedException& e) {
      log_.Log("\nERROR: %s\n", e.what());
      log_.Log("!ERROR - %s", e.what());
      messages_.push_back(e.what());
    }
  }

  void FailIfAny() const {
    if (messages_.empty()) return;
    std::string all;
    for (const std::string& message : messages_) all += (all.empty() ? "" : "; ") + message;
    FatalError("%u file(s) could not be written: %s", static_cast<unsigned>(messages_.size()),
               all.c_str());
  }

 private:
  ExecutionLog& log_;
  std::vector<std::string> messages_;
};

// A master beyond the game's own that counts for the run is not cleaned:
// the others are cleaned against what the run read of it.
bool IsCleaned(const MasterSet& masters, PluginFile& plugin) {
  return !masters.Holds(&plugin) && !IsMergedPluginName(plugin.name);
}

void CleanActivePlugins(Session& session, MasterSet& masters, RefusedWrites& refused,
                        ProgressTask& progress) {
  GameInstallation& game = *session.game;
  auto open = masters.Open();  // once, not once per plugin
  const PluginCleaner cleaner = PluginCleaner::For(session, masters);
  for (const auto& plugin : game.activePlugins()) {
    if (!IsCleaned(masters, *plugin)) continue;
    progress.Step(plugin->name);
    refused.Try([&] {
      if (CleanPlugin(cleaner, plugin.get(), std::nullopt, true) == 0) {
        // Untouched plugins still get the present sizes of their masters.
        if (Record* header = plugin->FindHeaderRecord()) {
          UpdateMasterSizes(*header, game.activePlugins());
          game.WritePluginHeader(*plugin);
        }
      }
    });
    // Only the header stays in memory: the records of every plugin would not fit.
    auto& records = plugin->records;
    if (!records.empty()) records.erase(std::next(records.begin()), records.end());
  }
}

}  // namespace

void JustFixIt(Session& session) {
  // The window may start the pipeline without Dispatch.
  RunGuard guard(session);
  ExecutionLog& log = session.log;
  RefusedWrites refused(log);
  {
    PipelineFlags flags(session);
    MasterSet masters(session);
    // One step for each plugin cleaned and one for each merge.
    const auto& active = session.game->activePlugins();
    size_t cleaned = std::count_if(active.begin(), active.end(),
                                   [&](const auto& plugin) { return IsCleaned(masters, *plugin); });
    ProgressTask progress(session.progress, cleaned + 3);
    log.OpenLog();
    masters.Load();
    log.AddLogLine("");
    log.AddLogLine("Resolving conflicts between active plugins...");
    CleanActivePlugins(session, masters, refused, progress);
    Separator(log);
    progress.Step(kMergedLeveledListsName);
    refused.Try([&] { MergeLeveledLists(session, true); });
    Separator(log);
    progress.Step(kMergedObjectsName);
    refused.Try([&] { MergeObjects(session, true); });
    log.AddLogLine("");
    log.AddLogLine("");
    progress.Step(kMergedDialogsName);
    refused.Try([&] { MergeDialogs(session, true); });
    log.AddLogLine("");
    log.Log("!Check \"%s\" for details", log.LogPath().string().c_str());
  }
  log.CloseLog();
  refused.FailIfAny();
}

}  // namespace modrake
