#include "install/game_installation.hpp"

#include <unistd.h>

#include <algorithm>

#include "core/fatal_error.hpp"
#include "core/text.hpp"
#include "platform/file_names.hpp"
#include "platform/ini_file.hpp"
#include "platform/ui.hpp"
#include "platform/wine_registry.hpp"

namespace modrake {

namespace {

constexpr const char* kGameFiles = "Game Files";
// The game reads at most this many plugins; keys beyond it up to the last are
// deleted so no entry of an earlier, longer list survives.
constexpr unsigned kMaxGameFiles = 256;
constexpr unsigned kLastGameFileKey = 299;
constexpr size_t kGameFileValueChars = 255;

std::string GameFileKey(unsigned index) {
  return FormatText("GameFile%u", index);
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
    if (!IsPlainName(name) || FindPluginByName(activePlugins, name)) continue;
    auto path = FindNoCase(dataFolder, name);
    if (!path || !QueryFileStatus(*path) || ::access(path->c_str(), R_OK) != 0) continue;
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
  IniFile ini(IniPath());
  unsigned count = static_cast<unsigned>(written.size());
  for (unsigned i = 0; i < count; ++i) ini.Write(kGameFiles, GameFileKey(i), written[i]->name);
  for (unsigned i = count; i <= kLastGameFileKey; ++i) ini.Delete(kGameFiles, GameFileKey(i));
  if (!ini.Save()) FatalError("Cannot write file %s", ini.path().c_str());
}

void GameInstallation::Reload() {
  LoadActivePlugins();
  if (activePlugins.empty()) FatalError("Cannot find Morrowind installation");
  FindGameMasters();
}

void GameInstallation::FindGameMasters() {
  morrowind = FindPluginByName(activePlugins, "morrowind.esm");
  if (!morrowind) FatalError("Cannot find morrowind.esm");
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
