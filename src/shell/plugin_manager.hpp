#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "install/load_order.hpp"  // SortMode

namespace modrake {

struct Session;

// One row of the Manage active plugins list.
struct PluginRow {
  std::string name;
  std::string date;  // the file's time as the list shows it
  bool active = false;
  bool selected = false;
  std::string error;   // why the file cannot be read; empty when it can
  std::string folder;  // the data folder it comes from, when the game has several
};

// What the Manage active plugins window shows and what its buttons do: the
// masters and plugins of the data folder with their check boxes, sorted by a
// column or in load order. Changes to the check boxes reach morrowind.ini
// only through Ok; times and headers are written at once.
class PluginManager {
 public:
  static constexpr size_t kNoRow = static_cast<size_t>(-1);

  // Reads every master and plugin of the data folder, in load order.
  explicit PluginManager(Session& session);
  ~PluginManager();
  PluginManager(const PluginManager&) = delete;
  PluginManager& operator=(const PluginManager&) = delete;

  size_t RowCount() const;
  PluginRow Row(size_t row) const;
  // The row of that file name in any letter case, or kNoRow.
  size_t FindRow(std::string_view name) const;
  void SetActive(size_t row, bool active);
  void SetSelected(size_t row, bool selected);

  // The sort state: a sort mode (load order, name or time, either way).
  int SortState() const;
  // Whether the game's list order is its load order (OpenMW), and whether
  // rows can be moved up and down now: the rows show the load order.
  bool OrderIsTheList() const;
  bool CanMoveRows() const;
  // The file Ok writes the list into: "morrowind.ini" or "openmw.cfg".
  std::string ListName() const;
  // Moves an active row one place up (step -1) or down (+1) among the
  // active rows; Ok writes the new order. Returns the row's new place.
  size_t MoveRow(size_t row, int step);
  // The buttons and column headers. Each returns the new row of `keep` (the
  // row that had the focus), so the window can keep it in view.
  size_t SortLoadOrder(size_t keep = kNoRow);
  size_t ClickNameHeader(size_t keep = kNoRow);
  size_t ClickDateHeader(size_t keep = kNoRow);
  size_t UpdateTime(size_t keep = kNoRow);
  void UpdateHeader();
  // Takes an entry of [Game Files] whose file could not be read (it has no
  // row) off the list that Ok writes; false when there is no such entry.
  bool DropUnreadEntry(std::string_view name);
  // Writes the ticked files to [Game Files] of morrowind.ini, then the
  // entries whose files could not be read, less the dropped ones.
  void Ok();
  void Cancel();

 private:
  size_t Resort(int mode, size_t keep);
  std::vector<std::string> ActiveRowNames() const;

  struct Rows;
  Session& session_;
  std::unique_ptr<Rows> rows_;
};

// The Manage active plugins window of a front end: shows the rows and lets
// the user press the buttons until the window closes.
class ManageWindow {
 public:
  virtual ~ManageWindow() = default;
  virtual void Show(PluginManager& manager) = 0;
};

// A window whose buttons a function presses: the command line's, and tests'.
class ScriptedManageWindow : public ManageWindow {
 public:
  explicit ScriptedManageWindow(std::function<void(PluginManager&)> script)
      : script_(std::move(script)) {}
  void Show(PluginManager& manager) override { script_(manager); }

 private:
  std::function<void(PluginManager&)> script_;
};

// Whether the data folder holds a master or plugin of that name, in any
// letter case: a row of the window.
bool DataFolderHas(Session& session, std::string_view name);

// Why that name cannot stand for one file of the data folder in
// morrowind.ini (see NameProblem); empty when it can.
std::string PluginNameProblem(Session& session, const std::string& name);

// Whether [Game Files] lists that name, in any letter case, although its
// file could not be read.
bool ListsUnreadEntry(Session& session, std::string_view name);

// An entry of the game's list whose file could not be read (missing or
// unreadable): it has no row, yet it stays in the list.
struct UnreadEntry {
  std::string name;
  std::string problem;  // "missing: ..." or "unreadable: REASON"
  std::string after;    // the entry before it in the list that has a file; empty: first
};
std::vector<UnreadEntry> UnreadEntries(Session& session);

// The command: the window, then the active plugins read afresh from
// morrowind.ini (what was not saved with OK is gone) and their masters
// checked, with a warning when some are not active.
void ManageActivePlugins(Session& session, ManageWindow& window);

// The installation as one JSON document (docs/plugins.schema.json): kind,
// source, data folders, the window's rows, load order, the entries without a
// readable file and the master problems.
std::string PluginsJson(Session& session);

}  // namespace modrake
