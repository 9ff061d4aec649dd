#include <gtest/gtest.h>

#include "format/plugin_file.hpp"
#include "platform/file_io.hpp"
#include "samplegame/sample_game.hpp"
#include "support/dialogs.hpp"
#include "support/test_game.hpp"
#include "support/test_support.hpp"

namespace modrake {
namespace {

namespace fs = std::filesystem;
using test::DescribeDialogs;
using test::Dial;
using test::Response;
using test::RunModrake;
using Lines = std::vector<std::string>;

// A game folder with the files given (name, records) in load order, all active.
class DialogsGame {
 public:
  explicit DialogsGame(const std::vector<std::pair<std::string, std::string>>& files) {
    fs::create_directory(data());
    std::string ini = "[General]\r\nkey=value\r\n\r\n[Game Files]\r\n";
    int64_t time = 1000;
    for (const auto& [name, records] : files) {
      test::WriteFile(data() / name, test::HeaderRecord() + records);
      SetFileTime(data() / name, time += 1000);
      ini += "GameFile" + std::to_string(sources.size()) + "=" + name + "\r\n";
      sources.push_back(data() / name);
    }
    test::WriteFile(this->ini(), ini);
  }

  fs::path data() const { return dir / "Data Files"; }
  fs::path ini() const { return dir / "Morrowind.ini"; }
  fs::path merged() const { return data() / "Merged_Dialogs.esp"; }

  test::CommandResult Run(std::vector<std::string> args) {
    args.insert(args.begin(), {"--game", dir.path().string(), "--home", home.path().string()});
    return RunModrake(args);
  }

  test::TempDir dir;
  test::TempDir home;
  std::vector<fs::path> sources;
};

const std::vector<std::pair<std::string, std::string>> kTwoPlugins = {
    {"Morrowind.esm",
     Dial("t") + Response("m1", "", "m2", "one") + Response("m2", "m1", "", "two")},
    {"a.esp", Dial("t") + Response("a1", "m1", "m2", "from a")},
    {"b.esp", Dial("t") + Response("b1", "m1", "m2", "from b")}};

// What the screen shows from the first file read on.
std::string FromScanning(const std::string& out) {
  size_t at = out.find("Scanning ");
  return at == std::string::npos ? out : out.substr(at);
}

TEST(MergeDialogsCliTest, AsksFirstAndBuildsOnlyOnYes) {
  DialogsGame game(kTwoPlugins);
  for (auto args : {Lines{"--no", "merge-dialogs"}, Lines{"merge-dialogs"}}) {
    auto declined = game.Run(args);
    // Without --no nor a terminal to ask on, nothing is done either, and it says so.
    EXPECT_EQ(declined.exitCode, args[0] == "--no" ? 0 : 2) << declined.err;
    EXPECT_EQ(declined.out, "");
    EXPECT_FALSE(fs::exists(game.merged()));
  }

  auto result = game.Run({"--yes", "merge-dialogs"});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(FromScanning(result.out),
            "Scanning Morrowind.esm\nScanning a.esp\nScanning b.esp\n\n"
            "Analyzing 4 dialog entries...\n"
            "Merged and relinked 1 dialog(s) out of 1\n"
            "Merged_Dialogs.esp has been created\n\n"
            "Check \"" +
                (game.home / "modrake.log").string() + "\" for details\n");
  EXPECT_EQ(DescribeDialogs(game.merged()),
            (Lines{"DIAL t", "INFO b1 m1>a1 'from b' 0", "INFO a1 b1>m2 'from a' 0"}));
  PluginFile merged(game.data(), "Merged_Dialogs.esp");
  EXPECT_EQ(merged.FindHeaderRecord()->FindSubrecord(tags::HEDR)->size, 300u);
  EXPECT_EQ(HeaderSubrecord(*merged.FindHeaderRecord()->FindSubrecord(tags::HEDR)).Description(),
            "Merged TES dialogs");
  EXPECT_EQ(MasterNames(*merged.FindHeaderRecord()), Lines{"Morrowind.esm"});
  EXPECT_EQ(test::LinkProblems(game.merged(), game.sources), Lines{});
  EXPECT_TRUE(test::EsmtoolReads(game.merged()));
}

TEST(MergeDialogsCliTest, ASecondRunGivesTheSameFileAndLeavesTheIni) {
  DialogsGame game(kTwoPlugins);
  auto first = game.Run({"merge-dialogs", "--activate"});
  ASSERT_EQ(first.exitCode, 0) << first.err;
  EXPECT_NE(first.out.find("\nMerged_Dialogs.esp has been activated in the morrowind.ini\n"),
            std::string::npos)
      << first.out;
  std::string ini = test::ReadFile(game.ini());
  EXPECT_NE(ini.find("GameFile3=Merged_Dialogs.esp\r\n"), std::string::npos) << ini;
  EXPECT_NE(ini.find("[General]\r\nkey=value\r\n"), std::string::npos) << ini;
  std::string plugin = test::ReadFile(game.merged());
  SetFileTime(game.ini(), 5000);

  // Now Merged_Dialogs.esp is active and loads last; it is not read.
  auto second = game.Run({"merge-dialogs", "--activate"});
  ASSERT_EQ(second.exitCode, 0) << second.err;
  EXPECT_EQ(FromScanning(second.out), FromScanning(first.out));
  EXPECT_EQ(test::ReadFile(game.merged()), plugin);
  EXPECT_EQ(test::ReadFile(game.ini()), ini);
  EXPECT_EQ(QueryFileStatus(game.ini())->modified, 5000);
}

TEST(MergeDialogsCliTest, OnlyTheGameMastersGiveAPluginWithoutTopics) {
  DialogsGame game({kTwoPlugins[0], {"Tribunal.esm", Dial("u") + Response("u1", "", "", "u")}});
  auto result = game.Run({"--yes", "merge-dialogs"});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  EXPECT_NE(result.out.find("\nMerged and relinked 0 dialog(s) out of 2\n"), std::string::npos)
      << result.out;
  PluginFile merged(game.data(), "Merged_Dialogs.esp");
  merged.ReadAllRecords();
  EXPECT_EQ(merged.records.size(), 1u);
  EXPECT_EQ(MasterNames(*merged.FindHeaderRecord()), (Lines{"Morrowind.esm", "Tribunal.esm"}));
  EXPECT_TRUE(test::EsmtoolReads(game.merged()));
}

// Every active file of a game folder, as the sources of its merged plugin.
std::vector<fs::path> ActiveFiles(const fs::path& game) {
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(game / "Data Files")) {
    std::string name = entry.path().filename().string();
    if (name != "Merged_Dialogs.esp" && name != "Inactive_Plugin.esp")
      files.push_back(entry.path());
  }
  return files;
}

TEST(MergeDialogsCliTest, SampleGameDialoguesMergeAsDocumented) {
  test::TempDir dir;
  fs::path game = dir / "game";
  ASSERT_EQ(RunModrake({"--home", dir.path(), "sample-game", game.string()}).exitCode, 0);
  auto result =
      RunModrake({"--home", dir.path(), "--game", game.string(), "--yes", "merge-dialogs"});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  EXPECT_NE(result.out.find("\nMerged and relinked 2 dialog(s) out of "), std::string::npos)
      << result.out;

  fs::path merged = game / "Data Files" / "Merged_Dialogs.esp";
  // Both plugins' new responses follow master response 2 of "little advice", the
  // later one first; response 4 has the text of one and the disposition of the
  // other; the renamed cell's condition names its latest name.
  EXPECT_EQ(DescribeDialogs(merged),
            (Lines{"CELL 2,-3 Kummu Shrine Fields", "CELL 0,-7 Pelagiad", "DIAL little advice",
                   "INFO 7002000000000000201 1618927451138214812>7001000000000000101 'The silt "
                   "strider in Seyda Neen leaves at dawn.' 0",
                   "INFO 7001000000000000101 7002000000000000201>1618927451138214813 'Keep your "
                   "coin purse close in the Foreign Quarter.' 0",
                   "INFO 1618927451138214814 1618927451138214813>1618927451138214815 'Never trust "
                   "a smiling Hlaalu trader.' 55",
                   "DIAL latest rumors",
                   "INFO 2390813313121127302 2390813313121127301>5261921632271218871 'Strange "
                   "lights were seen over the Fields of Kummu.' 0 @Kummu Shrine Fields"}));
  std::string log = test::ReadFile(dir / "modrake.log");
  for (const char* line :
       {"         INFO 1618927451138214814              ; merged with Dialog_Merge_A.esp\n"
        "              updated  DATA\n",
        "         INFO 2390813313121127302              ; merged with Dialog_Merge_A.esp\n"
        "              added   SCVR 0\n",
        "\nFollowing cell references will be renamed in dialog entries:\n"
        "  Fields of Kummu                  -> Kummu Shrine Fields"
        "  Kummu Fields                     -> Kummu Shrine Fields\n"}) {
    EXPECT_NE(log.find(line), std::string::npos) << line << "\n" << log;
  }
  EXPECT_EQ(test::LinkProblems(merged, ActiveFiles(game)), Lines{});
  EXPECT_TRUE(test::EsmtoolReads(merged));
}

TEST(MergeDialogsCliTest, RealPluginsMergeWithoutError) {
  fs::path real = test::RealTestData();
  if (real.empty()) GTEST_SKIP() << "no real plugins beside the checkout";
  test::TempDir dir;
  fs::path game = dir / "game";
  ASSERT_EQ(RunModrake({"--home", dir.path(), "sample-game", game.string()}).exitCode, 0);
  Lines activate = {"--home", dir.path(), "--game", game.string(), "plugins", "activate"};
  for (const auto& entry : fs::directory_iterator(real)) {
    std::string name = entry.path().filename().string();
    if (entry.path().extension() == ".md") continue;
    fs::copy_file(entry.path(), game / "Data Files" / name);
    fs::permissions(game / "Data Files" / name, fs::perms::owner_write, fs::perm_options::add);
    activate.push_back(name);
  }
  auto activated = RunModrake(activate);
  ASSERT_EQ(activated.exitCode, 0) << activated.err;
  auto result =
      RunModrake({"--home", dir.path(), "--game", game.string(), "--yes", "merge-dialogs"});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  EXPECT_NE(result.out.find("Scanning all_types.esp\n"), std::string::npos) << result.out;
  fs::path merged = game / "Data Files" / "Merged_Dialogs.esp";
  EXPECT_EQ(test::LinkProblems(merged, ActiveFiles(game)), Lines{});
  EXPECT_TRUE(test::EsmtoolReads(merged));
}

}  // namespace
}  // namespace modrake
