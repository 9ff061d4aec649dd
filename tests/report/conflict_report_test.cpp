#include "report/conflict_report.hpp"

#include <gtest/gtest.h>

#include "format/plugin_file.hpp"
#include "report/cross_references.hpp"
#include "support/test_game.hpp"

namespace modrake {
namespace {

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
  test::TestGame game;
  game.Write("Morrowind.esm", s.master);
  game.Write("a.esp", s.a);
  game.Write("b.esp", s.b);
  game.Activate({"Morrowind.esm"});
  game.ui.chosen = {game.dataFolder() / "Morrowind.esm", game.dataFolder() / "a.esp",
                    game.dataFolder() / "b.esp"};
  game.options.skipMergeableConflicts = true;
  RunReportEntry(game.session());
  std::string log = test::ReadFile(game.home / "modrake.log");
  const std::string headEnd = "; conflict with each other.\n";
  size_t body = log.find(headEnd);
  return body == std::string::npos ? log : log.substr(body + headEnd.size());
}

const std::string kNoPartners =
    "\n; ------------------------------------------------------------------------\n"
    "; List of non-conflicting plugins\n\na.esp\nb.esp\n"
    "\n; ------------------------------------------------------------------------\n"
    "; Conflict plugin cross-reference list\n\n";
const std::string kPartners =
    "\n; ------------------------------------------------------------------------\n"
    "; List of non-conflicting plugins\n\n"
    "\n; ------------------------------------------------------------------------\n"
    "; Conflict plugin cross-reference list\n\n"
    "a.esp\n        b.esp\n\nb.esp\n        a.esp\n\n";

// A weapon the merge could combine drops out under "Do not report mergeable
// conflicts"; one whose weight both plugins change stays.
TEST(ConflictReportTest, MergeableConflictsCanBeLeftOut) {
  const std::string sword = test::Weapon("iron_sword", "Iron Sword", 10, 5);
  const Scenario scenarios[] = {
      {"damage and weight changed apart merge without loss",
       {sword},
       {test::Weapon("iron_sword", "Iron Sword", 10, 9)},
       {test::Weapon("iron_sword", "Iron Sword", 15, 5)},
       "\nWEAP  iron_sword\n  > [NO CONFLICTS] a.esp\n  > [NO CONFLICTS] b.esp\n" + kNoPartners},
      {"two new weights stay in the report",
       {sword},
       {test::Weapon("iron_sword", "Iron Sword", 12, 5)},
       {test::Weapon("iron_sword", "Iron Sword", 14, 5)},
       "\nWEAP  iron_sword\n"
       "  > a.esp\n"
       "        WPDT      wt=12.00, val=20, type=1, HP=100, spd=1.00, r=1.00, enc=0, c(1 5) s(1 5) "
       "t(1 5) f=0\n"
       "  > b.esp\n"
       "        WPDT      wt=14.00, val=20, type=1, HP=100, spd=1.00, r=1.00, enc=0, c(1 5) s(1 5) "
       "t(1 5) f=0\n" +
           kPartners},
  };
  for (const auto& s : scenarios) EXPECT_EQ(Report(s), s.expected) << s.what;
}

TEST(ConflictReportTest, NeedsTwoPluginsBesidesTheGameMasters) {
  test::TestGame game;
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

TEST(CrossReferencesTest, PartnersAreListedOnceOnBothSides) {
  PluginFile a("", "a.esp", "", ""), b("", "b.esp", "", ""), c("", "c.esp", "", "");
  CrossReferences table({&a, &b, &c});
  table.AddCrossReference(&b, &a);
  table.AddCrossReference(&a, &b);
  table.AddCrossReference(&c, &c);
  table.AddCrossReference(&a, &c);
  auto names = [](const CrossReferences::Entry& e) {
    std::string text = e.plugin->name + ":";
    for (const PluginFile* p : e.partners) text += " " + p->name;
    return text;
  };
  std::vector<std::string> got;
  for (const auto& e : table.entries()) got.push_back(names(e));
  EXPECT_EQ(got,
            (std::vector<std::string>{"a.esp: b.esp c.esp", "b.esp: a.esp", "c.esp: c.esp a.esp"}));
}

}  // namespace
}  // namespace modrake
