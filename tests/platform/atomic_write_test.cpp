#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <set>

#include "platform/file_io.hpp"
#include "support/test_support.hpp"

namespace modrake {
namespace {

std::set<std::string> Names(const std::filesystem::path& folder) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    names.insert(entry.path().filename().string());
  }
  return names;
}

// A write removes the temporary files that killed runs left in its folder,
// and nothing else: not another program's files, not a file a running
// writer still holds.
TEST(AtomicWriteTest, LeftoversOfKilledRunsGoAndNothingElse) {
  test::TempDir dir;
  const std::set<std::string> stay = {
      "Plugin.esp.Ab12Cd.modrake-partial",   // not hidden
      ".Plugin.esp.Ab12C.modrake-partial",   // five characters
      ".Plugin.esp.Ab1_Cd.modrake-partial",  // not from mkstemps
      ".Plugin.esp.modrake-Ab12Cd",          // an older pattern a player's file may have
      ".notes.modrake-backup",               // a player's own file
      ".Held.esp.Zz99zz.modrake-partial",    // a running write holds it
      "notes.txt",
  };
  for (const auto& name : stay) test::WriteFile(dir / name, "keep");
  std::filesystem::create_directory(dir / ".Folder.Ab12Cd.modrake-partial");
  test::WriteFile(dir / ".Plugin.esp.Ab12Cd.modrake-partial", std::string(4096, 'x'));
  test::WriteFile(dir / ".Merged_Objects.esp.0a0B0c.modrake-partial", "");
  int held = ::open((dir / ".Held.esp.Zz99zz.modrake-partial").c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_EQ(::flock(held, LOCK_EX), 0);

  std::set<std::string> during;
  ASSERT_TRUE(WriteFileAtomically(dir / "Plugin.esp", [&](FileWriter& out) {
    during = Names(dir.path());
    out.Write("new", 3);
  }));
  ::close(held);

  std::set<std::string> expected = stay;
  expected.insert(".Folder.Ab12Cd.modrake-partial");
  expected.insert("Plugin.esp");
  EXPECT_EQ(Names(dir.path()), expected);
  // The write's own temporary file has the pattern its successors look for.
  std::set<std::string> own;
  for (const auto& name : during) {
    if (!stay.count(name) && name != ".Folder.Ab12Cd.modrake-partial") own.insert(name);
  }
  ASSERT_EQ(own.size(), 1u);
  EXPECT_TRUE(IsTemporaryFileName(*own.begin())) << *own.begin();
  EXPECT_EQ(own.begin()->rfind(".Plugin.esp.", 0), 0u) << *own.begin();
}

// A file reached through links is replaced where it lies, the links stay,
// and the replacement keeps the owner, group and mode of the file it replaces.
TEST(AtomicWriteTest, LinksStayLinksAndTheFileKeepsItsOwner) {
  test::TempDir dir;
  std::filesystem::create_directories(dir / "mods");
  std::filesystem::create_directories(dir / "Data Files");
  const auto real = dir / "mods" / "Plugin.esp";
  test::WriteFile(real, "old");
  std::filesystem::create_symlink("../mods/Plugin.esp", dir / "Data Files" / "Plugin.esp");
  std::filesystem::create_symlink("Plugin.esp", dir / "Data Files" / "Chain.esp");
  std::filesystem::create_symlink(dir / "mods" / "New.esp", dir / "Data Files" / "Dangling.esp");
  const bool root = ::geteuid() == 0;
  if (root) {
    ASSERT_EQ(::chown(real.c_str(), 4321, 4322), 0);
  }
  ASSERT_EQ(::chmod(real.c_str(), 0640), 0);

  for (const char* link : {"Plugin.esp", "Chain.esp", "Dangling.esp"}) {
    SCOPED_TRACE(link);
    const auto path = dir / "Data Files" / link;
    const auto before = std::filesystem::read_symlink(path);
    ASSERT_TRUE(WriteFileAtomically(path, std::string("written through ") + link));
    EXPECT_TRUE(std::filesystem::is_symlink(path));
    EXPECT_EQ(std::filesystem::read_symlink(path), before);
    EXPECT_EQ(test::ReadFile(path), std::string("written through ") + link);
  }
  EXPECT_EQ(test::ReadFile(dir / "mods" / "New.esp"), "written through Dangling.esp");
  struct stat st {};
  ASSERT_EQ(::stat(real.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  if (root) {
    EXPECT_EQ(st.st_uid, 4321u);
    EXPECT_EQ(st.st_gid, 4322u);
  }
  EXPECT_EQ(Names(dir / "mods"), (std::set<std::string>{"New.esp", "Plugin.esp"}));
}

}  // namespace
}  // namespace modrake
