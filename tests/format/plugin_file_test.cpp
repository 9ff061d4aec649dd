#include "format/plugin_file.hpp"

#include <gtest/gtest.h>

#include "core/fatal_error.hpp"
#include "format/record_stream.hpp"
#include "platform/file_io.hpp"
#include "support/test_support.hpp"

namespace modrake {
namespace {

using test::Bytes;
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

TEST(PluginFileTest, SaveRecomputesCountsSizesAndFileType) {
  struct Case {
    const char* name;
    uint32_t fileType;
  };
  for (const Case& c : {Case{"a.esm", 1}, Case{"b.esp", 0}, Case{"c.ESS", 2}, Case{"d.ESM", 1}}) {
    TempDir dir;
    WriteFile(dir / c.name, HeaderRecord({}, 77) + Misc("one") + Misc("two"));
    PluginFile plugin(dir.path(), c.name);
    plugin.ReadAllRecords();
    plugin.records.back()->FindSubrecord(tags::MODL)->SetString("a much longer model path.nif");
    plugin.Save();

    PluginFile again(dir.path(), c.name);
    again.ReadAllRecords();
    ASSERT_EQ(again.records.size(), 3u);
    HeaderSubrecord hedr(*again.FindHeaderRecord()->FindSubrecord(tags::HEDR));
    EXPECT_EQ(hedr.FileType(), c.fileType) << c.name;
    EXPECT_EQ(hedr.RecordCount(), 2u);
    EXPECT_FLOAT_EQ(hedr.Version(), 1.3f);
    EXPECT_EQ(again.records.back()->FindSubrecord(tags::MODL)->Text(),
              "a much longer model path.nif");
    EXPECT_EQ(again.status.size, std::filesystem::file_size(dir / c.name));
  }
}

TEST(PluginFileTest, WriteHeaderInPlaceTouchesOnlyTheHeaderAndKeepsTheTime) {
  TempDir dir;
  std::string body = Misc("a") + Misc("b");
  WriteFile(dir / "p.esp", HeaderRecord({{"Morrowind.esm", 100}}, 2) + body);
  ASSERT_TRUE(SetFileTime(dir / "p.esp", 1055426733));
  PluginFile plugin(dir.path(), "p.esp");
  plugin.ReadAllRecords();
  AddMaster(*plugin.FindHeaderRecord(), "morrowind.esm", 79837557);
  plugin.WriteHeader();

  std::string bytes = ReadFile(dir / "p.esp");
  EXPECT_EQ(bytes.substr(bytes.size() - body.size()), body);
  EXPECT_EQ(QueryFileStatus(dir / "p.esp")->modified, 1055426733);
  PluginFile again(dir.path(), "p.esp");
  auto* header = again.FindHeaderRecord();
  auto mast = header->IteratorOf(header->FindSubrecord(tags::MAST));
  EXPECT_EQ(std::next(mast)->UInt32At(0), 79837557u);
  EXPECT_EQ(mast->Text(), "Morrowind.esm");  // the listed name keeps its case
}

TEST(PluginFileTest, WriteHeaderThatGrowsRewritesTheFileAndKeepsTheTime) {
  TempDir dir;
  // A master without its DATA: updating the size makes the header grow.
  std::string header =
      RecordBytes("TES3", Field("HEDR", Bytes().F32(1.0f).U32(0).Zeros(288).U32(1).str()) +
                              ZField("MAST", "Morrowind.esm"));
  WriteFile(dir / "p.esp", header + Misc("a"));
  ASSERT_TRUE(SetFileTime(dir / "p.esp", 1000000000));
  PluginFile plugin(dir.path(), "p.esp");
  plugin.ReadAllRecords();
  AddMaster(*plugin.FindHeaderRecord(), "Morrowind.esm", 1234);
  plugin.WriteHeader();

  EXPECT_EQ(QueryFileStatus(dir / "p.esp")->modified, 1000000000);
  PluginFile again(dir.path(), "p.esp");
  again.ReadAllRecords();
  ASSERT_EQ(again.records.size(), 2u);
  auto* h = again.FindHeaderRecord();
  auto mast = h->IteratorOf(h->FindSubrecord(tags::MAST));
  ASSERT_NE(std::next(mast), h->subrecords.end());
  EXPECT_EQ(std::next(mast)->tag, tags::DATA);
  EXPECT_EQ(std::next(mast)->UInt32At(0), 1234u);
}

TEST(PluginFileTest, AddMasterUpdatesInsertsOrAppends) {
  TempDir dir;
  WriteFile(dir / "p.esp", RecordBytes("TES3", Field("HEDR", Bytes().Zeros(300).str()) +
                                                   ZField("MAST", "Morrowind.esm") +
                                                   Field("DATA", Bytes().U32(1).U32(0).str()) +
                                                   ZField("MAST", "Tribunal.esm")));
  PluginFile plugin(dir.path(), "p.esp");
  Record& header = *plugin.FindHeaderRecord();
  AddMaster(header, "MORROWIND.ESM", 10);  // other case: only the size changes
  AddMaster(header, "Tribunal.esm", 20);   // no DATA yet: one is inserted
  AddMaster(header, "Bloodmoon.esm", 30);  // new: appended at the end
  header.RebuildData();
  std::vector<std::string> order;
  for (const auto& f : header.subrecords) {
    order.push_back(TagText(f.tag) + (f.tag == tags::MAST   ? ":" + std::string(f.Text())
                                      : f.tag == tags::DATA ? ":" + std::to_string(f.UInt32At(0))
                                                            : ""));
  }
  std::vector<std::string> expected = {
      "HEDR",    "MAST:Morrowind.esm", "DATA:10", "MAST:Tribunal.esm",
      "DATA:20", "MAST:Bloodmoon.esm", "DATA:30"};
  EXPECT_EQ(order, expected);
}

TEST(PluginFileTest, UpdateMasterSizesTakesSizesFromTheList) {
  TempDir dir;
  WriteFile(dir / "Morrowind.esm", HeaderRecord() + Misc("x"));
  WriteFile(dir / "p.esp", HeaderRecord({{"morrowind.esm", 1}, {"Unknown.esm", 5}}));
  PluginList list;
  list.push_back(std::make_unique<PluginFile>(dir.path(), "Morrowind.esm"));
  PluginFile plugin(dir.path(), "p.esp");
  UpdateMasterSizes(*plugin.FindHeaderRecord(), list);
  auto& fields = plugin.FindHeaderRecord()->subrecords;
  auto it = std::next(fields.begin(), 2);
  EXPECT_EQ(it->UInt32At(0), std::filesystem::file_size(dir / "Morrowind.esm"));
  EXPECT_EQ(std::next(it, 2)->UInt32At(0), 5u);
}

TEST(PluginFileTest, StreamingReadsSkipRewindAndComeBackByOffset) {
  TempDir dir;
  WriteFile(dir / "p.esp", HeaderRecord() + Misc("first") + Misc("second") + Misc("third"));
  PluginFile plugin(dir.path(), "p.esp");
  plugin.OpenFile();
  RecordHeader header;
  std::vector<uint64_t> offsets;
  while (true) {
    uint64_t at = plugin.FilePosition();
    if (!plugin.ReadObjectHeader(header)) break;
    offsets.push_back(at);
    plugin.SkipRecord(header);
  }
  EXPECT_FALSE(plugin.IsOpen());
  ASSERT_EQ(offsets.size(), 4u);
  plugin.OpenFile();
  EXPECT_EQ(plugin.ReadRecordAt(offsets[2])->GetDisplayId(), "second");
  plugin.OpenFile();  // rewinds an open file
  EXPECT_EQ(plugin.FilePosition(), 0u);
  ASSERT_TRUE(plugin.ReadObjectHeader(header));
  EXPECT_EQ(header.tag, tags::TES3);
  EXPECT_EQ(FatalMessage([&] {
              PluginFile closed(dir.path(), "p.esp");
              closed.ReadObjectHeader(header);
            }),
            "ReadObjectHeader(): Call OpenFile() first");
}

TEST(PluginFileTest, ZeroSizeRecordKeepsTheRecordsAfterIt) {
  TempDir dir;
  std::string bytes = HeaderRecord() + Misc("a") + RecordBytes("MISC", "", 0x20) + Misc("b");
  WriteFile(dir / "p.esp", bytes);
  PluginFile plugin(dir.path(), "p.esp");
  plugin.ReadAllRecords();
  ASSERT_EQ(plugin.records.size(), 4u);
  EXPECT_EQ(plugin.records.back()->GetDisplayId(), "b");
  plugin.Save();
  std::string saved = ReadFile(dir / "p.esp");
  std::string expectedHeader = HeaderRecord({}, 3);
  // Only the header's count and version can change.
  EXPECT_EQ(saved.substr(expectedHeader.size()), bytes.substr(expectedHeader.size()));
}

struct MalformedCase {
  const char* what;
  std::string bytes;
  const char* message;  // empty: reads without error
  size_t records;
};

TEST(PluginFileTest, MalformedFilesEndInAClearErrorOrADocumentedChoice) {
  std::string good = HeaderRecord() + Misc("a");
  const MalformedCase cases[] = {
      {"ends inside a record's data", good + Misc("b").substr(0, 30),
       "Invalid record in file p.esp at offset 396 (14 vs 26)", 0},
      {"data size points far past the end",
       good + Bytes().Text("MISC").U32(0x7FFFFFF0).U32(0).U32(0).Text("xx").str(),
       "Invalid record in file p.esp at offset 384 (2 vs 2147483632)", 0},
      {"cut inside a record header", good + "MISC\x05",
       "Invalid record in file p.esp at offset 366 (the file ends inside a record header)", 0},
      {"field runs past its record",
       good +
           RecordBytes("MISC", ZField("NAME", "c") + Bytes().Text("MODL").U32(99).Text("x").str()),
       "Invalid subrecord in file p.esp at offset 392 (record MISC at offset 366 runs past its "
       "end)",
       0},
      {"not a TES3 file", "PK\x03\x04 this is a zip file, not a plugin",
       "File p.esp is not a TES3 plugin: it starts with \"PK??\" at offset 0", 0},
      {"header without HEDR", RecordBytes("TES3", ZField("MAST", "Morrowind.esm")) + Misc("a"),
       "Invalid header record in file p.esp at offset 0: no 300-byte HEDR", 0},
      {"empty file", "", "File p.esp is not a TES3 plugin: it holds no header record", 0},
      {"15 bytes", HeaderRecord().substr(0, 15),
       "File p.esp is not a TES3 plugin: it holds no header record", 0},
      {"a cut download: zeros after the header", HeaderRecord() + std::string(4096, '\0'),
       "Invalid record in file p.esp at offset 324 (\"????\" is not a record type)", 0},
      {"a tag the game never uses", good + RecordBytes("misc", ZField("NAME", "c")),
       "Invalid record in file p.esp at offset 366 (\"misc\" is not a record type)", 0},
  };
  for (const auto& c : cases) {
    TempDir dir;
    WriteFile(dir / "p.esp", c.bytes);
    size_t records = 0;
    std::string message = FatalMessage([&] {
      PluginFile plugin(dir.path(), "p.esp");
      plugin.ReadAllRecords();
      records = plugin.records.size();
    });
    EXPECT_EQ(message, c.message) << c.what;
    std::string viewed = FatalMessage([&] {
      PluginFile plugin(dir.path(), "p.esp");
      RecordStream stream(plugin);
      while (stream.Next()) stream.View();
    });
    EXPECT_EQ(viewed, c.message) << c.what << " (viewed)";
    if (!*c.message) {
      EXPECT_EQ(records, c.records) << c.what;
    }
  }
}

TEST(PluginFileTest, MissingFileAndFailedWritesAreReported) {
  TempDir dir;
  EXPECT_EQ(FatalMessage([&] { PluginFile missing(dir.path(), "none.esp"); }),
            "Cannot find file none.esp");
  PluginFile made(dir.path() / "no such folder", "new.esp", "me", "about");
  std::string message = FatalMessage([&] { made.Save(); });
  EXPECT_EQ(message, "Cannot write file " + (dir.path() / "no such folder" / "new.esp").string() +
                         ": No such file or directory");
}

TEST(PluginFileTest, FileIsLookedUpWhateverItsLetterCase) {
  TempDir dir;
  WriteFile(dir / "MixedCase.ESP", HeaderRecord() + Misc("a"));
  PluginFile plugin(dir.path(), "mixedcase.esp");
  EXPECT_EQ(plugin.name, "mixedcase.esp");
  EXPECT_EQ(plugin.path, dir / "MixedCase.ESP");
}

TEST(PluginFileTest, NewPluginHoldsAHeaderWithAuthorAndDescription) {
  TempDir dir;
  PluginFile made(dir.path(), "Merged.esp", "Modrake 1.3 by lanternfly, and more text than fits",
                  "Merged LEVI/LEVC records");
  made.Save();
  PluginFile again(dir.path(), "Merged.esp");
  HeaderSubrecord hedr(*again.FindHeaderRecord()->FindSubrecord(tags::HEDR));
  EXPECT_EQ(hedr.Author(), "Modrake 1.3 by lanternfly, and ");  // 31 characters and the zero
  EXPECT_EQ(hedr.Description(), "Merged LEVI/LEVC records");
  EXPECT_EQ(hedr.RecordCount(), 0u);
}

TEST(PluginFileTest, SetPathRenamesOrMoves) {
  TempDir dir;
  WriteFile(dir / "p.esp", HeaderRecord());
  PluginFile plugin(dir.path(), "p.esp");
  plugin.SetPath("Clean p.esp");
  EXPECT_EQ(plugin.path, dir / "Clean p.esp");
  EXPECT_EQ(plugin.name, "Clean p.esp");
  plugin.SetPath(dir / "Clean" / "p.esp");
  EXPECT_EQ(plugin.path, dir / "Clean" / "p.esp");
  EXPECT_EQ(plugin.name, "p.esp");
}

}  // namespace
}  // namespace modrake
