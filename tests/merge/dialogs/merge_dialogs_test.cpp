#include "merge/dialogs/merge_dialogs.hpp"

#include <gtest/gtest.h>

#include <algorithm>

#include "core/text.hpp"
#include "merge/dialogs/cell_rename_table.hpp"
#include "support/test_game.hpp"

namespace modrake {
namespace {

using namespace test;
using Files = std::vector<std::pair<std::string, std::vector<std::string>>>;
using Lines = std::vector<std::string>;

// The master's topic "t": m1, m2, m3 in a chain.
const std::vector<std::string> kMasterTopic = {Dial("t"), Response("m1", "", "m2", "one", 10),
                                               Response("m2", "m1", "m3", "two", 20),
                                               Response("m3", "m2", "", "three", 30)};

// Each text must occur in the log, in this order.
void ExpectInOrder(const std::string& log, const Lines& texts, const char* what) {
  size_t at = 0;
  for (const auto& text : texts) {
    size_t found = log.find(text, at);
    EXPECT_NE(found, std::string::npos) << what << ": missing or out of order: " << text << "\n"
                                        << log;
    if (found != std::string::npos) at = found + text.size();
  }
}

// The log lines of a topic and of a response.
std::string DialLine(const char* topic, const char* what) {
  return FormatText("    DIAL %-32s ; %s\n", topic, what);
}
std::string InfoLine(const char* id, const char* what) {
  return FormatText("         INFO %-32s ; %s\n", id, what);
}
std::string RelinkLine(const char* id, const char* what) {
  return FormatText("    INFO %-32s ; %s\n", id, what);
}

std::string DeletedTopic(const char* topic, bool byField) {
  std::string fields = ZField("NAME", topic) + Field("DATA", std::string(1, '\0'));
  return byField ? RecordBytes("DIAL", fields + U32Field("DELE", 0))
                 : RecordBytes("DIAL", fields, kDeletedFlag);
}

struct MergeCase {
  const char* what;
  Files files;
  Lines merged;  // DescribeDialogs of the merged plugin
  Lines log;     // texts the log holds, in order
  Lines screen = {};
  Lines notInLog = {};
};

TEST(MergeDialogsTest, MergesTopicsAsDocumented) {
  const std::string added = "         ---- 1 new record(s) added\n";
  const std::string replaced = "         ---- 1 standard record(s) replaced\n";
  const MergeCase cases[] = {
      {"two plugins insert after the same master response: the later one first",
       {{"a.esp", {Dial("t"), Response("a1", "m2", "m3", "from a")}},
        {"b.esp", {Dial("t"), Response("b1", "m2", "m3", "from b")}}},
       {"DIAL t", "INFO b1 m2>a1 'from b' 0", "INFO a1 b1>m3 'from a' 0"},
       {"\nScanning a.esp\n" + DialLine("t", "merge 1 record(s)") + added,
        "\nScanning b.esp\n" + DialLine("t", "merge 1 record(s)") + added,
        "\nMerged and relinked 1 dialog(s) out of 1\n"}},
      {"one plugin changes the text, a later one the disposition: both changes are kept",
       {{"a.esp", {Dial("t"), Response("m2", "m1", "m3", "two, better", 20)}},
        {"b.esp", {Dial("t"), Response("m2", "m1", "m3", "two", 55)}}},
       {"DIAL t", "INFO m2 m1>m3 'two, better' 55"},
       {"Scanning a.esp\n" + DialLine("t", "merge 1 record(s)") + replaced,
        "Scanning b.esp\n" + DialLine("t", "merge 1 record(s)") +
            InfoLine("m2", "merged with a.esp") + "              updated  DATA\n\n"}},
      {"conditions are updated and added against the master's",
       {{"a.esp",
         {Dial("t"), Response("m2", "m1", "m3", "two", 20, "", Condition("01sX0Gold", 5))}},
        {"b.esp",
         {Dial("t"), Response("m2", "m1", "m3", "two", 20, "",
                              Condition("01sX0Gold", 7) + Condition("12fX2Hour", 6))}}},
       {"DIAL t", "INFO m2 m1>m3 'two' 20"},
       {InfoLine("m2", "merged with a.esp") +
        "              updated SCVR 0\n              added   SCVR 1\n"}},
      {"a condition merges against the master's value, not only its test",
       {{"Tribunal.esm",
         {Dial("t"), Response("m2", "m1", "m3", "two", 20, "", Condition("01sX0Gold", 5))}},
        {"a.esp",
         {Dial("t"), Response("m2", "m1", "m3", "two, a", 20, "", Condition("01sX0Gold", 5))}},
        {"b.esp",
         {Dial("t"), Response("m2", "m1", "m3", "two", 20, "", Condition("01sX0Gold", 9))}}},
       {"DIAL t", "INFO m2 m1>m3 'two, a' 20"},
       {InfoLine("m2", "merged with a.esp") + "              updated SCVR 0\n"}},
      {"the first response of a merged chain names none before it",
       {{"a.esp", {Dial("n"), Response("a1", "gone", "", "from a")}},
        {"b.esp", {Dial("n"), Response("b1", "a1", "", "from b")}}},
       {"DIAL n", "INFO a1 >b1 'from a' 0"},
       {}},
      {"a topic that only one plugin changes is not saved",
       {{"a.esp",
         {Dial("t"), Response("a1", "m1", "m2", "new"), Response("m2", "a1", "m3", "changed")}}},
       {},
       {DialLine("t", "merge 2 record(s)"), "\nMerged and relinked 0 dialog(s) out of 1\n"}},
      {"a deleted topic is dropped",
       {{"a.esp", {Dial("t"), Response("a1", "m2", "m3", "from a")}},
        {"b.esp", {Dial("t"), Response("b1", "m2", "m3", "from b")}},
        {"c.esp", {DeletedTopic("t", true)}}},
       {},
       {"\nMerged and relinked 0 dialog(s) out of 1\n"}},
      {"a deleted topic that a later file has again stays",
       {{"a.esp", {Dial("t"), Response("a1", "m2", "m3", "from a")}},
        {"c.esp", {DeletedTopic("T", false)}},
        {"d.esp", {Dial("t"), Response("d1", "m2", "a1", "from d")}}},
       {"DIAL t", "INFO a1 d1>m3 'from a' 0"},
       {}},
      {"a topic new to the masters that two plugins add",
       {{"a.esp", {Dial("n"), Response("a1", "", "", "from a")}},
        {"b.esp", {Dial("N"), Response("b1", "", "", "from b")}}},
       {"DIAL N", "INFO b1 >a1 'from b' 0", "INFO a1 b1> 'from a' 0"},
       {DialLine("n", "new, 1 record(s)"), DialLine("N", "merge 1 record(s)") + added}},
      {"responses before the first topic of a file belong to none",
       {{"a.esp", {Response("x1", "", "", "stray"), Dial("t"), Response("a1", "m3", "", "a")}},
        {"b.esp", {Dial("t"), Response("b1", "m3", "", "b")}}},
       {"DIAL t", "INFO b1 m3>a1 'b' 0", "INFO a1 b1> 'a' 0"},
       {},
       {"Analyzing 5 dialog entries..."}},
      {"the expansions replace the master's responses without a line",
       {{"Tribunal.esm", {Dial("t"), Response("m2", "m1", "m3", "two, tribunal", 20)}},
        {"a.esp", {Dial("t"), Response("m2", "m1", "m3", "two, tribunal", 40)}},
        {"b.esp", {Dial("t"), Response("b1", "m2", "m3", "b")}}},
       {"DIAL t", "INFO m2 m1>b1 'two, tribunal' 40"},
       {"Merging TES objects for all active plugins\n\n\nScanning a.esp\n" +
        DialLine("t", "merge 1 record(s)") + replaced},
       {},
       {"Scanning Tribunal.esm"}},
      {"a response without INAM is left out",
       {{"a.esp",
         {Dial("t"), RecordBytes("INFO", ZField("PNAM", "m1") + ZField("NNAM", "m2")),
          Response("a1", "m2", "m3", "a")}},
        {"b.esp", {Dial("t"), Response("b1", "m2", "m3", "b")}}},
       {"DIAL t", "INFO b1 m2>a1 'b' 0", "INFO a1 b1>m3 'a' 0"},
       {InfoLine("<<UNKNOWN>>", "left out: the response has no id (INAM)")}},
      {"a response without PNAM follows the one read before it",
       {{"a.esp",
         {Dial("t"), Response("a1", "m1", "a2", "a1"),
          RecordBytes("INFO", ZField("INAM", "a2") + ZField("NNAM", "m2") + Field("NAME", "a2"))}},
        {"b.esp", {Dial("t"), Response("b1", "m3", "", "b")}}},
       {"DIAL t", "INFO a2 a1>m2 'a2' -1"},
       {InfoLine("a2", "no PNAM: placed after the response before it"),
        RelinkLine("a2", "in t: added the missing PNAM")}},
      {"a response whose PNAM names itself goes after the insertion point or last",
       {{"a.esp", {Dial("t"), Response("a1", "a1", "", "a")}},
        {"b.esp", {Dial("t"), Response("b1", "m1", "m2", "b")}}},
       {"DIAL t", "INFO a1 m3> 'a' 0"},
       {InfoLine("a1", "its PNAM names itself: placed after the response before it")}},
      {"the same id twice in one topic of a file: the later copy counts",
       {{"a.esp",
         {Dial("t"), Response("a1", "m1", "m2", "first"), Response("a1", "m3", "", "second")}},
        {"b.esp", {Dial("t"), Response("b1", "a1", "", "b")}}},
       {"DIAL t", "INFO a1 m3>b1 'second' 0"},
       {InfoLine("a1", "twice in a.esp: the later copy counts") +
        InfoLine("a1", "replaced a.esp")}},
      {"the same id twice in a topic new to the masters",
       {{"a.esp", {Dial("n"), Response("a1", "", "", "first"), Response("a1", "", "", "second")}},
        {"b.esp", {Dial("n"), Response("b1", "a1", "", "b")}}},
       {"DIAL n", "INFO a1 >b1 'second' 0"},
       {InfoLine("a1", "twice in a.esp: the later copy counts")}},
      {"a kept response without NNAM gets an empty one at the end of the chain",
       {{"a.esp",
         {Dial("t"),
          RecordBytes("INFO", ZField("INAM", "a1") + ZField("PNAM", "m3") + Field("NAME", "a"))}},
        {"b.esp", {Dial("t"), Response("b1", "m3", "", "b")}}},
       {"DIAL t", "INFO b1 m3>a1 'b' 0", "INFO a1 b1> 'a' -1"},
       {RelinkLine("a1", "in t: added the missing NNAM")}},
  };
  for (const auto& c : cases) {
    // Morrowind.esm with the topic "t", then the files, in load order.
    TestGame g;
    CellRenameTable renames;
    g.Write("Morrowind.esm", kMasterTopic);
    std::vector<std::string> names = {"Morrowind.esm"};
    for (const auto& [name, records] : c.files) {
      g.Write(name, records);
      names.push_back(name);
    }
    g.Activate(names);
    g.session().cellRenames = &renames;
    MergeDialogs(g.session(), false);
    const std::filesystem::path merged = g.dataFolder() / "Merged_Dialogs.esp";
    EXPECT_EQ(DescribeDialogs(merged), c.merged) << c.what;
    std::string log = ReadLog(g.home / "modrake.log");
    ExpectInOrder(log, c.log, c.what);
    for (const auto& absent : c.notInLog) {
      EXPECT_EQ(log.find(absent), std::string::npos) << c.what << ": " << absent;
    }
    for (const auto& line : c.screen) {
      EXPECT_NE(std::find(g.ui.lines.begin(), g.ui.lines.end(), line), g.ui.lines.end())
          << c.what << ": " << line;
    }
    // Every merged plugin must link its responses soundly and be readable by others.
    std::vector<std::filesystem::path> sources;
    for (const auto& name : names) sources.push_back(g.dataFolder() / name);
    EXPECT_EQ(LinkProblems(merged, sources), Lines{}) << c.what;
    EXPECT_TRUE(EsmtoolReads(merged)) << c.what;
  }
}

TEST(CellRenameTableTest, EveryNameACellHadLeadsToItsLatestName) {
  struct Case {
    const char* what;
    std::vector<std::pair<std::string, std::string>> renames;
    Lines entries;  // "old>new"
    std::string asked;
    std::string answer;  // "" for none
  };
  const Case cases[] = {
      {"renamed back", {{"A", "B"}, {"B", "A"}}, {"A>A", "B>A"}, "B", "A"},
      {"two cells of one name renamed apart", {{"A", "B"}, {"A", "C"}}, {"A>C"}, "A", "C"},
      {"a name left behind keeps its new name when it is renamed",
       {{"A", "B"}, {"A", "C"}, {"B", "D"}},
       {"A>C", "B>D"},
       "A",
       "C"},
      {"a name that only changes case is no rename", {{"A", "a"}}, {}, "A", ""},
      {"long names are kept whole",
       {{std::string(300, 'x'), std::string(200, 'y')}},
       {std::string(300, 'x') + ">" + std::string(200, 'y')},
       std::string(300, 'X'),
       std::string(200, 'y')},
  };
  for (const auto& c : cases) {
    CellRenameTable table;
    for (const auto& [from, to] : c.renames) table.Rename(from, to);
    Lines entries;
    for (const auto& e : table.Entries()) entries.push_back(e.oldName + ">" + e.newName);
    EXPECT_EQ(entries, c.entries) << c.what;
    const std::string* answer = table.NewNameFor(c.asked);
    EXPECT_EQ(answer ? *answer : "", c.answer) << c.what;
  }
}

}  // namespace
}  // namespace modrake
