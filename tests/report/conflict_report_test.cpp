#include "report/conflict_report.hpp"

#include <gtest/gtest.h>

#include "support/test_game.hpp"

namespace modrake {
namespace {

using namespace test;

// One report, not reporting mergeable conflicts, on a game of Morrowind.esm
// and the plugins a.esp and b.esp.
struct Scenario {
  const char* what;
  std::vector<std::string> master;
  std::vector<std::string> a;
  std::vector<std::string> b;
  // The report after its head: the sections, then the two plugin lists.
  std::string expected;
};

std::string Report(const Scenario& s) {
  TestGame game;
  game.Write("Morrowind.esm", s.master);
  game.Write("a.esp", s.a);
  game.Write("b.esp", s.b);
  game.Activate({"Morrowind.esm"});
  game.ui.chosen = {game.dataFolder() / "Morrowind.esm", game.dataFolder() / "a.esp",
                    game.dataFolder() / "b.esp"};
  game.options.skipMergeableConflicts = true;
  RunReportEntry(game.session());
  std::string log = ReadLog(game.home / "modrake.log");
  const std::string headEnd = "; conflict with each other.\n";
  size_t body = log.find(headEnd);
  return body == std::string::npos ? log : log.substr(body + headEnd.size());
}

const std::string kRule =
    "\n; ------------------------------------------------------------------------\n";
const std::string kPartners = kRule + "; List of non-conflicting plugins\n\n" + kRule +
                              "; Conflict plugin cross-reference list\n\n"
                              "a.esp\n        b.esp\n\nb.esp\n        a.esp\n\n";

// A reference that one plugin holds with more fields than another is a
// conflict, though the fields they share are the same.
TEST(ConflictReportTest, ReferencesOfDifferentLengthsConflict) {
  const std::string data = Field("DATA", Bytes().F32(5).Zeros(20).str());
  const std::string placed = "             DATA XYZ=(5.00, 0.00, 0.00) ROT=(0.00, 0.00, 0.00)\n";
  const Scenario scenarios[] = {
      {"a reference that one plugin gives a field more",
       {Cell("Vivec", 1, 0, 0, Reference(1, "chest", data))},
       {Cell("Vivec", 1, 0, 0, Reference(0x01000001, "chest", data))},
       {Cell("Vivec", 1, 0, 0,
             Reference(0x01000001, "chest", data + Field("XSCL", Bytes().F32(2).str())))},
       "\nCELL  Vivec\n  > a.esp\n        FRMR/NAME 1, 1 / chest\n" + placed +
           "  > b.esp\n        FRMR/NAME 1, 1 / chest\n" + placed + "             XSCL 2.00\n" +
           kPartners},
  };
  for (const auto& s : scenarios) EXPECT_EQ(Report(s), s.expected) << s.what;
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
