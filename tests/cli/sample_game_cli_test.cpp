#include <gtest/gtest.h>

#include "samplegame/sample_game.hpp"
#include "support/test_support.hpp"

namespace modrake {
namespace {

using test::RunModrake;

TEST(SampleGameCliTest, WritesTheGameAndDumpsItsPlugins) {
  test::TempDir dir;
  auto game = dir / "game";
  auto result = RunModrake({"--home", dir.path(), "sample-game", game.string(), "--plugins", "2"});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  EXPECT_NE(result.out.find("Wrote "), std::string::npos);
  EXPECT_TRUE(std::filesystem::exists(game / "Data Files" / "Generated_Plugin_002.esp"));
  auto dump = RunModrake(
      {"--home", dir.path(), "dump", (game / "Data Files" / "Leveled_Lists_Add.esp").string()});
  ASSERT_EQ(dump.exitCode, 0) << dump.err;
  EXPECT_NE(dump.out.find("\tLEVI\t00000000\t"), std::string::npos);
  EXPECT_NE(dump.out.find("random_weapon_melee_basic"), std::string::npos);
  // A folder it wrote may be written again.
  EXPECT_EQ(RunModrake({"--home", dir.path(), "sample-game", game.string()}).exitCode, 0);
}

TEST(SampleGameCliTest, RefusesAnotherInstallationAndBadArguments) {
  test::TempDir dir;
  test::WriteFile(dir / "Morrowind.ini", "[Game Files]\r\n");
  auto refused = RunModrake({"--home", dir.path(), "sample-game", dir.path().string()});
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_EQ(refused.err.rfind("Modrake Error: ", 0), 0u) << refused.err;
  EXPECT_NE(refused.err.find("already holds a game installation"), std::string::npos);
  EXPECT_EQ(RunModrake({"--home", dir.path(), "sample-game", (dir / "x").string(), "--scale", "0"})
                .exitCode,
            2);
  EXPECT_EQ(
      RunModrake({"--home", dir.path(), "sample-game", (dir / "x").string(), "--plugins", "-1"})
          .exitCode,
      2);
}

TEST(SampleGameCliTest, HelpDescribesEveryScenarioPlugin) {
  auto help = RunModrake({"sample-game", "--help"});
  EXPECT_EQ(help.exitCode, 0);
  for (const auto& plugin : samplegame::kScenarioPlugins) {
    EXPECT_NE(help.out.find(plugin.name), std::string::npos) << plugin.name;
  }
}

}  // namespace
}  // namespace modrake
