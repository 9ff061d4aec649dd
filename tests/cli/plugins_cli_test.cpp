#include <gtest/gtest.h>

#include "format/plugin_file.hpp"
#include "support/cli_game.hpp"
#include "support/test_support.hpp"

namespace modrake {
namespace {

using test::RunModrake;

using test::HeaderOnlyGame;
using test::kTime;

const std::string kInactiveWarning =
    "1 active plugin(s) reference master files that are NOT ENABLED in the morrowind.ini. "
    "Morrowind will still automatically load such master files. If this is not a desired "
    "behavior, please update plugin dependencies appropriately.\n\nCheck execution log for "
    "detailed information about inactive master files\n";

TEST(PluginsCliTest, ListsTheDataFolderWithTheMasterCheck) {
  HeaderOnlyGame cli;
  test::WriteFile(cli.data() / "readme.txt", "not a plugin");
  std::filesystem::create_directory(cli.data() / "folder.esp");
  struct Case {
    std::vector<std::string> args;
    std::string rows;
  } cases[] = {
      {{"plugins"},
       "[x] Morrowind.esm       Jun 12, 2003   14:05:33\n"
       "[ ] Tribunal.esm        Jun 12, 2003   14:06:33\n"
       "[x] Bloodmoon.esm       Jun 12, 2003   14:07:33\n"
       "[x] Needs Tribunal.esp  Jun 12, 2003   14:08:33\n"
       "[ ] orphan.ESP          Jun 12, 2003   14:09:33\n"},
      {{"plugins", "--sort", "name-desc"},
       "[ ] Tribunal.esm        Jun 12, 2003   14:06:33\n"
       "[ ] orphan.ESP          Jun 12, 2003   14:09:33\n"
       "[x] Needs Tribunal.esp  Jun 12, 2003   14:08:33\n"
       "[x] Morrowind.esm       Jun 12, 2003   14:05:33\n"
       "[x] Bloodmoon.esm       Jun 12, 2003   14:07:33\n"},
  };
  for (const auto& c : cases) {
    auto result = cli.Run(c.args);
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, "Found 5 plugins in the \"Data Files\" folder\n" + c.rows +
                              "\n"
                              "WARNING: \"TRIBUNAL.ESM\" is INACTIVE, but referenced by "
                              "\"needs tribunal.esp\"\n" +
                              kInactiveWarning);
  }
  EXPECT_EQ(cli.Run({"plugins", "--sort", "size"}).exitCode, 2);
}

TEST(PluginsCliTest, ActivateAndDeactivateWriteOnlyGameFiles) {
  HeaderOnlyGame cli;
  struct Case {
    std::vector<std::string> args;
    std::string gameFiles;
    std::string checkLines;
  } cases[] = {
      {{"plugins", "activate", "TRIBUNAL.esm", "Orphan.esp"},
       "GameFile0=morrowind.esm\r\nGameFile1=Tribunal.esm\r\nGameFile2=Bloodmoon.esm\r\n"
       "GameFile3=needs tribunal.esp\r\nGameFile4=orphan.ESP\r\n",
       "ERROR: \"Lost.esm\" is MISSING, but referenced by \"orphan.ESP\"\n"},
      {{"plugins", "deactivate", "orphan.esp", "bloodmoon.esm"},
       "GameFile0=morrowind.esm\r\nGameFile1=Tribunal.esm\r\nGameFile2=needs tribunal.esp\r\n",
       ""},
      {{"plugins", "deactivate", "Tribunal.esm"},
       "GameFile0=morrowind.esm\r\nGameFile1=needs tribunal.esp\r\n",
       "WARNING: \"TRIBUNAL.ESM\" is INACTIVE, but referenced by \"needs tribunal.esp\"\n" +
           kInactiveWarning},
  };
  for (const auto& c : cases) {
    auto result = cli.Run(c.args);
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(
        result.out,
        "Found 5 plugins in the \"Data Files\" folder\n\nUpdated morrowind.ini\n\n" + c.checkLines);
    EXPECT_EQ(cli.ReadIni(), "[General]\r\nSubtitles=0\r\n\r\n[Game Files]\r\n" + c.gameFiles);
  }
}

// A UTF-8 name on disk and its cp1252 spelling in the game's lists name one file.
TEST(PluginsCliTest, NamesOutsideAsciiMeetInEitherForm) {
  HeaderOnlyGame cli;
  cli.AddPlugin("L\xc3\xa4nder.esm", kTime + 300, {"Morrowind.esm"});
  cli.AddPlugin("Gr\xc3\xbcne.esp", kTime + 360, {"Morrowind.esm", "L\xe4nder.esm"});
  cli.WriteGameFiles({"morrowind.esm", "Gr\xfcne.esp"});

  auto listed = cli.Run({"plugins", "--sort", "name"});
  ASSERT_EQ(listed.exitCode, 0) << listed.err;
  EXPECT_NE(listed.out.find("[x] Gr\xc3\xbcne.esp "), std::string::npos) << listed.out;
  // The master's name comes from a header in cp1252; the terminal gets UTF-8.
  EXPECT_NE(listed.out.find("\"L\xc3\xa4nder.esm\" is INACTIVE"), std::string::npos) << listed.out;
  EXPECT_EQ(listed.out.find("MISSING"), std::string::npos) << listed.out;

  struct Case {
    std::vector<std::string> args;
    std::string gameFiles;
  } cases[] = {
      {{"plugins", "activate", "Tribunal.esm"},
       "GameFile0=morrowind.esm\r\nGameFile1=Tribunal.esm\r\nGameFile2=Gr\xfcne.esp\r\n"},
      {{"plugins", "activate", "L\xc3\x84NDER.ESM"},
       "GameFile0=morrowind.esm\r\nGameFile1=Tribunal.esm\r\nGameFile2=L\xe4nder.esm\r\n"
       "GameFile3=Gr\xfcne.esp\r\n"},
      {{"plugins", "deactivate", "gr\xc3\xbcne.esp", "Tribunal.esm"},
       "GameFile0=morrowind.esm\r\nGameFile1=L\xe4nder.esm\r\n"},
  };
  for (const auto& c : cases) {
    auto result = cli.Run(c.args);
    ASSERT_EQ(result.exitCode, 0) << c.args[2] << ": " << result.err;
    EXPECT_EQ(cli.ReadIni(), "[General]\r\nSubtitles=0\r\n\r\n[Game Files]\r\n" + c.gameFiles)
        << c.args[2];
  }
}

TEST(PluginsCliTest, UnknownNamesAreUsageErrorsThatChangeNothing) {
  HeaderOnlyGame cli;
  const std::string before = cli.ReadIni();
  for (const char* verb : {"activate", "deactivate", "update-time", "update-header"}) {
    auto result = cli.Run({"plugins", verb, "Tribunal.esm", "Nope.esp"});
    EXPECT_EQ(result.exitCode, 2) << verb;
    EXPECT_NE(result.err.find("\"Nope.esp\""), std::string::npos) << verb << result.err;
    EXPECT_EQ(result.out, "") << verb;  // the usage error comes first
    EXPECT_EQ(cli.ReadIni(), before) << verb;
    EXPECT_EQ(cli.TimeOf("Tribunal.esm"), kTime + 60) << verb;
    EXPECT_EQ(cli.Run({"plugins", verb}).exitCode, 2) << verb;
  }
}

// An unreadable file keeps its place in the list with its reason; readers of it fail.
TEST(PluginsCliTest, WhatCannotBeReadIsListedWithItsReason) {
  HeaderOnlyGame cli;
  test::WriteFile(cli.data() / "Garbage.esp", "garbage, not a plugin");
  std::string header = test::ReadFile(cli.data() / "Tribunal.esm");
  test::WriteFile(cli.data() / "Short.esm", header.substr(0, 40));
  std::filesystem::create_directory(cli.data() / "Folder.esp");
  cli.WriteGameFiles(
      {"morrowind.esm", "Gone.esp", "Short.esm", "needs tribunal.esp", "Folder.esp"});
  test::WriteFile(cli.folder() / "Morrowind.ini",
                  cli.ReadIni() + "GameFile300=Old.esp\r\ngamefile1000=Older.esp\r\n");
  const std::string shortError = "Invalid record in file Short.esm at offset 40 (24 vs 346)";
  const std::string garbageError =
      "File Garbage.esp is not a TES3 plugin: it starts with \"garb\" at offset 0";

  auto listed = cli.Run({"plugins"});
  ASSERT_EQ(listed.exitCode, 0) << listed.err;
  for (const std::string& rows : std::vector<std::string>{
           "[x] Morrowind.esm       Jun 12, 2003   14:05:33\n"
           "[x] Gone.esp            missing: not in \"Data Files\"\n[ ] Tribunal.esm ",
           "  unreadable: " + shortError +
               "\n[x] Needs Tribunal.esp  Jun 12, 2003   14:08:33\n"
               "[x] Folder.esp          unreadable: not a file\n[ ] orphan.ESP ",
           "\n[ ] Garbage.esp  ", "  unreadable: " + garbageError + "\n"}) {
    EXPECT_NE(listed.out.find(rows), std::string::npos) << rows << "\n" << listed.out;
  }
  const std::string ini = cli.ReadIni();
  auto activated = cli.Run({"plugins", "activate", "garbage.esp"});
  EXPECT_EQ(activated.exitCode, 1);
  EXPECT_EQ(activated.err, "Modrake Error: " + garbageError + "\n");
  EXPECT_EQ(cli.ReadIni(), ini);
  const std::string list =
      "[General]\r\nSubtitles=0\r\n\r\n[Game Files]\r\nGameFile0=morrowind.esm\r\n"
      "GameFile1=needs tribunal.esp\r\n";
  ASSERT_EQ(cli.Run({"plugins", "deactivate", "short.esm"}).exitCode, 0);
  EXPECT_EQ(cli.ReadIni(), list + "GameFile2=Gone.esp\r\nGameFile3=Folder.esp\r\n");
  ASSERT_EQ(cli.Run({"plugins", "deactivate", "Gone.esp"}).exitCode, 0);
  EXPECT_EQ(cli.ReadIni(), list + "GameFile2=Folder.esp\r\n");
}

TEST(PluginsCliTest, UpdateTimeAndHeader) {
  HeaderOnlyGame cli;
  // One and two minutes after the newest file not moved; game masters stay.
  auto moved =
      cli.Run({"plugins", "update-time", "orphan.esp", "needs tribunal.esp", "Morrowind.esm"});
  ASSERT_EQ(moved.exitCode, 0) << moved.err;
  EXPECT_EQ(moved.out,
            "Found 5 plugins in the \"Data Files\" folder\n"
            "[x] Morrowind.esm       Jun 12, 2003   14:05:33\n"
            "[x] Needs Tribunal.esp  Jun 12, 2003   14:08:33\n"
            "[ ] orphan.ESP          Jun 12, 2003   14:09:33\n");
  EXPECT_EQ(cli.TimeOf("Needs Tribunal.esp"), kTime + 180);
  EXPECT_EQ(cli.TimeOf("orphan.ESP"), kTime + 240);
  EXPECT_EQ(cli.TimeOf("Morrowind.esm"), kTime);

  auto header = cli.Run({"plugins", "update-header", "Needs Tribunal.esp"});
  ASSERT_EQ(header.exitCode, 0) << header.err;
  EXPECT_EQ(header.out,
            "Found 5 plugins in the \"Data Files\" folder\n"
            "Plugin(s) version and master file information has been updated\n");
  EXPECT_EQ(cli.TimeOf("Needs Tribunal.esp"), kTime + 180);
  // The active master's size is written; the inactive one's stays.
  PluginFile updated(cli.data(), "Needs Tribunal.esp");
  std::vector<uint32_t> sizes;
  for (const auto& field : updated.FindHeaderRecord()->Fields()) {
    if (field.tag == tags::DATA) sizes.push_back(field.UInt32At(0));
  }
  EXPECT_EQ(
      sizes,
      (std::vector<uint32_t>{
          static_cast<uint32_t>(std::filesystem::file_size(cli.data() / "Morrowind.esm")), 1}));
}

TEST(PluginsCliTest, OptionsShowAndSave) {
  HeaderOnlyGame cli;
  test::WriteFile(cli.home / "modrake.ini",
                  "[General]\r\nStrictAIDT=1\r\n[Cleaning Settings]\r\nIgnoreTribunal=1\r\n");
  auto shown = cli.Run({"options"});
  ASSERT_EQ(shown.exitCode, 0) << shown.err;
  EXPECT_EQ(shown.out,
            "KeepFileName=0             Don't change plugin filenames\n"
            "KeepFileDate=0             Retain file time, when cleaning\n"
            "ForceSave=0                Force save for clean plugins\n"
            "IgnoreTribunal=0           Ignore tribunal.esm  (tribunal.esm is not active)\n"
            "IgnoreBloodmoon=0          Ignore bloodmoon.esm\n"
            "RestrictedDialogCleaning=0 Restricted dialog cleaning\n"
            "RestrictedCellCleaning=0   Restricted cell cleaning\n"
            "FullConflictReport=0       Report LEVI/LEVC/LTEX conflicts\n"
            "IgnoreMergeableConflicts=0 Do not report mergeable conflicts\n"
            "MergeUnchangedObjects=0    Merge unchanged objects\n"
            "MergeListsAgainstMasters=0 Merge leveled lists against their masters\n"
            "AllMasters=0               Every active master counts as a master\n");

  struct Case {
    std::vector<std::string> args;
    int exitCode;
    const char* errorPart;
  } cases[] = {
      {{"options", "IgnoreTribunal=0"}, 2, "tribunal.esm is not active"},
      {{"options", "StrictAIDT=0"}, 2, "StrictAIDT"},
      {{"options", "Speed=1"}, 2, "\"Speed\""},
      {{"options", "ForceSave=maybe"}, 2, "ForceSave"},
      {{"options", "ForceSave"}, 2, "ForceSave"},
      {{"options", "forcesave=1", "IgnoreBloodmoon=on", "MergeUnchangedObjects=1"}, 0, ""},
  };
  for (const auto& c : cases) {
    auto result = cli.Run(c.args);
    EXPECT_EQ(result.exitCode, c.exitCode) << c.args[1];
    EXPECT_NE(result.err.find(c.errorPart), std::string::npos) << c.args[1] << result.err;
  }
  // StrictAIDT and the Ignore box of the inactive master stay as they were.
  EXPECT_EQ(
      test::ReadFile(cli.home / "modrake.ini"),
      "[General]\r\nStrictAIDT=1\r\nAllMasters=0\r\n[Cleaning Settings]\r\n"
      "IgnoreTribunal=1\r\nKeepFileName=0\r\nKeepFileDate=0\r\nForceSave=1\r\nIgnoreBloodmoon=1\r\n"
      "RestrictedDialogCleaning=0\r\nRestrictedCellCleaning=0\r\n"
      "[Report Settings]\r\nFullConflictReport=0\r\n"
      "IgnoreMergeableConflicts=0\r\n[Merge Settings]\r\nMergeUnchangedObjects=1\r\n"
      "MergeListsAgainstMasters=0\r\n");
}

TEST(PluginsCliTest, FindsTheGameWithoutGameOption) {
  SKIP_ON_WINDOWS("Wine prefixes and XDG folders are places of a Linux system");
#ifndef _WIN32
  HeaderOnlyGame cli;
  test::TempDir fakeHome;
  test::TempDir elsewhere;
  test::NoGameElsewhere nowhere(fakeHome.path());
  // A Proton prefix whose registry points at the test game through drive Z:.
  auto pfx = fakeHome / ".steam/steam/steamapps/compatdata/22320/pfx";
  std::filesystem::create_directories(pfx / "dosdevices");
  std::filesystem::create_directory_symlink("/", pfx / "dosdevices/z:");
  std::string escaped = "Z:";
  for (char ch : cli.folder().string())
    escaped += ch == '/' ? std::string("\\\\") : std::string(1, ch);

  // Without a game of the original engine, OpenMW's configuration of the
  // user: the Flatpak's, then the usual one, which wins.
  for (const auto& config : {fakeHome / ".var/app/org.openmw.OpenMW/config/openmw/openmw.cfg",
                             fakeHome / ".config/openmw/openmw.cfg"}) {
    std::filesystem::create_directories(config.parent_path());
    test::WriteFile(config, "data=\"" + cli.data().string() + "\"\ncontent=Morrowind.esm\n");
    auto viaOpenMw = RunModrake({"--home", cli.home.path().string(), "plugins"}, elsewhere.path());
    EXPECT_EQ(viaOpenMw.exitCode, 0) << viaOpenMw.err;
    EXPECT_EQ(viaOpenMw.out.rfind("OpenMW configuration: " + config.string() + "\n", 0), 0u)
        << viaOpenMw.out;
  }

  test::WriteFile(pfx / "system.reg",
                  "WINE REGISTRY Version 2\n\n[Software\\\\Wow6432Node\\\\Bethesda "
                  "Softworks\\\\Morrowind] 1\n\"Installed Path\"=\"" +
                      escaped + "\"\n");
  auto viaRegistry = RunModrake({"--home", cli.home.path().string(), "plugins"}, elsewhere.path());
  EXPECT_EQ(viaRegistry.exitCode, 0) << viaRegistry.err;
  EXPECT_EQ(viaRegistry.out.rfind("Found 5 plugins", 0), 0u) << viaRegistry.out;

#endif
}

}  // namespace
}  // namespace modrake
