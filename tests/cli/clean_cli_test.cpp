#include <gtest/gtest.h>

#include "platform/file_io.hpp"
#include "support/test_support.hpp"

namespace modrake {
namespace {

using test::RunModrake;
using test::TempDir;

// A fresh sample game and program home for each test.
class CleanCliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    auto made = RunModrake({"--home", home.path(), "sample-game", game.path()});
    ASSERT_EQ(made.exitCode, 0) << made.err;
  }

  test::CommandResult Clean(std::vector<std::string> args) {
    std::vector<std::string> all = {"--game", game.path(), "--home", home.path()};
    all.insert(all.end(), args.begin(), args.end());
    return RunModrake(all);
  }

  std::filesystem::path Data(const std::string& name) { return game / "Data Files" / name; }

  std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
      size_t end = text.find('\n', start);
      lines.push_back(text.substr(start, end - start));
      start = end == std::string::npos ? text.size() : end + 1;
    }
    return lines;
  }

  TempDir game;
  TempDir home;
};

TEST_F(CleanCliTest, CleansInPlaceAndTheSecondTimeIsAlreadyClean) {
  auto first = Clean({"clean", "--keep-names", Data("Identical_To_Masters.esp")});
  ASSERT_EQ(first.exitCode, 0) << first.err;
  auto lines = Lines(first.out);
  ASSERT_GE(lines.size(), 4u);
  EXPECT_EQ(lines[0], "Loading Morrowind.esm");
  EXPECT_NE(first.out.find("\nProcessing Identical_To_Masters.esp\n"), std::string::npos);
  EXPECT_NE(first.out.find("\nUpdated \"Identical_To_Masters.esp\"\n"), std::string::npos);
  EXPECT_EQ(lines[lines.size() - 2], "Cleaned 1 file(s)");
  EXPECT_EQ(lines.back(), "Check \"" + (home / "modrake.log").string() + "\" for details");
  std::string log = test::ReadFile(home / "modrake.log");
  EXPECT_EQ(log.rfind("File: Identical_To_Masters.esp\n==============================\n", 0), 0u);

  auto second = Clean({"clean", "--keep-names", Data("Identical_To_Masters.esp")});
  ASSERT_EQ(second.exitCode, 0) << second.err;
  EXPECT_NE(second.out.find("Loaded "), std::string::npos) << "the master cache is used";
  EXPECT_NE(second.out.find("Identical_To_Masters.esp is already clean"), std::string::npos);
  EXPECT_NE(second.out.find("Cleaned 0 file(s)"), std::string::npos);
}

TEST_F(CleanCliTest, EveryScenarioPluginCleansIntoTheSubfolder) {
  std::vector<std::string> args = {"--yes", "clean", "--subfolder", "--keep-time"};
  for (const auto& entry : std::filesystem::directory_iterator(game / "Data Files")) {
    if (entry.path().extension() == ".esp" || entry.path().extension() == ".ESP") {
      args.push_back(entry.path().string());
    }
  }
  auto result = Clean(args);
  ASSERT_EQ(result.exitCode, 0) << result.err;
  EXPECT_TRUE(std::filesystem::exists(Data("Clean/Clean Identical_To_Masters.esp")));
  EXPECT_FALSE(std::filesystem::exists(Data("Clean/Clean Already_Clean.esp")));
  auto original = QueryFileStatus(Data("Junk_Cells.esp"));
  auto cleaned = QueryFileStatus(Data("Clean/Clean Junk_Cells.esp"));
  ASSERT_TRUE(original && cleaned);
  EXPECT_EQ(cleaned->modified, original->modified) << "--keep-time";
  EXPECT_LT(cleaned->size, original->size);

  // What was cleaned once is clean.
  std::vector<std::string> again = {"clean", "--keep-names"};
  for (const auto& entry : std::filesystem::directory_iterator(game / "Data Files" / "Clean")) {
    again.push_back(entry.path().string());
  }
  auto second = Clean(again);
  ASSERT_EQ(second.exitCode, 0) << second.err;
  EXPECT_NE(second.out.find("Cleaned 0 file(s)"), std::string::npos) << second.out;
}

TEST_F(CleanCliTest, DeclinedDuplicatesLeaveTheFileAlone) {
  std::string before = test::ReadFile(Data("Duplicate_Records.esp"));
  auto result = Clean({"--no", "clean", "--keep-names", Data("Duplicate_Records.esp")});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  EXPECT_NE(result.out.find("WARNING! Duplicate objects were found in the plugin!\n"
                            "Skipped \"Duplicate_Records.esp\" per user request"),
            std::string::npos)
      << result.out;
  EXPECT_EQ(test::ReadFile(Data("Duplicate_Records.esp")), before);
}

TEST_F(CleanCliTest, RealPluginsCleanAgainstTheSampleMasters) {
  auto real = test::RealTestData();
  if (real.empty()) GTEST_SKIP() << "no real plugins beside the checkout";
  TempDir copies;
  std::vector<std::string> args = {"--yes", "clean", "--subfolder"};
  for (const auto& entry : std::filesystem::directory_iterator(real)) {
    if (entry.path().extension() == ".md") continue;
    std::filesystem::copy_file(entry.path(), copies / entry.path().filename().string());
    args.push_back((copies / entry.path().filename().string()).string());
  }
  auto result = Clean(args);
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_NE(result.out.find("Cleaned "), std::string::npos);
}

TEST_F(CleanCliTest, FilesAreFoundInAnyLetterCaseAndAMissingOneIsNamed) {
  // As Morrowind.ini names it; on disk it is MixedCase_Plugin.ESP.
  auto found = Clean({"clean", Data("mixedcase_plugin.esp")});
  EXPECT_EQ(found.exitCode, 0) << found.err;
  auto result = Clean({"clean", Data("No_Such_Plugin.esp")});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_EQ(result.err.rfind("Modrake Error: Cannot find file No_Such_Plugin.esp", 0), 0u)
      << result.err;
}

}  // namespace
}  // namespace modrake
