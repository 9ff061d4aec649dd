#include <gtest/gtest.h>

#include "platform/file_io.hpp"
#include "support/game_folder.hpp"
#include "support/sample_game_run.hpp"
#include "support/test_support.hpp"

namespace modrake {
namespace {

TEST(FixCliTest, AnErrorInAMiddleStepFailsAndKeepsWhatWasCleaned) {
  test::SampleGameRun game;
  const std::filesystem::path data = game.Data();
  // The last active plugin in load order is cleaned last: cut its last record short.
  auto listed = game.Run({"plugins"});
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
  // What a killed run left goes with the next run that writes there.
  const auto leftover = data / ".Junk_Cells.esp.Ab12Cd.modrake-partial";
  test::WriteFile(leftover, "half");

  auto run = game.Run({"--yes", "fix"});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.err.rfind("Modrake Error: Invalid record in file ", 0), 0u) << run.err;
  EXPECT_NE(test::ReadFile(data / "Junk_Cells.esp"), junk);
  EXPECT_FALSE(std::filesystem::exists(leftover));
  EXPECT_NE(test::ReadLog(game.home / "modrake.log").find("\nERROR: Invalid record"),
            std::string::npos);
}

// An unattended run keeps what it cannot judge: a new cell that the masters
// lack stays in fix (cells cleaned in restricted mode), where clean, with
// the settings as they come, removes it when it holds nothing.
TEST(FixCliTest, NewEmptyCellsStayInFixAndGoInClean) {
  for (const char* command : {"clean", "fix"}) {
    SCOPED_TRACE(command);
    test::GameFolder game;
    game.AddPlugin("Morrowind.esm", 1000);
    game.AddPlugin("p.esp", 2000, {},
                   test::RecordBytes(
                       "CELL", test::ZField("NAME", "New Place") +
                                   test::Field("DATA", test::Bytes().U32(1).I32(0).I32(0).str())));
    game.WriteGameFiles({"Morrowind.esm", "p.esp"});
    std::vector<std::string> args = {"--yes", command};
    if (std::string(command) == "clean") {
      args.insert(args.end(), {"--keep-names", (game.data() / "p.esp").string()});
    }
    auto result = game.Run(args);
    ASSERT_EQ(result.exitCode, 0) << result.err;
    bool kept = test::ReadFile(game.data() / "p.esp").find("New Place") != std::string::npos;
    EXPECT_EQ(kept, std::string(command) == "fix");
  }
}

}  // namespace
}  // namespace modrake
