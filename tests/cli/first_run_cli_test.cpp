// The first steps of a new player: finding the game or saying where it was
// looked for, names that are found where the player stands, and no run that
// stops halfway or does nothing without saying so.
#include <gtest/gtest.h>

#include <functional>

#include "support/cli_game.hpp"
#include "support/test_support.hpp"

namespace modrake {
namespace {

using test::HeaderOnlyGame;

TEST(FirstRunCliTest, EveryFirstStepFindsItsWayOrSaysWhy) {
  struct Run {
    Run(std::vector<std::string> a, std::filesystem::path w = {})
        : args(std::move(a)), workdir(std::move(w)) {}
    std::vector<std::string> args;  // after --home
    std::filesystem::path workdir;
  };
  struct Case {
    const char* what;
    std::function<Run(HeaderOnlyGame&)> setup;
    int exitCode;
    std::vector<std::string> wanted;  // in standard output and error together
    std::vector<std::string> unwanted = {};
  };
  auto game = [](HeaderOnlyGame& g) { return g.folder().string(); };
  auto data = [](HeaderOnlyGame& g, const char* name = "") { return (g.data() / name).string(); };
  const Case cases[] = {
      {"no game anywhere",
       [](HeaderOnlyGame& g) {
         return Run{{"plugins"}, g.home.path()};
       },
       1,
       kWindows
           ? std::vector<std::string>{"Modrake Error: Cannot find Morrowind installation. "
                                      "Tried:\n  ",
                                      ": no Morrowind.ini in it\n",
                                      "\\Documents\\My Games\\OpenMW\\openmw.cfg: no such file",
                                      "--game DIR", "--openmw-config FILE"}
           : std::vector<std::string>{"Modrake Error: Cannot find Morrowind installation. "
                                      "Tried:\n  /",
                                      ": no Morrowind.ini in it\n",
                                      "/.wine/system.reg: no such file",
                                      "/.config/openmw/openmw.cfg: no such file", "--game DIR",
                                      "--openmw-config FILE"}},
      {"--game names no folder",
       [&](HeaderOnlyGame& g) {
         return Run{{"--game", game(g) + "/nowhere", "plugins"}};
       },
       1,
       {"Cannot find Morrowind installation. Tried:\n  ", "/nowhere: no such folder\n"}},
      {"--game names a plugin",
       [&](HeaderOnlyGame& g) {
         return Run{{"--game", data(g, "orphan.ESP"), "plugins"}};
       },
       1,
       {"orphan.ESP: not a folder\n"}},
      {"--game names a folder without Data Files",
       [](HeaderOnlyGame& g) {
         std::filesystem::create_directory(g.home / "half");
         test::WriteFile(g.home / "half/Morrowind.ini", "");
         return Run{{"--game", (g.home / "half").string(), "plugins"}};
       },
       1,
       {(kWindows ? "\\" : "/") + std::string("half: no \"Data Files\" folder in it\n")}},
      {"--game names Data Files",
       [&](HeaderOnlyGame& g) {
         return Run{{"--game", data(g), "plugins"}};
       },
       0,
       {"[x] Needs Tribunal.esp"}},
      {"--game names Morrowind.ini",
       [&](HeaderOnlyGame& g) {
         return Run{{"--game", game(g) + "/Morrowind.ini", "plugins"}};
       },
       0,
       {"[x] Needs Tribunal.esp"}},
      {"the game chosen before",
       [&](HeaderOnlyGame& g) {
         test::WriteFile(g.home / "modrake.ini", "[Game]\nGameFolder=\"" + game(g) + "\"\n");
         return Run{{"plugins"}, g.home.path()};
       },
       0,
       {"[x] Needs Tribunal.esp"}},
      {"from inside Data Files, answered",
       [&](HeaderOnlyGame& g) {
         return Run{{"--yes", "plugins"}, data(g)};
       },
       0,
       {"[x] Needs Tribunal.esp"}},
      {"from inside Data Files, no terminal to ask",
       [&](HeaderOnlyGame& g) {
         return Run{{"plugins"}, data(g)};
       },
       2,
       {"modrake: not done, as there is no terminal to ask: \"Morrowind.ini has been found in the "
        "folder above the current one: " +
            std::string(kWindows ? "" : "/"),
        "modrake: run again with --yes to answer Yes"},
       {"Found "}},
      {"fix, no terminal to ask",
       [&](HeaderOnlyGame& g) {
         return Run{{"--game", game(g), "fix"}};
       },
       2,
       {"Do you want to proceed?\"\n", "--yes"},
       {"Processing"}},
      {"clean of a bare name from the game folder",
       [&](HeaderOnlyGame& g) {
         g.AddPlugin("Mod.esp", test::kTime, {"Morrowind.esm"});
         return Run{{"--game", ".", "clean", "Mod.esp"}, game(g)};
       },
       0,
       {"Processing Mod.esp\n"}},
      {"clean of a name in the current folder, any letter case",
       [&](HeaderOnlyGame& g) {
         g.AddPlugin("Mod.esp", test::kTime, {"Morrowind.esm"});
         return Run{{"--game", game(g), "clean", "./mod.ESP"}, data(g)};
       },
       0,
       {"Processing Mod.esp\n"}},
      {"clean of three names, two of them wrong",
       [&](HeaderOnlyGame& g) {
         g.AddPlugin("Mod.esp", test::kTime, {"Morrowind.esm"});
         std::filesystem::create_directory(g.data() / "Folder.esp");
         return Run{{"--game", game(g), "clean", "Mod.esp", "Typo.esp", "Folder.esp"}};
       },
       2,
       {"modrake: nothing was done, as these files cannot be read:\n"
        "  Typo.esp: no such file here or in \"Data Files\"\n"
        "  Folder.esp: not a file\n"},
       {"Processing"}},
      {"plugins lists the entries it cannot read in their places",
       [&](HeaderOnlyGame& g) {
         std::filesystem::create_directory(g.data() / "Folder.esp");
         g.WriteGameFiles(
             {"morrowind.esm", "Gone.esp", "needs tribunal.esp", "Folder.esp", "Bloodmoon.esm"});
         return Run{{"--game", game(g), "plugins"}};
       },
       0,
       {"[x] Morrowind.esm       Jun 12, 2003   14:05:33\n"
        "[x] Gone.esp            missing: not in \"Data Files\"\n"
        "[ ] Tribunal.esm",
        "[x] Needs Tribunal.esp  Jun 12, 2003   14:08:33\n"
        "[x] Folder.esp          unreadable: not a file\n"
        "[ ] orphan.ESP"}},
      {"the help of a plugins subcommand",
       [](HeaderOnlyGame&) {
         return Run{{"plugins", "activate", "--help"}};
       },
       0,
       {"Ticks the files"},
       {"Without a subcommand"}},
      {"clean --force-save of an empty file",
       [&](HeaderOnlyGame& g) {
         test::WriteFile(g.data() / "Empty.esp", "");
         return Run{{"--game", game(g), "clean", "--force-save", "Empty.esp"}};
       },
       1,
       {"File Empty.esp is not a TES3 plugin"},
       {"Created", "Saved"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    HeaderOnlyGame g;
    test::TempDir user;
    test::NoGameElsewhere nowhere(user.path());
    Run run = c.setup(g);
    run.args.insert(run.args.begin(), {"--home", g.home.path().string()});
    test::CommandResult result = test::RunModrake(run.args, run.workdir);
    std::string shown = result.out + result.err;
    EXPECT_EQ(result.exitCode, c.exitCode) << shown;
    for (const auto& part : c.wanted) EXPECT_NE(shown.find(part), std::string::npos) << shown;
    for (const auto& part : c.unwanted) EXPECT_EQ(shown.find(part), std::string::npos) << shown;
  }
}

}  // namespace
}  // namespace modrake
