// modrake plugins: the Manage active plugins window on the command line.
#include <map>

#include "cli_context.hpp"
#include "core/text.hpp"
#include "install/data_folder.hpp"
#include "install/master_check.hpp"

namespace modrake::cli {
namespace {

const std::map<std::string, int> kSortModes{{"load", kLoadOrder},
                                            {"name", kNameAscending},
                                            {"name-desc", kNameDescending},
                                            {"time", kTimeAscending},
                                            {"time-desc", kTimeDescending}};

// One row of the window: check box, name and date, names in one column.
void PrintRows(ExecutionLog& log, const std::vector<const FolderFile*>& rows) {
  size_t width = 0;
  for (const auto* row : rows) width = std::max(width, row->file->name.size());
  for (const auto* row : rows) {
    log.AddLogLine(FormatText("%s %-*s  %s", row->active ? "[x]" : "[ ]", static_cast<int>(width),
                              row->file->name.c_str(),
                              DateText(row->file->status.modified).c_str()));
  }
}

// What follows the window when it closes: the master check with its lines and,
// when some active plugin needs an inactive master, the warning.
void CheckMastersAfterWindow(CliContext& context) {
  context.log().AddLogLine("");
  unsigned count = CheckMasterReferences(context.game(), context.log(), true);
  if (count > 0) {
    context.log().AskUser(
        BoxStyle::OkWarning,
        "%u active plugin(s) reference master files that are NOT ENABLED in the morrowind.ini. "
        "Morrowind will still automatically load such master files. If this is not a desired "
        "behavior, please update plugin dependencies appropriately.\n\nCheck execution log for "
        "detailed information about inactive master files",
        count);
  }
}

void ListPlugins(CliContext& context, int mode) {
  FolderFiles files = ScanDataFolder(context.game(), context.log());
  SortFolderFiles(files, mode);
  std::vector<const FolderFile*> rows;
  for (const auto& row : files) rows.push_back(&row);
  PrintRows(context.log(), rows);
  CheckMastersAfterWindow(context);
}

// Selects the named rows; an unknown name is a usage error before anything
// is changed.
void SelectRows(FolderFiles& files, const std::vector<std::string>& names) {
  for (const auto& name : names) {
    FolderFile* row = FindFolderFile(files, name);
    if (!row) {
      throw UsageError(FormatText("no plugin or master named \"%s\" in the \"Data Files\" folder",
                                  name.c_str()));
    }
    row->selected = true;
  }
}

void SetActive(CliContext& context, const std::vector<std::string>& names, bool active) {
  GameInstallation& game = context.game();
  FolderFiles files = ScanDataFolder(game, context.log());
  SelectRows(files, names);
  for (auto& row : files) {
    if (row.selected) row.active = active;
  }
  ApplyActiveChecks(game, files);
  game.WriteActivePlugins();
  context.log().AddLogLine("");
  context.log().AddLogLine("Updated morrowind.ini");
  // morrowind.ini is the truth again, as after the window closes.
  game.LoadActivePlugins();
  game.FindGameMasters();
  CheckMastersAfterWindow(context);
}

void UpdateTimes(CliContext& context, const std::vector<std::string>& names) {
  GameInstallation& game = context.game();
  FolderFiles files = ScanDataFolder(game, context.log());
  SelectRows(files, names);
  UpdatePluginTimes(game, files);
  SortFolderFiles(files, kLoadOrder);
  std::vector<const FolderFile*> rows;
  for (const auto& row : files) {
    if (row.selected) rows.push_back(&row);
  }
  PrintRows(context.log(), rows);
}

void UpdateHeaders(CliContext& context, const std::vector<std::string>& names) {
  GameInstallation& game = context.game();
  FolderFiles files = ScanDataFolder(game, context.log());
  SelectRows(files, names);
  UpdatePluginHeaders(game, files, context.ui());
}

using NameAction = void (*)(CliContext&, const std::vector<std::string>&);

void AddNameCommand(CLI::App& plugins, CliContext& context, const char* name,
                    const char* description, NameAction run) {
  auto* command = plugins.add_subcommand(name, description);
  auto names = std::make_shared<std::vector<std::string>>();
  command->add_option("NAME", *names, "File names in the \"Data Files\" folder, any letter case")
      ->required();
  command->callback([&context, names, run] {
    context.action = [&context, names, run] { run(context, *names); };
  });
}

const CommandRegistration registration(60, [](CLI::App& app, CliContext& context) {
  auto* command = app.add_subcommand(
      "plugins", "List the masters and plugins of the \"Data Files\" folder, or change them");
  auto mode = std::make_shared<std::string>("load");
  command->add_option("--sort", *mode, "Order of the list: load, name, name-desc, time, time-desc")
      ->check(CLI::IsMember({"load", "name", "name-desc", "time", "time-desc"}));
  AddNameCommand(*command, context, "activate", "Activate the files and write morrowind.ini",
                 [](CliContext& c, const std::vector<std::string>& n) { SetActive(c, n, true); });
  AddNameCommand(*command, context, "deactivate", "Deactivate the files and write morrowind.ini",
                 [](CliContext& c, const std::vector<std::string>& n) { SetActive(c, n, false); });
  AddNameCommand(*command, context, "update-time",
                 "Give the files the last places of the load order (new file times)", UpdateTimes);
  AddNameCommand(*command, context, "update-header",
                 "Write version 1.3, file type, record count and master sizes into the headers",
                 UpdateHeaders);
  command->callback([&context, command, mode] {
    if (!command->get_subcommands().empty()) return;
    context.action = [&context, mode] { ListPlugins(context, kSortModes.at(*mode)); };
  });
});

}  // namespace
}  // namespace modrake::cli
