#include "install/data_folder.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <system_error>
#include <unordered_map>
#include <unordered_set>

#include "core/execution_log.hpp"
#include "core/fatal_error.hpp"
#include "core/text.hpp"
#include "core/ui.hpp"
#include "install/game_installation.hpp"
#include "install/load_order.hpp"
#include "platform/environment.hpp"
#include "platform/file_names.hpp"

namespace modrake {

namespace {

// Names with control characters cannot be written to the list.
bool IsListableName(const std::string& name) {
  for (char c : name) {
    if (static_cast<unsigned char>(c) < 0x20) return false;
  }
  return true;
}

// The active plugin of the same name gets the new status of the file too.
void RefreshActive(GameInstallation& game, const PluginFile& file, bool header) {
  PluginFile* active = FindPluginByName(game.activePlugins(), file.name);
  if (!active) return;
  auto status = QueryFileStatus(active->path);
  if (!status) FatalError("Cannot find file %s", active->name.c_str());
  active->status = *status;
  if (header) active->ReadHeaderOnly();
}

bool HasBlankEdge(std::string_view name) {
  return !name.empty() &&
         (name.front() == ' ' || name.front() == '\t' || name.back() == ' ' || name.back() == '\t');
}

}  // namespace

std::string NameProblem(const GameInstallation& game, const std::string& name) {
  const char* list = game.ListName();
  if (!IsListableName(name)) {
    return FormatText(
        "\"%s\" cannot be listed in %s: its name holds a line break or another control "
        "character",
        Utf8Text(name).c_str(), list);
  }
  // Morrowind.ini drops the blanks around a value; openmw.cfg keeps them in quotes.
  if (game.kind() == GameKind::kOriginal && HasBlankEdge(name)) {
    return FormatText(
        "\"%s\" cannot be listed in morrowind.ini: its name starts or ends with a blank",
        Utf8Text(name).c_str());
  }
  auto winner = game.FolderOf(name);
  std::filesystem::path folder = winner ? *winner : game.MainDataFolder();
  std::vector<std::string> twins;
  std::error_code ec;
  std::filesystem::directory_iterator it(folder, ec);
  for (; !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
    std::string entry = it->path().filename().string();
    if (SameFileName(entry, name)) twins.push_back(std::move(entry));
  }
  if (twins.size() < 2) return {};
  std::sort(twins.begin(), twins.end());
  std::string listed;
  for (const std::string& twin : twins) {
    listed += (listed.empty() ? "\"" : ", \"") + Utf8Text(twin) + "\"";
  }
  return FormatText("\"%s\" is ambiguous: the game cannot tell apart %s", Utf8Text(name).c_str(),
                    listed.c_str());
}

FolderFiles ScanDataFolder(const GameInstallation& game, ExecutionLog& log) {
  FolderFiles files;
  auto folders = game.DataFolders();
  // Names are matched by their keys: thousands of files in hundreds of
  // folders made comparing each with every other the most of a listing.
  std::unordered_set<std::string> active, seen;
  for (const auto& file : game.activePlugins()) active.insert(FileNameKey(file->name));
  // The winning copy of each name: the folders from the last one back.
  for (auto folder = folders.rbegin(); folder != folders.rend(); ++folder) {
    for (const std::string& name : PluginFileNames(game, *folder)) {
      std::string key = FileNameKey(name);
      if (!seen.insert(key).second) continue;
      FolderFile row;
      row.file =
          std::make_unique<PluginFile>(*folder / TextPath(name), name, PluginFile::Tolerant{});
      row.active = active.count(key) != 0;
      files.push_back(std::move(row));
    }
  }
  SortFolderFiles(game, files, kLoadOrder);
  if (game.kind() == GameKind::kOpenMw) {
    log.Log("!Found %d plugins in %d data folders", static_cast<int>(files.size()),
            static_cast<int>(folders.size()));
  } else {
    log.Log("!Found %d plugins in the \"Data Files\" folder", static_cast<int>(files.size()));
  }
  return files;
}

void SortFolderFiles(const GameInstallation& game, FolderFiles& files, int mode) {
  if (mode != kLoadOrder || !game.OrderIsTheList()) {
    SortPluginsBy(files.begin(), files.end(), mode,
                  [](const FolderFile& row) -> const PluginFile& { return *row.file; });
    return;
  }
  // The active files in the list's order, then the others by name.
  const PluginList& active = game.activePlugins();
  std::unordered_map<std::string, size_t> places;
  for (size_t i = 0; i < active.size(); ++i) places.try_emplace(FileNameKey(active[i]->name), i);
  auto place = [&](const FolderFile& row) {
    auto found = places.find(FileNameKey(row.file->name));
    return found == places.end() ? active.size() : found->second;
  };
  std::vector<std::pair<size_t, FolderFile*>> keyed;
  for (auto& row : files) keyed.emplace_back(place(row), &row);
  std::stable_sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) {
    if (a.first != b.first) return a.first < b.first;
    return ComparePlugins(*a.second->file, *b.second->file, kNameAscending) < 0;
  });
  FolderFiles sorted;
  for (auto& [at, row] : keyed) sorted.push_back(std::move(*row));
  files = std::move(sorted);
}

FolderFile* FindFolderFile(FolderFiles& files, std::string_view name) {
  for (auto& row : files) {
    if (SameFileName(row.file->name, name)) return &row;
  }
  return nullptr;
}

void ApplyActiveChecks(GameInstallation& game, const FolderFiles& files) {
  for (const auto& row : files) {
    PluginFile* active = FindPluginByName(game.activePlugins(), row.file->name);
    if (!row.active && active) {
      game.RemovePlugin(active);
    } else if (row.active && !active) {
      game.AddActive(row.file->name);
    }
  }
}

void UpdatePluginTimes(GameInstallation& game, FolderFiles& files) {
  std::vector<PluginFile*> moving;
  for (auto& row : files) {
    if (row.selected) moving.push_back(row.file.get());
  }
  game.LoadLast(moving);
}

void UpdatePluginHeaders(GameInstallation& game, FolderFiles& files, Ui& ui) {
  for (auto& row : files) {
    if (!row.selected || IsGameMasterName(row.file->name)) continue;
    std::string name = row.file->name;
    const std::filesystem::path folder = row.file->path.parent_path();
    {
      PluginFile plugin(folder, name);
      plugin.ReadAllRecords();
      Record* header = plugin.FindHeaderRecord();
      // A file without a header has nothing to update.
      if (!header) continue;
      UpdateMasterSizes(*header, game.activePlugins());
      game.WritePluginHeader(plugin);
    }
    row.file = std::make_unique<PluginFile>(folder, name);
    RefreshActive(game, *row.file, true);
  }
  ui.Ask("Modrake",
         game.Previewing() ? "Would update plugin(s) version and master file information"
                           : "Plugin(s) version and master file information has been updated",
         BoxStyle::OkInformation);
}

std::string DateText(int64_t time) {
  static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  std::optional<std::tm> found = LocalTimeOf(time);
  if (!found) return "UNKNOWN";
  const std::tm& local = *found;
  int year = local.tm_year + 1900;
  if (year < 0 || year > 9999 || local.tm_mon < 0 || local.tm_mon > 11) return "UNKNOWN";
  return FormatText("%s %2d, %04d   %02d:%02d:%02d", kMonths[local.tm_mon], local.tm_mday, year,
                    local.tm_hour, local.tm_min, local.tm_sec);
}

}  // namespace modrake
