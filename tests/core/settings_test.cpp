#include "core/settings.hpp"

#include <gtest/gtest.h>

#include "support/test_support.hpp"

namespace modrake {
namespace {

TEST(SettingsTest, FirstStartWithoutAFile) {
  test::TempDir dir;
  Options options;
  options.boxes.forceSave = true;
  LoadSettings(dir / "modrake.ini", {true, true}, options);
  for (const auto& setting : SettingKeys()) EXPECT_FALSE(options.boxes.*setting.box) << setting.key;
  EXPECT_TRUE(options.relaxedAiData);
  EXPECT_TRUE(options.unrestrictedDialogCleaning);
  EXPECT_TRUE(options.unrestrictedCellCleaning);
}

TEST(SettingsTest, ValuesTickTheirBoxesAsNumbers) {
  struct Case {
    const char* value;
    bool ticked;
  } cases[] = {{"1", true},   {"2", true},    {" 1", true},        {"-1", true},
               {"+7x", true}, {"0", false},   {"abc", false},      {"", false},
               {"00", false}, {"0001", true}, {"000000001", false}};  // only the first 8 characters
                                                                      // are read
  for (const auto& c : cases) {
    test::TempDir dir;
    test::WriteFile(dir / "modrake.ini",
                    std::string("[Cleaning Settings]\nForceSave=") + c.value + "\n");
    Options options;
    LoadSettings(dir / "modrake.ini", {}, options);
    EXPECT_EQ(options.boxes.forceSave, c.ticked) << "\"" << c.value << "\"";
  }
}

TEST(SettingsTest, StrictAiDataIsReadNeverWritten) {
  test::TempDir dir;
  auto file = dir / "modrake.ini";
  test::WriteFile(file, "[General]\r\nStrictAIDT=1\r\n");
  Options options;
  LoadSettings(file, {}, options);
  EXPECT_FALSE(options.relaxedAiData);
  options.boxes.mergeUnchangedObjects = true;
  SaveSettings(file, {}, options);
  std::string text = test::ReadFile(file);
  EXPECT_EQ(text.rfind("[General]\r\nStrictAIDT=1\r\n", 0), 0u) << text;
  EXPECT_NE(text.find("[Merge Settings]\r\nMergeUnchangedObjects=1\r\n"), std::string::npos);
}

TEST(SettingsTest, IgnoreBoxesFollowTheirMasters) {
  const std::string stored =
      "[Cleaning Settings]\nIgnoreTribunal=1\nIgnoreBloodmoon=1\nKeepFileName=1\n";
  struct Case {
    ActiveMasters masters;
    bool tribunal;
    bool bloodmoon;
    const char* savedTribunal;
    const char* savedBloodmoon;
  } cases[] = {
      {{true, true}, true, true, "0", "0"},
      {{true, false}, true, false, "0", "1"},
      {{false, true}, false, true, "1", "0"},
      {{false, false}, false, false, "1", "1"},
  };
  for (const auto& c : cases) {
    test::TempDir dir;
    auto file = dir / "modrake.ini";
    test::WriteFile(file, stored);
    Options options;
    options.boxes.ignoreBloodmoon = true;  // a box of an inactive master is unticked
    LoadSettings(file, c.masters, options);
    EXPECT_EQ(options.boxes.ignoreTribunal, c.tribunal);
    EXPECT_EQ(options.boxes.ignoreBloodmoon, c.bloodmoon);
    EXPECT_TRUE(options.boxes.keepFileName);
    // Untick everything and save: inactive masters keep their stored lines.
    options.boxes = CheckBoxes{};
    SaveSettings(file, c.masters, options);
    std::string text = test::ReadFile(file);
    EXPECT_NE(text.find(std::string("IgnoreTribunal=") + c.savedTribunal + "\n"), std::string::npos)
        << text;
    EXPECT_NE(text.find(std::string("IgnoreBloodmoon=") + c.savedBloodmoon + "\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("KeepFileName=0\n"), std::string::npos) << text;
  }
}

}  // namespace
}  // namespace modrake
