#include <gtest/gtest.h>

#include "samplegame/sample_game.hpp"
#include "support/test_support.hpp"

namespace modrake {
namespace {

using test::RunModrake;

// The same arguments give the same files, and other readers of the format read them.
TEST(SampleGameCliTest, WritesTheSameGameEveryTime) {
  test::TempDir dir;
  auto sample = [&](const std::string& folder, std::vector<std::string> more) {
    std::vector<std::string> args = {"--home", dir.path().string(), "sample-game",
                                     (dir / folder).string()};
    args.insert(args.end(), more.begin(), more.end());
    auto result = RunModrake(args);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.out.find("Wrote "), std::string::npos);
  };
  sample("a", {"--plugins", "2"});
  ASSERT_TRUE(std::filesystem::exists(dir / "a" / "Data Files" / "Generated_Plugin_002.esp"));
  sample("a", {});
  sample("b", {});
  auto files = test::Snapshot(dir / "a");
  EXPECT_TRUE(files == test::Snapshot(dir / "b"));
  EXPECT_GT(files.size(), 30u);
  for (const auto& [name, file] : files) {
    if (name.ends_with(".esp") || name.ends_with(".esm") || name.ends_with(".ESP")) {
      EXPECT_TRUE(test::EsmtoolReads(dir / "a" / name)) << name;
    }
  }
  // The scenario plugins load in the documented order.
  auto listed =
      RunModrake({"--home", dir.path().string(), "--game", (dir / "a").string(), "plugins"});
  size_t at = 0;
  for (const auto& plugin : samplegame::kScenarioPlugins) {
    size_t row = listed.out.find(std::string("] ") + plugin.name + " ");
    EXPECT_LT(at, row) << plugin.name << " loads in its place\n" << listed.out;
    at = row == std::string::npos ? at : row;
  }
  auto help = RunModrake({"sample-game", "--help"});
  for (const auto& plugin : samplegame::kScenarioPlugins) {
    EXPECT_NE(help.out.find(plugin.name), std::string::npos) << plugin.name;
  }
}

}  // namespace
}  // namespace modrake
