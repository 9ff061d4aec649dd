// Every way a run can fail ends with a message that says what went wrong and
// a non-zero exit code: 1 for errors, 2 for a command line that makes no sense.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>
#endif

#include <fstream>
#include <functional>
#ifdef _WIN32
#include <set>
#endif

#include "support/cli_game.hpp"
#include "support/test_support.hpp"

namespace modrake {
namespace {

using test::HeaderOnlyGame;

// Sets or clears the immutable attribute, which not even the superuser can
// write past; false when the file system or the privileges do not allow it.
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

TEST(FailuresCliTest, EveryFailureEndsWithItsMessageAndExitCode) {
  struct Case {
    const char* what;
    // Prepares the game and gives the arguments; none skips the case.
    std::function<std::optional<std::vector<std::string>>(HeaderOnlyGame&)> setup;
    int exitCode;
    std::string message;  // part of standard output and error together
  };
  Case cases[] = {
      {"morrowind.ini cannot be read",
       [](HeaderOnlyGame& g) {
         std::filesystem::remove(g.folder() / "Morrowind.ini");
         std::filesystem::create_directory(g.folder() / "Morrowind.ini");
         return std::vector<std::string>{"plugins"};
       },
       1, "Modrake Error: Cannot read file "},
      {"modrake.ini cannot be read",
       [](HeaderOnlyGame& g) {
         std::filesystem::create_directory(g.home / "modrake.ini");
         return std::vector<std::string>{"options"};
       },
       1, "modrake.ini: Is a directory\n"},
      {"options cannot be saved in the program home",
       [](HeaderOnlyGame& g) -> std::optional<std::vector<std::string>> {
         if (!SetImmutable(g.home.path(), true)) return std::nullopt;
         return std::vector<std::string>{"options", "ForceSave=1"};
       },
       1, "Modrake Error: Cannot write file "},
      {"update-time on an immutable file",
       [](HeaderOnlyGame& g) -> std::optional<std::vector<std::string>> {
         if (!SetImmutable(g.data() / "orphan.ESP", true)) return std::nullopt;
         return std::vector<std::string>{"plugins", "update-time", "orphan.esp"};
       },
       1, "Modrake Error: Cannot set the time of file orphan.ESP: Operation not permitted\n"},
      {"clean --subfolder when Clean cannot be made",
       [](HeaderOnlyGame& g) {
         std::filesystem::create_symlink("nowhere", g.data() / "Clean");
         return std::vector<std::string>{"-y", "clean", "--subfolder",
                                         (g.data() / "orphan.ESP").string()};
       },
       1, "Modrake Error: Failed to create subfolder "},
      {"deactivating Morrowind.esm",
       [](HeaderOnlyGame&) {
         return std::vector<std::string>{"plugins", "deactivate", "Morrowind.esm"};
       },
       1, "Modrake Error: Morrowind.esm must stay active: the game cannot start without it\n"},
      {"update-header of an empty plugin",
       [](HeaderOnlyGame& g) {
         test::WriteFile(g.data() / "Empty.esp", "");
         return std::vector<std::string>{"plugins", "update-header", "Empty.esp"};
       },
       1, "Modrake Error: File Empty.esp is not a TES3 plugin: it holds no header record\n"},
      {"a name that two files answer to",
       [](HeaderOnlyGame& g) {
         g.AddPlugin("Twin.esp", test::kTime);
         g.AddPlugin("TWIN.esp", test::kTime);
         return std::vector<std::string>{"plugins", "activate", "Twin.esp"};
       },
       1, "\"Twin.esp\" is ambiguous: the game cannot tell apart \"TWIN.esp\", \"Twin.esp\"\n"},
      {"a name and its cp1252 spelling",
       [](HeaderOnlyGame& g) {
         g.AddPlugin("Caf\xc3\xa9.esp", test::kTime);
         g.AddPlugin("Caf\xe9.esp", test::kTime);
         return std::vector<std::string>{"plugins", "activate", "Caf\xc3\xa9.esp"};
       },
       1, "is ambiguous: the game cannot tell apart"},
      {"a name holding a line break",
       [](HeaderOnlyGame& g) {
         g.AddPlugin("Line\nBreak.esp", test::kTime);
         return std::vector<std::string>{"plugins", "activate", "Line\nBreak.esp"};
       },
       1, "its name holds a line break or another control character\n"},
      {"a name starting with a blank",
       [](HeaderOnlyGame& g) {
         g.AddPlugin(" Space.esp", test::kTime);
         return std::vector<std::string>{"plugins", "activate", " Space.esp"};
       },
       1, "its name starts or ends with a blank\n"},
      {"a report into a home that cannot be written",
       [](HeaderOnlyGame& g) -> std::optional<std::vector<std::string>> {
         for (const char* name : {"a.esp", "b.esp"}) {
           test::WriteFile(
               g.data() / name,
               test::HeaderRecord() + test::RecordBytes("MISC", test::ZField("NAME", "lamp") +
                                                                    test::ZField("MODL", name)));
         }
         if (!SetImmutable(g.home.path(), true)) return std::nullopt;
         return std::vector<std::string>{"report", (g.data() / "a.esp").string(),
                                         (g.data() / "b.esp").string()};
       },
       1, "modrake.log: Operation not permitted\n"},
      {"clean --subfolder of a missing file",
       [](HeaderOnlyGame& g) {
         return std::vector<std::string>{"-y", "clean", "--subfolder",
                                         (g.data() / "orphan.ESP").string(),
                                         (g.data() / "Missing.esp").string()};
       },
       2, "Missing.esp: no such file\n"},
      {"clean --subfolder of a damaged plugin",
       [](HeaderOnlyGame& g) {
         test::WriteFile(g.data() / "Cut.esp", CutPlugin());
         return std::vector<std::string>{"-y", "clean", "--subfolder",
                                         (g.data() / "Cut.esp").string()};
       },
       1, "Modrake Error: Invalid record in file Cut.esp"},
      {"merge-lists over a plugin cut inside a record it passes over",
       [](HeaderOnlyGame& g) {
         test::WriteFile(g.data() / "Cut.esp", CutPlugin());
         g.WriteGameFiles({"morrowind.esm", "Cut.esp"});
         return std::vector<std::string>{"-y", "merge-lists"};
       },
       1, "Modrake Error: Invalid record in file Cut.esp"},
      {"a report of a game master and one plugin",
       [](HeaderOnlyGame& g) {
         return std::vector<std::string>{"report", (g.data() / "Morrowind.esm").string(),
                                         (g.data() / "orphan.ESP").string()};
       },
       2, "modrake: a conflict report needs two or more plugins besides the game masters\n"},
      {"merge-lists without Morrowind.esm active",
       [](HeaderOnlyGame& g) {
         g.WriteGameFiles({"Tribunal.esm"});
         return std::vector<std::string>{"-y", "merge-lists"};
       },
       1, "Modrake Error: Cannot find morrowind.esm\n"},
      {"a change whose backup cannot be kept",
       [](HeaderOnlyGame& g) {
         test::WriteFile(g.home / "backups", "a file where the folder of backups goes");
         return std::vector<std::string>{"plugins", "activate", "Tribunal.esm"};
       },
       1, "Modrake Error: Cannot keep a backup of "},
      {"clean of an empty name",
       [](HeaderOnlyGame&) {
         return std::vector<std::string>{"clean", ""};
       },
       2, "modrake: FILE must name a plugin file, not be empty\n"},
      {"a command that does not exist",
       [](HeaderOnlyGame&) { return std::vector<std::string>{"merge-object"}; }, 2,
       "modrake: unknown command \"merge-object\"; did you mean \"merge-objects\"?"},
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
    HeaderOnlyGame cli;
    auto args = c.setup(cli);
    if (!args) {
      std::printf("skipped \"%s\": the immutable attribute cannot be set here\n", c.what);
      continue;
    }
    const auto before = test::Snapshot(cli.folder());
    test::CommandResult result = cli.Run(*args);
    SetImmutable(cli.data() / "orphan.ESP", false);
    SetImmutable(cli.home.path(), false);
    EXPECT_EQ(result.exitCode, c.exitCode) << result.out << result.err;
    EXPECT_NE((result.out + result.err).find(c.message), std::string::npos)
        << result.out << result.err;
    // Nothing in the game changed, and no folder made for the run stays.
    EXPECT_TRUE(test::Snapshot(cli.folder()) == before);
  }
}

// A plugin beyond the memory the run may take is an error that names the file
// and offset, and is never rewritten: a record of 1.5 GiB, and a cut download
// of a header and 256 MiB of zeros, both sparse files.
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

}  // namespace
}  // namespace modrake
