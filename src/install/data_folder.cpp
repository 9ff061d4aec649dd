#include "install/data_folder.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <system_error>

#include "core/execution_log.hpp"
#include "core/fatal_error.hpp"
#include "core/text.hpp"
#include "install/game_installation.hpp"
#include "install/load_order.hpp"
#include "platform/file_names.hpp"
#include "platform/ui.hpp"

namespace modrake {

namespace {

bool HasExtension(const std::string& name, std::string_view extension) {
  return name.size() > extension.size() &&
         EqualsNoCase(std::string_view(name).substr(name.size() - extension.size()), extension);
}

// Names with control characters cannot be written to morrowind.ini.
bool IsListableName(const std::string& name) {
  for (char c : name) {
    if (static_cast<unsigned char>(c) < 0x20) return false;
  }
  return true;
}

std::vector<std::string> FolderNames(const std::filesystem::path& folder,
                                     std::string_view extension) {
  std::vector<std::string> names;
  std::error_code ec;
  std::filesystem::directory_iterator it(folder, ec);
  for (; !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
    std::string name = it->path().filename().string();
    if (HasExtension(name, extension) && IsListableName(name) && it->is_regular_file(ec)) {
      names.push_back(std::move(name));
    }
  }
  return names;
}

// The active plugin of the same name gets the new status of the file too.
void RefreshActive(GameInstallation& game, const PluginFile& file, bool header) {
  PluginFile* active = FindPluginByName(game.activePlugins, file.name);
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

std::string NameProblem(const std::filesystem::path& folder, const std::string& name) {
  if (!IsListableName(name)) {
    return FormatText(
        "\"%s\" cannot be listed in morrowind.ini: its name holds a line break or "
        "another control character",
        Utf8Text(name).c_str());
  }
  if (HasBlankEdge(name)) {
    return FormatText(
        "\"%s\" cannot be listed in morrowind.ini: its name starts or ends with a blank",
        Utf8Text(name).c_str());
  }
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
  std::filesystem::path dataFolder = game.DataFolder();
  FolderFiles files;
  for (std::string_view extension : {".esm", ".esp"}) {
    for (const std::string& name : FolderNames(dataFolder, extension)) {
      FolderFile row;
      row.file = std::make_unique<PluginFile>(dataFolder, name, PluginFile::Tolerant{});
      row.active = FindPluginByName(game.activePlugins, name) != nullptr;
      files.push_back(std::move(row));
    }
  }
  SortFolderFiles(files, kLoadOrder);
  log.Log("!Found %d plugins in the \"Data Files\" folder", static_cast<int>(files.size()));
  return files;
}

void SortFolderFiles(FolderFiles& files, int mode) {
  SortPluginsBy(files.begin(), files.end(), mode,
                [](const FolderFile& row) -> const PluginFile& { return *row.file; });
}

FolderFile* FindFolderFile(FolderFiles& files, std::string_view name) {
  for (auto& row : files) {
    if (SameFileName(row.file->name, name)) return &row;
  }
  return nullptr;
}

void ApplyActiveChecks(GameInstallation& game, const FolderFiles& files) {
  std::filesystem::path dataFolder = game.DataFolder();
  for (const auto& row : files) {
    PluginFile* active = FindPluginByName(game.activePlugins, row.file->name);
    if (!row.active && active) {
      game.RemovePlugin(active);
    } else if (row.active && !active) {
      game.activePlugins.push_back(std::make_unique<PluginFile>(dataFolder, row.file->name));
    }
  }
}

void UpdatePluginTimes(GameInstallation& game, FolderFiles& files) {
  // A game master keeps its place also when another name or a link reaches it.
  auto moves = [&game](const FolderFile& row) {
    return row.selected && !IsGameMasterName(row.file->name) &&
           game.GameMasterAt(row.file->path).empty();
  };
  int64_t newest = 0;
  for (const auto& row : files) {
    if (!moves(row)) newest = std::max(newest, row.file->status.modified);
  }
  if (newest == 0) return;
  for (auto& row : files) {
    if (!moves(row)) continue;
    newest += 60;
    PluginFile& file = *row.file;
    if (!SetFileTime(file.path, newest)) {
      FatalError("Cannot set the time of file %s: %s", file.name.c_str(), std::strerror(errno));
    }
    auto status = QueryFileStatus(file.path);
    if (!status) FatalError("Cannot find file %s", file.name.c_str());
    file.status = *status;
    RefreshActive(game, file, false);
  }
}

void UpdatePluginHeaders(GameInstallation& game, FolderFiles& files, Ui& ui) {
  std::filesystem::path dataFolder = game.DataFolder();
  for (auto& row : files) {
    if (!row.selected || IsGameMasterName(row.file->name)) continue;
    std::string name = row.file->name;
    {
      PluginFile plugin(dataFolder, name);
      plugin.ReadAllRecords();
      Record* header = plugin.FindHeaderRecord();
      // A file without a header has nothing to update.
      if (!header) continue;
      UpdateMasterSizes(*header, game.activePlugins);
      game.WritePluginHeader(plugin);
    }
    row.file = std::make_unique<PluginFile>(dataFolder, name);
    RefreshActive(game, *row.file, true);
  }
  ui.Ask("Modrake", "Plugin(s) version and master file information has been updated",
         BoxStyle::OkInformation);
}

std::string DateText(int64_t time) {
  static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  std::time_t t = static_cast<std::time_t>(time);
  std::tm local{};
  if (static_cast<int64_t>(t) != time || !localtime_r(&t, &local)) return "UNKNOWN";
  int year = local.tm_year + 1900;
  if (year < 0 || year > 9999 || local.tm_mon < 0 || local.tm_mon > 11) return "UNKNOWN";
  return FormatText("%s %2d, %04d   %02d:%02d:%02d", kMonths[local.tm_mon], local.tm_mday, year,
                    local.tm_hour, local.tm_min, local.tm_sec);
}

}  // namespace modrake
