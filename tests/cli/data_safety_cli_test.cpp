// What every writing command guarantees the player's files, end to end.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <chrono>
#include <functional>
#include <thread>

#include "platform/file_io.hpp"
#include "platform/run_lock.hpp"
#include "support/sample_game_run.hpp"

namespace modrake {
namespace {

using test::Contains;
using test::SampleGameRun;

// Writes through a mod manager's links land on the file, keeping owner and mode.
TEST(DataSafetyCliTest, WritesGoThroughLinksAndKeepOwners) {
  SKIP_ON_WINDOWS("symbolic links, owners and modes are POSIX matters");
#ifndef _WIN32
  SampleGameRun run;
  const auto mods = run.game / "mods";
  std::filesystem::create_directory(mods);
  auto link = [&](const std::filesystem::path& place) {
    std::filesystem::rename(place, mods / place.filename());
    std::filesystem::create_symlink(mods / place.filename(), place);
  };
  // A header whose master has no DATA grows when updated: the whole file is rewritten.
  test::WriteFile(
      run.Data("Grows_Header.esp"),
      test::RecordBytes(
          "TES3",
          test::Field("HEDR",
                      test::Bytes().F32(1.2f).U32(0).Fixed("a", 32).Fixed("", 256).U32(0).str()) +
              test::ZField("MAST", "Morrowind.esm")));
  test::WriteFile(run.Data("Merged_Leveled_Lists.esp"), test::HeaderRecord());
  for (const char* name : {"Junk_Cells.esp", "Extra_Master_Addon.esp", "Grows_Header.esp",
                           "Merged_Leveled_Lists.esp"}) {
    link(run.Data(name));
  }
  link(run.Ini());
  const bool root = ::geteuid() == 0;
  for (const auto& entry : std::filesystem::directory_iterator(mods)) {
    if (root) {
      ASSERT_EQ(::chown(entry.path().c_str(), 4321, 4322), 0);
    }
    ASSERT_EQ(::chmod(entry.path().c_str(), 0664), 0);
  }
  const std::string junkBefore = test::ReadFile(mods / "Junk_Cells.esp");
  const std::string growsBefore = test::ReadFile(mods / "Grows_Header.esp");

  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"clean", "--keep-names", run.Data("Junk_Cells.esp")},
        {"plugins", "update-header", "Extra_Master_Addon.esp", "Grows_Header.esp"},
        {"merge-lists", "--activate"}}) {
    auto result = run.Run(args);
    ASSERT_EQ(result.exitCode, 0) << args[0] << ": " << result.err;
  }

  EXPECT_LT(test::ReadFile(mods / "Junk_Cells.esp").size(), junkBefore.size()) << "cleaned";
  EXPECT_GT(test::ReadFile(mods / "Grows_Header.esp").size(), growsBefore.size()) << "DATA added";
  EXPECT_TRUE(Contains(test::ReadFile(mods / "Merged_Leveled_Lists.esp"), "LEVI"));
  EXPECT_TRUE(Contains(test::ReadFile(mods / "Morrowind.ini"), "=Merged_Leveled_Lists.esp\r\n"));
  for (const auto& entry : std::filesystem::directory_iterator(mods)) {
    const std::string name = entry.path().filename().string();
    SCOPED_TRACE(name);
    const auto place = name == "Morrowind.ini" ? run.Ini() : run.Data(name);
    EXPECT_TRUE(std::filesystem::is_symlink(place));
    EXPECT_EQ(std::filesystem::read_symlink(place), entry.path());
    struct stat st {};
    ASSERT_EQ(::stat(entry.path().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0664u);
    if (root) {
      EXPECT_EQ(st.st_uid, 4321u);
      EXPECT_EQ(st.st_gid, 4322u);
    }
    if (name != "Morrowind.ini") {
      EXPECT_TRUE(test::EsmtoolReads(entry.path()));
    }
  }
#endif
}

bool HasGameFile(const SampleGameRun& run, const std::string& name) {
  return Contains(test::ReadFile(run.Ini()), "=" + name + "\r\n");
}

TEST(DataSafetyCliTest, ASecondRunWaitsAndSaysSo) {
  SampleGameRun run;
  auto other = std::make_unique<RunLock>();
  other->Add(run.game.path(), [] {});
  auto waiting = run.Start({"plugins", "activate", "Inactive_Plugin.esp"});
  // It says so, and changes nothing while it waits.
  std::string err;
  for (int i = 0; i < 600 && !Contains(err, "Waiting"); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    err = waiting->ErrorsSoFar();
  }
  EXPECT_EQ(err, "Waiting for another run of Modrake to finish with \"" + run.game.path().string() +
                     "\"\n");
  EXPECT_FALSE(HasGameFile(run, "Inactive_Plugin.esp"));
  other.reset();
  auto result = waiting->Wait();
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_TRUE(HasGameFile(run, "Inactive_Plugin.esp"));
}

// Read-only files and game masters are never written, also for root.
TEST(DataSafetyCliTest, WhatThePlayerProtectedIsNeverWritten) {
  using Args = std::vector<std::string>;
  struct Case {
    const char* what;
    Args args;
    std::function<void(const SampleGameRun&)> prepare;
    std::string protectedFile;  // in the data folder, or "" for morrowind.ini
    std::string message;
  };
  auto readOnly = [](const std::filesystem::path& file) {
    using std::filesystem::perms;
    std::filesystem::permissions(file, perms::owner_read | perms::group_read | perms::others_read);
  };
  auto readOnlyJunk = [&](const SampleGameRun& run) { readOnly(run.Data("Junk_Cells.esp")); };
  const Case cases[] = {
      {"a read-only morrowind.ini", Args{"plugins", "activate", "Inactive_Plugin.esp"},
       [&](const SampleGameRun& run) { readOnly(run.Ini()); }, "",
       "Morrowind.ini: it is read-only"},
      {"a read-only plugin cleaned in place", Args{"clean", "--keep-names", "Junk_Cells.esp"},
       readOnlyJunk, "Junk_Cells.esp", "Junk_Cells.esp: it is read-only"},
      {"a link to a game master cleaned in place", Args{"clean", "--keep-names", "Alias.esp"},
       [](const SampleGameRun& run) {
         std::filesystem::create_symlink("Tribunal.esm", run.Data("Alias.esp"));
       },
       "Tribunal.esm", "Alias.esp: it is the game master Tribunal.esm"},
      {"JUST FIX IT! over a read-only plugin", Args{"--yes", "fix"}, readOnlyJunk, "Junk_Cells.esp",
       "1 file(s) could not be written: Cannot write file"},
      {"JUST FIX IT! with a link to a game master active", Args{"--yes", "fix"},
       [](const SampleGameRun& run) {
         std::filesystem::create_symlink("Bloodmoon.esm", run.Data("Alias.esp"));
         run.Run({"plugins", "activate", "Alias.esp"});
       },
       "Bloodmoon.esm", "it is the game master Bloodmoon.esm"},
  };
  const bool root = test::RunsAsRoot();
  for (bool asRoot : {root, false}) {
    for (const auto& c : cases) {
      SCOPED_TRACE(std::string(c.what) + (asRoot ? " (as root)" : ""));
#ifdef _WIN32
      if (Contains(c.what, "link")) {
        std::printf("skipped \"%s\": links on Windows need rights a player rarely has\n", c.what);
        continue;
      }
#endif
      SampleGameRun run;
      if (root && !asRoot) {
        for (const auto& folder : {run.game.path(), run.home.path()}) {
          test::RunProgram("/bin/chmod", {"-R", "a+rwX", folder.string()});
        }
      }
      c.prepare(run);
      auto args = run.WithGame(c.args);
      if (root && !asRoot) {
        // What the setup made in the home (backups of its runs) is root's.
        test::RunProgram("/bin/chmod", {"-R", "a+rwX", run.home.path().string()});
      }
      const auto kept = c.protectedFile.empty() ? run.Ini() : run.Data(c.protectedFile);
      const std::string before = test::ReadFile(kept);
      const auto timesBefore = GetFileTimes(kept);
      if (root && !asRoot) {
        args.insert(args.begin(),
                    {"--reuid=nobody", "--regid=nogroup", "--clear-groups", MODRAKE_CLI_BINARY});
      }
      auto result =
          root && !asRoot ? test::RunProgram("/usr/bin/setpriv", args) : test::RunModrake(args);
      EXPECT_EQ(result.exitCode, 1) << result.out << result.err;
      EXPECT_TRUE(Contains(result.err, "Modrake Error: ")) << result.err;
      EXPECT_TRUE(Contains(result.out + result.err, c.message)) << result.out << result.err;
      EXPECT_EQ(test::ReadFile(kept), before);
      EXPECT_EQ(GetFileTimes(kept)->modifySec, timesBefore->modifySec);
      if (Contains(c.what, "JUST FIX IT!")) {
        EXPECT_TRUE(std::filesystem::exists(run.Data("Merged_Dialogs.esp"))) << "the rest is done";
      }
    }
    if (!root) break;
  }
}

}  // namespace
}  // namespace modrake
