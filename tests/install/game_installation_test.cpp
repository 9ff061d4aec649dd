#include "install/game_installation.hpp"

#include <gtest/gtest.h>

#include "platform/ini_file.hpp"
#include "support/game_folder.hpp"
#include "support/recording_ui.hpp"

namespace modrake {
namespace {

using Names = std::vector<std::string>;

Names ActiveNames(const GameInstallation& game) {
  Names names;
  for (const auto& file : game.activePlugins()) names.push_back(file->name);
  return names;
}

GameInstallation Load(const test::GameFolder& testGame) {
  GameInstallation game(testGame.folder());
  game.LoadActivePlugins();
  return game;
}

TEST(GameInstallationTest, LoadsTheActivePluginsInLoadOrder) {
  struct Case {
    const char* name;
    std::string ini;
    Names expected;
  } cases[] = {
      {"a listed file that is gone is skipped",
       "[Game Files]\nGameFile0=Morrowind.esm\nGameFile1=a.esp\nGameFile2=deleted.esp\n"
       "GameFile3=b.esp\nGameFile4=Tribunal.esm\n",
       {"Morrowind.esm", "Tribunal.esm", "a.esp", "b.esp"}},
      {"reading stops at the first missing key",
       "[Game Files]\nGameFile0=Morrowind.esm\nGameFile1=a.esp\nGameFile3=b.esp\n",
       {"Morrowind.esm", "a.esp"}},
      {"reading stops at an empty value",
       "[Game Files]\nGameFile0=Morrowind.esm\nGameFile1=\nGameFile2=b.esp\n",
       {"Morrowind.esm"}},
      {"the same file twice is loaded once",
       "[Game Files]\nGameFile0=Morrowind.esm\nGameFile1=a.esp\nGameFile2=A.esp\n",
       {"Morrowind.esm", "a.esp"}},
      {"names with folders are not data files",
       "[Game Files]\nGameFile0=Morrowind.esm\nGameFile1=../Data Files/a.esp\n"
       "GameFile2=b.esp\n",
       {"Morrowind.esm", "b.esp"}},
      {"no game files section", "[General]\nx=1\n", {}},
  };
  for (const auto& c : cases) {
    test::GameFolder testGame;
    testGame.AddPlugin("Morrowind.esm", 3000);
    testGame.AddPlugin("Tribunal.esm", 3100);
    testGame.AddPlugin("a.esp", 1000);
    testGame.AddPlugin("b.esp", 2000);
    test::WriteFile(testGame.folder() / "Morrowind.ini", c.ini);
    EXPECT_EQ(ActiveNames(Load(testGame)), c.expected) << c.name;
  }
}

TEST(GameInstallationTest, FindsFilesInAnyLetterCase) {
  test::GameFolder testGame("data files");
  testGame.AddPlugin("morrowind.ESM", 1);
  testGame.AddPlugin("Mixed Case.EsP", 2, {"MORROWIND.esm"});
  testGame.WriteGameFiles({"Morrowind.esm", "mixed case.esp"}, "MORROWIND.INI");
  GameInstallation game = Load(testGame);
  EXPECT_EQ(ActiveNames(game), (Names{"Morrowind.esm", "mixed case.esp"}));
  EXPECT_EQ(game.activePlugins()[1]->path, testGame.data() / "Mixed Case.EsP");
  game.FindGameMasters();
  EXPECT_EQ(game.morrowind(), game.activePlugins()[0].get());

  game.WriteActivePlugins();
  EXPECT_FALSE(std::filesystem::exists(testGame.folder() / "Morrowind.ini"))
      << "the existing spelling is written, not a second file";
}

// Past the engine's limit the first 256 are written, in load order.
TEST(GameInstallationTest, WritesAtMost256GameFilesInLoadOrder) {
  test::GameFolder testGame;
  Names names;
  for (int i = 0; i < 300; ++i) {
    names.push_back("p" + std::to_string(1000 + i) + ".esp");
    testGame.AddPlugin(names.back(), 10000 - i);  // newest first
  }
  testGame.AddPlugin("Morrowind.esm", 1);
  names.push_back("Morrowind.esm");
  testGame.WriteGameFiles(names);
  GameInstallation game = Load(testGame);
  ASSERT_EQ(game.activePlugins().size(), 301u);
  PluginList list = game.TakeActivePlugins();
  std::reverse(list.begin(), list.end());
  std::vector<PluginFile*> expected;
  for (size_t i = 0; i < 256; ++i) expected.push_back(list[i].get());
  SortPlugins(expected, kLoadOrder);
  game.SetActivePlugins(std::move(list));
  game.WriteActivePlugins();
  IniFile ini(testGame.folder() / "Morrowind.ini");
  for (unsigned i = 0; i < 300; ++i) {
    auto value = ini.Find("Game Files", "GameFile" + std::to_string(i));
    EXPECT_EQ(value, i < 256 ? std::optional(expected[i]->name) : std::nullopt) << i;
  }
}

TEST(GameInstallationTest, FindsTheGameFolder) {
  test::TempDir current;
  test::TempDir prefix;
  std::filesystem::create_directories(prefix / "drive_c/Games/Morrowind");
  test::TempDir emptyPrefix;
  test::TempDir badPrefix;
  std::string key = "[Software\\\\Wow6432Node\\\\Bethesda Softworks\\\\Morrowind] 1\n";
  test::WriteFile(prefix / "system.reg", key + "\"Installed Path\"=\"C:\\\\games\\\\morrowind\"\n");
  test::WriteFile(badPrefix / "system.reg", key + "\"Version\"=\"1.6\"\n");
  auto installed = prefix / "drive_c/Games/Morrowind";

  using Prefixes = std::vector<std::filesystem::path>;
  const Prefixes good = {prefix.path()}, emptyFirst = {emptyPrefix.path(), prefix.path()},
                 empty = {emptyPrefix.path()}, badFirst = {badPrefix.path(), prefix.path()};
  const struct {
    const char* name;
    bool iniHere;
    Answer answer;
    const Prefixes& prefixes;
    std::optional<std::filesystem::path> expected;
    size_t questions;
  } cases[] = {
      {"ini here, Yes", true, Answer::Yes, good, current.path(), 1},
      {"ini here, No: the registry", true, Answer::No, good, installed, 1},
      {"no ini: the first prefix with the key", false, Answer::Yes, emptyFirst, installed, 0},
      {"no key anywhere: none", true, Answer::No, empty, std::nullopt, 1},
      {"key without the path: an empty one", false, Answer::Yes, badFirst, "", 0},
  };
  for (const auto& c : cases) {
    std::filesystem::remove(current / "morrowind.INI");
    if (c.iniHere) test::WriteFile(current / "morrowind.INI", "");
    test::RecordingUi ui;
    ui.answer = c.answer;
    // The current folder first, then the registry, as the program looks.
    auto found = AskCurrentFolder(ui, current.path());
    if (!found) found = RegistryGameFolder(c.prefixes);
    EXPECT_EQ(found, c.expected) << c.name;
    ASSERT_EQ(ui.asked.size(), c.questions) << c.name;
    if (c.questions) {
      EXPECT_EQ(ui.titles[0], "Morrowind Location");
      EXPECT_EQ(ui.asked[0],
                "Morrowind.ini has been found in the current "
                "folder:\n\n" +
                    current.path().string() +
                    "\n\nDo you want to use this folder instead of registry settings?");
    }
  }
}

}  // namespace
}  // namespace modrake
