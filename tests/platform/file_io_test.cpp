#include "platform/file_io.hpp"

#include <gtest/gtest.h>

#include <random>
#include <set>
#include <stdexcept>

#include "platform/file_names.hpp"
#include "support/test_support.hpp"

namespace modrake {
namespace {

// Bytes that differ from offset to offset, so a read from the wrong place shows.
std::string Pattern(size_t size) {
  std::string bytes(size, '\0');
  uint32_t state = 12345;
  for (auto& c : bytes) {
    state = state * 1103515245 + 12345;
    c = static_cast<char>(state >> 16);
  }
  return bytes;
}

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

// Runs the steps on a reader and on the file's bytes side by side.
void Replay(const std::filesystem::path& path, const std::string& bytes,
            const std::vector<Step>& steps, const std::string& name) {
  FileReader reader;
  ASSERT_TRUE(reader.Open(path));
  uint64_t position = 0;
  for (size_t i = 0; i < steps.size(); ++i) {
    const Step& step = steps[i];
    SCOPED_TRACE(name + ", step " + std::to_string(i));
    if (step.op == Op::Read) {
      std::string got(step.value, '\0');
      size_t n = reader.Read(got.data(), step.value);
      uint64_t left = position < bytes.size() ? bytes.size() - position : 0;
      ASSERT_EQ(n, std::min<uint64_t>(step.value, left));
      ASSERT_EQ(got.substr(0, n), bytes.substr(std::min<uint64_t>(position, bytes.size()), n));
      position += n;
    } else if (step.op == Op::Borrow) {
      const unsigned char* got = reader.Borrow(step.value);
      uint64_t left = position < bytes.size() ? bytes.size() - position : 0;
      if (step.value > left || step.value > 64 * 1024) {
        // Past the end nothing is handed out; beyond a buffer's worth it may not be.
        ASSERT_TRUE(got == nullptr || step.value <= left);
      } else {
        ASSERT_NE(got, nullptr);
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

TEST(FileReaderTest, EverySeekSkipAndReadGivesTheBytesOfTheFile) {
  test::TempDir dir;
  const std::string bytes = Pattern(3 * 1024 * 1024 + 17);
  test::WriteFile(dir / "data.bin", bytes);

  std::vector<std::pair<std::string, std::vector<Step>>> cases = {
      {"headers in order",
       {{Op::Read, 16}, {Op::Read, 300}, {Op::Read, 16}, {Op::Skip, 5000}, {Op::Read, 16}}},
      {"back into the window after a read straight into the caller's buffer",
       {{Op::Read, 100}, {Op::Read, 300000}, {Op::Seek, 300010}, {Op::Read, 64}}},
      {"back after a large read that began inside the buffer",
       {{Op::Read, 16}, {Op::Read, 2000}, {Op::Read, 1000000}, {Op::Seek, 1000500}, {Op::Read, 8}}},
      {"skip within and past the buffer, then back",
       {{Op::Read, 10},
        {Op::Skip, 20},
        {Op::Skip, 400000},
        {Op::Read, 4},
        {Op::Seek, 15},
        {Op::Read, 40}}},
      {"records read back by offset",
       {{Op::Seek, 2000000},
        {Op::Read, 16},
        {Op::Read, 70000},
        {Op::Seek, 40},
        {Op::Read, 16},
        {Op::Seek, 2000016},
        {Op::Read, 32}}},
      {"records looked at in place, across the buffer's end and back",
       {{Op::Borrow, 16},
        {Op::Borrow, 3000},
        {Op::Borrow, 200000},
        {Op::Borrow, 100000},
        {Op::Seek, 250000},
        {Op::Borrow, 64},
        {Op::Read, 16},
        {Op::Borrow, 1 << 20}}},
      {"reads at and past the end",
       {{Op::Seek, bytes.size() - 5},
        {Op::Read, 16},
        {Op::Read, 16},
        {Op::Borrow, 8},
        {Op::Seek, 0},
        {Op::Read, 16}}},
  };
  // And a long random walk that mixes them all.
  std::mt19937 random(7);
  std::vector<Step> walk;
  const Op ops[] = {Op::Read, Op::Skip, Op::Borrow, Op::Seek};
  for (int i = 0; i < 3000; ++i) {
    uint64_t size = random() % 4 == 0 ? random() % 600000 : random() % 64;
    Op op = ops[random() % 4];
    walk.push_back({op, op == Op::Seek ? random() % bytes.size() : size});
  }
  cases.emplace_back("random walk", walk);

  for (const auto& [name, steps] : cases) Replay(dir / "data.bin", bytes, steps, name);
}

TEST(WriteFileAtomicallyTest, AFailedWriteLeavesTheTargetAsItWasAndNoTemporaryFile) {
  struct Case {
    const char* name;
    bool targetIsFolder;
    bool producerThrows;
  } cases[] = {
      {"the producer gives up", false, true},
      {"a folder of that name cannot be replaced", true, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    test::TempDir dir;
    std::filesystem::path target = dir / "Plugin.esp";
    if (c.targetIsFolder) {
      std::filesystem::create_directory(target);
    } else {
      test::WriteFile(target, "old bytes");
    }
    auto produce = [&](FileWriter& out) {
      out.Write("new", 3);
      if (c.producerThrows) throw std::runtime_error("stop");
    };
    if (c.producerThrows) {
      EXPECT_THROW(WriteFileAtomically(target, produce), std::runtime_error);
      EXPECT_EQ(test::ReadFile(target), "old bytes");
    } else {
      EXPECT_FALSE(WriteFileAtomically(target, produce));
      EXPECT_TRUE(std::filesystem::is_directory(target));
    }
    EXPECT_EQ(Entries(dir.path()), std::set<std::string>{"Plugin.esp"});
  }
  // A folder that does not exist cannot receive the file.
  test::TempDir dir;
  EXPECT_FALSE(WriteFileAtomically(dir / "missing" / "Plugin.esp", std::string("x")));
  EXPECT_TRUE(Entries(dir.path()).empty());
}

TEST(FileNamesTest, FindsEntriesInAnyLetterCase) {
  test::TempDir dir;
  std::filesystem::create_directory(dir / "Data Files");
  test::WriteFile(dir / "MixedCase.ESP", "");
  test::WriteFile(dir / "twice.esp", "");
  test::WriteFile(dir / "TWICE.esp", "");
  test::WriteFile(dir / "Gr\xc3\xbcne.esp", "");  // UTF-8, as Wine names files
  test::WriteFile(dir / "L\xe4nder.esm", "");     // cp1252 bytes, as an archive left them
  struct Case {
    std::string name;
    std::string found;  // empty: none
  } cases[] = {
      {"data files", "Data Files"},
      {"DATA FILES", "Data Files"},
      {"mixedcase.esp", "MixedCase.ESP"},
      {"MixedCase.ESP", "MixedCase.ESP"},
      {"twice.esp", "twice.esp"},  // the exact spelling wins
      {"TWICE.esp", "TWICE.esp"},
      {"missing.esp", ""},
      // morrowind.ini and MAST spell names in cp1252; either form finds the file.
      {"Gr\xfcne.esp", "Gr\xc3\xbcne.esp"},
      {"GR\xdcNE.ESP", "Gr\xc3\xbcne.esp"},
      {"gr\xc3\x9cne.esp", "Gr\xc3\xbcne.esp"},
      {"L\xc3\xa4nder.esm", "L\xe4nder.esm"},
      {"Grune.esp", ""},
      {"", ""},  // never the folder itself
      {".", ""},
      {"..", ""},
      {"Data Files/../MixedCase.ESP", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto found = FindNoCase(dir.path(), c.name);
    if (c.found.empty()) {
      EXPECT_FALSE(found);
      EXPECT_EQ(ResolveNoCase(dir.path(), c.name), dir.path() / c.name);
    } else {
      ASSERT_TRUE(found);
      EXPECT_EQ(*found, dir.path() / c.found);
      EXPECT_EQ(ResolveNoCase(dir.path(), c.name), dir.path() / c.found);
    }
  }
}

TEST(FileNamesTest, NamesGoToTheGameInItsCodePage) {
  struct Case {
    std::string name, game;
  } cases[] = {
      {"Plain.esp", "Plain.esp"},
      {"Gr\xc3\xbcne.esp", "Gr\xfcne.esp"},
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

  // On screen, UTF-8 stays and cp1252 bytes become UTF-8, also side by side.
  EXPECT_EQ(Utf8Text("Plain.esp"), "Plain.esp");
  EXPECT_EQ(Utf8Text("Gr\xc3\xbcne.esp needs L\xe4nder.esm"),
            "Gr\xc3\xbcne.esp needs L\xc3\xa4nder.esm");
  EXPECT_EQ(Utf8Text("\x80 \x9c \xc3"), "\xe2\x82\xac \xc5\x93 \xc3\x83");
}

}  // namespace
}  // namespace modrake
