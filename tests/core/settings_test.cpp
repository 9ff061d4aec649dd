#include "core/settings.hpp"

#include <gtest/gtest.h>

#include <tuple>

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

// What a hand-edited [Backups] value keeps: a number, else the default.
TEST(SettingsTest, BackupLimitsKeepTheDefaultForWhatIsNoNumber) {
  const std::tuple<const char*, unsigned, uint64_t> cases[] = {
      {"KeepRuns=3\nKeepMegabytes=1", 3, 1u << 20},
      {"KeepRuns=abc\nKeepMegabytes=5x", 20, 2048ull << 20},
      {"KeepRuns=\nKeepMegabytes=0", 20, 0},
      {"KeepRuns=999999999", 100000, 2048ull << 20}};
  for (const auto& [lines, runs, bytes] : cases) {
    test::TempDir dir;
    test::WriteFile(dir / "modrake.ini", std::string("[Backups]\n") + lines + "\n");
    Options options;
    LoadSettings(dir / "modrake.ini", {true, true}, options);
    EXPECT_EQ(options.backupRuns, runs) << lines;
    EXPECT_EQ(options.backupBytes, bytes) << lines;
  }
}

}  // namespace
}  // namespace modrake
