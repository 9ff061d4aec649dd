#include "platform/wine_registry.hpp"

#include <gtest/gtest.h>

#include "support/test_support.hpp"

namespace modrake {
namespace {

TEST(WineRegistryTest, FindsTheValueOfTheKey) {
  test::TempDir dir;
  auto reg = dir / "system.reg";
  test::WriteFile(reg,
                  "WINE REGISTRY Version 2\n"
                  ";; All keys relative to \\\\Machine\n\n"
                  "[Software\\\\Bethesda Softworks\\\\Morrowind\\\\Other] 1600000000\n"
                  "\"Installed Path\"=\"wrong\"\n\n"
                  "[Software\\\\Bethesda Softworks\\\\Morrowind] 1600000000\r\n"
                  "#time=1d6e0b1c2a3f4e5\r\n"
                  "\"Installed Path\"=\"C:\\\\Games\\\\Morrowind \\\"GOTY\\\"\\x00e9\"\r\n"
                  "[Software\\\\Wow6432Node\\\\Bethesda Softworks\\\\Morrowind] 1600000000\n"
                  "\"installed path\"=str(2):\"D:\\\\Morrowind\"\n"
                  "[Software\\\\Empty] 1\n"
                  "\"Other\"=\"x\"\n");
  struct Case {
    const char* key;
    bool keyFound;
    std::optional<std::string> value;
  } cases[] = {
      {"Software\\Bethesda Softworks\\Morrowind", true, "C:\\Games\\Morrowind \"GOTY\"\xC3\xA9"},
      {"SOFTWARE\\bethesda softworks\\morrowind", true, "C:\\Games\\Morrowind \"GOTY\"\xC3\xA9"},
      {"Software\\Wow6432Node\\Bethesda Softworks\\Morrowind", true, "D:\\Morrowind"},
      {"Software\\Empty", true, std::nullopt},
      {"Software\\Absent", false, std::nullopt},
  };
  for (const auto& c : cases) {
    RegistryValue found = ReadWineRegistryValue(reg, c.key, "Installed Path");
    EXPECT_EQ(found.keyFound, c.keyFound) << c.key;
    EXPECT_EQ(found.value, c.value) << c.key;
  }
  EXPECT_FALSE(ReadWineRegistryValue(dir / "none.reg", "Software", "x").keyFound);
}

TEST(WineRegistryTest, WindowsPathsBecomePrefixPaths) {
  SKIP_ON_WINDOWS("Wine prefixes are folders of a Linux system");
#ifndef _WIN32
  test::TempDir prefix;
  std::filesystem::create_directories(prefix /
                                      "drive_c/Program Files/Bethesda Softworks/Morrowind");
  struct Case {
    const char* windows;
    std::filesystem::path expected;
  } cases[] = {
      {"c:\\Program Files\\Bethesda Softworks\\Morrowind\\",
       prefix / "drive_c/Program Files/Bethesda Softworks/Morrowind"},
      {"\\\\server\\share", {}},
      {"", {}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(WindowsPathInPrefix(prefix.path(), c.windows), c.expected) << c.windows;
  }
#endif
}

}  // namespace
}  // namespace modrake
