#include "report/conflict_report.hpp"

#include <gtest/gtest.h>

#include "support/test_game.hpp"

namespace modrake {
namespace {

using namespace test;

// A reference with more fields than another conflicts, though the shared ones agree.
TEST(ConflictReportTest, ReferencesOfDifferentLengthsConflict) {
  const std::string data = Field("DATA", Bytes().F32(5).Zeros(20).str());
  TestGame game;
  game.Write("Morrowind.esm", {Cell("Vivec", 1, 0, 0, Reference(1, "chest", data))});
  game.Write("a.esp", {Cell("Vivec", 1, 0, 0, Reference(0x01000001, "chest", data))});
  game.Write("b.esp",
             {Cell("Vivec", 1, 0, 0,
                   Reference(0x01000001, "chest", data + Field("XSCL", Bytes().F32(2).str())))});
  game.Activate({"Morrowind.esm"});
  game.ui.chosen = {game.dataFolder() / "Morrowind.esm", game.dataFolder() / "a.esp",
                    game.dataFolder() / "b.esp"};
  game.options.skipMergeableConflicts = true;
  RunReportEntry(game.session());
  const std::string log = ReadLog(game.home / "modrake.log");
  const std::string placed = "             DATA XYZ=(5.00, 0.00, 0.00) ROT=(0.00, 0.00, 0.00)\n";
  EXPECT_TRUE(test::Contains(log, "\nCELL  Vivec\n  > a.esp\n        FRMR/NAME 1, 1 / chest\n" +
                                      placed + "  > b.esp\n        FRMR/NAME 1, 1 / chest\n" +
                                      placed + "             XSCL 2.00\n\n; ---"))
      << log;
}

TEST(ConflictReportTest, NeedsTwoPluginsBesidesTheGameMasters) {
  TestGame game;
  game.Write("Morrowind.esm", {});
  game.Write("a.esp", {});
  game.Activate({"Morrowind.esm"});
  game.ui.chosen = {game.dataFolder() / "Morrowind.esm", game.dataFolder() / "a.esp"};
  game.options.unrestrictedDialogCleaning = false;
  RunReportEntry(game.session());
  EXPECT_EQ(game.ui.lines,
            std::vector<std::string>{"Need to select at least two plugins for conflict report"});
  EXPECT_FALSE(std::filesystem::exists(game.home / "modrake.log"));
  EXPECT_FALSE(game.options.unrestrictedDialogCleaning);
}

}  // namespace
}  // namespace modrake
