// modrake plugins: the Manage active plugins window on the command line.
#include <algorithm>
#include <cstdio>

#include "cli_context.hpp"
#include "core/fatal_error.hpp"
#include "core/text.hpp"
#include "shell/plugin_manager.hpp"

namespace modrake::cli {
namespace {

// Rows as the window shows them: check box, name and date, names in one
// column; a file that cannot be read says why. The entries of the game's
// list without a readable file come in their places: after the entry before
// them in the list, or among the names when sorted by name.
void PrintRows(ExecutionLog& log, const std::vector<PluginRow>& rows,
               const std::vector<UnreadEntry>& unread = {}, int mode = kLoadOrder) {
  size_t width = 0;
  for (const auto& row : rows) width = std::max(width, row.name.size());
  for (const auto& entry : unread) width = std::max(width, entry.name.size());
  // The row each entry comes before; rows.size() for after the last.
  std::vector<size_t> places;
  for (const auto& entry : unread) {
    size_t place = 0;
    if (mode == kNameAscending || mode == kNameDescending) {
      while (place < rows.size()) {
        int order = CompareNoCase(entry.name, rows[place].name);
        if (mode == kNameAscending ? order < 0 : order > 0) break;
        ++place;
      }
    } else if (!entry.after.empty()) {
      while (place < rows.size() && !EqualsNoCase(rows[place].name, entry.after)) ++place;
      if (place < rows.size()) ++place;
    }
    places.push_back(place);
  }
  auto print = [&](const char* box, const std::string& name, const std::string& rest) {
    log.AddLogLine(
        FormatText("%s %-*s  %s", box, static_cast<int>(width), name.c_str(), rest.c_str()));
  };
  for (size_t i = 0; i <= rows.size(); ++i) {
    for (size_t e = 0; e < unread.size(); ++e) {
      if (places[e] == i) print("[x]", unread[e].name, unread[e].problem);
    }
    if (i == rows.size()) break;
    const PluginRow& row = rows[i];
    std::string rest = row.date;
    if (!row.folder.empty()) rest += "  " + row.folder;
    if (!row.error.empty()) rest += "  unreadable: " + row.error;
    print(row.active ? "[x]" : "[ ]", row.name, rest);
  }
}

std::vector<PluginRow> Rows(const PluginManager& manager, bool selectedOnly) {
  std::vector<PluginRow> rows;
  for (size_t i = 0; i < manager.RowCount(); ++i) {
    PluginRow row = manager.Row(i);
    if (!selectedOnly || row.selected) rows.push_back(row);
  }
  return rows;
}

// An unknown name is a usage error, and a name that cannot stand for one
// file an error, before anything is read or changed.
void CheckNames(CliContext& context, const std::vector<std::string>& names,
                bool unreadEntries = false) {
  context.LoadGame(GameUse::kPluginList);
  for (const auto& name : names) {
    if (!DataFolderHas(context.session(), name) &&
        !(unreadEntries && ListsUnreadEntry(context.session(), name))) {
      throw UsageError(FormatText("no plugin or master named \"%s\" in the \"Data Files\" folder",
                                  name.c_str()));
    }
    std::string problem = PluginNameProblem(context.session(), name);
    if (!problem.empty()) FatalError("%s", problem.c_str());
  }
}

void SelectRows(PluginManager& manager, const std::vector<std::string>& names) {
  for (const auto& name : names) {
    size_t row = manager.FindRow(name);
    if (row != PluginManager::kNoRow) manager.SetSelected(row, true);
  }
}

void ListPlugins(CliContext& context, int mode) {
  context.LoadGame(GameUse::kPluginList);
  ScriptedManageWindow window([&](PluginManager& manager) {
    if (mode == kNameAscending) manager.ClickNameHeader();
    if (mode == kNameDescending) manager.ClickNameHeader(), manager.ClickNameHeader();
    if (mode == kTimeAscending) manager.ClickDateHeader();
    if (mode == kTimeDescending) manager.ClickDateHeader(), manager.ClickDateHeader();
    PrintRows(context.log(), Rows(manager, false), UnreadEntries(context.session()), mode);
  });
  ManageActivePlugins(context.session(), window);
}

// The installation as one JSON document on standard output; every other
// line goes to standard error.
void WritePluginsJson(CliContext& context) {
  context.ui().SendLinesTo(stderr);
  context.LoadGame(GameUse::kPluginList);
  std::string document = PluginsJson(context.session());
  std::fputs(document.c_str(), stdout);
  std::fputc('\n', stdout);
}

void SetActive(CliContext& context, const std::vector<std::string>& names, bool active) {
  // A [Game Files] entry whose file could not be read can still be taken off.
  CheckNames(context, names, !active);
  ScriptedManageWindow window([&](PluginManager& manager) {
    for (const auto& name : names) {
      size_t row = manager.FindRow(name);
      if (row != PluginManager::kNoRow) {
        manager.SetActive(row, active);
      } else {
        manager.DropUnreadEntry(name);
      }
    }
    manager.Ok();
  });
  ManageActivePlugins(context.session(), window);
}

void UpdateTimes(CliContext& context, const std::vector<std::string>& names) {
  CheckNames(context, names);
  PluginManager manager(context.session());
  SelectRows(manager, names);
  manager.UpdateTime();
  PrintRows(context.log(), Rows(manager, true));
}

void UpdateHeaders(CliContext& context, const std::vector<std::string>& names) {
  CheckNames(context, names);
  PluginManager manager(context.session());
  SelectRows(manager, names);
  manager.UpdateHeader();
}

using NameAction = void (*)(CliContext&, const std::vector<std::string>&);

void AddNameCommand(CLI::App& plugins, CliContext& context, const char* name,
                    const char* description, const char* details, NameAction run) {
  auto* command = AddCommand(plugins, name, description, details);
  auto names = std::make_shared<std::vector<std::string>>();
  command->add_option("NAME", *names, "File names in the \"Data Files\" folder, any letter case")
      ->required();
  command->callback([&context, names, run] {
    context.action = [&context, names, run] { run(context, *names); };
  });
}

const CommandRegistration registration(kPluginsOrder, [](CLI::App& app, CliContext& context) {
  auto* command = AddCommand(
      app, "plugins", "List the masters and plugins of the \"Data Files\" folder, or change them",
      "Without a subcommand the files are listed: [x] for active ones, name and file date, in "
      "load order unless sorted otherwise, and the entries of the game's list whose files are "
      "missing or unreadable, marked so in their places; then the active plugins that need "
      "inactive or missing masters.");
  auto mode = std::make_shared<std::string>("load");
  std::vector<std::string> modes(kSortModeNames.begin(), kSortModeNames.end());
  command->add_option("--sort", *mode, "Order of the list: load, name, name-desc, time, time-desc")
      ->check(CLI::IsMember(modes));
  auto json = std::make_shared<bool>(false);
  command->add_flag("--json", *json,
                    "Write the installation as one JSON document to standard output (kind, "
                    "files, active ones, load order, data folders, master problems); the schema "
                    "is docs/plugins.schema.json");
  AddNameCommand(*command, context, "activate",
                 "Activate the files and write the game's list (morrowind.ini or openmw.cfg)",
                 "Ticks the files as the Manage active plugins window does, then writes the "
                 "game's list: [Game Files] of morrowind.ini (nothing else in it changes), or the "
                 "content= lines of openmw.cfg. NAMEs are file names in the data folders, in any "
                 "letter case.",
                 [](CliContext& c, const std::vector<std::string>& n) { SetActive(c, n, true); });
  AddNameCommand(*command, context, "deactivate",
                 "Deactivate the files and write the game's list (morrowind.ini or openmw.cfg)",
                 "Unticks the files, then writes the game's list as activate does. An entry whose "
                 "file is missing or unreadable is taken off the list too. Morrowind.esm stays "
                 "active: the game cannot start without it.",
                 [](CliContext& c, const std::vector<std::string>& n) { SetActive(c, n, false); });
  AddNameCommand(*command, context, "update-time",
                 "Give the files the last places of the load order (new file times; OpenMW: the "
                 "end of the content list)",
                 "Gives the files new times one minute apart after the newest other file, so that "
                 "they load last, in the order named; game masters never move. For OpenMW their "
                 "content= lines move to the end of the list instead, and no file time changes. "
                 "Then lists the files with their dates.",
                 UpdateTimes);
  AddNameCommand(*command, context, "update-header",
                 "Write version 1.3, file type, record count and master sizes into the headers",
                 "Writes version 1.3, the file type, the record count and the present sizes of "
                 "the active masters into the header of each file, which keeps its time. Game "
                 "masters are never written.",
                 UpdateHeaders);
  command->callback([&context, command, mode, json] {
    if (!command->get_subcommands().empty()) return;
    context.action = [&context, mode, json] {
      if (*json) {
        WritePluginsJson(context);
      } else {
        ListPlugins(context, static_cast<int>(
                                 std::find(kSortModeNames.begin(), kSortModeNames.end(), *mode) -
                                 kSortModeNames.begin()));
      }
    };
  });
});

}  // namespace
}  // namespace modrake::cli
