#include "platform/file_io.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <random>
#include <set>
#include <stdexcept>

#include "platform/checksum.hpp"
#include "platform/file_names.hpp"
#include "support/test_support.hpp"

namespace modrake {
namespace {

std::set<std::string> Entries(const std::filesystem::path& folder) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    names.insert(entry.path().filename().string());
  }
  return names;
}

enum class Op { Read, Skip, Seek, Borrow };
struct Step {
  Op op;
  uint64_t value;
};

// Every seek, skip and read gives the file's bytes, also across the buffer's end.
TEST(FileReaderTest, EverySeekSkipAndReadGivesTheBytesOfTheFile) {
  test::TempDir dir;
  std::string bytes(3 * 1024 * 1024 + 17, '\0');
  uint32_t state = 12345;
  for (auto& c : bytes) c = static_cast<char>((state = state * 1103515245 + 12345) >> 16);
  test::WriteFile(dir / "data.bin", bytes);

  std::vector<Step> steps = {{Op::Seek, bytes.size() - 5},
                             {Op::Read, 16},
                             {Op::Read, 16},
                             {Op::Borrow, 8},
                             {Op::Seek, 0},
                             {Op::Read, 16}};
  std::mt19937 random(7);
  const Op ops[] = {Op::Read, Op::Skip, Op::Borrow, Op::Seek};
  for (int i = 0; i < 3000; ++i) {
    uint64_t size = random() % 4 == 0 ? random() % 600000 : random() % 64;
    Op op = ops[random() % 4];
    steps.push_back({op, op == Op::Seek ? random() % bytes.size() : size});
  }

  FileReader reader;
  ASSERT_TRUE(reader.Open(dir / "data.bin"));
  uint64_t position = 0;
  for (size_t i = 0; i < steps.size(); ++i) {
    const Step& step = steps[i];
    SCOPED_TRACE("step " + std::to_string(i));
    uint64_t left = position < bytes.size() ? bytes.size() - position : 0;
    if (step.op == Op::Read) {
      std::string got(step.value, '\0');
      size_t n = reader.Read(got.data(), step.value);
      ASSERT_EQ(n, std::min<uint64_t>(step.value, left));
      ASSERT_EQ(got.substr(0, n), bytes.substr(std::min<uint64_t>(position, bytes.size()), n));
      position += n;
    } else if (step.op == Op::Borrow) {
      const unsigned char* got = reader.Borrow(step.value);
      // Past the end nothing is handed out; beyond a buffer's worth it may not be.
      if (step.value <= left && step.value <= 64 * 1024) {
        ASSERT_NE(got, nullptr);
      } else if (step.value > left) {
        ASSERT_EQ(got, nullptr);
      }
      if (got) {
        ASSERT_EQ(std::string(reinterpret_cast<const char*>(got), step.value),
                  bytes.substr(position, step.value));
        position += step.value;
      }
    } else if (step.op == Op::Skip) {
      reader.Skip(step.value);
      position += step.value;
    } else {
      ASSERT_TRUE(reader.Seek(step.value));
      position = step.value;
    }
    ASSERT_EQ(reader.Position(), position);
  }
}

// A file's checksum read a block at a time, and the sum of pieces that cut
// words apart, are the checksum of the bytes at once: the value that the
// backups of earlier runs hold.
TEST(ChecksumFileTest, EqualsTheChecksumOfTheWholeBytes) {
  EXPECT_EQ(Checksum64("Balmora, Guild of Mages", 23), 0x7f695dc7c43ea5c9u);
  test::TempDir dir;
  for (size_t size : {size_t{0}, size_t{7}, size_t{9}, kChecksumBlock - 1, kChecksumBlock,
                      kChecksumBlock + 1, 3 * kChecksumBlock + 13, 9 * kChecksumBlock}) {
    SCOPED_TRACE(size);
    std::string bytes(size, '\0');
    uint32_t state = static_cast<uint32_t>(size);
    for (auto& c : bytes) c = static_cast<char>((state = state * 1103515245 + 12345) >> 16);
    test::WriteFile(dir / "data.bin", bytes);
    const uint64_t whole = Checksum64(bytes.data(), bytes.size());
    EXPECT_EQ(ChecksumFile(dir / "data.bin"), whole);
    Checksum64Stream pieces(size);
    for (size_t at = 0, piece = 1; at < size; at += piece, piece = piece % 13 + 1) {
      pieces.Add(bytes.data() + at, std::min(piece, size - at));
    }
    EXPECT_EQ(pieces.Value(), whole);
    // Copied and in-place pieces in turn, the last past the writer's buffer
    // for the largest, come out in order.
    ASSERT_TRUE(WriteFileAtomically(dir / "written.bin", [&](FileWriter& out) {
      const size_t first = std::min<size_t>(size, 13), middle = (size - first) / 2;
      out.WriteInPlace(bytes.data(), first);
      out.WriteInPlace(bytes.data() + first, middle);
      out.Write(bytes.data() + first + middle, size - first - middle);
    }));
    EXPECT_TRUE(test::ReadFile(dir / "written.bin") == bytes);
  }
  EXPECT_EQ(ChecksumFile(dir / "missing.bin"), std::nullopt);
}

TEST(WriteFileAtomicallyTest, AFailedWriteLeavesTheTargetAsItWasAndNoTemporaryFile) {
  for (bool targetIsFolder : {false, true}) {
    SCOPED_TRACE(targetIsFolder);
    test::TempDir dir;
    std::filesystem::path target = dir / "Plugin.esp";
    if (targetIsFolder) {
      std::filesystem::create_directory(target);
      EXPECT_FALSE(WriteFileAtomically(target, std::string("new")));
      EXPECT_TRUE(std::filesystem::is_directory(target));
    } else {
      test::WriteFile(target, "old bytes");
      auto giveUp = [](FileWriter& out) {
        out.Write("new", 3);
        throw std::runtime_error("stop");
      };
      EXPECT_THROW(WriteFileAtomically(target, giveUp), std::runtime_error);
      EXPECT_EQ(test::ReadFile(target), "old bytes");
    }
    EXPECT_EQ(Entries(dir.path()), std::set<std::string>{"Plugin.esp"});
  }
  test::TempDir dir;
  EXPECT_FALSE(WriteFileAtomically(dir / "missing" / "Plugin.esp", std::string("x")));
  EXPECT_TRUE(Entries(dir.path()).empty());
}

// A write removes killed runs' temporary files and nothing else.
TEST(WriteFileAtomicallyTest, LeftoversOfKilledRunsGoAndNothingElse) {
  test::TempDir dir;
  const std::set<std::string> stay = {
      "Plugin.esp.Ab12Cd.modrake-partial",   // not hidden
      ".Plugin.esp.Ab12C.modrake-partial",   // five characters
      ".Plugin.esp.Ab1_Cd.modrake-partial",  // not from mkstemps
      ".Plugin.esp.modrake-Ab12Cd",          // an older pattern a player's file may have
      ".Held.esp.Zz99zz.modrake-partial",    // a running write holds it
      "notes.txt",
  };
  for (const auto& name : stay) test::WriteFile(dir / name, "keep");
  std::filesystem::create_directory(dir / ".Folder.Ab12Cd.modrake-partial");
  test::WriteFile(dir / ".Plugin.esp.Ab12Cd.modrake-partial", std::string(4096, 'x'));
  test::WriteFile(dir / ".Merged_Objects.esp.0a0B0c.modrake-partial", "");
  int held = ::open((dir / ".Held.esp.Zz99zz.modrake-partial").c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_EQ(::flock(held, LOCK_EX), 0);

  std::string own;
  ASSERT_TRUE(WriteFileAtomically(dir / "Plugin.esp", [&](FileWriter& out) {
    for (const auto& name : Entries(dir.path())) {
      if (name.rfind(".Plugin.esp.", 0) == 0 && !stay.count(name)) own = name;
    }
    out.Write("new", 3);
  }));
  ::close(held);

  std::set<std::string> expected = stay;
  expected.insert({".Folder.Ab12Cd.modrake-partial", "Plugin.esp"});
  EXPECT_EQ(Entries(dir.path()), expected);
  // The write's own temporary file has the pattern its successors look for.
  EXPECT_TRUE(IsTemporaryFileName(own)) << own;
}

TEST(FileNamesTest, FindsEntriesInAnyLetterCase) {
  test::TempDir dir;
  std::filesystem::create_directory(dir / "Data Files");
  for (const char* name : {"Azure_Z.ESP", "twice.esp", "TWICE.esp",
                           "Gr\xc3\xbcne.esp",  // UTF-8, as Wine names files
                           "L\xe4nder.esm"}) {  // cp1252 bytes, as an archive left them
    test::WriteFile(dir / name, "");
  }
  struct Case {
    std::string name;
    std::string found;  // empty: none
  } cases[] = {
      {"aZURE_z.esp", "Azure_Z.ESP"},
      {"twice.esp", "twice.esp"},  // the exact spelling wins
      {"TWICE.esp", "TWICE.esp"},
      {"missing.esp", ""},
      // morrowind.ini and MAST spell names in cp1252; either form finds the file.
      {"GR\xdcNE.ESP", "Gr\xc3\xbcne.esp"},
      {"L\xc3\xa4nder.esm", "L\xe4nder.esm"},
      {"Grune.esp", ""},
      {"", ""},  // never the folder itself
      {".", ""},
      {"..", ""},
      {"Data Files/../Azure_Z.ESP", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto found = FindNoCase(dir.path(), c.name);
    EXPECT_EQ(found.value_or(""), c.found.empty() ? "" : dir.path() / c.found);
    EXPECT_EQ(ResolveNoCase(dir.path(), c.name), dir.path() / (c.found.empty() ? c.name : c.found));
  }
}

TEST(FileNamesTest, NamesGoToTheGameInItsCodePage) {
  struct Case {
    std::string name, game;
  } cases[] = {
      {"Gr\xfcne.esp", "Gr\xfcne.esp"},  // already cp1252
      {"\xc5\x92uvre \xe2\x84\xa2.esp", "\x8cuvre \x99.esp"},
      // Cyrillic has no cp1252 bytes: the name stays as it is.
      {"\xd0\xa1\xd0\xba.esp", "\xd0\xa1\xd0\xba.esp"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(GameFileName(c.name), c.game) << c.name;
    EXPECT_TRUE(SameFileName(c.name, c.game)) << c.name;
  }
  EXPECT_TRUE(SameFileName("\xc5\x92uvre.esp", "\x9cuvre.esp"));  // Œ and œ
  // A name that another starts with is not that name, in either code page.
  EXPECT_FALSE(SameFileName("Gr.esp", "Gr.esp2"));
  EXPECT_FALSE(SameFileName("Gr", "Gr\xfc"));
  EXPECT_FALSE(SameFileName("GR\xc3\xbc", "gr\xfc."));

  // On screen cp1252 bytes become UTF-8.
  EXPECT_EQ(Utf8Text("\x80 \x9c \xc3"), "\xe2\x82\xac \xc5\x93 \xc3\x83");
}

}  // namespace
}  // namespace modrake
