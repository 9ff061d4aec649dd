#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

#include "support/test_support.hpp"

namespace modrake {
namespace {

test::CommandResult Measure(const std::vector<std::string>& args) {
  return test::RunProgram(MODRAKE_MEASURE_BINARY, args);
}

// The cells of one Markdown table row, trimmed.
std::vector<std::string> Cells(const std::string& row) {
  std::vector<std::string> cells;
  std::stringstream in(row);
  std::string cell;
  std::getline(in, cell, '|');  // before the first bar
  while (std::getline(in, cell, '|')) {
    size_t first = cell.find_first_not_of(" \n");
    size_t last = cell.find_last_not_of(" \n");
    if (first == std::string::npos) continue;  // after the last bar
    cells.push_back(cell.substr(first, last - first + 1));
  }
  return cells;
}

// Peak memory in MiB from a "12.3 MiB" or "800.0 KiB" cell.
double MiB(const std::string& cell) {
  double value = std::atof(cell.c_str());
  return cell.find("KiB") != std::string::npos ? value / 1024 : value;
}

TEST(MeasureTest, RowHasEveryColumnOfTheHeader) {
  auto header = Measure({"--header"});
  ASSERT_EQ(header.exitCode, 0) << header.err;
  std::string firstLine = header.out.substr(0, header.out.find('\n'));
  auto row = Measure({"--name", "read", "--repeat", "1", "--bytes", "3145728", "--records", "10",
                      "--floor", "true", "--target", "at most 2 × the floor", "true"});
  ASSERT_EQ(row.exitCode, 0) << row.err;
  auto columns = Cells(firstLine);
  auto cells = Cells(row.out);
  ASSERT_EQ(cells.size(), columns.size()) << row.out;
  EXPECT_EQ(cells[0], "read");
  EXPECT_EQ(cells[1], "3.0 MiB");
  EXPECT_EQ(cells.back(), "at most 2 × the floor");
}

// The peak memory is the measured command's, not the measuring program's.
TEST(MeasureTest, PeakMemoryIsTheCommandsOwn) {
  struct Case {
    std::string command;
    double atLeast, below;
  };
  const Case cases[] = {
      {"dd if=/dev/zero of=/dev/null bs=48M count=1 2>/dev/null", 48, 200},
      {"true", 0, 16},
  };
  for (const auto& c : cases) {
    auto row = Measure({"--repeat", "2", c.command});
    ASSERT_EQ(row.exitCode, 0) << c.command << row.err;
    auto cells = Cells(row.out);
    ASSERT_GE(cells.size(), 6u) << row.out;
    double peak = MiB(cells[5]);
    EXPECT_GE(peak, c.atLeast) << c.command << ": " << row.out;
    EXPECT_LT(peak, c.below) << c.command << ": " << row.out;
  }
}

// A figure of a run that failed would be a lie: any failure ends the
// measurement with the operation's name and the failing command.
TEST(MeasureTest, FailingCommandsGiveNoFigures) {
  struct Case {
    std::vector<std::string> args;
    std::string error;
  };
  const Case cases[] = {
      {{"--name", "clean", "exit 3"}, "modrake_measure: clean: exit status 3: exit 3\n"},
      {{"--name", "clean", "--prepare", "false", "true"},
       "modrake_measure: clean (prepare): exit status 1: false\n"},
      {{"--name", "clean", "--floor", "cat /no/such/file 2>/dev/null", "true"},
       "modrake_measure: clean (floor): exit status 1: cat /no/such/file 2>/dev/null\n"},
      {{"--name", "crash", "kill -SEGV $$"},
       "modrake_measure: crash: killed by signal 11: kill -SEGV $$\n"},
  };
  for (const auto& c : cases) {
    auto result = Measure(c.args);
    EXPECT_EQ(result.exitCode, 1) << c.error;
    EXPECT_EQ(result.out, "") << c.error;
    EXPECT_EQ(result.err, c.error);
  }
  EXPECT_EQ(Measure({"--name", "nothing"}).exitCode, 2);
}

// Operations that change their input run on a fresh copy each time: the
// preparation runs before the warm-up and before every counted run.
TEST(MeasureTest, PreparationRunsBeforeEveryRun) {
  test::TempDir dir;
  std::string work = (dir / "work.esp").string();
  std::string done = (dir / "done.esp").string();
  std::string count = (dir / "count").string();
  auto row =
      Measure({"--repeat", "3", "--prepare", "echo x >>'" + count + "'; touch '" + work + "'",
               "mv '" + work + "' '" + done + "'"});
  ASSERT_EQ(row.exitCode, 0) << row.err;
  EXPECT_EQ(test::ReadFile(count), "x\nx\nx\nx\n");
}

}  // namespace
}  // namespace modrake
