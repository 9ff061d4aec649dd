#include "install/data_folder.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <ctime>

#include "core/execution_log.hpp"
#include "install/game_installation.hpp"
#include "install/master_check.hpp"
#include "support/game_folder.hpp"
#include "support/recording_ui.hpp"

namespace modrake {
namespace {

using Names = std::vector<std::string>;

// A game with its log, loaded from a test folder.
struct Loaded {
  explicit Loaded(const test::GameFolder& testGame)
      : log(ui, testGame.folder() / "modrake.log"), game(testGame.folder()) {
    game.LoadActivePlugins();
  }
  test::RecordingUi ui;
  ExecutionLog log;
  GameInstallation game;
};

Names RowNames(const FolderFiles& files) {
  Names names;
  for (const auto& row : files) names.push_back((row.active ? "+" : "-") + row.file->name);
  return names;
}

TEST(DataFolderTest, ScanListsMastersAndPluginsInLoadOrder) {
  test::GameFolder testGame;
  testGame.AddPlugin("Morrowind.esm", 500);
  testGame.AddPlugin("Tribunal.ESM", 100);
  testGame.AddPlugin("b.esp", 50);
  testGame.AddPlugin("A.EsP", 60);
  testGame.AddPlugin("notes.txt", 1);
  testGame.AddPlugin("old.esp.bak", 1);
  std::filesystem::create_directory(testGame.data() / "folder.esp");
  testGame.WriteGameFiles({"morrowind.esm", "a.esp"});
  Loaded loaded(testGame);
  FolderFiles files = ScanDataFolder(loaded.game, loaded.log);
  EXPECT_EQ(RowNames(files), (Names{"+Morrowind.esm", "-Tribunal.ESM", "-b.esp", "+A.EsP"}));
  EXPECT_EQ(loaded.ui.lines, (Names{"Found 4 plugins in the \"Data Files\" folder"}));

  struct Case {
    int mode;
    Names expected;
  } cases[] = {
      {kNameAscending, {"+A.EsP", "-b.esp", "+Morrowind.esm", "-Tribunal.ESM"}},
      {kNameDescending, {"-Tribunal.ESM", "+Morrowind.esm", "-b.esp", "+A.EsP"}},
      {kTimeAscending, {"-b.esp", "+A.EsP", "-Tribunal.ESM", "+Morrowind.esm"}},
      {kTimeDescending, {"+Morrowind.esm", "-Tribunal.ESM", "+A.EsP", "-b.esp"}},
      {kLoadOrder, {"+Morrowind.esm", "-Tribunal.ESM", "-b.esp", "+A.EsP"}},
  };
  for (const auto& c : cases) {
    SortFolderFiles(loaded.game, files, c.mode);
    EXPECT_EQ(RowNames(files), c.expected) << c.mode;
  }
}

TEST(DataFolderTest, ActiveChecksKeepOrderAndAppendNewOnes) {
  test::GameFolder testGame;
  testGame.AddPlugin("Morrowind.esm", 1);
  testGame.AddPlugin("a.esp", 2);
  testGame.AddPlugin("b.esp", 3);
  testGame.AddPlugin("c.esp", 4);
  testGame.WriteGameFiles({"Morrowind.esm", "C.ESP", "a.esp"});
  Loaded loaded(testGame);
  loaded.game.FindGameMasters();
  FolderFiles files = ScanDataFolder(loaded.game, loaded.log);
  FindFolderFile(files, "a.esp")->active = false;
  FindFolderFile(files, "B.esp")->active = true;
  FindFolderFile(files, "morrowind.esm")->active = false;
  ApplyActiveChecks(loaded.game, files);
  Names names;
  for (const auto& file : loaded.game.activePlugins()) names.push_back(file->name);
  EXPECT_EQ(names, (Names{"C.ESP", "b.esp"}));
  EXPECT_EQ(loaded.game.morrowind(), nullptr);
}

TEST(DataFolderTest, UpdateTimeMovesSelectedFilesToTheEnd) {
  struct Case {
    const char* name;
    Names selected;
    std::vector<std::pair<std::string, int64_t>> expected;
  } cases[] = {
      {"two plugins, one and two minutes after the newest other file",
       {"b.esp", "a.esp"},
       {{"a.esp", 760}, {"b.esp", 820}, {"c.esp", 700}, {"Morrowind.esm", 300}}},
      {"game masters never move but count as newest",
       {"Morrowind.esm", "Tribunal.esm", "c.esp"},
       {{"Morrowind.esm", 300}, {"Tribunal.esm", 900}, {"c.esp", 960}}},
  };
  for (const auto& c : cases) {
    test::GameFolder testGame;
    testGame.AddPlugin("Morrowind.esm", 300);
    testGame.AddPlugin("a.esp", 100);
    testGame.AddPlugin("b.esp", 200);
    testGame.AddPlugin("c.esp", 700);
    if (std::string(c.name).find("masters") != std::string::npos) {
      testGame.AddPlugin("Tribunal.esm", 900);
    }
    testGame.WriteGameFiles({"Morrowind.esm", "A.ESP"});
    Loaded loaded(testGame);
    FolderFiles files = ScanDataFolder(loaded.game, loaded.log);
    for (const auto& name : c.selected) FindFolderFile(files, name)->selected = true;
    UpdatePluginTimes(loaded.game, files);
    for (const auto& [name, time] : c.expected) {
      EXPECT_EQ(testGame.TimeOf(name), time) << c.name << " " << name;
      EXPECT_EQ(FindFolderFile(files, name)->file->status.modified, time) << c.name << " " << name;
    }
    // The active plugin of the same name sees its new time too.
    EXPECT_EQ(FindPluginByName(loaded.game.activePlugins(), "a.esp")->status.modified,
              testGame.TimeOf("a.esp"));
  }
}

TEST(DataFolderTest, UpdateTimeWithEverythingSelectedAndNoMastersChangesNothing) {
  test::GameFolder testGame;
  testGame.AddPlugin("a.esp", 100);
  testGame.AddPlugin("b.esp", 200);
  testGame.WriteGameFiles({"a.esp"});
  Loaded loaded(testGame);
  FolderFiles files = ScanDataFolder(loaded.game, loaded.log);
  for (auto& row : files) row.selected = true;
  UpdatePluginTimes(loaded.game, files);
  EXPECT_EQ(testGame.TimeOf("a.esp"), 100);
  EXPECT_EQ(testGame.TimeOf("b.esp"), 200);
}

TEST(DataFolderTest, UpdateHeaderWritesMasterSizesAndKeepsTimes) {
  test::GameFolder testGame;
  auto morrowind = testGame.AddPlugin("Morrowind.esm", 100, {"other.esm"});
  testGame.AddPlugin("Tribunal.esm", 150);
  auto plugin = testGame.AddPlugin("Plugin.esp", 200, {"MORROWIND.ESM", "Tribunal.esm"});
  testGame.WriteGameFiles({"Morrowind.esm", "Plugin.esp"});
  std::string masterBytes = test::ReadFile(morrowind);
  Loaded loaded(testGame);
  FolderFiles files = ScanDataFolder(loaded.game, loaded.log);
  for (auto& row : files) row.selected = true;
  UpdatePluginHeaders(loaded.game, files, loaded.ui);

  EXPECT_EQ(test::ReadFile(morrowind), masterBytes) << "a game master is never touched";
  EXPECT_EQ(testGame.TimeOf("Plugin.esp"), 200);
  PluginFile reread(testGame.data(), "Plugin.esp");
  const Record& header = *reread.FindHeaderRecord();
  std::vector<uint64_t> sizes;
  for (const auto& field : header.subrecords) {
    if (field.tag == tags::DATA) {
      uint64_t size = 0;
      std::memcpy(&size, field.data, sizeof size);
      sizes.push_back(size);
    }
  }
  // The active master gets its size; the inactive one keeps the old value.
  EXPECT_EQ(sizes, (std::vector<uint64_t>{std::filesystem::file_size(morrowind), 1}));
  EXPECT_EQ(loaded.ui.titles, Names{"Modrake"});
  EXPECT_EQ(loaded.ui.asked,
            (Names{"Plugin(s) version and master file information has been updated"}));
  EXPECT_EQ(FindFolderFile(files, "plugin.esp")->file->status.size,
            std::filesystem::file_size(plugin));
}

TEST(DataFolderTest, MasterCheckCountsInactiveMasters) {
  struct Case {
    const char* name;
    Names active;
    unsigned count;
    Names lines;
  } cases[] = {
      {"inactive tribunal",
       {"Morrowind.esm", "a.esp"},
       1,
       {"WARNING: \"Tribunal.esm\" is INACTIVE, but referenced by \"a.esp\""}},
      {"two plugins naming it count twice",
       {"Morrowind.esm", "a.esp", "b.esp"},
       2,
       {"WARNING: \"Tribunal.esm\" is INACTIVE, but referenced by \"a.esp\"",
        "WARNING: \"tribunal.esm\" is INACTIVE, but referenced by \"b.esp\""}},
      {"a missing master is reported, not counted",
       {"Morrowind.esm", "c.esp"},
       0,
       {"ERROR: \"Gone.esm\" is MISSING, but referenced by \"c.esp\""}},
      {"other letter case matches the active file",
       {"Morrowind.esm", "TRIBUNAL.ESM", "b.esp"},
       0,
       {}},
      {"nothing outside the list", {"Morrowind.esm", "Tribunal.esm"}, 0, {}},
  };
  for (const auto& c : cases) {
    test::GameFolder testGame;
    testGame.AddPlugin("Morrowind.esm", 1);
    testGame.AddPlugin("Tribunal.esm", 2, {"MORROWIND.ESM"});
    testGame.AddPlugin("a.esp", 3, {"Morrowind.esm", "Tribunal.esm"});
    testGame.AddPlugin("b.esp", 4, {"tribunal.esm"});
    testGame.AddPlugin("c.esp", 5, {"Gone.esm", "Morrowind.esm"});
    testGame.WriteGameFiles(c.active);
    Loaded loaded(testGame);
    EXPECT_EQ(CheckMasterReferences(loaded.game, loaded.log, false), c.count) << c.name;
    EXPECT_TRUE(loaded.ui.lines.empty()) << c.name;
    EXPECT_EQ(CheckMasterReferences(loaded.game, loaded.log, true), c.count) << c.name;
    EXPECT_EQ(loaded.ui.lines, c.lines) << c.name;
  }
}

TEST(DataFolderTest, DateText) {
  const char* oldTz = std::getenv("TZ");
  std::string saved = oldTz ? oldTz : "";
  setenv("TZ", "UTC", 1);
  tzset();
  struct Case {
    int64_t time;
    const char* text;
  } cases[] = {
      {1055426733, "Jun 12, 2003   14:05:33"},
      {0, "Jan  1, 1970   00:00:00"},
      {4102444799, "Dec 31, 2099   23:59:59"},
      {INT64_MAX, "UNKNOWN"},
  };
  for (const auto& c : cases) EXPECT_EQ(DateText(c.time), c.text) << c.time;
  if (oldTz) {
    setenv("TZ", saved.c_str(), 1);
  } else {
    unsetenv("TZ");
  }
  tzset();
}

}  // namespace
}  // namespace modrake
