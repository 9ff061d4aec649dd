#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "support/game_folder.hpp"
#include "support/records.hpp"
#include "support/test_support.hpp"

namespace modrake {
namespace {

using test::Bytes;
using test::Field;
using test::ZField;

// Morrowind.esm and four plugins whose swords, lamps, cells and lists overlap.
struct ReportGame : test::GameFolder {
  ReportGame() {
    auto ref = [](uint32_t number, float x) {
      return test::Reference(number, "chest", Field("DATA", Bytes().F32(x).Zeros(20).str()));
    };
    auto list = [](uint8_t none) {
      return test::RecordBytes(
          "LEVI", ZField("NAME", "random_sword") + Field("NNAM", Bytes().U8(none).str()) +
                      ZField("INAM", "iron_sword") + Field("INTV", Bytes().U16(1).str()));
    };
    auto lamp = [](const std::string& model, const std::string& more = "") {
      return test::RecordBytes("MISC", ZField("NAME", "lamp") + ZField("MODL", model) + more);
    };
    AddPlugin("Morrowind.esm", 1000, {},
              test::Weapon("iron_sword", 10, 20, "Iron Sword", 5) + lamp("m\\lamp.nif") +
                  test::Cell("Vivec", 1, 0, 0, ref(1, 0) + ref(2, 0)) + test::Misc("gold_001", 1));
    AddPlugin(
        "a.esp", 2000, {},
        test::Weapon("iron_sword", 12, 20, "Iron Sword", 5) +
            lamp("m\\lamp.nif", Field("DELE", Bytes().U32(0).str())) +
            test::Cell("Vivec", 1, 0, 0, ref(0x01000001, 5) + ref(0x01000002, 7) + ref(3, 1)) +
            test::Misc("gold_001", 1) + list(10));
    AddPlugin(
        "b.esp", 3000, {},
        test::Weapon("iron_sword", 10, 20, "Fine Sword", 5) + lamp("m\\lamp2.nif") +
            test::Cell("Vivec", 1, 0, 0, ref(0x01000001, 6) + ref(0x01000002, 7) + ref(3, 2)) +
            test::Misc("gold_001", 1) + list(20));
    AddPlugin("c.esp", 4000, {},
              test::Weapon("wooden_sword", 1, 20, "Sword", 5) +
                  test::Weapon("wooden_sword", 2, 20, "Sword", 5));
    AddPlugin("d.esp", 5000, {},
              test::Weapon("wooden_sword", 1, 20, "Sword", 5) + test::Misc("pebble", 1));
    WriteGameFiles({"Morrowind.esm", "a.esp"});
  }
};

TEST(ReportCliTest, WholeReportOfASmallGame) {
  ReportGame game;
  auto d = game.data();
  // c.esp's two wooden swords are two objects until d.esp's makes one of
  // them a conflict; the game master is left out of the selection.
  auto result = game.Run({"report", (d / "Morrowind.esm").string(), (d / "a.esp").string(),
                          (d / "b.esp").string(), (d / "c.esp").string(), (d / "d.esp").string()});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  std::string log = (game.home / "modrake.log").string();
  EXPECT_EQ(result.out,
            "Scanning a.esp\nScanning b.esp\nScanning c.esp\nScanning d.esp\n\n"
            "Found 8 objects with 6 of them defined more than once\n\n"
            "Loading conflicting objects...\n"
            "Loading Morrowind.esm\n"
            "Total 4 records (4 new, 1 ignored, 0 modified)\n"
            "Created " +
                (game.home / "modrake.dat").string() +
                "\n"
                "Creating report file...\n"
                "Detailed conflict report file \"" +
                log + "\" has been created\n");
  const std::string rule =
      "\n; ------------------------------------------------------------------------\n";
  std::string report = test::ReadLog(log);
  EXPECT_EQ(report.find("\nLEVI  "), std::string::npos) << "leveled lists only with --full";
  report = report.substr(std::min(report.find("\nCELL  Vivec\n"), report.size()));
  EXPECT_EQ(
      report,
      "\nCELL  Vivec\n"
      "  > a.esp\n"
      "        FRMR/NAME 1, 1 / chest\n"
      "             DATA XYZ=(5.00, 0.00, 0.00) ROT=(0.00, 0.00, 0.00)\n"
      "  > b.esp\n"
      "        FRMR/NAME 1, 1 / chest\n"
      "             DATA XYZ=(6.00, 0.00, 0.00) ROT=(0.00, 0.00, 0.00)\n"
      "\nMISC  lamp\n"
      "  > [DELETED] a.esp\n"
      "  > b.esp\n"
      "        MODL      m\\lamp2.nif\n"
      "\nWEAP  wooden_sword\n"
      "  > c.esp\n"
      "        WPDT      wt=1.00, val=20, type=1, HP=300, spd=1.00, r=1.00, enc=0, c(1 5) s(1 5) "
      "t(1 5) f=0\n"
      "  > c.esp\n"
      "        WPDT      wt=2.00, val=20, type=1, HP=300, spd=1.00, r=1.00, enc=0, c(1 5) s(1 5) "
      "t(1 5) f=0\n"
      "  > d.esp\n"
      "        WPDT      wt=1.00, val=20, type=1, HP=300, spd=1.00, r=1.00, enc=0, c(1 5) s(1 5) "
      "t(1 5) f=0\n"
      "\nWEAP  iron_sword\n"
      "  > a.esp\n"
      "        FNAM      Iron Sword                               ; Morrowind.esm\n"
      "        WPDT      wt=12.00, val=20, type=1, HP=300, spd=1.00, r=1.00, enc=0, c(1 5) s(1 5) "
      "t(1 5) f=0\n"
      "  > b.esp\n"
      "        FNAM      Fine Sword\n"
      "        WPDT      wt=10.00, val=20, type=1, HP=300, spd=1.00, r=1.00, enc=0, c(1 5) s(1 5) "
      "t(1 5) f=0 ; Morrowind.esm\n" +
          rule + "; List of non-conflicting plugins\n\nd.esp\n" + rule +
          "; Conflict plugin cross-reference list\n\n"
          "a.esp\n        b.esp\n\nb.esp\n        a.esp\n\nc.esp\n        c.esp\n\n");
}

TEST(ReportCliTest, FlagsTickTheirBoxesForTheRun) {
  ReportGame game;
  auto result = game.Run({"report", "--skip-mergeable", "--full", (game.data() / "a.esp").string(),
                          (game.data() / "b.esp").string()});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  std::string report = test::ReadLog(game.home / "modrake.log");
  for (const char* part :
       {"\nWEAP  iron_sword\n  > [NO CONFLICTS] a.esp\n  > [NO CONFLICTS] b.esp\n",
        "\nLEVI  random_sword\n  > a.esp\n        NNAM      NoneChance=10\n"}) {
    EXPECT_NE(report.find(part), std::string::npos) << report;
  }
  // The document says which fields keep the master's value.
  auto json = game.Run(
      {"report", "--json", (game.data() / "a.esp").string(), (game.data() / "b.esp").string()});
  ASSERT_EQ(json.exitCode, 0) << json.err;
  std::vector<std::string> kept;
  const auto document = nlohmann::json::parse(json.out);
  for (const auto& object : document["objects"]) {
    if (object["id"] != "iron_sword") continue;
    for (const auto& version : object["versions"]) {
      for (const auto& field : version["fields"]) {
        kept.push_back(version["plugin"].get<std::string>() + " " +
                       field["label"].get<std::string>() + (field["keepsMaster"] ? " kept" : ""));
      }
    }
  }
  EXPECT_EQ(kept, (std::vector<std::string>{"a.esp FNAM kept", "a.esp WPDT", "b.esp FNAM",
                                            "b.esp WPDT kept"}))
      << json.out;
}

TEST(CliTest, VersionAndDumpListOneTabSeparatedLinePerRecord) {
  EXPECT_EQ(test::RunModrake({"--version"}).out, "modrake 1.3\n");
  test::TempDir dir;
  std::string bytes =
      test::HeaderRecord({{"Morrowind.esm", 79837557}}) +
      test::RecordBytes(
          "GMST", ZField("NAME", "fWereWolfRunMult") + Field("FLTV", Bytes().F32(1.5f).str())) +
      test::RecordBytes(
          "CELL", ZField("NAME", "") + Field("DATA", Bytes().U32(2).I32(-3).I32(7).str()), 0x400);
  test::WriteFile(dir / "dirty.esp", bytes);
  auto result =
      test::RunModrake({"--home", dir.path().string(), "dump", (dir / "dirty.esp").string()});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(result.out,
            "0\tTES3\t00000000\t346\t<<UNKNOWN>>\n"
            "362\tGMST\t00000000\t37\tfWereWolfRunMult\n"
            "415\tCELL\t00000400\t29\t -3   7\n");
}

}  // namespace
}  // namespace modrake
