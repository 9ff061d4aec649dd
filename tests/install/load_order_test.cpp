#include "install/load_order.hpp"

#include <gtest/gtest.h>

#include "core/text.hpp"

namespace modrake {
namespace {

struct Entry {
  const char* name;
  int64_t time;
};

// Sorts plugins built in memory and returns their names in the new order.
std::vector<std::string> Sorted(const std::vector<Entry>& entries, int mode) {
  PluginList list;
  for (const auto& e : entries) {
    list.push_back(std::make_unique<PluginFile>("/nowhere", e.name, "", ""));
    list.back()->status.modified = e.time;
  }
  SortPlugins(list, mode);
  std::vector<std::string> names;
  for (const auto& file : list) names.push_back(file->name);
  return names;
}

using Names = std::vector<std::string>;

TEST(LoadOrderTest, SortsAsTheGameLoads) {
  struct Case {
    const char* name;
    std::vector<Entry> entries;
    int mode;
    Names expected;
  } cases[] = {
      {"morrowind.esm first even when newest",
       {{"A.esp", 10}, {"Tribunal.esm", 20}, {"Morrowind.esm", 99}},
       kLoadOrder,
       {"Morrowind.esm", "Tribunal.esm", "A.esp"}},
      {"morrowind.esm in capitals",
       {{"Bloodmoon.esm", 1}, {"MORROWIND.ESM", 50}},
       kLoadOrder,
       {"MORROWIND.ESM", "Bloodmoon.esm"}},
      {"masters then plugins, each by time",
       {{"p2.esp", 40}, {"m2.esm", 30}, {"p1.esp", 20}, {"m1.esm", 10}, {"Morrowind.esm", 50}},
       kLoadOrder,
       {"Morrowind.esm", "m1.esm", "m2.esm", "p1.esp", "p2.esp"}},
      {"equal times by bytes, capitals first",
       {{"apple.esp", 5}, {"Banana.esp", 5}, {"Apple.esp", 5}},
       kLoadOrder,
       {"Apple.esp", "Banana.esp", "apple.esp"}},
      {"a name ending in M is a master",
       {{"plugin.esp", 1}, {"Upper.ESM", 9}},
       kLoadOrder,
       {"Upper.ESM", "plugin.esp"}},
      {"times beyond 32 bits",
       {{"late.esp", 5000000000LL}, {"early.esp", 4999999999LL}, {"old.esp", -60}},
       kLoadOrder,
       {"old.esp", "early.esp", "late.esp"}},
      {"unknown modes sort in load order",
       {{"b.esp", 1}, {"Morrowind.esm", 2}},
       7,
       {"Morrowind.esm", "b.esp"}},
      {"name ascending ignores case",
       {{"c.esp", 1}, {"B.esm", 2}, {"a.esp", 3}},
       kNameAscending,
       {"a.esp", "B.esm", "c.esp"}},
      {"name descending",
       {{"a.esp", 1}, {"C.esp", 2}, {"b.esm", 3}},
       kNameDescending,
       {"C.esp", "b.esm", "a.esp"}},
      {"time ascending ignores masters",
       {{"Morrowind.esm", 30}, {"x.esp", 10}, {"y.esm", 20}},
       kTimeAscending,
       {"x.esp", "y.esm", "Morrowind.esm"}},
      {"time descending",
       {{"Morrowind.esm", 30}, {"x.esp", 10}, {"y.esm", 20}},
       kTimeDescending,
       {"Morrowind.esm", "y.esm", "x.esp"}},
  };
  for (const auto& c : cases) EXPECT_EQ(Sorted(c.entries, c.mode), c.expected) << c.name;
}

TEST(LoadOrderTest, TwoSpellingsOfTheMainMasterStillSortConsistently) {
  // Possible where names are case-sensitive; the order must stay a valid one.
  std::vector<Entry> entries;
  for (int i = 0; i < 40; ++i) {
    entries.push_back({i % 2 ? "Morrowind.esm" : "morrowind.esm", i});
    entries.push_back({"p.esp", i});
  }
  Names names = Sorted(entries, kLoadOrder);
  ASSERT_EQ(names.size(), 80u);
  for (size_t i = 0; i < 40; ++i) EXPECT_TRUE(EqualsNoCase(names[i], "morrowind.esm")) << i;
}

}  // namespace
}  // namespace modrake
