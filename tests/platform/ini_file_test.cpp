#include "platform/ini_file.hpp"

#include <gtest/gtest.h>

#include <functional>

#include "support/test_support.hpp"

namespace modrake {
namespace {

const std::string kGameIni =
    "; Morrowind settings\r\n"
    "[General]\r\n"
    "Gamma=1.0\r\n"
    "\r\n"
    "[Game Files]\r\n"
    "GameFile0 = Morrowind.esm\r\n"
    "GameFile1=Caf\xC3\xA9 \xE9.esp\r\n"
    "; keep this comment\r\n"
    "\r\n"
    "[Fonts]\r\n"
    "Font 0=magic_cards_regular";

TEST(IniFileTest, ReadsValuesTheWayTheGameDoes) {
  IniFile ini("unused.ini",
              "[General]\n"
              "  Plain =  value with blanks  \n"
              "Quoted=\"  inner  \"\n"
              "Single='x'\n"
              "Empty=\n"
              "NoEquals\n"
              "; Hidden=1\n"
              "Twice=first\n"
              "Twice=second\n"
              "Long=abcdefghij\n"
              "[general]\n"
              "Later=1\n");
  struct Case {
    const char* section;
    const char* key;
    size_t maxChars;
    std::optional<std::string> expected;
  } cases[] = {
      {"General", "Plain", std::string::npos, "value with blanks"},
      {"GENERAL", "plain", std::string::npos, "value with blanks"},
      {"General", "Quoted", std::string::npos, "  inner  "},
      {"General", "Single", std::string::npos, "x"},
      {"General", "Empty", std::string::npos, ""},
      {"General", "NoEquals", std::string::npos, std::nullopt},
      {"General", "Hidden", std::string::npos, std::nullopt},
      {"General", "Twice", std::string::npos, "first"},
      {"General", "Long", 8, "abcdefgh"},
      // The first section of a name is the one that counts.
      {"General", "Later", std::string::npos, std::nullopt},
      {"Missing", "Plain", std::string::npos, std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ini.Find(c.section, c.key, c.maxChars), c.expected) << c.section << "/" << c.key;
  }
  EXPECT_EQ(ini.Read("General", "Missing", "0"), "0");
}

// kGameIni with one piece replaced.
std::string Changed(const std::string& from, const std::string& to) {
  std::string text = kGameIni;
  return text.replace(text.find(from), from.size(), to);
}

TEST(IniFileTest, ChangesTouchOnlyTheirOwnLines) {
  struct Case {
    const char* name;
    std::function<void(IniFile&)> change;
    std::string expected;
  } cases[] = {
      {"replace keeps key spelling, blanks and CRLF",
       [](IniFile& f) { f.Write("game files", "gamefile0", "Tribunal.esm"); },
       Changed("= Morrowind.esm", "= Tribunal.esm")},
      {"new key goes after the last key of its section",
       [](IniFile& f) { f.Write("Game Files", "GameFile2", "New.esp"); },
       Changed("\r\n; keep", "\r\nGameFile2=New.esp\r\n; keep")},
      {"new key in the last section without a final line break",
       [](IniFile& f) { f.Write("Fonts", "Font 1", "daedric"); }, kGameIni + "\r\nFont 1=daedric"},
      {"deleting what is absent changes nothing",
       [](IniFile& f) {
         f.Delete("Game Files", "GameFile7");
         f.Delete("Nowhere", "GameFile0");
         f.Write("General", "Gamma", "1.0");
       },
       kGameIni},
      {"a line break in a value cannot forge a line",
       [](IniFile& f) { f.Write("General", "Gamma", "2\r\n[Game Files]"); },
       Changed("Gamma=1.0", "Gamma=2[Game Files]")},
  };
  for (const auto& c : cases) {
    IniFile ini("unused.ini", kGameIni);
    c.change(ini);
    EXPECT_EQ(ini.Text(), c.expected) << c.name;
    EXPECT_EQ(ini.Changed(), c.expected != kGameIni) << c.name;
  }
}

TEST(IniFileTest, NewFilesUseThePlatformLineEnding) {
  IniFile ini("unused.ini", "");
  ini.Write("Cleaning Settings", "KeepFileName", "1");
  ini.Write("Cleaning Settings", "ForceSave", "0");
  EXPECT_EQ(ini.Text(), "[Cleaning Settings]\nKeepFileName=1\nForceSave=0\n");
}

TEST(IniFileTest, MalformedFilesNeverLoseTheirOtherBytes) {
  std::string longLine(10000, 'x');
  std::string garbage("\x00\xFF\xFE[\x01=\x80\r\x00", 10);
  struct Case {
    const char* name;
    std::string text;
  } cases[] = {
      {"no game files section", "[General]\r\nA=1\r\n"},
      {"keys without values", "[Game Files]\r\nGameFile0\r\n=\r\nGameFile1=\r\n"},
      {"a line of 10000 characters", "[Game Files]\r\n" + longLine + "\r\nGameFile0=" + longLine},
      {"binary garbage", garbage + "\n[Game Files\n" + garbage},
      {"a byte order mark", "\xEF\xBB\xBF[Game Files]\nGameFile0=Old.esp\n"},
  };
  for (const auto& c : cases) {
    IniFile ini("unused.ini", c.text);
    ini.Write("Game Files", "GameFile0", "Morrowind.esm");
    EXPECT_EQ(ini.Find("Game Files", "GameFile0"), "Morrowind.esm") << c.name;
    // Writing a key back as it was read changes nothing else.
    ini.Delete("Game Files", "GameFile0");
    std::string text = ini.Text();
    EXPECT_EQ(ini.Find("Game Files", "GameFile0"), std::nullopt) << c.name;
    IniFile reread("unused.ini", text);
    EXPECT_EQ(reread.Text(), text) << c.name;
    // Every original line but the key's own survives.
    for (const std::string& piece : {std::string("[General]"), longLine, garbage.substr(0, 3)}) {
      if (c.text.find(piece) != std::string::npos) {
        EXPECT_NE(text.find(piece), std::string::npos) << c.name;
      }
    }
  }
}

}  // namespace
}  // namespace modrake
