#include "merge/dialogs/merge_dialogs.hpp"

#include "core/execution_log.hpp"
#include "core/progress.hpp"
#include "core/session.hpp"
#include "core/text.hpp"
#include "format/record_stream.hpp"
#include "install/game_installation.hpp"
#include "merge/dialogs/cell_rename_table.hpp"
#include "merge/dialogs/dialog_merger.hpp"
#include "merge/merged_plugin.hpp"
#include "objectdb/master_set.hpp"
#include "objectdb/object_index.hpp"

namespace modrake {

namespace {
// Reads the topics and cells of one file into the merger; returns the number
// of responses that belong to a topic.
int ScanFile(PluginFile& file, DialogMerger& merger) {
  int responses = 0;
  TopicChain topic;
  int count = 0;
  RecordStream stream(file);
  while (stream.Next()) {
    Tag tag = stream.header().tag;
    if (tag == tags::DIAL) {
      if (topic.dial) merger.MergeTopic(std::move(topic), count);
      topic = TopicChain{};
      topic.dial = stream.Read();
      count = 0;
    } else if (tag == tags::INFO && topic.dial) {
      topic.infos.push_back(stream.Read());
      ++count;
      ++responses;
    } else if (tag == tags::CELL) {
      merger.TrackExteriorCell(stream.View(), &file);
    }
    // Anything else, and responses before the file's first topic, are skipped.
  }
  if (topic.dial) merger.MergeTopic(std::move(topic), count);
  return responses;
}
}  // namespace

void MergeDialogs(Session& session, bool activate) {
  GameInstallation& game = *session.game;
  ExecutionLog& log = session.log;
  // A front end that keeps no index or rename table of its own gets them for this run.
  ObjectIndex runIndex;
  CellRenameTable runRenames;
  Session run = session;
  if (!run.index) run.index = &runIndex;
  if (!run.cellRenames) run.cellRenames = &runRenames;

  auto created = CreateMergedPlugin(session, kMergedDialogsName, "Merged TES dialogs");
  PluginFile& plugin = *created;
  log.OpenLog();
  log.Log("Merging TES objects for all active plugins\n\n");
  MasterSet masters(run);
  masters.Load();
  CellRenameTable& renames = *run.cellRenames;
  renames.Clear();

  DialogMerger merger(masters, log, renames, plugin);
  int responses = 0;
  ProgressTask progress(session.progress, game.activePlugins().size() + 1);
  {
    auto open = masters.Open();
    for (const auto& active : game.activePlugins()) {
      progress.Step(active->name);
      if (EqualsNoCase(active->name, kMergedDialogsName)) continue;
      if (masters.Holds(active.get())) {
        AddGameMaster(plugin, *active);
      } else {
        log.Log("\nScanning %s\n", active->name.c_str());
      }
      log.Log("!Scanning %s", active->name.c_str());
      responses += ScanFile(*active, merger);
    }
  }

  log.AddLogLine("");
  log.Log("!Analyzing %d dialog entries...", responses);
  log.Log("\n");
  merger.AddRenamedCells();
  if (!renames.Empty()) {
    log.Log("\nFollowing cell references will be renamed in dialog entries:\n");
    // One line for all of them, as the log has always had it.
    for (const auto& entry : renames.Entries()) {
      log.Log("  %-32s -> %s", entry.oldName.c_str(), entry.newName.c_str());
    }
  }
  log.Log("\n");
  DialogMerger::RelinkCounts counts = merger.RelinkTopics();
  log.Log("\nMerged and relinked %d dialog(s) out of %d\n", counts.relinked, counts.lookedAt);
  log.Log("!Merged and relinked %d dialog(s) out of %d", counts.relinked, counts.lookedAt);

  progress.Step(kMergedDialogsName);
  SaveMergedPlugin(*session.game, plugin);
  log.CloseLog();
  FinishMergedPlugin(session, plugin, activate);
}

}  // namespace modrake
