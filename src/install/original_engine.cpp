// The original engine's installation: Morrowind.ini's [Game Files] names the
// active plugins of "Data Files", and file times make the load order.
#include <algorithm>
#include <optional>
#include <string>
#include <unordered_set>

#include "core/fatal_error.hpp"
#include "core/text.hpp"
#include "install/installation_kind.hpp"
#include "platform/file_names.hpp"
#include "platform/ini_file.hpp"

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

class OriginalEngine : public InstallationKind {
 public:
  explicit OriginalEngine(std::filesystem::path gameFolder) : gameFolder_(std::move(gameFolder)) {}

  GameKind kind() const override { return GameKind::kOriginal; }
  std::filesystem::path Source() const override { return gameFolder_; }
  std::string Description() const override {
    return FormatText("Game folder: %s", gameFolder_.string().c_str());
  }
  std::vector<std::filesystem::path> DataFolders() const override {
    // A registry path that could not be read leaves no folder to look in.
    if (gameFolder_.empty()) return {};
    return {ResolveNoCase(gameFolder_, "Data Files")};
  }
  std::filesystem::path OutputFolder() const override {
    return ResolveNoCase(gameFolder_, "Data Files");
  }
  std::vector<std::filesystem::path> LockFolders() const override {
    return {gameFolder_, OutputFolder()};
  }

  std::filesystem::path ListFile() const override { return IniPath(); }
  void SetPreview(bool preview) override {
    preview_ = preview;
    written_.reset();
  }

  std::vector<std::string> ReadActiveNames() override {
    if (written_) return *written_;
    std::vector<std::string> names;
    if (gameFolder_.empty()) return names;
    IniFile ini(IniPath());
    if (!ini.ReadError().empty()) {
      FatalError("Cannot read file %s: %s", ini.path().string().c_str(), ini.ReadError().c_str());
    }
    // The list ends at the first key that is missing or empty. Names met
    // already, in any letter case, by their keys: a list of hundreds is read
    // in one pass.
    std::unordered_set<std::string> met;
    for (unsigned index = 0;; ++index) {
      std::string name = ini.Read(kGameFiles, GameFileKey(index), "", kGameFileValueChars);
      if (name.empty()) break;
      if (met.insert(FileNameKey(name)).second) names.push_back(std::move(name));
    }
    return names;
  }
  bool OrderedByTime() const override { return true; }
  size_t MostActive() const override { return kMaxGameFiles; }

  void WriteActiveNames(const std::vector<std::string>& active,
                        const std::vector<std::string>& unread) override {
    std::vector<std::string> names;
    // Under Wine a file found by its UTF-8 name on disk is listed as the game spells it.
    for (const std::string& name : active) {
      if (names.size() == kMaxGameFiles) break;
      names.push_back(GameFileName(name));
    }
    // What could not be read stays listed, after what could.
    for (const std::string& entry : unread) {
      if (names.size() == kMaxGameFiles) break;
      if (!ListsName(names, entry)) names.push_back(entry);
    }
    if (preview_) {
      written_ = names;
      return;
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

  void MoveToEnd(const std::vector<std::string>&) override {
    // File times make this engine's order: GameInstallation sets them.
  }

 private:
  std::filesystem::path IniPath() const { return MorrowindIniPath(gameFolder_); }

  bool preview_ = false;
  std::optional<std::vector<std::string>> written_;  // the list a preview wrote

  std::filesystem::path gameFolder_;
};

}  // namespace

std::filesystem::path MorrowindIniPath(const std::filesystem::path& gameFolder) {
  auto found = FindNoCase(gameFolder, "morrowind.ini");
  return found ? *found : gameFolder / "Morrowind.ini";
}

std::unique_ptr<InstallationKind> OriginalEngineKind(const std::filesystem::path& gameFolder) {
  return std::make_unique<OriginalEngine>(gameFolder);
}

}  // namespace modrake
