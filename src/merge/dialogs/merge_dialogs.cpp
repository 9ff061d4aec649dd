#include "merge/dialogs/merge_dialogs.hpp"

#include "core/execution_log.hpp"
#include "core/session.hpp"
#include "core/text.hpp"
#include "install/game_installation.hpp"
#include "merge/dialogs/cell_rename_table.hpp"
#include "merge/dialogs/dialog_merger.hpp"
#include "merge/merged_plugin.hpp"
#include "objectdb/master_loader.hpp"
#include "objectdb/object_index.hpp"

namespace modrake {

namespace {
// The game masters are read back by offset while plugins merge; they are
// closed however the command ends.
class MastersClosed {
 public:
  explicit MastersClosed(GameInstallation& game) : game_(game) {}
  ~MastersClosed() {
    for (PluginFile* master : {game_.morrowind, game_.tribunal, game_.bloodmoon}) {
      if (master) master->CloseFile();
    }
  }
  MastersClosed(const MastersClosed&) = delete;
  MastersClosed& operator=(const MastersClosed&) = delete;

 private:
  GameInstallation& game_;
};

// Reads the topics and cells of one file into the merger; returns the number
// of responses that belong to a topic.
int ScanFile(PluginFile& file, DialogMerger& merger) {
  int responses = 0;
  TopicChain topic;
  int count = 0;
  file.OpenFile();
  RecordHeader header;
  while (file.ReadObjectHeader(header)) {
    if (header.tag == tags::DIAL) {
      if (topic.dial) merger.MergeTopic(std::move(topic), count);
      topic = TopicChain{};
      topic.dial = file.ReadRecord(header);
      count = 0;
    } else if (header.tag == tags::INFO && topic.dial) {
      topic.infos.push_back(file.ReadRecord(header));
      ++count;
      ++responses;
    } else if (header.tag == tags::CELL) {
      merger.TrackExteriorCell(*file.ReadRecord(header));
    } else {
      // Responses before the file's first topic belong to none.
      file.SkipRecord(header);
    }
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

  auto created = CreateMergedPlugin(game, kMergedDialogsName, "Merged TES dialogs");
  PluginFile& plugin = *created;
  log.OpenLog();
  log.Log("Merging TES objects for all active plugins\n\n");
  LoadMasters(run);
  CellRenameTable& renames = *run.cellRenames;
  renames.Clear();

  DialogMerger merger(run, plugin);
  int responses = 0;
  {
    MastersClosed closed(game);
    for (const auto& active : game.activePlugins) {
      if (EqualsNoCase(active->name, kMergedDialogsName)) continue;
      if (game.IsGameMaster(active.get())) {
        AddGameMaster(plugin, *active);
      } else {
        log.Log("\nScanning %s\n", active->name.c_str());
      }
      log.Log("!Scanning %s", active->name.c_str());
      responses += ScanFile(*active, merger);
      if (!game.IsGameMaster(active.get())) active->CloseFile();
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

  plugin.Save();
  log.CloseLog();
  FinishMergedPlugin(session, kMergedDialogsName, activate);
}

}  // namespace modrake
