#include "shell/plugin_manager.hpp"

#include "core/execution_log.hpp"
#include "core/fatal_error.hpp"
#include "core/session.hpp"
#include "core/text.hpp"
#include "install/data_folder.hpp"
#include "install/game_installation.hpp"
#include "install/load_order.hpp"
#include "install/master_check.hpp"
#include "platform/file_io.hpp"
#include "platform/file_names.hpp"
#include "shell/run_guard.hpp"

namespace modrake {

struct PluginManager::Rows {
  FolderFiles files;
  std::vector<std::string> droppedEntries;
};

PluginManager::PluginManager(Session& session)
    : session_(session), rows_(std::make_unique<Rows>()) {
  rows_->files = ScanDataFolder(*session.game, session.log);
  session.game->listSortState = kLoadOrder;
}

PluginManager::~PluginManager() = default;

size_t PluginManager::RowCount() const {
  return rows_->files.size();
}

PluginRow PluginManager::Row(size_t row) const {
  const FolderFile& file = rows_->files.at(row);
  return {file.file->name, DateText(file.file->status.modified), file.active, file.selected,
          file.file->headerError};
}

size_t PluginManager::FindRow(std::string_view name) const {
  FolderFile* found = FindFolderFile(rows_->files, name);
  return found ? static_cast<size_t>(found - rows_->files.data()) : kNoRow;
}

void PluginManager::SetActive(size_t row, bool active) {
  rows_->files.at(row).active = active;
}

void PluginManager::SetSelected(size_t row, bool selected) {
  rows_->files.at(row).selected = selected;
}

int PluginManager::SortState() const {
  return session_.game->listSortState;
}

size_t PluginManager::Resort(int mode, size_t keep) {
  const PluginFile* kept = keep < RowCount() ? rows_->files[keep].file.get() : nullptr;
  ApplyActiveChecks(*session_.game, rows_->files);
  SortFolderFiles(rows_->files, mode);
  for (size_t i = 0; i < RowCount(); ++i) {
    if (rows_->files[i].file.get() == kept) return i;
  }
  return kNoRow;
}

size_t PluginManager::SortLoadOrder(size_t keep) {
  session_.game->listSortState = kLoadOrder;
  return Resort(kLoadOrder, keep);
}

size_t PluginManager::ClickNameHeader(size_t keep) {
  int& state = session_.game->listSortState;
  state = state == kNameAscending ? kNameDescending : kNameAscending;
  return Resort(state, keep);
}

size_t PluginManager::ClickDateHeader(size_t keep) {
  int& state = session_.game->listSortState;
  state = state == kTimeAscending ? kTimeDescending : kTimeAscending;
  return Resort(state, keep);
}

size_t PluginManager::UpdateTime(size_t keep) {
  RunGuard guard(session_);
  UpdatePluginTimes(*session_.game, rows_->files);
  int state = SortState();
  // Sorted by name the rows stay where they are.
  if (state == kNameAscending || state == kNameDescending) return keep;
  return Resort(state, keep);
}

void PluginManager::UpdateHeader() {
  RunGuard guard(session_);
  UpdatePluginHeaders(*session_.game, rows_->files, session_.ui);
}

bool PluginManager::DropUnreadEntry(std::string_view name) {
  if (!ListsUnreadEntry(session_, name)) return false;
  rows_->droppedEntries.emplace_back(name);
  return true;
}

void PluginManager::Ok() {
  // Without it the game does not start, and no command but this list works.
  const FolderFile* morrowind = FindFolderFile(rows_->files, "Morrowind.esm");
  if (morrowind && !morrowind->active) {
    FatalError("Morrowind.esm must stay active: the game cannot start without it");
  }
  RunGuard guard(session_);
  // After the guard: it may have read morrowind.ini again.
  for (const std::string& name : rows_->droppedEntries) session_.game->ForgetUnreadEntry(name);
  ApplyActiveChecks(*session_.game, rows_->files);
  session_.game->WriteActivePlugins();
  session_.log.AddLogLine("");
  session_.log.AddLogLine("Updated morrowind.ini");
}

void PluginManager::Cancel() {
  session_.log.AddLogLine("");
  session_.log.AddLogLine("Operation has been canceled");
}

bool DataFolderHas(Session& session, std::string_view name) {
  auto found = FindNoCase(session.game->DataFolder(), std::string(name));
  if (!found || !QueryFileStatus(*found)) return false;
  std::string_view extension = name.size() >= 4 ? name.substr(name.size() - 4) : name;
  return EqualsNoCase(extension, ".esm") || EqualsNoCase(extension, ".esp");
}

std::string PluginNameProblem(Session& session, const std::string& name) {
  return NameProblem(session.game->DataFolder(), name);
}

bool ListsUnreadEntry(Session& session, std::string_view name) {
  return session.game->IsUnreadEntry(name);
}

void ManageActivePlugins(Session& session, ManageWindow& window) {
  RunGuard guard(session);
  {
    PluginManager manager(session);
    window.Show(manager);
  }
  ReloadAndCheckMasters(session);
}

void ReloadAndCheckMasters(Session& session) {
  GameInstallation& game = *session.game;
  game.LoadActivePlugins();
  game.FindGameMasters();
  ExecutionLog& log = session.log;
  log.AddLogLine("");
  unsigned count = CheckMasterReferences(game, log, true);
  if (count > 0) {
    log.AskUser(
        BoxStyle::OkWarning,
        "%d active plugin(s) reference master files that are NOT ENABLED in the morrowind.ini. "
        "Morrowind will still automatically load such master files. If this is not a desired "
        "behavior, please update plugin dependencies appropriately.\n\nCheck execution log for "
        "detailed information about inactive master files",
        static_cast<int>(count));
  }
}

}  // namespace modrake
