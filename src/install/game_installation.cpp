#include "install/game_installation.hpp"

#include <algorithm>
#include <cstring>
#include <system_error>
#include <unordered_map>
#include <unordered_set>

#include "core/fatal_error.hpp"
#include "core/text.hpp"
#include "core/ui.hpp"
#include "install/installation_kind.hpp"
#include "platform/file_names.hpp"
#include "platform/run_backup.hpp"
#include "platform/wine_registry.hpp"

namespace modrake {

namespace {

std::vector<std::string>::const_iterator FindName(const std::vector<std::string>& names,
                                                  std::string_view name) {
  return std::find_if(names.begin(), names.end(),
                      [&](const std::string& entry) { return SameFileName(entry, name); });
}

// An entry is a plain file name: the engine looks nowhere but its data folders.
bool IsPlainName(std::string_view name) {
  return name.find_first_of("/\\") == std::string_view::npos && name != "." && name != "..";
}

bool HasExtension(std::string_view name, std::string_view extension) {
  return name.size() > extension.size() &&
         EqualsNoCase(name.substr(name.size() - extension.size()), extension);
}

bool HasControlCharacter(std::string_view name) {
  return std::any_of(name.begin(), name.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 0x20; });
}

std::vector<std::string> NamesOf(const std::vector<PluginFile*>& files) {
  std::vector<std::string> names;
  for (const PluginFile* file : files) names.push_back(file->name);
  return names;
}

}  // namespace

struct GameInstallation::FileIndex {
  std::vector<std::filesystem::path> folders;
  struct Entry {
    size_t folder;
    std::string name;
  };
  // By FileNameKey: every spelling of a name in any letter case meets there.
  std::unordered_map<std::string, std::vector<Entry>> byKey;
};

const GameInstallation::FileIndex& GameInstallation::Files() const {
  if (files_) return *files_;
  auto index = std::make_unique<FileIndex>();
  index->folders = DataFolders();
  for (size_t i = 0; i < index->folders.size(); ++i) {
    std::error_code ec;
    for (std::filesystem::directory_iterator it(index->folders[i], ec), end; !ec && it != end;
         it.increment(ec)) {
      std::string name = it->path().filename().string();
      index->byKey[FileNameKey(name)].push_back({i, std::move(name)});
    }
  }
  files_ = std::move(index);
  return *files_;
}

GameInstallation::GameInstallation(const std::filesystem::path& gameFolder)
    : gameFolder_(gameFolder), kind_(OriginalEngineKind(gameFolder)) {}

std::unique_ptr<GameInstallation> GameInstallation::ForOpenMw(
    const std::vector<std::filesystem::path>& configChain) {
  auto game = std::make_unique<GameInstallation>();
  game->kind_ = OpenMwKind(configChain);
  return game;
}

GameInstallation::~GameInstallation() = default;
GameInstallation::GameInstallation(GameInstallation&&) noexcept = default;
GameInstallation& GameInstallation::operator=(GameInstallation&&) noexcept = default;

GameKind GameInstallation::kind() const {
  return kind_->kind();
}

std::filesystem::path GameInstallation::Source() const {
  return kind_->Source();
}

std::string GameInstallation::Description() const {
  return kind_->Description();
}

std::vector<std::filesystem::path> GameInstallation::DataFolders() const {
  return kind_->DataFolders();
}

std::optional<std::filesystem::path> GameInstallation::FindFile(std::string_view name) const {
  if (name.empty() || !IsPlainName(name)) return std::nullopt;
  // What a preview wrote is what the run reads back.
  if (auto previewed = previewed_.find(FileNameKey(name)); previewed != previewed_.end()) {
    return previewed->second;
  }
  const FileIndex& index = Files();
  auto found = index.byKey.find(FileNameKey(name));
  if (found == index.byKey.end()) return std::nullopt;
  // The last folder wins; in it the exact spelling, else the first that matches.
  const FileIndex::Entry* best = nullptr;
  for (const auto& entry : found->second) {
    if (!best || entry.folder > best->folder ||
        (entry.folder == best->folder && entry.name == name && best->name != name)) {
      best = &entry;
    }
  }
  std::filesystem::path path = index.folders[best->folder] / TextPath(best->name);
  if (!IsReadableFile(path)) return std::nullopt;
  return path;
}

std::optional<std::filesystem::path> GameInstallation::FolderOf(std::string_view name) const {
  auto found = FindFile(name);
  if (!found) return std::nullopt;
  return found->parent_path();
}

bool GameInstallation::IsPluginName(std::string_view name) const {
  for (std::string_view extension : {".esm", ".esp"}) {
    if (HasExtension(name, extension)) return true;
  }
  return kind() == GameKind::kOpenMw &&
         (HasExtension(name, ".omwgame") || HasExtension(name, ".omwaddon"));
}

std::filesystem::path GameInstallation::OutputFolder() const {
  return kind_->OutputFolder();
}

std::filesystem::path GameInstallation::MainDataFolder() const {
  // The folder most of the player's plugins lie in: the original engine's
  // only one, OpenMW's last data= folder before data-local.
  auto folders = DataFolders();
  if (folders.empty()) return gameFolder_;
  if (kind() == GameKind::kOpenMw && folders.size() > 1) return folders[folders.size() - 2];
  return folders.back();
}

std::vector<std::filesystem::path> GameInstallation::LockFolders() const {
  return kind_->LockFolders();
}

std::filesystem::path GameInstallation::IniPath() const {
  return kind() == GameKind::kOriginal ? MorrowindIniPath(gameFolder_) : std::filesystem::path();
}

std::vector<std::string> GameInstallation::Warnings() const {
  return kind_->Warnings();
}

size_t GameInstallation::MostActive() const {
  return kind_->MostActive();
}

bool GameInstallation::OrderIsTheList() const {
  return !kind_->OrderedByTime();
}

void GameInstallation::LoadActivePlugins() {
  files_.reset();
  masters_ = {};
  activePlugins_.clear();
  unreadEntries_.clear();
  listed_ = kind_->ReadActiveNames();
  // Names met already, in any letter case: a list of thousands is read in
  // one pass.
  std::unordered_set<std::string> met;
  for (std::string name : listed_) {
    if (!met.insert(FileNameKey(name)).second) continue;
    auto path = FindFile(name);
    if (!path) {
      unreadEntries_.push_back(std::move(name));
      continue;
    }
    activePlugins_.push_back(std::make_unique<PluginFile>(*path, name, PluginFile::Tolerant{}));
  }
  if (kind_->OrderedByTime()) SortPlugins(activePlugins_, kLoadOrder);
}

void GameInstallation::RequireReadable() const {
  for (const auto& file : activePlugins_) {
    if (!file->headerError.empty()) FatalError("%s", file->headerError.c_str());
  }
}

void GameInstallation::WriteActivePlugins() const {
  std::vector<PluginFile*> written;
  for (const auto& file : activePlugins_) {
    if (written.size() == MostActive()) break;
    written.push_back(file.get());
  }
  if (kind_->OrderedByTime()) SortPlugins(written, kLoadOrder);
  std::vector<std::string> unread;
  for (const std::string& entry : unreadEntries_) {
    if (!FindPluginByName(activePlugins_, entry)) unread.push_back(entry);
  }
  BeforeChange(kind_->ListFile(), true);
  kind_->WriteActiveNames(NamesOf(written), unread);
}

void GameInstallation::SetActivePlugins(PluginList plugins) {
  activePlugins_ = std::move(plugins);
  for (int word = 0; word < 3; ++word) {
    masters_[word] = FindPluginByName(activePlugins_, kGameMasterNames[word]);
  }
}

PluginList GameInstallation::TakeActivePlugins() {
  masters_ = {};
  return std::move(activePlugins_);
}

PluginFile& GameInstallation::AddActive(const std::string& name) {
  auto path = FindFile(name);
  if (!path) FatalError("Cannot find file %s", name.c_str());
  activePlugins_.push_back(std::make_unique<PluginFile>(path->parent_path(), name));
  return *activePlugins_.back();
}

void GameInstallation::LoadLast(const std::vector<PluginFile*>& files) {
  // A game master keeps its place also when another name or a link reaches it.
  auto moves = [&](const PluginFile* file) {
    return !IsGameMasterName(file->name) && GameMasterAt(file->path).empty();
  };
  if (kind_->OrderedByTime()) {
    // After the newest time of every other master and plugin, a minute apart.
    int64_t newest = 0;
    for (const auto& folder : DataFolders()) {
      for (const std::string& name : PluginFileNames(*this, folder)) {
        auto same = [&](const PluginFile* f) { return SameFileName(f->name, name) && moves(f); };
        if (std::any_of(files.begin(), files.end(), same)) continue;
        if (auto status = QueryFileStatus(folder / TextPath(name)))
          newest = std::max(newest, status->modified);
      }
    }
    if (newest == 0) return;
    for (PluginFile* file : files) {
      if (!moves(file)) continue;
      newest += 60;
      SetTimes(file->path, FileTimes{newest, 0, newest, 0});
      auto status = QueryFileStatus(file->path);
      if (!status) FatalError("Cannot find file %s", file->name.c_str());
      if (Previewing()) {
        status->modified = newest;
        status->modifiedNsec = 0;
      }
      file->status = *status;
      if (PluginFile* active = FindPluginByName(activePlugins_, file->name)) {
        active->status = *status;
      }
    }
    SortPlugins(activePlugins_, kLoadOrder);
    return;
  }
  std::vector<std::string> names;
  for (const PluginFile* file : files) {
    if (moves(file) && FindPluginByName(activePlugins_, file->name)) names.push_back(file->name);
  }
  BeforeChange(kind_->ListFile(), true);
  kind_->MoveToEnd(names);
  LoadActivePlugins();
  FindGameMasters();
}

void GameInstallation::Reorder(const std::vector<std::string>& names) {
  if (kind_->OrderedByTime()) {
    WriteActivePlugins();
    return;
  }
  PluginList ordered;
  for (const std::string& name : names) {
    auto it = std::find_if(activePlugins_.begin(), activePlugins_.end(), [&](const auto& file) {
      return file && SameFileName(file->name, name);
    });
    if (it != activePlugins_.end()) ordered.push_back(std::move(*it));
  }
  // Files the order does not name keep their places after it.
  for (auto& file : activePlugins_) {
    if (file) ordered.push_back(std::move(file));
  }
  activePlugins_ = std::move(ordered);
  WriteActivePlugins();
}

void GameInstallation::Reload() {
  LoadActivePlugins();
  if (activePlugins_.empty()) {
    auto folders = DataFolders();
    std::error_code ec;
    bool folder = std::any_of(folders.begin(), folders.end(),
                              [&](const auto& f) { return std::filesystem::is_directory(f, ec); });
    if (requireMorrowind || !folder) {
      std::string why = kind() == GameKind::kOriginal ? WhyNotGameFolder(gameFolder_) : "";
      if (why.empty() && !folder) why = "none of its data folders exists";
      if (why.empty()) why = FormatText("%s lists no plugin that can be read", ListName());
      throw GameNotFound({{Source(), why}});
    }
  }
  FindGameMasters();
}

bool ListsName(const std::vector<std::string>& names, std::string_view name) {
  return FindName(names, name) != names.end();
}

bool GameInstallation::IsUnreadEntry(std::string_view name) const {
  return ListsName(unreadEntries_, name);
}

bool GameInstallation::ForgetUnreadEntry(std::string_view name) {
  auto it = FindName(unreadEntries_, name);
  if (it == unreadEntries_.end()) return false;
  unreadEntries_.erase(it);
  return true;
}

void GameInstallation::FindGameMasters() {
  for (int word = 0; word < 3; ++word) {
    masters_[word] = FindPluginByName(activePlugins_, kGameMasterNames[word]);
  }
  if (!morrowind() && requireMorrowind) FatalError("Cannot find morrowind.esm");
}

void GameInstallation::RemovePlugin(PluginFile* file) {
  for (PluginFile*& master : masters_) {
    if (master == file) master = nullptr;
  }
  auto it = std::find_if(activePlugins_.begin(), activePlugins_.end(),
                         [file](const auto& entry) { return entry.get() == file; });
  if (it != activePlugins_.end()) activePlugins_.erase(it);
}

std::vector<PluginFile*> GameInstallation::GameMasters() const {
  std::vector<PluginFile*> in;
  for (PluginFile* master : masters_) {
    if (master) in.push_back(master);
  }
  return in;
}

std::vector<PluginFile*> GameInstallation::LoadOrderMasters(bool allMasters) const {
  std::vector<PluginFile*> in;
  for (const auto& plugin : activePlugins_) {
    if (CountsAsMaster(plugin.get(), allMasters)) in.push_back(plugin.get());
  }
  return in;
}

bool GameInstallation::CountsAsMaster(PluginFile* file, bool allMasters) const {
  if (IsGameMaster(file)) return true;
  if (!allMasters || !IsMasterFile(*file)) return false;
  for (const auto& plugin : activePlugins_) {
    const Record* header = plugin.get() == file ? nullptr : plugin->FindHeaderRecord();
    if (!header) continue;
    for (const auto& name : MasterNames(*header)) {
      if (EqualsNoCase(name, file->name)) return true;
    }
  }
  return false;
}

GameInstallation::IgnoredMasters::IgnoredMasters(GameInstallation& game, bool tribunal,
                                                 bool bloodmoon)
    : game_(game) {
  if (tribunal) game.masters_[kTribunalWord] = nullptr;
  if (bloodmoon) game.masters_[kBloodmoonWord] = nullptr;
}

GameInstallation::IgnoredMasters::~IgnoredMasters() {
  for (int word : {kTribunalWord, kBloodmoonWord}) {
    game_.masters_[word] = FindPluginByName(game_.activePlugins_, kGameMasterNames[word]);
  }
}

std::string GameInstallation::GameMasterAt(const std::filesystem::path& path) const {
  auto target = IdentifyFile(path);
  if (!target) return {};
  for (const char* name : kGameMasterNames) {
    auto master = FindFile(name);
    if (master && IdentifyFile(*master) == target) return master->filename().string();
  }
  return {};
}

void GameInstallation::RefuseGameMasterWrite(const std::filesystem::path& path) const {
  std::string master = GameMasterAt(path);
  if (!master.empty()) {
    WriteRefused("Cannot write file %s: it is the game master %s", path.string().c_str(),
                 master.c_str());
  }
}

void GameInstallation::SetRunSafety(const RunSafety& safety) {
  safety_ = safety;
  previewed_.clear();
  swept_.clear();
  written_.clear();
  kind_->SetPreview(Previewing());
}

void GameInstallation::BeforeChange(const std::filesystem::path& path, bool replaced) const {
  if (!safety_.backup || Previewing()) return;
  if (WriteResult kept = safety_.backup->Keep(path, replaced); !kept) {
    FatalError("Cannot keep a backup of %s before changing it: %s", path.string().c_str(),
               kept.reason().c_str());
  }
}

void GameInstallation::BeforeCreate(const std::filesystem::path& path) const {
  if (!safety_.backup || Previewing()) return;
  if (WriteResult listed = safety_.backup->Created(path); !listed) {
    FatalError("Cannot keep a backup of %s before making it: %s", path.string().c_str(),
               listed.reason().c_str());
  }
}

void GameInstallation::SavePlugin(PluginFile& file) {
  RefuseGameMasterWrite(file.path);
  if (Previewing()) {
    // The same refusal as a real write, then the file goes aside.
    if (std::string refusal = WriteRefusal(ResolveWriteTarget(file.path)); !refusal.empty()) {
      WriteFailed(file.path, WriteResult::Refused(refusal));
    }
    // One folder for all: the game tells its files apart by name alone, and
    // removing a folder per file made a preview wait for the disk.
    std::string name = file.path.filename().string();
    file.path = previewed_.try_emplace(FileNameKey(name), safety_.preview / name).first->second;
    file.Save(WriteMode::kScratch);
    return;
  }
  std::error_code ec;
  const bool existed = std::filesystem::exists(file.path, ec);
  if (existed) {
    BeforeChange(file.path, true);
  } else {
    BeforeCreate(file.path);
  }
  WriteMode mode = WriteMode::kAlone;
  if (safety_.run) {
    const std::filesystem::path target = ResolveWriteTarget(file.path);
    std::filesystem::path folder = target.parent_path();
    if (swept_.insert(folder).second) RemoveTemporaryLeftovers(folder.empty() ? "." : folder);
    written_.insert(target);
    mode = WriteMode::kInRun;
  }
  file.Save(mode);
  if (safety_.backup && file.savedChecksum) safety_.backup->Wrote(file.path, *file.savedChecksum);
  if (!existed) AddToFileIndex(file.path);
}

void GameInstallation::AddToFileIndex(const std::filesystem::path& path) {
  if (!files_) return;
  // A file saved again keeps its name; a new one joins its folder's names
  // without every data folder being read again, which took a run over 2,000
  // plugins in 500 folders from 0.3 s to 12 s.
  auto folder = std::find(files_->folders.begin(), files_->folders.end(), path.parent_path());
  if (folder == files_->folders.end()) {
    files_.reset();
    return;
  }
  const size_t at = static_cast<size_t>(folder - files_->folders.begin());
  std::string name = path.filename().string();
  auto& entries = files_->byKey[FileNameKey(name)];
  for (const auto& entry : entries) {
    if (entry.folder == at && entry.name == name) return;
  }
  entries.push_back({at, std::move(name)});
}

void GameInstallation::WritePluginHeader(PluginFile& file) {
  RefuseGameMasterWrite(file.path);
  if (Previewing()) {
    // A preview keeps the file's time as the header write would.
    FileTimes kept{file.status.modified, file.status.modifiedNsec, file.status.modified,
                   file.status.modifiedNsec};
    SavePlugin(file);
    SetTimes(file.path, kept);
    if (auto status = QueryFileStatus(file.path)) file.status = *status;
    return;
  }
  BeforeChange(file.path, false);
  file.WriteHeader();
  if (safety_.run) written_.insert(ResolveWriteTarget(file.path));
}

void GameInstallation::FinishRun() {
  SyncFiles({written_.begin(), written_.end()});
  written_.clear();
}

void GameInstallation::SetTimes(const std::filesystem::path& path, const FileTimes& times) {
  // A preview changes none of the game's files, only its own.
  if (Previewing() && path.string().rfind(safety_.preview.string(), 0) != 0) return;
  BeforeChange(path, true);
  if (WriteResult set = SetFileTimes(path, times); !set) {
    FatalError("Cannot set the time of file %s: %s", path.filename().string().c_str(),
               set.reason().c_str());
  }
}

std::optional<std::string> GameInstallation::LoadAfter(
    PluginFile& file, const std::vector<const PluginFile*>& others) {
  const PluginFile* last = nullptr;
  if (kind_->OrderedByTime()) {
    for (const PluginFile* other : others) {
      if (other->status.modified >= file.status.modified &&
          (!last || other->status.modified >= last->status.modified)) {
        last = other;
      }
    }
    if (!last) return std::nullopt;
    int64_t time = last->status.modified + 60;
    SetTimes(file.path, FileTimes{time, 0, time, 0});
    file.status.modified = time;
    file.status.modifiedNsec = 0;
    if (PluginFile* active = FindPluginByName(activePlugins_, file.name)) {
      active->status = file.status;
    }
    SortPlugins(activePlugins_, kLoadOrder);
    return last->name;
  }
  // The list's order: the file must come after every one of the others.
  size_t at = activePlugins_.size();
  for (size_t i = 0; i < activePlugins_.size(); ++i) {
    if (SameFileName(activePlugins_[i]->name, file.name)) at = i;
  }
  std::unordered_map<std::string, const PluginFile*> byKey;
  for (const PluginFile* other : others) byKey[FileNameKey(other->name)] = other;
  for (size_t i = at + 1; i < activePlugins_.size(); ++i) {
    if (auto found = byKey.find(FileNameKey(activePlugins_[i]->name)); found != byKey.end()) {
      last = found->second;
    }
  }
  if (!last || at == activePlugins_.size()) return std::nullopt;
  std::string after = last->name;  // the list read afresh replaces it
  BeforeChange(kind_->ListFile(), true);
  kind_->MoveToEnd({file.name});
  LoadActivePlugins();
  FindGameMasters();
  return after;
}

OpenGameMasters::OpenGameMasters(const GameInstallation& game) {
  try {
    for (PluginFile* master : game.GameMasters()) {
      // One already open (a loop over plugins holds them) is only rewound.
      bool wasOpen = master->IsOpen();
      master->OpenFile();
      if (!wasOpen) opened_.push_back(master);
    }
  } catch (...) {
    for (PluginFile* master : opened_) master->CloseFile();
    throw;
  }
}

OpenGameMasters::~OpenGameMasters() {
  for (PluginFile* master : opened_) master->CloseFile();
}

std::vector<std::string> PluginFileNames(const GameInstallation& game,
                                         const std::filesystem::path& folder) {
  std::vector<std::string_view> extensions = {".esm", ".esp"};
  if (game.kind() == GameKind::kOpenMw)
    extensions.insert(extensions.end(), {".omwgame", ".omwaddon"});
  std::vector<std::string> names[4];
  std::error_code ec;
  for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end;
       it.increment(ec)) {
    std::string name = it->path().filename().string();
    if (HasControlCharacter(name) || !it->is_regular_file(ec)) continue;
    for (size_t i = 0; i < extensions.size(); ++i) {
      if (HasExtension(name, extensions[i])) names[i].push_back(name);
    }
  }
  std::vector<std::string> all;
  for (auto& group : names) all.insert(all.end(), group.begin(), group.end());
  return all;
}

GameNotFound::GameNotFound(std::vector<TriedPlace> tried)
    : FatalException(Describe(tried) +
                     "\nName the game with --game DIR (the folder that holds Morrowind.ini and "
                     "\"Data Files\") or --openmw-config FILE (OpenMW's openmw.cfg)"),
      tried_(std::move(tried)) {}

std::string GameNotFound::Describe(const std::vector<TriedPlace>& tried) {
  std::string text = "Cannot find Morrowind installation. Tried:";
  for (const TriedPlace& place : tried) {
    text += FormatText("\n  %s: %s", place.place.string().c_str(), place.why.c_str());
  }
  return text;
}

std::string WhyNotGameFolder(const std::filesystem::path& folder) {
  std::error_code ec;
  auto status = std::filesystem::status(folder, ec);
  if (folder.empty() || !std::filesystem::exists(status)) return "no such folder";
  if (!std::filesystem::is_directory(status)) return "not a folder";
  if (!FindNoCase(folder, "morrowind.ini")) return "no Morrowind.ini in it";
  auto data = FindNoCase(folder, "Data Files");
  if (!data || !std::filesystem::is_directory(*data, ec)) return "no \"Data Files\" folder in it";
  return {};
}

namespace {
// The folder above a "Data Files" folder that holds no morrowind.ini of its
// own, when a morrowind.ini is there: the game it belongs to.
std::optional<std::filesystem::path> GameAboveDataFiles(const std::filesystem::path& folder) {
  std::error_code ec;
  std::filesystem::path full = std::filesystem::absolute(folder, ec).lexically_normal();
  if (ec) return std::nullopt;
  if (!full.has_filename()) full = full.parent_path();
  if (!EqualsNoCase(full.filename().string(), "Data Files") ||
      !std::filesystem::is_directory(full, ec) || FindNoCase(full, "morrowind.ini") ||
      !FindNoCase(full.parent_path(), "morrowind.ini")) {
    return std::nullopt;
  }
  return full.parent_path();
}
}  // namespace

std::filesystem::path GameFolderOf(const std::filesystem::path& named) {
  std::error_code ec;
  if (EqualsNoCase(named.filename().string(), "morrowind.ini") &&
      std::filesystem::is_regular_file(named, ec)) {
    std::filesystem::path folder = named.parent_path();
    return folder.empty() ? "." : folder;
  }
  if (auto game = GameAboveDataFiles(named)) return *game;
  return named;
}

std::optional<std::filesystem::path> AskCurrentFolder(Ui& ui,
                                                      const std::filesystem::path& currentFolder,
                                                      std::vector<TriedPlace>* tried) {
  std::filesystem::path folder = currentFolder;
  const char* where = "the current folder";
  if (!FindNoCase(currentFolder, "morrowind.ini")) {
    auto game = GameAboveDataFiles(currentFolder);
    if (!game) {
      if (tried) tried->push_back({currentFolder, "no Morrowind.ini in it"});
      return std::nullopt;
    }
    folder = *game;
    where = "the folder above the current one";
  }
  std::string question = FormatText(
      "Morrowind.ini has been found in %s:\n\n%s\n\nDo you want to use this folder instead of "
      "registry settings?",
      where, folder.string().c_str());
  if (ui.Ask("Morrowind Location", question, BoxStyle::YesNoQuestion) == Answer::Yes) {
    return folder;
  }
  if (tried) tried->push_back({folder, "not used (the answer was No)"});
  return std::nullopt;
}

std::optional<std::filesystem::path> RegistryGameFolder(
    const std::vector<std::filesystem::path>& winePrefixes, std::vector<TriedPlace>* tried) {
  // 32-bit programs on a 64-bit system write their keys under Wow6432Node.
  static const char* const kKeys[] = {"Software\\Bethesda Softworks\\Morrowind",
                                      "Software\\Wow6432Node\\Bethesda Softworks\\Morrowind"};
  // The system's own registry (Windows), then those of the Wine prefixes.
  for (const char* key : kKeys) {
    RegistryValue found = ReadSystemRegistryValue(key, "Installed Path");
    if (!found.keyFound) continue;
    std::string place = "HKEY_LOCAL_MACHINE\\" + std::string(key);
    if (!found.value) {
      if (tried) tried->push_back({TextPath(place), "the game's Installed Path cannot be read"});
      return std::filesystem::path();
    }
    std::filesystem::path folder = TextPath(*found.value);
    if (std::string why = WhyNotGameFolder(folder); tried && !why.empty()) {
      tried->push_back({folder, why + " (the game's Installed Path in " + place + ")"});
    }
    return folder;
  }
  for (const auto& prefix : winePrefixes) {
    std::filesystem::path registry = prefix / "system.reg";
    for (const char* key : kKeys) {
      RegistryValue found = ReadWineRegistryValue(registry, key, "Installed Path");
      if (!found.keyFound) continue;
      if (!found.value) {
        if (tried) tried->push_back({registry, "the game's Installed Path cannot be read"});
        return std::filesystem::path();
      }
      std::filesystem::path folder = WindowsPathInPrefix(prefix, *found.value);
      std::string why = WhyNotGameFolder(folder);
      if (tried && folder.empty()) {
        tried->push_back({registry, "the game's Installed Path \"" + *found.value +
                                        "\" names no folder of this prefix"});
      } else if (tried && !why.empty()) {
        tried->push_back(
            {folder, why + " (the game's Installed Path in " + registry.string() + ")"});
      }
      return folder;
    }
    if (tried) {
      std::error_code ec;
      tried->push_back({registry, std::filesystem::exists(registry, ec)
                                      ? "no Morrowind key in this Wine registry"
                                      : "no such file (a Wine registry)"});
    }
  }
  return std::nullopt;
}

bool IsGameMasterName(std::string_view name) {
  return std::any_of(kGameMasterNames.begin(), kGameMasterNames.end(),
                     [&](const char* master) { return EqualsNoCase(name, master); });
}

bool IsMergedPluginName(std::string_view name) {
  return EqualsNoCase(name, kMergedLeveledListsName) || EqualsNoCase(name, kMergedObjectsName) ||
         EqualsNoCase(name, kMergedDialogsName);
}

}  // namespace modrake
