// The options that look past the three game masters, run end to end on the
// sample game with the real plugins.
#include <gtest/gtest.h>

#include "support/sample_game_run.hpp"
#include "support/test_support.hpp"

namespace modrake {
namespace {

TEST(MastersCliTest, RealPluginsRunWithEveryOption) {
  test::SampleGameRun game;
  if (game.AddRealPlugins().empty()) GTEST_SKIP() << "no real plugins beside the checkout";
  auto lists = game.Run({"merge-lists", "--activate", "--against-masters"});
  ASSERT_EQ(lists.exitCode, 0) << lists.err;
  EXPECT_TRUE(test::EsmtoolReads(game.Data("Merged_Leveled_Lists.esp")));
  std::string log = test::ReadLog(game.home / "modrake.log");
  EXPECT_NE(log.find("-> against Tribunal.esm"), std::string::npos) << log;

  auto fixed = game.Run({"--yes", "fix", "--all-masters"});
  ASSERT_EQ(fixed.exitCode, 0) << fixed.err;
  for (const char* merged :
       {"Merged_Leveled_Lists.esp", "Merged_Objects.esp", "Merged_Dialogs.esp"}) {
    EXPECT_TRUE(test::EsmtoolReads(game.Data(merged))) << merged;
  }
  for (const auto& entry : std::filesystem::directory_iterator(game.Data())) {
    EXPECT_TRUE(test::EsmtoolReads(entry.path())) << entry.path();
  }

  // Standard output holds the document and nothing else.
  const std::filesystem::path docs = std::filesystem::path(MODRAKE_SOURCE_DIR) / "docs";
  auto plugins = game.Run({"plugins", "--json"});
  ASSERT_EQ(plugins.exitCode, 0) << plugins.err;
  EXPECT_EQ(test::JsonProblems(plugins.out, docs / "plugins.schema.json"), "");
  auto report = game.Run({"report", "--json", "--all-masters", "Objects_Merge_A.esp",
                          "Objects_Merge_B.esp", "merge_base.esp", "merge_edit_all.esp"});
  ASSERT_EQ(report.exitCode, 0) << report.err;
  EXPECT_EQ(test::JsonProblems(report.out, docs / "report.schema.json"), "");
  EXPECT_NE(report.out.find("\"keepsMaster\": true"), std::string::npos) << report.out;
  for (const char* part :
       {"\"kind\": \"morrowind\"", "\"all_types.esp\"", "\"problem\": \"missing\""}) {
    EXPECT_NE(plugins.out.find(part), std::string::npos) << part << plugins.out;
  }
}

}  // namespace
}  // namespace modrake
