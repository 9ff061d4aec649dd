#include <gtest/gtest.h>

#include <cstdlib>

#include "format/plugin_file.hpp"
#include "platform/file_io.hpp"
#include "support/leveled_lists.hpp"
#include "support/test_support.hpp"

namespace modrake {
namespace {

using test::ListBytes;
using test::RunModrake;

// A game folder with Morrowind.esm and two plugins that change one list.
class ListsGame {
 public:
  ListsGame() {
    std::filesystem::create_directory(data());
    Write("Morrowind.esm", ListBytes({"LEVI", "l", 0, 0, {{"master_item", 1}}}), 1000);
    Write("a.esp", ListBytes({"LEVI", "l", 1, 0, {{"a", 1}, {"b", 2}}}), 2000);
    Write("b.esp", ListBytes({"LEVI", "L", 0, 30, {{"b", 2}, {"c", 3}}}), 3000);
    test::WriteFile(ini(),
                    "[General]\r\nkey=value\r\n\r\n[Game Files]\r\nGameFile0=Morrowind.esm\r\n"
                    "GameFile1=b.esp\r\nGameFile2=a.esp\r\n");
  }

  std::filesystem::path data() const { return dir / "Data Files"; }
  std::filesystem::path ini() const { return dir / "Morrowind.ini"; }
  std::filesystem::path merged() const { return data() / "Merged_Leveled_Lists.esp"; }

  test::CommandResult Run(std::vector<std::string> args) {
    args.insert(args.begin(), {"--game", dir.path().string(), "--home", home.path().string()});
    return RunModrake(args);
  }

  test::TempDir dir;
  test::TempDir home;

 private:
  void Write(const std::string& name, const std::string& records, int64_t time) {
    test::WriteFile(data() / name, test::HeaderRecord() + records);
    SetFileTime(data() / name, time);
  }
};

TEST(MergeListsCliTest, AsksFirstAndBuildsOnlyOnYes) {
  ListsGame game;
  // Without --yes a question that nobody can answer on a terminal is a No.
  for (auto args : {std::vector<std::string>{"--no", "merge-lists"}, {"merge-lists"}}) {
    auto declined = game.Run(args);
    EXPECT_EQ(declined.exitCode, 0) << declined.err;
    EXPECT_EQ(declined.out, "");
    EXPECT_FALSE(std::filesystem::exists(game.merged()));
  }

  auto result = game.Run({"--yes", "merge-lists"});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(result.out,
            "Scanning a.esp\nScanning b.esp\n\n"
            "Merged 2 original leveled list(s) into 1 list(s)\n\n"
            "Merged_Leveled_Lists.esp has been created\n\n"
            "Check \"" +
                (game.home / "modrake.log").string() + "\" for details\n");
  PluginFile merged(game.data(), "Merged_Leveled_Lists.esp");
  merged.ReadAllRecords();
  ASSERT_EQ(merged.records.size(), 2u);
  EXPECT_EQ(test::DescribeList(*merged.records.back()),
            "LEVI l flags=1 none=30 count=3: a@1 b@2 c@3");
  EXPECT_EQ(MasterNames(*merged.FindHeaderRecord()), std::vector<std::string>{"Morrowind.esm"});
  std::string log = test::ReadFile(game.home / "modrake.log");
  EXPECT_NE(log.find("  LEVI L                                -> merged from 2 to 3 items\n"),
            std::string::npos)
      << log;
}

TEST(MergeListsCliTest, ActivateWritesTheIniOnlyTheFirstTime) {
  ListsGame game;
  auto first = game.Run({"merge-lists", "--activate"});
  ASSERT_EQ(first.exitCode, 0) << first.err;
  EXPECT_NE(first.out.find("Merged_Leveled_Lists.esp has been activated in the morrowind.ini\n"),
            std::string::npos);
  std::string ini = test::ReadFile(game.ini());
  EXPECT_NE(ini.find("GameFile3=Merged_Leveled_Lists.esp\r\n"), std::string::npos) << ini;
  EXPECT_NE(ini.find("[General]\r\nkey=value\r\n"), std::string::npos) << ini;
  std::string plugin = test::ReadFile(game.merged());
  SetFileTime(game.ini(), 5000);

  auto second = game.Run({"merge-lists", "--activate"});
  ASSERT_EQ(second.exitCode, 0) << second.err;
  EXPECT_EQ(second.out, first.out);
  EXPECT_EQ(test::ReadFile(game.ini()), ini);
  EXPECT_EQ(QueryFileStatus(game.ini())->modified, 5000);
  EXPECT_EQ(test::ReadFile(game.merged()), plugin);
}

TEST(MergeListsCliTest, OtherReadersAcceptTheMergedPlugin) {
  const char* esmtool = "/usr/games/esmtool";
  if (!std::filesystem::exists(esmtool)) GTEST_SKIP() << "esmtool is not installed";
  ListsGame game;
  ASSERT_EQ(game.Run({"--yes", "merge-lists"}).exitCode, 0);
  std::string command =
      std::string(esmtool) + " dump \"" + game.merged().string() + "\" >/dev/null 2>&1";
  EXPECT_EQ(std::system(command.c_str()), 0);
}

}  // namespace
}  // namespace modrake
