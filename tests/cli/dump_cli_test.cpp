#include <gtest/gtest.h>

#include "support/test_support.hpp"

namespace modrake {
namespace {

using test::RunModrake;

TEST(CliTest, VersionHelpAndUsageErrors) {
  test::TempDir home;
  EXPECT_EQ(RunModrake({"--version"}).out, "modrake 1.3\n");

  EXPECT_EQ(RunModrake({"--home", home.path().string(), "dump"}).exitCode, 2);
  EXPECT_EQ(RunModrake({"--home", home.path().string(), "--yes", "--no", "dump", "x"}).exitCode, 2);
}

TEST(CliTest, DumpListsOneTabSeparatedLinePerRecord) {
  test::TempDir dir;
  std::string bytes =
      test::HeaderRecord({{"Morrowind.esm", 79837557}}) +
      test::RecordBytes("GMST", test::ZField("NAME", "fWereWolfRunMult") +
                                    test::Field("FLTV", test::Bytes().F32(1.5f).str())) +
      test::RecordBytes(
          "CELL",
          test::ZField("NAME", "") + test::Field("DATA", test::Bytes().U32(2).I32(-3).I32(7).str()),
          0x400);
  test::WriteFile(dir / "dirty.esp", bytes);
  auto result = RunModrake({"--home", dir.path().string(), "dump", (dir / "dirty.esp").string()});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(result.out,
            "0\tTES3\t00000000\t346\t<<UNKNOWN>>\n"
            "362\tGMST\t00000000\t37\tfWereWolfRunMult\n"
            "415\tCELL\t00000400\t29\t -3   7\n");
}

TEST(CliTest, DumpFailuresEndWithModrakeErrorAndExitOne) {
  test::TempDir dir;
  // A listing that cannot be written whole is a failure, not a short success.
  test::WriteFile(dir / "fine.esp", test::HeaderRecord());
  if (std::filesystem::exists("/dev/full")) {
    auto full = test::RunProgram("/bin/sh", {"-c", "\"$0\" dump \"$1\" >/dev/full",
                                             MODRAKE_CLI_BINARY, (dir / "fine.esp").string()});
    EXPECT_EQ(full.exitCode, 1);
    EXPECT_NE(full.err.find("Modrake Error: Cannot write the records of"), std::string::npos)
        << full.err;
  }
  auto missing = RunModrake({"--home", dir.path().string(), "dump", (dir / "none.esp").string()});
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_EQ(missing.err, "Modrake Error: Cannot find file none.esp\n");
}

}  // namespace
}  // namespace modrake
