#include "core/settings.hpp"

#include <gtest/gtest.h>

#include "support/test_support.hpp"

namespace modrake {
namespace {

TEST(SettingsTest, ValuesTickTheirBoxesAsNumbers) {
  // Only the first 8 characters are read; no file ticks nothing.
  const std::pair<const char*, bool> cases[] = {
      {"1", true},   {"2", true},    {" 1", true},         {"-1", true},
      {"+7x", true}, {"0", false},   {"abc", false},       {"", false},
      {"00", false}, {"0001", true}, {"000000001", false}, {nullptr, false}};
  for (const auto& [value, ticked] : cases) {
    test::TempDir dir;
    if (value) {
      test::WriteFile(dir / "modrake.ini", std::string("[Cleaning Settings]\nForceSave=") + value);
    }
    Options options;
    options.boxes.forceSave = true;
    LoadSettings(dir / "modrake.ini", {true, true}, options);
    EXPECT_EQ(options.boxes.forceSave, ticked) << (value ? value : "no file");
    EXPECT_TRUE(options.relaxedAiData && options.unrestrictedDialogCleaning &&
                options.unrestrictedCellCleaning);
  }
}

}  // namespace
}  // namespace modrake
