// A failed run says why, exits 1 (error) or 2 (usage, unanswered) and changes nothing.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <fstream>
#include <functional>
#ifdef _WIN32
#include <set>
#endif

#include "support/cli_game.hpp"
#include "support/records.hpp"
#include "support/test_support.hpp"

namespace modrake {
namespace {

using test::HeaderOnlyGame;
using test::kTime;

// False where the file system or the privileges refuse the immutable attribute.
bool SetImmutable(const std::filesystem::path& path, bool on) {
#ifdef _WIN32
  (void)path;
  (void)on;
  return false;
#else
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  int flags = 0;
  bool done = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
  flags = on ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
  done = done && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
  ::close(fd);
  return done;
#endif
}

// A plugin whose last record ends before its data does.
std::string CutPlugin() {
  return test::HeaderRecord() +
         test::RecordBytes("MISC", test::ZField("NAME", "cut") + test::ZField("MODL", "m.nif"))
             .substr(0, 30);
}

TEST(FailuresCliTest, EveryRunFindsItsWayOrSaysWhy) {
  using Game = HeaderOnlyGame;
  using Args = std::vector<std::string>;
  struct Case {
    const char* what;
    Args args;            // after --home; %G is the game folder, %D its data folder, %H the home
    const char* workdir;  // the same, or "" to run where the test runs
    int exitCode;
    Args wanted;  // in standard output and error together
    Args unwanted = {};
    std::function<void(Game&)> prepare = nullptr;
    const char* immutable = "";  // made immutable for the run; skipped where that cannot be
  };
  auto noMorrowind = [](Game& g) { g.WriteGameFiles({"Tribunal.esm"}); };
  const Case cases[] = {
      {"no game anywhere", Args{"plugins"}, "%H", 1,
       kWindows ? Args{"Modrake Error: Cannot find Morrowind installation. Tried:\n  ",
                       ": no Morrowind.ini in it\n",
                       "\\Documents\\My Games\\OpenMW\\openmw.cfg: no such file", "--game DIR",
                       "--openmw-config FILE"}
                : Args{"Modrake Error: Cannot find Morrowind installation. Tried:\n  /",
                       ": no Morrowind.ini in it\n", "/.wine/system.reg: no such file",
                       "/.config/openmw/openmw.cfg: no such file", "--game DIR",
                       "--openmw-config FILE"}},
      {"--game names no folder", Args{"--game", "%G/nowhere", "plugins"}, "", 1,
       Args{"Cannot find Morrowind installation. Tried:\n  ", "/nowhere: no such folder\n"}},
      {"--game names a plugin", Args{"--game", "%D/orphan.ESP", "plugins"}, "", 1,
       Args{"orphan.ESP: not a folder\n"}},
      {"--game names a folder without Data Files", Args{"--game", "%H/half", "plugins"}, "", 1,
       Args{"half: no \"Data Files\" folder in it\n"}, Args{},
       [](Game& g) {
         std::filesystem::create_directory(g.home / "half");
         test::WriteFile(g.home / "half/Morrowind.ini", "");
       }},
      {"--game names Data Files", Args{"--game", "%D", "plugins"}, "", 0,
       Args{"[x] Needs Tribunal.esp"}},
      {"--game names Morrowind.ini", Args{"--game", "%G/Morrowind.ini", "plugins"}, "", 0,
       Args{"[x] Needs Tribunal.esp"}},
      {"the game chosen before", Args{"plugins"}, "%H", 0, Args{"[x] Needs Tribunal.esp"}, Args{},
       [](Game& g) {
         test::WriteFile(g.home / "modrake.ini",
                         "[Game]\nGameFolder=\"" + g.folder().string() + "\"\n");
       }},
      {"from inside Data Files, answered", Args{"--yes", "plugins"}, "%D", 0,
       Args{"[x] Needs Tribunal.esp"}},
      {"from inside Data Files, no terminal to ask", Args{"plugins"}, "%D", 2,
       Args{"modrake: not done, as there is no terminal to ask: \"Morrowind.ini has been found in "
            "the folder above the current one: " +
                std::string(kWindows ? "" : "/"),
            "modrake: run again with --yes to answer Yes"},
       Args{"Found "}},
      {"fix, no terminal to ask", Args{"fix"}, "", 2, Args{"Do you want to proceed?\"\n", "--yes"},
       Args{"Processing"}},
      {"clean of a bare name from the game folder", Args{"--game", ".", "clean", "Mod.esp"}, "%G",
       0, Args{"Processing Mod.esp\n"}, Args{},
       [](Game& g) { g.AddPlugin("Mod.esp", kTime, {"Morrowind.esm"}); }},
      {"clean of a name in the current folder, any letter case",
       Args{"--game", "%G", "clean", "./mod.ESP"}, "%D", 0, Args{"Processing Mod.esp\n"}, Args{},
       [](Game& g) { g.AddPlugin("Mod.esp", kTime, {"Morrowind.esm"}); }},
      {"clean of three names, two of them wrong",
       Args{"clean", "Mod.esp", "Typo.esp", "Folder.esp"}, "", 2,
       Args{"modrake: nothing was done, as these files cannot be read:\n"
            "  Typo.esp: no such file here or in \"Data Files\"\n"
            "  Folder.esp: not a file\n"},
       Args{"Processing"},
       [](Game& g) {
         g.AddPlugin("Mod.esp", kTime, {"Morrowind.esm"});
         std::filesystem::create_directory(g.data() / "Folder.esp");
       }},
      {"the help of a plugins subcommand", Args{"plugins", "activate", "--help"}, "", 0,
       Args{"Ticks the files"}, Args{"Without a subcommand"}},
      {"clean --force-save of an empty file", Args{"clean", "--force-save", "Empty.esp"}, "", 1,
       Args{"File Empty.esp is not a TES3 plugin"}, Args{"Created", "Saved"},
       [](Game& g) { test::WriteFile(g.data() / "Empty.esp", ""); }},
      {"morrowind.ini cannot be read", Args{"plugins"}, "", 1,
       Args{"Modrake Error: Cannot read file "}, Args{},
       [](Game& g) {
         std::filesystem::remove(g.folder() / "Morrowind.ini");
         std::filesystem::create_directory(g.folder() / "Morrowind.ini");
       }},
      {"modrake.ini cannot be read", Args{"options"}, "", 1, Args{"modrake.ini: Is a directory\n"},
       Args{}, [](Game& g) { std::filesystem::create_directory(g.home / "modrake.ini"); }},
      {"options cannot be saved in the program home", Args{"options", "ForceSave=1"}, "", 1,
       Args{"Modrake Error: Cannot write file "}, Args{}, nullptr, "%H"},
      {"update-time on an immutable file", Args{"plugins", "update-time", "orphan.esp"}, "", 1,
       Args{"Modrake Error: Cannot set the time of file orphan.ESP: Operation not permitted\n"},
       Args{}, nullptr, "%D/orphan.ESP"},
      {"clean --subfolder when Clean cannot be made",
       Args{"-y", "clean", "--subfolder", "%D/orphan.ESP"}, "", 1,
       Args{"Modrake Error: Failed to create subfolder "}, Args{},
       [](Game& g) { std::filesystem::create_symlink("nowhere", g.data() / "Clean"); }},
      {"deactivating Morrowind.esm", Args{"plugins", "deactivate", "Morrowind.esm"}, "", 1,
       Args{"Modrake Error: Morrowind.esm must stay active: the game cannot start without it\n"}},
      {"update-header of an empty plugin", Args{"plugins", "update-header", "Empty.esp"}, "", 1,
       Args{"Modrake Error: File Empty.esp is not a TES3 plugin: it holds no header record\n"},
       Args{}, [](Game& g) { test::WriteFile(g.data() / "Empty.esp", ""); }},
      {"a name that two files answer to", Args{"plugins", "activate", "Twin.esp"}, "", 1,
       Args{"\"Twin.esp\" is ambiguous: the game cannot tell apart \"TWIN.esp\", \"Twin.esp\"\n"},
       Args{},
       [](Game& g) {
         g.AddPlugin("Twin.esp", kTime);
         g.AddPlugin("TWIN.esp", kTime);
       }},
      {"a name and its cp1252 spelling", Args{"plugins", "activate", "Caf\xc3\xa9.esp"}, "", 1,
       Args{"is ambiguous: the game cannot tell apart"}, Args{},
       [](Game& g) {
         g.AddPlugin("Caf\xc3\xa9.esp", kTime);
         g.AddPlugin("Caf\xe9.esp", kTime);
       }},
      {"a name holding a line break", Args{"plugins", "activate", "Line\nBreak.esp"}, "", 1,
       Args{"its name holds a line break or another control character\n"}, Args{},
       [](Game& g) { g.AddPlugin("Line\nBreak.esp", kTime); }},
      {"a name starting with a blank", Args{"plugins", "activate", " Space.esp"}, "", 1,
       Args{"its name starts or ends with a blank\n"}, Args{},
       [](Game& g) { g.AddPlugin(" Space.esp", kTime); }},
      {"a report into a home that cannot be written", Args{"report", "%D/a.esp", "%D/b.esp"}, "", 1,
       Args{"modrake.log: Operation not permitted\n"}, Args{},
       [](Game& g) {
         g.AddPlugin("a.esp", kTime, {}, test::Misc("lamp", 1));
         g.AddPlugin("b.esp", kTime, {}, test::Misc("lamp", 2));
       },
       "%H"},
      {"clean --subfolder of a missing file",
       Args{"-y", "clean", "--subfolder", "%D/orphan.ESP", "%D/Missing.esp"}, "", 2,
       Args{"Missing.esp: no such file\n"}},
      {"clean --subfolder of a damaged plugin", Args{"-y", "clean", "--subfolder", "%D/Cut.esp"},
       "", 1, Args{"Modrake Error: Invalid record in file Cut.esp"}, Args{},
       [](Game& g) { test::WriteFile(g.data() / "Cut.esp", CutPlugin()); }},
      {"merge-lists over a plugin cut inside a record it passes over", Args{"-y", "merge-lists"},
       "", 1, Args{"Modrake Error: Invalid record in file Cut.esp"}, Args{},
       [](Game& g) {
         test::WriteFile(g.data() / "Cut.esp", CutPlugin());
         g.WriteGameFiles({"morrowind.esm", "Cut.esp"});
       }},
      {"a report of a game master and one plugin",
       Args{"report", "%D/Morrowind.esm", "%D/orphan.ESP"}, "", 2,
       Args{"modrake: a conflict report needs two or more plugins besides the game masters\n"}},
      {"merge-lists without Morrowind.esm active", Args{"-y", "merge-lists"}, "", 1,
       Args{"Modrake Error: Cannot find morrowind.esm\n"}, Args{}, noMorrowind},
      {"the list without Morrowind.esm", Args{"plugins"}, "", 0, Args{"[ ] Morrowind.esm  "},
       Args{}, noMorrowind},
      {"Morrowind.esm activated again", Args{"plugins", "activate", "Morrowind.esm"}, "", 0,
       Args{"Updated morrowind.ini"}, Args{}, noMorrowind},
      {"a change whose backup cannot be kept", Args{"plugins", "activate", "Tribunal.esm"}, "", 1,
       Args{"Modrake Error: Cannot keep a backup of "}, Args{},
       [](Game& g) { test::WriteFile(g.home / "backups", "a file where the folder goes"); }},
      {"clean of an empty name", Args{"clean", ""}, "", 2,
       Args{"modrake: FILE must name a plugin file, not be empty\n"}},
      {"a command that does not exist", Args{"merge-object"}, "", 2,
       Args{"modrake: unknown command \"merge-object\"; did you mean \"merge-objects\"?"}},
      {"dump without a file", Args{"dump"}, "", 2, Args{"FILE is required"}},
      {"--yes and --no", Args{"--yes", "--no", "dump", "x"}, "", 2, Args{"--yes excludes --no"}},
      {"sample-game over a game", Args{"sample-game", "%G"}, "", 1,
       Args{"already holds a game installation"}},
      {"sample-game over a data folder in another letter case", Args{"sample-game", "%G"}, "", 1,
       Args{"already holds a game installation"}, Args{},
       [](Game& g) {
         std::filesystem::remove(g.folder() / "Morrowind.ini");
         std::filesystem::rename(g.data(), g.folder() / "data files");
       }},
      {"sample-game at scale 0", Args{"sample-game", "%H/x", "--scale=0"}, "", 2,
       Args{"--scale: Value 0 not in range"}},
      {"sample-game of -1 plugins", Args{"sample-game", "%H/x", "--plugins=-1"}, "", 2,
       Args{"--plugins: Value -1 not in range"}},
      {"dump of a missing file", Args{"dump", "%D/none.esp"}, "", 1,
       Args{"Modrake Error: Cannot find file none.esp\n"}},
  };
#ifdef _WIN32
  // Windows' file systems cannot hold these: names that differ only in
  // letter case or spelling, a line break in a name; links need rights.
  const std::set<std::string> notOnWindows = {
      "clean --subfolder when Clean cannot be made", "a name that two files answer to",
      "a name and its cp1252 spelling", "a name holding a line break"};
#endif
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
#ifdef _WIN32
    if (notOnWindows.count(c.what)) {
      std::printf("skipped \"%s\": Windows' file systems cannot hold it\n", c.what);
      continue;
    }
#endif
    Game g;
    test::TempDir user;
    test::NoGameElsewhere nowhere(user.path());
    const std::pair<const char*, std::filesystem::path> places[] = {
        {"%G", g.folder()}, {"%D", g.data()}, {"%H", g.home.path()}};
    auto expand = [&](std::string text) {
      for (const auto& [from, to] : places) {
        if (text.rfind(from, 0) == 0) text.replace(0, 2, to.string());
      }
      return text;
    };
    if (c.prepare) c.prepare(g);
    const std::filesystem::path immutable = expand(c.immutable);
    if (*c.immutable && !SetImmutable(immutable, true)) {
      std::printf("skipped \"%s\": the immutable attribute cannot be set here\n", c.what);
      continue;
    }
    std::vector<std::string> args = {"--home", g.home.path().string()};
    // Where a case says nothing of the game, --game names it.
    if (!*c.workdir && std::find(c.args.begin(), c.args.end(), "--game") == c.args.end()) {
      args.insert(args.end(), {"--game", g.folder().string()});
    }
    for (const auto& arg : c.args) args.push_back(expand(arg));
    const auto before = test::Snapshot(g.folder());
    test::CommandResult result = test::RunModrake(args, expand(c.workdir));
    if (*c.immutable) SetImmutable(immutable, false);
    const std::string shown = result.out + result.err;
    EXPECT_EQ(result.exitCode, c.exitCode) << shown;
    for (const auto& part : c.wanted) EXPECT_NE(shown.find(part), std::string::npos) << shown;
    for (const auto& part : c.unwanted) EXPECT_EQ(shown.find(part), std::string::npos) << shown;
    // A failure changes nothing in the game and leaves no folder made for it.
    if (c.exitCode != 0) {
      EXPECT_TRUE(test::Snapshot(g.folder()) == before);
    }
  }
}

// A plugin past the memory cap is an error naming file and offset, never rewritten.
TEST(FailuresCliTest, APluginBeyondTheMemoryCapIsAnErrorThatNamesIt) {
  if (!test::kCapsAddressSpace) GTEST_SKIP() << "the address sanitizer allows no memory cap";
  HeaderOnlyGame cli;
  const std::string header = test::HeaderRecord();
  const auto huge = cli.data() / "Huge.esp", cut = cli.data() / "Cut.esp";
  test::WriteFile(huge, header + "MISC" + test::Bytes().U32(0x60000000).U32(0).U32(0).str());
  std::filesystem::resize_file(huge, header.size() + 16 + 0x60000000ull);
  test::WriteFile(cut, header);
  std::filesystem::resize_file(cut, 256u << 20);
  const std::string tooBig = "Modrake Error: Out of memory reading file Huge.esp at offset 324";
  const std::pair<std::vector<std::string>, std::string> runs[] = {
      {{"dump", huge.string()}, tooBig},
      {{"-y", "clean", huge.string()}, tooBig},
      {{"plugins", "update-header", "Cut.esp"},
       "Modrake Error: Invalid record in file Cut.esp at offset 324 (\"????\" is not a record "
       "type)\n"},
  };
  for (auto [args, error] : runs) {
    args.insert(args.begin(),
                {"--home", cli.home.path().string(), "--game", cli.folder().string()});
    auto result = test::RunModrakeCapped(128u << 20, args);
    EXPECT_EQ(result.exitCode, 1) << args[4];
    EXPECT_EQ(result.err.rfind(error, 0), 0u) << args[4] << ": " << result.err;
  }
  for (const auto& file : {huge, cut}) {
    std::ifstream in(file, std::ios::binary);
    std::string start(header.size(), '\0');
    in.read(start.data(), static_cast<std::streamsize>(start.size()));
    EXPECT_EQ(start, header);
  }
}

// A listing that cannot be written whole is a failure, not a short success.
TEST(CliTest, DumpIntoAFullDiskFails) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  test::TempDir dir;
  test::WriteFile(dir / "fine.esp", test::HeaderRecord());
  auto full = test::RunProgram("/bin/sh", {"-c", "\"$0\" dump \"$1\" >/dev/full",
                                           MODRAKE_CLI_BINARY, (dir / "fine.esp").string()});
  EXPECT_EQ(full.exitCode, 1);
  EXPECT_TRUE(test::Contains(full.err, "Modrake Error: Cannot write the records of")) << full.err;
}

}  // namespace
}  // namespace modrake
