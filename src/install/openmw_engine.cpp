// OpenMW's installation: an openmw.cfg chain lists the data folders (a
// later one wins) and the content files, whose order is the load order.
#include <algorithm>
#include <optional>
#include <system_error>
#include <unordered_set>

#include "core/fatal_error.hpp"
#include "core/text.hpp"
#include "install/installation_kind.hpp"
#include "install/openmw_config.hpp"
#include "platform/environment.hpp"
#include "platform/file_names.hpp"

namespace modrake {

namespace {

// The content files OpenMW reads as TES3 plugins; others (scripts and the
// like) stay in the list untouched.
bool IsPluginEntry(std::string_view name) {
  for (std::string_view extension : {".esm", ".esp", ".omwgame", ".omwaddon"}) {
    if (name.size() > extension.size() &&
        EqualsNoCase(name.substr(name.size() - extension.size()), extension)) {
      return true;
    }
  }
  return false;
}

bool SameName(std::string_view a, std::string_view b) {
  return SameFileName(a, b);
}

constexpr char kFlatpakId[] = "org.openmw.OpenMW";

std::filesystem::path Home() {
  return UserFolder();
}

std::filesystem::path FlatpakFolder() {
  return Home() / ".var" / "app" / kFlatpakId;
}

// The Flatpak's OpenMW keeps its data and configuration in its own folders.
OpenMwPaths PathsFor(const std::vector<std::filesystem::path>& chain) {
  OpenMwPaths paths = OpenMwPaths::FromEnvironment();
  const std::string flatpak = (FlatpakFolder() / "config").string() + "/";
  if (!chain.empty() && !Home().empty() && chain.back().string().rfind(flatpak, 0) == 0) {
    paths.userData = FlatpakFolder() / "data" / "openmw";
    paths.userConfig = FlatpakFolder() / "config" / "openmw";
  }
  return paths;
}

std::filesystem::path ConfigFileIn(const std::filesystem::path& place) {
  std::error_code ec;
  return std::filesystem::is_directory(place, ec) ? place / "openmw.cfg" : place;
}

bool IsFile(const std::filesystem::path& path) {
  std::error_code ec;
  return std::filesystem::is_regular_file(path, ec);
}

class OpenMwEngine : public InstallationKind {
 public:
  explicit OpenMwEngine(std::vector<std::filesystem::path> chain)
      : chain_(std::move(chain)),
        paths_(PathsFor(chain_)),
        config_(OpenMwConfig::Read(chain_, paths_)) {}

  GameKind kind() const override { return GameKind::kOpenMw; }
  std::filesystem::path Source() const override { return config_.userFile(); }
  std::string Description() const override {
    return FormatText("OpenMW configuration: %s", config_.userFile().string().c_str());
  }
  std::vector<std::filesystem::path> DataFolders() const override {
    // data-local counts once it exists: a merge makes it.
    std::vector<std::filesystem::path> folders = config_.dataFolders();
    std::error_code ec;
    std::erase_if(folders, [&](const auto& f) { return !std::filesystem::is_directory(f, ec); });
    return folders;
  }
  std::filesystem::path OutputFolder() const override { return config_.dataLocal(); }
  std::vector<std::filesystem::path> LockFolders() const override {
    return {config_.userFile().parent_path(), config_.dataLocal()};
  }
  std::vector<std::string> Warnings() const override {
    std::vector<std::string> lines;
    for (const ConfigProblem& problem : config_.problems()) {
      lines.push_back(problem.line ? FormatText("%s, line %u: %s", problem.file.string().c_str(),
                                                problem.line, problem.message.c_str())
                                   : FormatText("%s: %s", problem.file.string().c_str(),
                                                problem.message.c_str()));
    }
    return lines;
  }

  std::filesystem::path ListFile() const override { return config_.userFile(); }
  void SetPreview(bool preview) override {
    preview_ = preview;
    config_ = OpenMwConfig::Read(chain_, paths_);
  }

  std::vector<std::string> ReadActiveNames() override {
    // A preview's changes live in memory only.
    if (!preview_ || !config_.Changed()) config_ = OpenMwConfig::Read(chain_, paths_);
    std::vector<std::string> names;
    for (const ContentEntry& entry : config_.content()) {
      if (IsPluginEntry(entry.name)) names.push_back(entry.name);
    }
    return names;
  }
  bool OrderedByTime() const override { return false; }
  size_t MostActive() const override { return static_cast<size_t>(-1); }

  void WriteActiveNames(const std::vector<std::string>& active,
                        const std::vector<std::string>& unread) override {
    // Names by their key in any letter case: lists of thousands stay linear.
    auto keys = [](const auto& names, auto name) {
      std::unordered_set<std::string> set;
      for (const auto& n : names) set.insert(FileNameKey(name(n)));
      return set;
    };
    auto itself = [](const std::string& n) -> std::string_view { return n; };
    auto entryName = [](const ContentEntry& e) -> std::string_view { return e.name; };
    const auto activeKeys = keys(active, itself);
    const auto unreadKeys = keys(unread, itself);
    auto listed = [](const std::unordered_set<std::string>& set, std::string_view name) {
      return set.count(FileNameKey(name)) != 0;
    };
    // Entries that left the list go; entries the player keeps (active, or
    // kept although unread) stay where they are.
    for (const ContentEntry& entry : std::vector<ContentEntry>(config_.content())) {
      if (!IsPluginEntry(entry.name) || listed(activeKeys, entry.name) ||
          listed(unreadKeys, entry.name))
        continue;
      if (!config_.RemoveContent(entry.name)) NotInUserFile(entry, "deactivate");
    }
    auto contentKeys = keys(config_.content(), entryName);
    for (const std::string& name : active) {
      if (contentKeys.insert(FileNameKey(name)).second) config_.AddContent(name);
    }
    // From the first active file out of place on, the rest moves to the end in order.
    std::vector<std::string> order;
    for (const ContentEntry& entry : config_.content()) {
      if (listed(activeKeys, entry.name)) order.push_back(entry.name);
    }
    size_t same = 0;
    while (same < order.size() && same < active.size() && SameName(order[same], active[same])) {
      ++same;
    }
    if (same < active.size()) MoveToEndInMemory({active.begin() + same, active.end()});
    Save();
  }

  void MoveToEnd(const std::vector<std::string>& names) override {
    MoveToEndInMemory(names);
    Save();
  }

 private:
  void MoveToEndInMemory(const std::vector<std::string>& names) {
    for (const std::string& name : names) {
      if (config_.MoveContentToEnd(name)) continue;
      for (const ContentEntry& entry : config_.content()) {
        if (SameName(entry.name, name)) NotInUserFile(entry, "move");
      }
    }
  }

  [[noreturn]] void NotInUserFile(const ContentEntry& entry, const char* what) const {
    FatalError("Cannot %s %s: it is listed in %s, line %u, and only %s is written", what,
               entry.name.c_str(), config_.files().at(entry.file).string().c_str(), entry.line,
               config_.userFile().string().c_str());
  }

  void Save() {
    if (preview_) return;
    if (WriteResult saved = config_.Save(); !saved) WriteFailed(config_.userFile(), saved);
  }

  std::vector<std::filesystem::path> chain_;
  OpenMwPaths paths_;
  OpenMwConfig config_;
  bool preview_ = false;
};

}  // namespace

std::optional<std::vector<std::filesystem::path>> NamedOpenMwConfig(
    const std::optional<std::filesystem::path>& option) {
  std::vector<std::filesystem::path> chain;
  if (option) {
    chain.push_back(ConfigFileIn(*option));
  } else if (std::string file = EnvironmentValue("OPENMW_CONFIG"); !file.empty()) {
    chain.push_back(TextPath(file));
  } else if (std::string dirs = EnvironmentValue("OPENMW_CONFIG_DIR"); !dirs.empty()) {
    std::string_view rest = dirs;
    while (!rest.empty()) {
      size_t cut = rest.find(kPathListSeparator);
      std::string_view dir = rest.substr(0, cut);
      if (!dir.empty()) chain.push_back(TextPath(dir) / "openmw.cfg");
      rest = cut == std::string_view::npos ? std::string_view() : rest.substr(cut + 1);
    }
  }
  if (chain.empty()) return std::nullopt;
  for (const auto& file : chain) {
    if (!IsFile(file)) FatalError("Cannot find file %s", file.string().c_str());
  }
  return chain;
}

std::vector<std::filesystem::path> DefaultOpenMwConfigPlaces() {
  std::vector<std::filesystem::path> places = {OpenMwPaths::FromEnvironment().userConfig /
                                               "openmw.cfg"};
  // Flatpaks are a Linux matter.
  if (!kWindows && !Home().empty()) {
    places.push_back(FlatpakFolder() / "config" / "openmw" / "openmw.cfg");
  }
  return places;
}

std::unique_ptr<InstallationKind> OpenMwKind(const std::vector<std::filesystem::path>& chain) {
  return std::make_unique<OpenMwEngine>(chain);
}

}  // namespace modrake
