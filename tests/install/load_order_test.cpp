#include "install/load_order.hpp"

#include <gtest/gtest.h>

#include <sstream>

#include "core/text.hpp"
#include "platform/ascii.hpp"

namespace modrake {
namespace {

// Sorts plugins built from "name@time ..." and returns their names.
std::string Sorted(const std::string& entries, int mode) {
  PluginList list;
  std::istringstream in(entries);
  for (std::string entry; in >> entry;) {
    size_t at = entry.rfind('@');
    list.push_back(std::make_unique<PluginFile>("/nowhere", entry.substr(0, at), "", ""));
    list.back()->status.modified = std::stoll(entry.substr(at + 1));
  }
  SortPlugins(list, mode);
  std::string names;
  for (const auto& file : list) names += (names.empty() ? "" : " ") + file->name;
  return names;
}

TEST(LoadOrderTest, SortsAsTheGameLoads) {
  const struct {
    const char* name;
    const char* entries;
    int mode;
    const char* expected;
  } cases[] = {
      {"morrowind.esm first even when newest", "A.esp@10 Tribunal.esm@20 Morrowind.esm@99",
       kLoadOrder, "Morrowind.esm Tribunal.esm A.esp"},
      {"morrowind.esm in capitals", "Bloodmoon.esm@1 MORROWIND.ESM@50", kLoadOrder,
       "MORROWIND.ESM Bloodmoon.esm"},
      {"masters then plugins, each by time",
       "p2.esp@40 m2.esm@30 p1.esp@20 m1.esm@10 Morrowind.esm@50", kLoadOrder,
       "Morrowind.esm m1.esm m2.esm p1.esp p2.esp"},
      {"equal times by bytes, capitals first", "apple.esp@5 Banana.esp@5 Apple.esp@5", kLoadOrder,
       "Apple.esp Banana.esp apple.esp"},
      {"a name ending in M is a master", "plugin.esp@1 Upper.ESM@9", kLoadOrder,
       "Upper.ESM plugin.esp"},
      {"times beyond 32 bits", "late.esp@5000000000 early.esp@4999999999 old.esp@-60", kLoadOrder,
       "old.esp early.esp late.esp"},
      {"unknown modes sort in load order", "b.esp@1 Morrowind.esm@2", 7, "Morrowind.esm b.esp"},
      {"name ascending ignores case", "c.esp@1 B.esm@2 a.esp@3", kNameAscending,
       "a.esp B.esm c.esp"},
      {"time ascending ignores masters", "Morrowind.esm@30 x.esp@10 y.esm@20", kTimeAscending,
       "x.esp y.esm Morrowind.esm"},
      {"time descending", "Morrowind.esm@30 x.esp@10 y.esm@20", kTimeDescending,
       "Morrowind.esm y.esm x.esp"},
  };
  for (const auto& c : cases) EXPECT_EQ(Sorted(c.entries, c.mode), c.expected) << c.name;
}

TEST(LoadOrderTest, TwoSpellingsOfTheMainMasterStillSortConsistently) {
  // Possible where names are case-sensitive; the order must stay a valid one.
  std::string entries, expected;
  for (int i = 0; i < 40; ++i) {
    entries += FormatText(" %s@%d p.esp@%d", i % 2 ? "Morrowind.esm" : "morrowind.esm", i, i);
    expected += i ? " morrowind.esm" : "morrowind.esm";
  }
  EXPECT_EQ(LowerCaseAscii(Sorted(entries, kLoadOrder)).substr(0, expected.size()), expected);
}

}  // namespace
}  // namespace modrake
