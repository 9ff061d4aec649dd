#include "objectdb/conflict_group.hpp"

#include <gtest/gtest.h>

#include "objectdb/master_loader.hpp"
#include "support/test_game.hpp"

namespace modrake {
namespace {

using namespace test;

std::string LevItem(const std::string& id) {
  return RecordBytes("LEVI", ZField("NAME", id) + U32Field("DATA", 1) +
                                 Field("NNAM", std::string(1, '\0')) + U32Field("INDX", 0));
}

// Builds the groups as the report and the object merge do: scan, keep the
// keys met in more than one plugin, number them, fill, load master versions.
std::vector<ConflictGroup> MakeGroups(TestGame& g, const std::vector<std::string>& plugins) {
  g.index.Clear();
  std::vector<PluginFile*> files;
  for (auto& p : g.game.activePlugins()) {
    for (const auto& name : plugins) {
      if (p->name == name) files.push_back(p.get());
    }
  }
  for (PluginFile* f : files) LoadRecords(g.session(), 'X', f);
  std::vector<ConflictGroup> groups(NumberConflictGroups(g.index, nullptr));
  for (PluginFile* f : files) FillGroupsFromPlugin(g.session(), *f, groups);
  LoadMasters(g.session());
  for (PluginFile* m : {g.game.morrowind(), g.game.tribunal(), g.game.bloodmoon()}) {
    if (m) m->OpenFile();
  }
  for (auto& group : groups) LoadMasterVersion(g.session(), group);
  return groups;
}

ConflictGroup* GroupOf(std::vector<ConflictGroup>& groups, const std::string& id) {
  for (auto& group : groups) {
    if (group.Count() && group.versions[0]->GetDisplayId() == id) return &group;
  }
  return nullptr;
}

TEST(ConflictGroupTest, GroupsHoldEveryVersionAndTheNewestMasterVersion) {
  TestGame g;
  g.Write("Morrowind.esm", {Misc("by_tribunal", 1), Misc("untouched", 1), LevItem("list")});
  g.Write("Tribunal.esm", {Misc("by_tribunal", 2)});
  g.Write("a.esp", {Misc("by_tribunal", 3), Misc("untouched", 4), Misc("new_both", 1),
                    LevItem("list"), Misc("only_a", 1)});
  g.Write("b.esp",
          {Misc("by_tribunal", 5), Misc("untouched", 6), Misc("new_both", 2), LevItem("list")});
  g.Activate({"Morrowind.esm", "Tribunal.esm", "a.esp", "b.esp"});
  auto groups = MakeGroups(g, {"a.esp", "b.esp"});

  ConflictGroup* byTribunal = GroupOf(groups, "by_tribunal");
  ASSERT_NE(byTribunal, nullptr);
  EXPECT_EQ(byTribunal->Count(), 2u);
  EXPECT_EQ(byTribunal->allIdentical, 0u);
  ASSERT_NE(byTribunal->masterVersion, nullptr);
  EXPECT_EQ(byTribunal->masterVersion->file, g.game.tribunal()) << "the newest master version";
  EXPECT_EQ(GroupOf(groups, "untouched")->masterVersion->file, g.game.morrowind());
  EXPECT_EQ(GroupOf(groups, "new_both")->masterVersion, nullptr) << "no master holds it";
  EXPECT_EQ(GroupOf(groups, "only_a"), nullptr);
  EXPECT_EQ(GroupOf(groups, "list"), nullptr) << "leveled lists stay out unless reported";

  g.options.boxes.fullConflictReport = true;
  auto withLists = MakeGroups(g, {"a.esp", "b.esp"});
  ASSERT_NE(GroupOf(withLists, "list"), nullptr);
  EXPECT_EQ(GroupOf(withLists, "list")->Count(), 2u);
}

TEST(ConflictGroupTest, ThreeHundredVersionsAtMost) {
  ConflictGroup group;
  for (int i = 0; i < 301; ++i) {
    AddVersion(group, CreateRecord({tags::NPC_, 0, 0, 0}), i == 5 ? "Topic" : "");
  }
  EXPECT_EQ(group.Count(), 300u);
  EXPECT_EQ(group.context, "Topic");
}

TEST(ConflictGroupTest, ActorsAreNormalisedBeforeTheyAreGrouped) {
  TestGame g;
  auto npc = [](uint8_t b1, const std::string& spell) {
    return RecordBytes("NPC_", ZField("NAME", "guard") + Field("NPCS", spell) +
                                   Field("AIDT", Bytes().U8(30).U8(b1).Zeros(10).str()));
  };
  g.Write("Morrowind.esm", {npc(4, "x")});
  g.Write("a.esp", {npc(1, "shield")});
  g.Write("b.esp", {npc(2, "shield")});
  g.Activate({"Morrowind.esm", "a.esp", "b.esp"});
  auto groups = MakeGroups(g, {"a.esp", "b.esp"});
  ConflictGroup* guard = GroupOf(groups, "guard");
  ASSERT_NE(guard, nullptr);
  for (auto& v : guard->versions) {
    EXPECT_EQ(v->FindSubrecord(tags::AIDT)->ByteAt(1), 0);
    EXPECT_EQ(v->FindSubrecord(tags::NPCS)->size, 32u);
  }
  EXPECT_EQ(guard->masterVersion->FindSubrecord(tags::AIDT)->ByteAt(5), 0xFF);
}

}  // namespace
}  // namespace modrake
