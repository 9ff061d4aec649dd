// The Windows build under Wine (MODRAKE_WINDOWS_BINARY, MODRAKE_WINE) or a skip.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <map>
#include <optional>
#include <thread>

#include "support/cli_game.hpp"
#include "support/test_support.hpp"

namespace modrake {
namespace {

constexpr char kNoBuild[] = "no Windows build to compare with (scripts/test-windows has one)";

struct WindowsBuild {
  std::string wine;
  std::string program;
};

std::optional<WindowsBuild> FindWindowsBuild() {
  const char* program = std::getenv("MODRAKE_WINDOWS_BINARY");
  const char* wine = std::getenv("MODRAKE_WINE");
  if (test::kWindows || !program || !*program || !wine || !*wine) return std::nullopt;
  return WindowsBuild{wine, program};
}

// A path as a program under Wine reaches it: drive Z: is the root.
std::string OnWine(const std::filesystem::path& path) {
  std::string text = "Z:" + path.string();
  for (char& c : text) {
    if (c == '/') c = '\\';
  }
  return text;
}

// Every file under folder with its bytes, by its path inside the folder.
std::map<std::string, std::string> Files(const std::filesystem::path& folder) {
  std::map<std::string, std::string> files;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
    if (entry.is_regular_file()) {
      files[entry.path().lexically_relative(folder).string()] = test::ReadFile(entry.path());
    }
  }
  return files;
}

// A game and program home per build; "@NAME" is that plugin of the side's game.
struct SideBySide {
  explicit SideBySide(WindowsBuild windowsBuild) : build(std::move(windowsBuild)) {}

  std::vector<std::string> Arguments(const test::TempDir& side, bool wine,
                                     const std::vector<std::string>& args) const {
    auto place = [&](const std::filesystem::path& path) {
      return wine ? OnWine(path) : path.string();
    };
    std::vector<std::string> full = {"--home", place(side / "home")};
    if (args[0] != "sample-game") full.insert(full.end(), {"--game", place(side / "game")});
    for (const std::string& arg : args) {
      full.push_back(arg == "@"      ? place(side / "game")
                     : arg[0] == '@' ? place(side / "game" / "Data Files" / arg.substr(1))
                                     : arg);
    }
    return full;
  }
  test::CommandResult Run(bool wine, const std::vector<std::string>& args) const {
    if (!wine) return test::RunModrake(Arguments(linuxSide, false, args));
    std::vector<std::string> full = Arguments(windowsSide, true, args);
    full.insert(full.begin(), build.program);
    return test::RunProgram(build.wine, full);
  }

  WindowsBuild build;
  test::TempDir linuxSide;
  test::TempDir windowsSide;
};

// Each command gives the same files on both builds (the report's line breaks aside).
TEST(WindowsBuildCliTest, SameCommandsWriteTheSameFiles) {
  auto build = FindWindowsBuild();
  if (!build) GTEST_SKIP() << kNoBuild;
  SideBySide sides(*build);
  const std::vector<std::string> steps[] = {
      {"sample-game", "@"},
      {"clean", "@Junk_Cells.esp", "@Evil_GMSTs.esp", "@Moved_References.esp"},
      {"--yes", "merge-lists", "--activate"},
      {"--yes", "merge-objects", "--activate"},
      {"--yes", "merge-dialogs", "--activate"},
      {"report", "--full", "@Objects_Merge_A.esp", "@Objects_Merge_B.esp",
       "@Leveled_Lists_Add.esp"},
      {"--yes", "fix"},
  };
  for (const auto& step : steps) {
    SCOPED_TRACE(step[0] == "--yes" ? step[1] : step[0]);
    auto onLinux = sides.Run(false, step);
    auto onWindows = sides.Run(true, step);
    ASSERT_EQ(onLinux.exitCode, 0) << onLinux.out << onLinux.err;
    ASSERT_EQ(onWindows.exitCode, 0) << onWindows.out << onWindows.err;
    const auto linuxFiles = Files(sides.linuxSide / "game");
    const auto windowsFiles = Files(sides.windowsSide / "game");
    std::vector<std::string> linuxNames, windowsNames;
    for (const auto& [name, bytes] : linuxFiles) linuxNames.push_back(name);
    for (const auto& [name, bytes] : windowsFiles) windowsNames.push_back(name);
    ASSERT_EQ(windowsNames, linuxNames);
    for (const auto& [name, bytes] : linuxFiles) {
      // Text files say how.
      bool text = name.size() > 4 && name.substr(name.size() - 4) == ".ini";
      EXPECT_TRUE(windowsFiles.at(name) == bytes)
          << name << " differs" << (text ? ":\n" + bytes + "\n" + windowsFiles.at(name) : "");
    }
    // A new file takes the time it was made, and plugins of one second load
    // by name: each side's next command starts from the same times, as it
    // starts from the same bytes, and makes its files a second later, as a
    // player's next command does.
    for (const auto& [name, bytes] : linuxFiles) {
      std::filesystem::last_write_time(
          sides.windowsSide / "game" / name,
          std::filesystem::last_write_time(sides.linuxSide / "game" / name));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1100));
    if (step[0] == "report") {
      EXPECT_EQ(test::ReadLog(sides.windowsSide / "home" / "modrake.log"),
                test::ReadLog(sides.linuxSide / "home" / "modrake.log"));
    }
  }
}

// A game folder only the registry names, under Wow6432Node.
TEST(WindowsBuildCliTest, FindsTheGameThroughTheRegistry) {
  auto build = FindWindowsBuild();
  if (!build) GTEST_SKIP() << kNoBuild;
  test::HeaderOnlyGame game;
  test::TempDir elsewhere;
  const std::string key = "HKLM\\Software\\Wow6432Node\\Bethesda Softworks\\Morrowind";
  auto added = test::RunProgram(build->wine, {"reg", "add", key, "/v", "Installed Path", "/t",
                                              "REG_SZ", "/d", OnWine(game.folder()), "/f"});
  ASSERT_EQ(added.exitCode, 0) << added.out << added.err;
  auto found =
      test::RunProgram(build->wine, {build->program, "--home", OnWine(game.home.path()), "plugins"},
                       elsewhere.path());
  test::RunProgram(build->wine, {"reg", "delete", key, "/f"});
  EXPECT_EQ(found.exitCode, 0) << found.out << found.err;
  EXPECT_NE(found.out.find("[x] Needs Tribunal.esp"), std::string::npos) << found.out;
}

}  // namespace
}  // namespace modrake
