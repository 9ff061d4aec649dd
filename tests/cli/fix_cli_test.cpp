#include <gtest/gtest.h>

#include "platform/file_io.hpp"
#include "support/test_support.hpp"

namespace modrake {
namespace {

using test::RunModrake;
using test::TempDir;

TEST(FixCliTest, AnErrorInAMiddleStepFailsAndKeepsWhatWasCleaned) {
  TempDir game, home;
  ASSERT_EQ(RunModrake({"sample-game", game.path()}).exitCode, 0);
  std::filesystem::path data = game / "Data Files";
  // The last active plugin in load order is cleaned last: cut its last record short.
  auto listed = RunModrake({"--game", game.path(), "--home", home.path(), "plugins"});
  size_t row = listed.out.rfind("\n[x] ");
  ASSERT_NE(row, std::string::npos);
  std::string name = listed.out.substr(row + 5, listed.out.find(" ", row + 5) - row - 5);
  std::filesystem::path broken = data / name;
  auto status = QueryFileStatus(broken);
  ASSERT_TRUE(status) << name;
  std::string bytes = test::ReadFile(broken);
  test::WriteFile(broken, bytes.substr(0, bytes.size() - 3));
  SetFileTime(broken, status->modified);
  std::string junk = test::ReadFile(data / "Junk_Cells.esp");

  auto run = RunModrake({"--game", game.path(), "--home", home.path(), "--yes", "fix"});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.err.rfind("Modrake Error: Invalid record in file ", 0), 0u) << run.err;
  EXPECT_NE(test::ReadFile(data / "Junk_Cells.esp"), junk);
  EXPECT_NE(test::ReadFile(home / "modrake.log").find("\nERROR: Invalid record"),
            std::string::npos);
}

}  // namespace
}  // namespace modrake
