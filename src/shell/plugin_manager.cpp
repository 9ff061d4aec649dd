#include "shell/plugin_manager.hpp"

#include <nlohmann/json.hpp>

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
  int sortState = kLoadOrder;   // a SortMode
  bool moved = false;           // rows moved up or down since the window opened
  bool severalFolders = false;  // rows then say which data folder holds them
};

PluginManager::PluginManager(Session& session)
    : session_(session), rows_(std::make_unique<Rows>()) {
  rows_->files = ScanDataFolder(*session.game, session.log);
  rows_->severalFolders = session.game->DataFolders().size() > 1;
}

PluginManager::~PluginManager() = default;

size_t PluginManager::RowCount() const {
  return rows_->files.size();
}

PluginRow PluginManager::Row(size_t row) const {
  const FolderFile& file = rows_->files.at(row);
  return {file.file->name,
          DateText(file.file->status.modified),
          file.active,
          file.selected,
          file.file->headerError,
          rows_->severalFolders ? file.file->path.parent_path().string() : ""};
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
  return rows_->sortState;
}

bool PluginManager::OrderIsTheList() const {
  return session_.game->OrderIsTheList();
}

std::string PluginManager::ListName() const {
  return session_.game->ListName();
}

bool PluginManager::CanMoveRows() const {
  return OrderIsTheList() && rows_->sortState == kLoadOrder;
}

size_t PluginManager::MoveRow(size_t row, int step) {
  FolderFiles& files = rows_->files;
  if (!CanMoveRows() || row >= files.size()) return row;
  size_t to = step < 0 ? (row == 0 ? row : row - 1) : std::min(row + 1, files.size() - 1);
  // Only the active files have places in the load order.
  if (to == row || !files[row].active || !files[to].active) return row;
  std::swap(files[row], files[to]);
  rows_->moved = true;
  return to;
}

size_t PluginManager::Resort(int mode, size_t keep) {
  const PluginFile* kept = keep < RowCount() ? rows_->files[keep].file.get() : nullptr;
  ApplyActiveChecks(*session_.game, rows_->files);
  if (rows_->moved) {
    // The order the player made is the one the list sorts by.
    session_.game->Reorder(ActiveRowNames());
    rows_->moved = false;
  }
  SortFolderFiles(*session_.game, rows_->files, mode);
  for (size_t i = 0; i < RowCount(); ++i) {
    if (rows_->files[i].file.get() == kept) return i;
  }
  return kNoRow;
}

size_t PluginManager::SortLoadOrder(size_t keep) {
  rows_->sortState = kLoadOrder;
  return Resort(kLoadOrder, keep);
}

size_t PluginManager::ClickNameHeader(size_t keep) {
  int& state = rows_->sortState;
  state = state == kNameAscending ? kNameDescending : kNameAscending;
  return Resort(state, keep);
}

size_t PluginManager::ClickDateHeader(size_t keep) {
  int& state = rows_->sortState;
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
  // The engine loads only so many: what was ticked last does not fit.
  GameInstallation& game = *session_.game;
  std::vector<std::string> left;
  while (game.activePlugins().size() > game.MostActive()) {
    PluginFile* last = game.activePlugins().back().get();
    left.insert(left.begin(), last->name);
    game.RemovePlugin(last);
  }
  if (rows_->moved) {
    game.Reorder(ActiveRowNames());
  } else {
    game.WriteActivePlugins();
  }
  if (!left.empty()) {
    std::string names;
    for (const auto& name : left) names += (names.empty() ? "" : ", ") + name;
    FatalError(
        "%zu file(s) did not fit in the game's limit of %zu active files and stay "
        "inactive: %s",
        left.size(), game.MostActive(), names.c_str());
  }
  session_.log.AddLogLine("");
  session_.log.AddLogLine(std::string(session_.game->Previewing() ? "Would update " : "Updated ") +
                          session_.game->ListName());
}

std::vector<std::string> PluginManager::ActiveRowNames() const {
  std::vector<std::string> names;
  for (const FolderFile& row : rows_->files) {
    if (row.active) names.push_back(row.file->name);
  }
  return names;
}

void PluginManager::Cancel() {
  session_.log.AddLogLine("");
  session_.log.AddLogLine("Operation has been canceled");
}

bool DataFolderHas(Session& session, std::string_view name) {
  const GameInstallation& game = *session.game;
  if (!game.IsPluginName(name)) return false;
  for (const auto& folder : game.DataFolders()) {
    auto found = FindNoCase(folder, std::string(name));
    if (found && QueryFileStatus(*found)) return true;
  }
  return false;
}

std::string PluginNameProblem(Session& session, const std::string& name) {
  return NameProblem(*session.game, name);
}

bool ListsUnreadEntry(Session& session, std::string_view name) {
  return session.game->IsUnreadEntry(name);
}

std::vector<UnreadEntry> UnreadEntries(Session& session) {
  const GameInstallation& game = *session.game;
  auto folders = game.DataFolders();
  std::vector<UnreadEntry> entries;
  std::string after;
  for (const std::string& name : game.listedNames()) {
    if (!game.IsUnreadEntry(name)) {
      after = name;
      continue;
    }
    UnreadEntry entry{name, {}, after};
    // The copy that would win, had it been readable.
    for (auto folder = folders.rbegin(); folder != folders.rend() && entry.problem.empty();
         ++folder) {
      if (auto there = FindNoCase(*folder, name)) {
        std::string why = WhyUnreadable(*there);
        entry.problem = "unreadable: " + (why.empty() ? std::string("cannot be read") : why);
      }
    }
    if (entry.problem.empty()) {
      entry.problem = game.kind() == GameKind::kOpenMw ? "missing: no data folder holds it"
                                                       : "missing: not in \"Data Files\"";
    }
    entries.push_back(std::move(entry));
  }
  return entries;
}

namespace {
// What follows the window: the active plugins and game masters read afresh,
// and the master check with its lines and warning.
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
        "%d active plugin(s) reference master files that are NOT ENABLED in the %s. "
        "Morrowind will still automatically load such master files. If this is not a desired "
        "behavior, please update plugin dependencies appropriately.\n\nCheck execution log for "
        "detailed information about inactive master files",
        static_cast<int>(count), game.ListName());
  }
}
}  // namespace

void ManageActivePlugins(Session& session, ManageWindow& window) {
  RunGuard guard(session);
  {
    PluginManager manager(session);
    window.Show(manager);
  }
  ReloadAndCheckMasters(session);
}

std::string PluginsJson(Session& session) {
  const GameInstallation& game = *session.game;
  // Names are bytes of the game's code page (or UTF-8 from Wine): UTF-8 here.
  auto text = [](std::string_view bytes) { return Utf8Text(bytes); };
  nlohmann::ordered_json doc;
  doc["schema"] = "modrake-plugins";
  doc["version"] = 1;
  doc["kind"] = game.kind() == GameKind::kOpenMw ? "openmw" : "morrowind";
  doc["source"] = text(game.Source().string());
  doc["dataFolders"] = nlohmann::json::array();
  for (const auto& folder : game.DataFolders()) doc["dataFolders"].push_back(text(folder.string()));
  doc["files"] = nlohmann::json::array();
  PluginManager manager(session);
  for (size_t i = 0; i < manager.RowCount(); ++i) {
    PluginRow row = manager.Row(i);
    nlohmann::ordered_json file = {
        {"name", text(row.name)}, {"active", row.active}, {"date", text(row.date)}};
    if (!row.folder.empty()) file["folder"] = text(row.folder);
    if (!row.error.empty()) file["error"] = text(row.error);
    doc["files"].push_back(file);
  }
  doc["loadOrder"] = nlohmann::json::array();
  for (const auto& plugin : game.activePlugins()) doc["loadOrder"].push_back(text(plugin->name));
  doc["unreadEntries"] = nlohmann::json::array();
  for (const UnreadEntry& entry : UnreadEntries(session)) {
    doc["unreadEntries"].push_back({{"name", text(entry.name)}, {"problem", text(entry.problem)}});
  }
  doc["masterProblems"] = nlohmann::json::array();
  for (const MasterProblem& problem : FindMasterProblems(game)) {
    doc["masterProblems"].push_back({{"plugin", text(problem.plugin)},
                                     {"master", text(problem.master)},
                                     {"problem", problem.missing ? "missing" : "inactive"}});
  }
  return doc.dump(2, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace modrake
