#include "samplegame/sample_game.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <set>

#include "core/fatal_error.hpp"
#include "core/text.hpp"
#include "format/plugin_file.hpp"
#include "platform/file_io.hpp"
#include "samplegame/sample_masters.hpp"
#include "support/test_support.hpp"

namespace modrake {
namespace {

namespace fs = std::filesystem;
using samplegame::SampleGameOptions;
using samplegame::WriteSampleGame;

// Every record of a file, read as a stream the way the loaders read masters.
std::vector<std::unique_ptr<Record>> ReadAll(const fs::path& file) {
  PluginFile plugin(file.parent_path(), file.filename().string());
  plugin.ReadAllRecords();
  std::vector<std::unique_ptr<Record>> out;
  for (auto& r : plugin.records) out.push_back(std::move(r));
  return out;
}

// One sample game shared by the tests that only read it.
class SampleGameTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new test::TempDir();
    result_ = new samplegame::SampleGameResult(
        WriteSampleGame(dir_->path(), {3, samplegame::kDefaultScale}));
  }
  static void TearDownTestSuite() {
    delete result_;
    delete dir_;
  }
  static fs::path Data(const std::string& name) { return dir_->path() / "Data Files" / name; }

  static test::TempDir* dir_;
  static samplegame::SampleGameResult* result_;
};
test::TempDir* SampleGameTest::dir_ = nullptr;
samplegame::SampleGameResult* SampleGameTest::result_ = nullptr;

TEST_F(SampleGameTest, SameArgumentsGiveTheSameBytesAndTimes) {
  test::TempDir other;
  auto again = WriteSampleGame(other.path(), {3, samplegame::kDefaultScale});
  ASSERT_EQ(again.files.size(), result_->files.size());
  for (size_t i = 0; i < again.files.size(); ++i) {
    auto relative = fs::relative(result_->files[i], dir_->path());
    EXPECT_EQ(fs::relative(again.files[i], other.path()), relative);
    EXPECT_EQ(test::ReadFile(again.files[i]), test::ReadFile(result_->files[i])) << relative;
    EXPECT_EQ(QueryFileStatus(again.files[i])->modified,
              QueryFileStatus(result_->files[i])->modified)
        << relative;
  }
}

TEST_F(SampleGameTest, MastersHoldEveryRecordTypeOfTheGame) {
  std::set<std::string> seen;
  bool interior = false, exterior = false, moved = false, water = false, ambient = false;
  bool refs = false, journal = false, cellCondition = false, links = false, intCond = false,
       floatCond = false;
  for (const char* master : {"Morrowind.esm", "Tribunal.esm", "Bloodmoon.esm"}) {
    PluginFile file(Data(master).parent_path(), master);
    file.OpenFile();
    RecordHeader header;
    while (file.ReadObjectHeader(header)) {
      auto r = file.ReadRecord(header);
      ASSERT_TRUE(r);
      seen.insert(TagText(r->tag));
      if (r->tag == tags::CELL) {
        (r->FindSubrecord(tags::DATA)->UInt32At(0) & 1 ? interior : exterior) = true;
        moved |= r->FindSubrecord(tags::MVRF) != nullptr;
        water |= r->FindSubrecord(tags::WHGT) != nullptr;
        ambient |= r->FindSubrecord(tags::AMBI) != nullptr;
        refs |= r->FindSubrecord(tags::FRMR) != nullptr;
      } else if (r->tag == tags::DIAL) {
        journal |= r->FindSubrecord(tags::DATA)->ByteAt(0) == 4;
      } else if (r->tag == tags::INFO) {
        cellCondition |= r->FindSubrecord(tags::ANAM) != nullptr;
        links |= r->FindSubrecord(tags::PNAM)->size > 1 && r->FindSubrecord(tags::NNAM)->size > 1;
        intCond |= r->FindSubrecord(MakeTag("SCVR")) && r->FindSubrecord(tags::INTV);
        floatCond |= r->FindSubrecord(MakeTag("SCVR")) && r->FindSubrecord(tags::FLTV);
      }
    }
  }
  for (const char* tag :
       {"TES3", "GMST", "GLOB", "CLAS", "FACT", "RACE", "SOUN", "SKIL", "MGEF", "SCPT", "REGN",
        "BSGN", "LTEX", "STAT", "DOOR", "MISC", "WEAP", "CONT", "SPEL", "CREA", "BODY", "LIGH",
        "ENCH", "NPC_", "ARMO", "CLOT", "REPA", "ACTI", "APPA", "LOCK", "PROB", "INGR", "BOOK",
        "ALCH", "LEVI", "LEVC", "CELL", "LAND", "PGRD", "SNDG", "DIAL", "INFO", "SSCR"}) {
    EXPECT_TRUE(seen.count(tag)) << tag;
  }
  EXPECT_TRUE(interior && exterior && moved && water && ambient && refs);
  EXPECT_TRUE(journal && cellCondition && links && intCond && floatCond);
}

// Field sizes other readers of the format insist on.
TEST_F(SampleGameTest, FieldsHaveTheGameSizes) {
  struct Rule {
    const char* record;
    const char* field;
    std::set<uint32_t> sizes;
  };
  const std::vector<Rule> rules = {
      {"ARMO", "AODT", {24}},     {"WEAP", "WPDT", {32}},     {"CLOT", "CTDT", {12}},
      {"NPC_", "NPDT", {52, 12}}, {"CREA", "NPDT", {96}},     {"NPC_", "AIDT", {12}},
      {"CREA", "AIDT", {12}},     {"SPEL", "ENAM", {24}},     {"ALCH", "ENAM", {24}},
      {"ENCH", "ENAM", {24}},     {"CELL", "DATA", {12, 24}}, {"LAND", "VHGT", {4232}},
      {"LAND", "VNML", {12675}},  {"TES3", "HEDR", {300}},    {"SCPT", "SCHD", {52}},
      {"CLAS", "CLDT", {60}},     {"FACT", "FADT", {240}},    {"RACE", "RADT", {140}},
      {"MGEF", "MEDT", {36}},     {"SKIL", "SKDT", {24}},     {"CONT", "NPCO", {36}},
      {"INGR", "IRDT", {56}},     {"BOOK", "BKDT", {20}},     {"LIGH", "LHDT", {24}},
      {"REGN", "SNAM", {33}},     {"REGN", "WEAT", {8, 10}},  {"LEVI", "INTV", {2}},
      {"INFO", "DATA", {12}},     {"PGRD", "DATA", {12}},     {"CELL", "AMBI", {16}}};
  std::map<std::string, int> checked;
  for (const auto& file : result_->files) {
    if (file.extension() == ".ini") continue;
    for (const auto& r : ReadAll(file)) {
      for (const Rule& rule : rules) {
        if (r->tag != MakeTag(*reinterpret_cast<const char(*)[5]>(rule.record))) continue;
        for (const auto& s : r->subrecords) {
          if (TagText(s.tag) != rule.field) continue;
          EXPECT_TRUE(rule.sizes.count(s.size))
              << file.filename() << " " << rule.record << " " << r->GetDisplayId() << " "
              << rule.field << " " << s.size;
          ++checked[std::string(rule.record) + rule.field];
        }
      }
    }
  }
  for (const Rule& rule : rules)
    EXPECT_GT(checked[std::string(rule.record) + rule.field], 0) << rule.field;
}

TEST_F(SampleGameTest, EveryFileReadsWholeWithConsistentHeaders) {
  std::map<std::string, uint64_t> sizes;
  for (const auto& file : result_->files) sizes[file.filename().string()] = fs::file_size(file);
  for (const auto& file : result_->files) {
    if (file.extension() == ".ini") continue;
    auto records = ReadAll(file);
    ASSERT_FALSE(records.empty()) << file;
    Record& header = *records.front();
    EXPECT_EQ(header.tag, tags::TES3);
    Subrecord* hedr = header.FindSubrecord(tags::HEDR);
    ASSERT_TRUE(hedr);
    EXPECT_EQ(HeaderSubrecord(*hedr).RecordCount(), records.size() - 1) << file;
    for (const auto& r : records) {
      EXPECT_EQ(r->ParseErrorOffset(), Record::kParsedWhole) << file << " " << r->GetDisplayId();
      if (r->tag == tags::LEVI || r->tag == tags::LEVC) {
        // Readers trust INDX for the number of entries that follow.
        const Subrecord* count = r->FindSubrecord(tags::INDX);
        uint32_t entries = 0;
        for (const auto& s : r->subrecords)
          entries += s.tag == (r->tag == tags::LEVC ? tags::CNAM : tags::INAM);
        if (count) {
          EXPECT_EQ(count->UInt32At(0), entries) << file << " " << r->GetDisplayId();
        }
      }
    }
    // A master named in a header has the size the header says, when present.
    auto names = MasterNames(header);
    auto it = header.subrecords.begin();
    for (const auto& name : names) {
      while (it != header.subrecords.end() && it->tag != tags::MAST) ++it;
      ASSERT_NE(std::next(it), header.subrecords.end());
      uint32_t listed = std::next(it)->UInt32At(0);
      for (const auto& [file2, size] : sizes) {
        if (EqualsNoCase(file2, name)) {
          EXPECT_EQ(listed, size) << file << " names " << name;
        }
      }
      ++it;
    }
  }
}

// Masters with two objects of one id, reused reference numbers or broken
// response chains would make every test built on them misleading.
TEST_F(SampleGameTest, MastersHaveUniqueIdsReferencesAndLinkedResponses) {
  for (const char* master : {"Morrowind.esm", "Tribunal.esm", "Bloodmoon.esm"}) {
    std::set<std::string> ids;
    std::set<uint32_t> refNums;
    std::string topic, previous;
    bool ownChain = true;
    for (const auto& r : ReadAll(Data(master))) {
      if (r->tag == tags::TES3) continue;
      std::string key = TagText(r->tag) + ":" + r->GetDisplayId();
      if (r->tag == tags::INFO) key += ":" + topic;
      std::transform(key.begin(), key.end(), key.begin(), ::tolower);
      EXPECT_TRUE(ids.insert(key).second) << master << " repeats " << key;
      if (r->tag == tags::DIAL) {
        topic = r->GetDisplayId();
        previous.clear();
        ownChain = true;
      } else if (r->tag == tags::INFO) {
        std::string prev(r->FindSubrecord(tags::PNAM)->Text());
        // The expansions' chains may start from a Morrowind response.
        if (std::string(master) == "Morrowind.esm" || ownChain) {
          EXPECT_EQ(prev, previous) << master << " " << topic << " " << r->GetDisplayId();
        }
        ownChain = !prev.empty() || previous.empty();
        previous = r->GetDisplayId();
      } else if (r->tag == tags::CELL) {
        for (const auto& s : r->subrecords) {
          if (s.tag == tags::FRMR && (s.UInt32At(0) >> 24) == 0) {
            EXPECT_TRUE(refNums.insert(s.UInt32At(0)).second)
                << master << " reuses reference " << s.UInt32At(0);
          }
        }
      }
    }
  }
}

TEST_F(SampleGameTest, IniListsTheActiveFilesWithCrlf) {
  std::string ini = test::ReadFile(dir_->path() / "Morrowind.ini");
  for (size_t i = 0; i < ini.size(); ++i) {
    if (ini[i] == '\n') {
      ASSERT_TRUE(i > 0 && ini[i - 1] == '\r') << "bare line feed at " << i;
    }
  }
  struct Case {
    const char* line;
    bool listed;
  };
  for (const Case& c : std::vector<Case>{{"GameFile0=Morrowind.esm\r\n", true},
                                         {"=Tribunal.esm\r\n", true},
                                         {"=Bloodmoon.esm\r\n", true},
                                         {"=mixedcase_plugin.esp\r\n", true},
                                         {"=Active_Extra_Master.esm\r\n", true},
                                         {"=Needs_Inactive_Master.esp\r\n", true},
                                         {"=Needs_Missing_Master.esp\r\n", true},
                                         {"=Generated_Plugin_003.esp\r\n", true},
                                         {"=Inactive_Master.esm\r\n", false},
                                         {"=Inactive_Plugin.esp\r\n", false},
                                         {"=MixedCase_Plugin.ESP\r\n", false}}) {
    EXPECT_EQ(ini.find(c.line) != std::string::npos, c.listed) << c.line;
  }
  for (const char* section : {"[General]", "[Game Files]", "[Archives]", "; "}) {
    EXPECT_NE(ini.find(section), std::string::npos) << section;
  }
  EXPECT_TRUE(fs::exists(Data("Inactive_Master.esm")));
  EXPECT_FALSE(fs::exists(Data("Missing_Master.esm")));
  EXPECT_TRUE(fs::exists(Data("MixedCase_Plugin.ESP")));
}

TEST_F(SampleGameTest, FileTimesGiveTheDocumentedLoadOrder) {
  std::vector<std::string> order = {"Morrowind.esm", "Tribunal.esm", "Bloodmoon.esm",
                                    "Active_Extra_Master.esm", "Inactive_Master.esm"};
  for (const auto& p : samplegame::kScenarioPlugins) order.push_back(p.name);
  for (int i = 1; i <= 3; ++i) order.push_back("Generated_Plugin_00" + std::to_string(i) + ".esp");
  EXPECT_EQ(QueryFileStatus(Data("Morrowind.esm"))->modified, samplegame::kSampleEpoch);
  for (size_t i = 1; i < order.size(); ++i) {
    ASSERT_TRUE(fs::exists(Data(order[i]))) << order[i];
    EXPECT_LT(QueryFileStatus(Data(order[i - 1]))->modified,
              QueryFileStatus(Data(order[i]))->modified)
        << order[i - 1] << " before " << order[i];
  }
}

// The scenario plugins hold what their names promise.
TEST_F(SampleGameTest, ScenarioPluginsDifferFromTheMastersAsDocumented) {
  std::map<std::string, std::string> masterRecords;  // tag + id -> raw data
  for (const char* master : {"Morrowind.esm", "Tribunal.esm", "Bloodmoon.esm"}) {
    for (const auto& r : ReadAll(Data(master))) {
      std::string data(reinterpret_cast<const char*>(r->RawData()), r->dataSize);
      masterRecords[TagText(r->tag) + r->GetDisplayId() + master] = data;
    }
  }
  auto inMaster = [&](const Record& r, const char* master) {
    auto it = masterRecords.find(TagText(r.tag) + r.GetDisplayId() + master);
    return it == masterRecords.end() ? std::string("<missing>") : it->second;
  };
  auto data = [](const Record& r) {
    return std::string(reinterpret_cast<const char*>(r.RawData()), r.dataSize);
  };

  // Byte-identical copies of a version of each master.
  std::set<std::string> identicalTo;
  for (const auto& r : ReadAll(Data("Identical_To_Masters.esp"))) {
    for (const char* master : {"Morrowind.esm", "Tribunal.esm", "Bloodmoon.esm"}) {
      if (!r->IsDeleted() && data(*r) == inMaster(*r, master)) identicalTo.insert(master);
    }
  }
  EXPECT_EQ(identicalTo.size(), 3u);

  // Copies that differ only in bytes the cleaner normalises.
  int normalised = 0;
  for (const auto& r : ReadAll(Data("AI_Data_And_Spell_Padding.esp"))) {
    std::string mine = data(*r), theirs = inMaster(*r, "Morrowind.esm");
    ASSERT_NE(theirs, "<missing>") << r->GetDisplayId();
    EXPECT_NE(mine, theirs) << r->GetDisplayId();
    Subrecord* aidt = r->FindSubrecord(tags::AIDT);
    bool shorterSpell = false;
    for (const auto& s : r->subrecords) shorterSpell |= s.tag == tags::NPCS && s.size < 32;
    if (!shorterSpell && aidt) {
      // Equal once bytes 1 and 5 to 7 of AIDT are set aside.
      size_t at = static_cast<size_t>(aidt->data - r->RawData());
      for (size_t i : {1u, 5u, 6u, 7u}) mine[at + i] = theirs[at + i];
      EXPECT_EQ(mine, theirs) << r->GetDisplayId();
      ++normalised;
    }
  }
  EXPECT_EQ(normalised, 2);

  // Exterior cell (2,-3) is renamed twice; the INFO condition names the first name.
  auto first = ReadAll(Data("Cell_Rename_First.esp"));
  auto second = ReadAll(Data("Cell_Rename_Second.esp"));
  EXPECT_EQ(first[1]->GetDisplayId(), "  2  -3, Kummu Fields");
  EXPECT_EQ(second[1]->GetDisplayId(), "  2  -3, Kummu Shrine Fields");
  bool conditionFound = false;
  for (const auto& r : ReadAll(Data("Morrowind.esm"))) {
    if (r->tag == tags::INFO && r->GetDisplayId() == samplegame::info_ids::kLatestRumors[1]) {
      conditionFound = r->FindSubrecord(tags::ANAM)->Text() == "Fields of Kummu";
    }
  }
  EXPECT_TRUE(conditionFound);

  // The missing and the inactive master are named by their plugins.
  PluginFile missing(Data("").parent_path(), "Needs_Missing_Master.esp");
  EXPECT_EQ(MasterNames(*missing.FindHeaderRecord()).back(), "Missing_Master.esm");
  PluginFile inactive(Data("").parent_path(), "Needs_Inactive_Master.esp");
  EXPECT_EQ(MasterNames(*inactive.FindHeaderRecord()).back(), "Inactive_Master.esm");
}

TEST(SampleGameFolderTest, RefusesAGameItDidNotWrite) {
  struct Case {
    const char* existing;
    bool refused;
  };
  for (const Case& c : std::vector<Case>{{"Morrowind.ini", true},
                                         {"morrowind.ini", true},
                                         {"data files/", true},
                                         {"notes.txt", false},
                                         {"", false}}) {
    test::TempDir dir;
    std::string name = c.existing;
    if (!name.empty() && name.back() == '/') {
      fs::create_directories(dir / name);
    } else if (!name.empty()) {
      test::WriteFile(dir / name, "[Game Files]\r\nGameFile0=Morrowind.esm\r\n");
    }
    if (c.refused) {
      EXPECT_THROW(WriteSampleGame(dir.path(), {}), FatalException) << name;
      EXPECT_FALSE(fs::exists(dir / "Data Files" / "Morrowind.esm")) << name;
    } else {
      EXPECT_NO_THROW(WriteSampleGame(dir.path(), {})) << name;
    }
  }
}

TEST(SampleGameFolderTest, RewritingItsOwnFolderLeavesOnlyWhatItWrites) {
  test::TempDir dir;
  WriteSampleGame(dir.path(), {4, samplegame::kDefaultScale});
  ASSERT_TRUE(fs::exists(dir / "Data Files" / "Generated_Plugin_004.esp"));
  test::TempDir fresh;
  WriteSampleGame(fresh.path(), {1, samplegame::kDefaultScale});
  WriteSampleGame(dir.path(), {1, samplegame::kDefaultScale});
  EXPECT_FALSE(fs::exists(dir / "Data Files" / "Generated_Plugin_004.esp"));
  for (const auto& entry : fs::directory_iterator(fresh / "Data Files")) {
    auto twin = dir / "Data Files" / entry.path().filename();
    EXPECT_EQ(test::ReadFile(twin), test::ReadFile(entry.path())) << entry.path().filename();
  }
  EXPECT_EQ(test::ReadFile(dir / "Morrowind.ini"), test::ReadFile(fresh / "Morrowind.ini"));
}

// OpenMW's reader is our independent check that other tools accept the files.
TEST_F(SampleGameTest, EsmtoolDumpsEveryFile) {
  const char* esmtool = "/usr/games/esmtool";
  if (!fs::exists(esmtool)) GTEST_SKIP() << "esmtool is not installed";
  for (const auto& file : result_->files) {
    if (file.extension() == ".ini") continue;
    std::string command = std::string(esmtool) + " dump -C '" + file.string() + "' >/dev/null 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0) << file.filename();
  }
}

}  // namespace
}  // namespace modrake
