#include "format/plugin_file.hpp"

#include <gtest/gtest.h>

#include <fstream>

#include "core/fatal_error.hpp"
#include "format/record_stream.hpp"
#include "platform/file_io.hpp"
#include "platform/page_buffer.hpp"
#include "support/test_support.hpp"

namespace modrake {
namespace {

using test::Bytes;
using test::Contains;
using test::Field;
using test::HeaderRecord;
using test::ReadFile;
using test::RecordBytes;
using test::TempDir;
using test::WriteFile;
using test::ZField;

std::string Misc(const std::string& id) {
  return RecordBytes("MISC", ZField("NAME", id) + ZField("MODL", "m\\" + id + ".nif"));
}

std::string FatalMessage(const std::function<void()>& action) {
  try {
    action();
  } catch (const FatalException& e) {
    return e.what();
  }
  return "";
}

TEST(PluginFileTest, RealPluginsSaveByteForByte) {
  auto real = test::RealTestData();
  if (real.empty()) GTEST_SKIP() << "no real plugins beside the checkout";
  TempDir dir;
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(real)) {
    std::string name = entry.path().filename().string();
    if (entry.path().extension() == ".md") continue;
    std::filesystem::copy_file(entry.path(), dir / name);
    std::filesystem::permissions(dir / name, std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::add);
    PluginFile plugin(dir.path(), name);
    plugin.ReadAllRecords();
    plugin.Save();
    EXPECT_EQ(ReadFile(dir / name), ReadFile(entry.path())) << name;
    ++files;
  }
  EXPECT_GT(files, 5);
}

// A record of no size (deleted) keeps the records after it.
TEST(PluginFileTest, SaveRecomputesCountsSizesAndFileType) {
  struct Case {
    const char* name;
    uint32_t fileType;
  };
  for (const Case& c : {Case{"a.esm", 1}, Case{"b.esp", 0}, Case{"c.ESS", 2}, Case{"d.ESM", 1}}) {
    TempDir dir;
    WriteFile(dir / c.name,
              HeaderRecord({}, 77) + Misc("one") + RecordBytes("MISC", "", 0x20) + Misc("two"));
    PluginFile plugin(dir.path(), c.name);
    plugin.ReadAllRecords();
    plugin.records.back()->FindSubrecord(tags::MODL)->SetString("a much longer model path.nif");
    plugin.Save();

    PluginFile again(dir.path(), c.name);
    again.ReadAllRecords();
    ASSERT_EQ(again.records.size(), 4u);
    HeaderSubrecord hedr(*again.FindHeaderRecord()->FindSubrecord(tags::HEDR));
    EXPECT_EQ(hedr.FileType(), c.fileType) << c.name;
    EXPECT_EQ(hedr.RecordCount(), 3u);
    EXPECT_FLOAT_EQ(hedr.Version(), 1.3f);
    EXPECT_EQ(again.records.back()->FindSubrecord(tags::MODL)->Text(),
              "a much longer model path.nif");
    EXPECT_EQ(again.status.size, std::filesystem::file_size(dir / c.name));
  }
}

// A grown header leaves the records after it, and the file keeps its time.
TEST(PluginFileTest, HeaderUpdatesKeepTheRecordsAndTheTime) {
  const std::string body = Misc("a") + Misc("b");
  TempDir dir;
  WriteFile(dir / "p.esp",
            RecordBytes("TES3", Field("HEDR", Bytes().F32(1.0f).U32(0).Zeros(288).U32(1).str()) +
                                    ZField("MAST", "Morrowind.esm")) +
                body);
  ASSERT_TRUE(SetFileTime(dir / "p.esp", 1055426733));
  PluginFile plugin(dir.path(), "p.esp");
  plugin.ReadAllRecords();
  AddMaster(*plugin.FindHeaderRecord(), "morrowind.esm", 79837557);
  AddMaster(*plugin.FindHeaderRecord(), "Bloodmoon.esm", 30);
  plugin.WriteHeader();

  std::string bytes = ReadFile(dir / "p.esp");
  EXPECT_EQ(bytes.substr(bytes.size() - body.size()), body);
  EXPECT_EQ(QueryFileStatus(dir / "p.esp")->modified, 1055426733);
  std::string masters;
  PluginFile again(dir.path(), "p.esp");
  for (const auto& f : again.FindHeaderRecord()->Fields()) {
    if (f.tag == tags::MAST) masters += " MAST:" + std::string(f.Text());
    if (f.tag == tags::DATA) masters += " DATA:" + std::to_string(f.UInt32At(0));
  }
  EXPECT_EQ(masters, " MAST:Morrowind.esm DATA:79837557 MAST:Bloodmoon.esm DATA:30");
}

// A plugin past a large page is read where the system keeps the file. It
// saves byte for byte; one that another program cuts short while its
// records are held reads as zeros where bytes were lost (instead of ending
// the process), and saving it fails, naming it, and writes nothing, also
// when the file is put back as it was, time and all.
TEST(PluginFileTest, LargePluginsSaveWholeAndOnesCutShortWhileHeldAreNotWritten) {
  TempDir dir;
  std::string bytes = HeaderRecord({}, 24);
  for (int i = 0; i < 24; ++i) {
    bytes +=
        RecordBytes("MISC", ZField("NAME", "big" + std::to_string(i)) +
                                Field("MODL", std::string(100000, static_cast<char>('a' + i))));
  }
  ASSERT_GT(bytes.size(), PageBuffer::kLargePage);
  WriteFile(dir / "big.esp", bytes);
  PluginFile whole(dir.path(), "big.esp");
  whole.ReadAllRecords();
  whole.Save();
  EXPECT_EQ(ReadFile(dir / "big.esp"), bytes);
  EXPECT_EQ(whole.savedChecksum, ChecksumFile(dir / "big.esp"));

  PluginFile cut(dir.path(), "big.esp");
  cut.ReadAllRecords();
  const FileTimes times = *GetFileTimes(dir / "big.esp");
  std::filesystem::resize_file(dir / "big.esp", 4096);
  const Record& last = *cut.records.back();
  EXPECT_EQ(last.RawData()[last.dataSize - 1], 0);
  std::ofstream(dir / "big.esp", std::ios::binary | std::ios::in) << bytes;
  ASSERT_TRUE(SetFileTimes(dir / "big.esp", times));
  ASSERT_EQ(ReadFile(dir / "big.esp"), bytes);
  cut.SetPath("copy.esp");
  EXPECT_TRUE(Contains(FatalMessage([&] { cut.Save(); }), "big.esp changed while it was read"));
  EXPECT_FALSE(std::filesystem::exists(dir / "copy.esp"));
}

TEST(PluginFileTest, MalformedFilesEndInAClearError) {
  std::string good = HeaderRecord() + Misc("a");
  const struct {
    const char* what;
    std::string bytes;
    const char* message;
  } cases[] = {
      {"ends inside a record's data", good + Misc("b").substr(0, 30),
       "Invalid record in file p.esp at offset 396 (14 vs 26)"},
      {"data size points far past the end",
       good + Bytes().Text("MISC").U32(0x7FFFFFF0).U32(0).U32(0).Text("xx").str(),
       "Invalid record in file p.esp at offset 384 (2 vs 2147483632)"},
      {"cut inside a record header", good + "MISC\x05",
       "Invalid record in file p.esp at offset 366 (the file ends inside a record header)"},
      {"field runs past its record",
       good +
           RecordBytes("MISC", ZField("NAME", "c") + Bytes().Text("MODL").U32(99).Text("x").str()),
       "Invalid subrecord in file p.esp at offset 392 (record MISC at offset 366 runs past its "
       "end)"},
      {"header without HEDR", RecordBytes("TES3", ZField("MAST", "Morrowind.esm")) + Misc("a"),
       "Invalid header record in file p.esp at offset 0: no 300-byte HEDR"},
      {"15 bytes", HeaderRecord().substr(0, 15),
       "File p.esp is not a TES3 plugin: it holds no header record"},
      {"a tag the game never uses", good + RecordBytes("misc", ZField("NAME", "c")),
       "Invalid record in file p.esp at offset 366 (\"misc\" is not a record type)"},
  };
  for (const auto& c : cases) {
    TempDir dir;
    WriteFile(dir / "p.esp", c.bytes);
    std::string message = FatalMessage([&] {
      PluginFile plugin(dir.path(), "p.esp");
      plugin.ReadAllRecords();
    });
    EXPECT_EQ(message, c.message) << c.what;
    std::string viewed = FatalMessage([&] {
      PluginFile plugin(dir.path(), "p.esp");
      RecordStream stream(plugin);
      while (stream.Next()) stream.View();
    });
    EXPECT_EQ(viewed, c.message) << c.what << " (viewed)";
    // Bytes in memory read as the same file do.
    std::string inMemory = FatalMessage([&] {
      PluginFile plugin("p.esp", c.bytes, PluginFile::InMemory{});
      plugin.ReadAllRecords();
    });
    EXPECT_EQ(inMemory, c.message) << c.what << " (in memory)";
  }
}

}  // namespace
}  // namespace modrake
