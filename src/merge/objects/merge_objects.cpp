#include "merge/objects/merge_objects.hpp"

#include <vector>

#include "core/execution_log.hpp"
#include "core/progress.hpp"
#include "core/session.hpp"
#include "core/text.hpp"
#include "fields/field_groups.hpp"
#include "install/game_installation.hpp"
#include "merge/merged_plugin.hpp"
#include "merge/objects/object_merger.hpp"
#include "objectdb/conflict_group.hpp"
#include "objectdb/master_loader.hpp"
#include "objectdb/master_set.hpp"
#include "objectdb/object_index.hpp"

namespace modrake {

namespace {
constexpr const char* kPreamble[] = {
    "Merging TES objects for all active plugins\n\n",
    "; For each merged object you will find field values from original plugins\n",
    "; and result fields. Please study them carefully and apply changes as needed.\n",
    "; Also, please not that it might be impossible to load Merged_Objects.esp into\n",
    "; the TES Construction Set due to missing references - use Morrowind Enhanced\n",
    "; Editor (search for links on official forums)\tinstead. It is possible however,\n",
    "; to load all merged plugins AND Merged_Objects.esp into TESCS in order to combine\n",
    "; them.\n",
    ";\n",
    "; Some merged objects will contain comment about lost information. This can happen due to\n",
    "; two or more plugins modifying same property of the object (e.g., script name). In such\n",
    "; cases information from the plugin with last date is used and comment is generated.\n",
};

uint32_t MergeGroups(Session& session, MasterSet& masters, PluginFile& plugin, uint32_t count,
                     ProgressTask& progress) {
  const Options& options = session.options;
  ExecutionLog& log = session.log;
  log.AddLogLine("Loading conflicting objects...");
  std::vector<ConflictGroup> groups(count);
  for (const auto& active : session.game->activePlugins()) {
    progress.Step(active->name);
    if (EqualsNoCase(active->name, kMergedObjectsName) || masters.Holds(active.get())) continue;
    FillGroupsFromPlugin(*session.index, options.boxes.fullConflictReport, *active, groups);
  }
  masters.Load();
  auto open = masters.Open();
  log.Log("!Merging %u object(s)...", count);
  uint32_t saved = 0;
  for (ConflictGroup& group : groups) {
    LoadMasterVersion(masters, group);
    unsigned result = MergeObject(log, group, plugin, options.unrestrictedDialogCleaning,
                                  options.mergeUnchangedObjects);
    if (result == kMerged || result == kMergedWithLoss) ++saved;
    // Merged groups are of no further use: free them as we go.
    group = ConflictGroup();
  }
  return saved;
}
}  // namespace

void MergeObjects(Session& outer, bool activate) {
  // A front end that keeps no index of its own gets one for this run.
  ObjectIndex runIndex;
  Session session = outer;
  if (!session.index) session.index = &runIndex;
  GameInstallation& game = *session.game;
  ExecutionLog& log = session.log;
  auto created = CreateMergedPlugin(session, kMergedObjectsName, "Merged TES objects");
  PluginFile& plugin = *created;

  log.OpenLog();
  for (const char* line : kPreamble) log.Log("%s", line);

  MasterSet masters(session);
  session.index->Clear();
  // Each plugin is read twice: for the index, then for the versions of the
  // objects that several change.
  ProgressTask progress(session.progress, 2 * game.activePlugins().size() + 1);
  for (const auto& active : game.activePlugins()) {
    progress.Step(active->name);
    // What this merge and the dialogue merge wrote must not count as a change.
    if (EqualsNoCase(active->name, kMergedObjectsName) ||
        EqualsNoCase(active->name, kMergedDialogsName)) {
      continue;
    }
    if (masters.Holds(active.get())) {
      AddGameMaster(plugin, *active);
      continue;
    }
    ScanRecords(*session.index, log, *active);
  }
  uint32_t count = NumberConflictGroups(*session.index, IsMergeableType);
  uint32_t saved = count ? MergeGroups(session, masters, plugin, count, progress) : 0;
  progress.Step(kMergedObjectsName);
  SaveMergedPlugin(*session.game, plugin);
  log.CloseLog();

  log.Log("!Saved %d and discarded %d object(s)", static_cast<int>(saved),
          static_cast<int>(count - saved));
  FinishMergedPlugin(session, plugin, activate);
}

}  // namespace modrake
