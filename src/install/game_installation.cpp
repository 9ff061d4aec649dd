#include "install/game_installation.hpp"

#include <algorithm>
#include <system_error>

#include "core/fatal_error.hpp"
#include "core/text.hpp"
#include "platform/file_names.hpp"
#include "platform/ini_file.hpp"
#include "platform/ui.hpp"
#include "platform/wine_registry.hpp"

namespace modrake {

namespace {

constexpr const char* kGameFiles = "Game Files";
// The game reads at most this many plugins.
constexpr unsigned kMaxGameFiles = 256;
constexpr size_t kGameFileValueChars = 255;
constexpr std::string_view kGameFilePrefix = "GameFile";

std::string GameFileKey(unsigned index) {
  return FormatText("GameFile%u", index);
}

// The number of a "GameFileN" key in any letter case; none for any other
// key. A number that GameFileKey never writes (leading zeros, past the
// game's limit) comes back as kMaxGameFiles, which no list reaches.
std::optional<unsigned> GameFileIndex(std::string_view key) {
  if (key.size() <= kGameFilePrefix.size() ||
      !EqualsNoCase(key.substr(0, kGameFilePrefix.size()), kGameFilePrefix)) {
    return std::nullopt;
  }
  std::string_view digits = key.substr(kGameFilePrefix.size());
  unsigned index = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return std::nullopt;
    index = std::min(index * 10 + static_cast<unsigned>(c - '0'), kMaxGameFiles);
  }
  if (digits.size() > 1 && digits[0] == '0') return kMaxGameFiles;
  return index;
}

std::vector<std::string>::const_iterator FindName(const std::vector<std::string>& names,
                                                  std::string_view name) {
  return std::find_if(names.begin(), names.end(),
                      [&](const std::string& entry) { return SameFileName(entry, name); });
}

bool ListsName(const std::vector<std::string>& names, std::string_view name) {
  return FindName(names, name) != names.end();
}

// An entry is a plain file name: the game looks nowhere but the data folder.
bool IsPlainName(std::string_view name) {
  return name.find_first_of("/\\") == std::string_view::npos && name != "." && name != "..";
}

}  // namespace

std::filesystem::path GameInstallation::DataFolder() const {
  return ResolveNoCase(gameFolder, "Data Files");
}

std::filesystem::path GameInstallation::IniPath() const {
  auto found = FindNoCase(gameFolder, "morrowind.ini");
  return found ? *found : gameFolder / "Morrowind.ini";
}

void GameInstallation::LoadActivePlugins() {
  morrowind = tribunal = bloodmoon = nullptr;
  activePlugins.clear();
  unreadEntries.clear();
  // A registry path that could not be read leaves no folder to look in.
  if (gameFolder.empty()) return;
  std::filesystem::path dataFolder = DataFolder();
  IniFile ini(IniPath());
  if (!ini.ReadError().empty()) {
    FatalError("Cannot read file %s: %s", ini.path().c_str(), ini.ReadError().c_str());
  }
  for (unsigned index = 0;; ++index) {
    std::string name = ini.Read(kGameFiles, GameFileKey(index), "", kGameFileValueChars);
    if (name.empty()) break;
    if (FindPluginByName(activePlugins, name) || ListsName(unreadEntries, name)) continue;
    std::optional<std::filesystem::path> path;
    if (IsPlainName(name)) path = FindReadableFile(dataFolder, name);
    if (!path) {
      unreadEntries.push_back(name);
      continue;
    }
    activePlugins.push_back(std::make_unique<PluginFile>(dataFolder, name, PluginFile::Tolerant{}));
  }
  SortPlugins(activePlugins, kLoadOrder);
}

void GameInstallation::RequireReadable() const {
  for (const auto& file : activePlugins) {
    if (!file->headerError.empty()) FatalError("%s", file->headerError.c_str());
  }
}

void GameInstallation::WriteActivePlugins() const {
  std::vector<PluginFile*> written;
  for (const auto& file : activePlugins) {
    if (written.size() == kMaxGameFiles) break;
    written.push_back(file.get());
  }
  SortPlugins(written, kLoadOrder);
  std::vector<std::string> names;
  // Under Wine a file found by its UTF-8 name on disk is listed as the game spells it.
  for (const PluginFile* file : written) names.push_back(GameFileName(file->name));
  // What could not be read stays listed, after what could.
  for (const std::string& entry : unreadEntries) {
    if (names.size() == kMaxGameFiles) break;
    if (!FindPluginByName(activePlugins, entry) && !ListsName(names, entry)) {
      names.push_back(entry);
    }
  }
  IniFile ini(IniPath());
  for (unsigned i = 0; i < names.size(); ++i) ini.Write(kGameFiles, GameFileKey(i), names[i]);
  // Every other "GameFile" key goes, whatever its number.
  for (const std::string& key : ini.Keys(kGameFiles)) {
    auto index = GameFileIndex(key);
    if (index && *index >= names.size()) ini.Delete(kGameFiles, key);
  }
  if (WriteResult saved = ini.Save(); !saved) WriteFailed(ini.path(), saved);
}

void GameInstallation::Reload() {
  LoadActivePlugins();
  if (activePlugins.empty()) {
    std::error_code ec;
    if (requireMorrowind || gameFolder.empty() || !std::filesystem::is_directory(DataFolder(), ec))
      FatalError("Cannot find Morrowind installation");
  }
  FindGameMasters();
}

bool GameInstallation::IsUnreadEntry(std::string_view name) const {
  return ListsName(unreadEntries, name);
}

bool GameInstallation::ForgetUnreadEntry(std::string_view name) {
  auto it = FindName(unreadEntries, name);
  if (it == unreadEntries.end()) return false;
  unreadEntries.erase(it);
  return true;
}

void GameInstallation::FindGameMasters() {
  morrowind = FindPluginByName(activePlugins, "morrowind.esm");
  if (!morrowind && requireMorrowind) FatalError("Cannot find morrowind.esm");
  tribunal = FindPluginByName(activePlugins, "tribunal.esm");
  bloodmoon = FindPluginByName(activePlugins, "bloodmoon.esm");
}

void GameInstallation::RemovePlugin(PluginFile* file) {
  for (PluginFile** master : {&morrowind, &tribunal, &bloodmoon}) {
    if (*master == file) *master = nullptr;
  }
  auto it = std::find_if(activePlugins.begin(), activePlugins.end(),
                         [file](const auto& entry) { return entry.get() == file; });
  if (it != activePlugins.end()) activePlugins.erase(it);
}

std::filesystem::path FindGameFolder(Ui& ui, const std::filesystem::path& currentFolder,
                                     const std::vector<std::filesystem::path>& winePrefixes) {
  if (FindNoCase(currentFolder, "morrowind.ini")) {
    std::string question = FormatText(
        "Morrowind.ini has been found in the current folder:\n\n%s\n\nDo you want to use this "
        "folder instead of registry settings?",
        currentFolder.c_str());
    if (ui.Ask("Morrowind Location", question, BoxStyle::YesNoQuestion) == Answer::Yes) {
      return currentFolder;
    }
  }
  // 32-bit programs on a 64-bit prefix write their keys under Wow6432Node.
  static const char* const kKeys[] = {"Software\\Bethesda Softworks\\Morrowind",
                                      "Software\\Wow6432Node\\Bethesda Softworks\\Morrowind"};
  for (const auto& prefix : winePrefixes) {
    for (const char* key : kKeys) {
      RegistryValue found = ReadWineRegistryValue(prefix / "system.reg", key, "Installed Path");
      if (!found.keyFound) continue;
      if (!found.value) return {};
      return WindowsPathInPrefix(prefix, *found.value);
    }
  }
  return currentFolder;
}

std::vector<PluginFile*> GameInstallation::GameMasters() const {
  std::vector<PluginFile*> masters;
  for (PluginFile* master : {morrowind, tribunal, bloodmoon}) {
    if (master) masters.push_back(master);
  }
  return masters;
}

std::string GameInstallation::GameMasterAt(const std::filesystem::path& path) const {
  auto target = IdentifyFile(path);
  if (!target) return {};
  std::filesystem::path dataFolder = DataFolder();
  for (const char* name : {"Morrowind.esm", "Tribunal.esm", "Bloodmoon.esm"}) {
    auto master = FindNoCase(dataFolder, name);
    if (master && IdentifyFile(*master) == target) return master->filename().string();
  }
  return {};
}

void GameInstallation::RefuseGameMasterWrite(const std::filesystem::path& path) const {
  std::string master = GameMasterAt(path);
  if (!master.empty()) {
    WriteRefused("Cannot write file %s: it is the game master %s", path.c_str(), master.c_str());
  }
}

void GameInstallation::SavePlugin(PluginFile& file) const {
  RefuseGameMasterWrite(file.path);
  file.Save();
}

void GameInstallation::WritePluginHeader(PluginFile& file) const {
  RefuseGameMasterWrite(file.path);
  file.WriteHeader();
}

OpenGameMasters::OpenGameMasters(const GameInstallation& game) : masters_(game.GameMasters()) {
  try {
    for (PluginFile* master : masters_) master->OpenFile();
  } catch (...) {
    for (PluginFile* master : masters_) master->CloseFile();
    throw;
  }
}

OpenGameMasters::~OpenGameMasters() {
  for (PluginFile* master : masters_) master->CloseFile();
}

bool IsGameMasterName(std::string_view name) {
  return EqualsNoCase(name, "morrowind.esm") || EqualsNoCase(name, "tribunal.esm") ||
         EqualsNoCase(name, "bloodmoon.esm");
}

bool IsMergedPluginName(std::string_view name) {
  return EqualsNoCase(name, kMergedLeveledListsName) || EqualsNoCase(name, kMergedObjectsName) ||
         EqualsNoCase(name, kMergedDialogsName);
}

}  // namespace modrake
