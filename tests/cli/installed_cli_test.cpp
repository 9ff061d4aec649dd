// Where an installed modrake keeps its files; completions and manual know every option.
#include <gtest/gtest.h>

#include <cctype>
#include <optional>
#include <set>
#include <sstream>

#include "support/test_support.hpp"

namespace modrake {
namespace {

using test::RunModrake;
using test::ScopedEnv;

TEST(InstalledCliTest, ProgramHomeIsBesideTheProgramOnlyForAPortableCopy) {
  struct Case {
    const char* what;
    bool givenHome;
    bool modrakeHome;
    bool iniBeside;
    bool xdgDataHome;
    const char* expected;  // relative to the test's folder
  };
  std::vector<Case> cases = {
      {"--home wins", true, true, true, true, "given"},
      {"$MODRAKE_HOME comes next", false, true, true, true, "env"},
      {"a portable copy keeps its files beside it", false, false, true, true, "bin"}};
  if (test::kWindows) {
    // Every copy is a portable one, at home where it may write.
    cases.push_back({"a copy keeps its files beside it", false, false, false, true, "bin"});
  } else {
    cases.push_back(
        {"a writable program folder is not a home", false, false, false, true, "xdg/modrake"});
    cases.push_back({"~/.local/share without XDG_DATA_HOME", false, false, false, false,
                     "user/.local/share/modrake"});
  }
  test::TempDir game;
  ASSERT_EQ(
      RunModrake({"--home", game.path().string(), "sample-game", (game / "g").string()}).exitCode,
      0);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    test::TempDir dir;
    std::filesystem::create_directory(dir / "bin");
    auto program = dir / "bin" / std::filesystem::path(MODRAKE_CLI_BINARY).filename();
    std::filesystem::copy_file(MODRAKE_CLI_BINARY, program);
    if (c.iniBeside) test::WriteFile(dir / "bin" / "modrake.ini", "");
    ScopedEnv user("HOME", (dir / "user").string());
    auto folder = [&](bool set, const char* name) {
      return set ? std::optional<std::string>((dir / name).string()) : std::nullopt;
    };
    ScopedEnv env("MODRAKE_HOME", folder(c.modrakeHome, "env"));
    ScopedEnv xdg("XDG_DATA_HOME", folder(c.xdgDataHome, "xdg"));
    std::vector<std::string> args;
    if (c.givenHome) args = {"--home", (dir / "given").string()};
    args.insert(args.end(), {"--game", (game / "g").string(), "options", "KeepFileDate=1"});
    auto result = test::RunProgram(program.string(), args);
    ASSERT_EQ(result.exitCode, 0) << result.err;

    std::vector<std::string> written;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(dir.path())) {
      if (entry.path().filename() == "modrake.ini" &&
          test::ReadFile(entry.path()).find("KeepFileDate=1") != std::string::npos) {
        written.push_back(entry.path().parent_path().lexically_relative(dir.path()).string());
      }
    }
    EXPECT_EQ(written, std::vector<std::string>{c.expected});
  }
}

std::string WithoutDashes(const std::string& word) {
  size_t start = word.find_first_not_of('-');
  return start == std::string::npos ? word : word.substr(start);
}

// Commands, options and values of one level and those below, as --help reports them.
void CollectHelpWords(const std::vector<std::string>& command, std::set<std::string>& words) {
  std::vector<std::string> args = command;
  args.push_back("--help");
  auto help = RunModrake(args);
  ASSERT_EQ(help.exitCode, 0) << help.err;
  std::istringstream lines(help.out);
  std::string line;
  std::string section;
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == ':' && line[0] != ' ') section = line;
    // Entries are indented by two; their descriptions run on further in.
    if (line.size() < 3 || line.compare(0, 2, "  ") != 0 || line[2] == ' ') continue;
    std::string first = line.substr(2, line.find(' ', 2) - 2);
    if (section == "Subcommands:") {
      words.insert(first);
      std::vector<std::string> sub = command;
      sub.push_back(first);
      CollectHelpWords(sub, words);
    } else if (section == "Options:") {
      std::istringstream names(first);
      for (std::string name; std::getline(names, name, ',');) words.insert(name);
      size_t open = line.find('{');
      size_t close = line.find('}', open);
      if (open != std::string::npos && close != std::string::npos) {
        std::istringstream choices(line.substr(open + 1, close - open - 1));
        for (std::string choice; std::getline(choices, choice, ',');) words.insert(choice);
      }
    }
  }
}

TEST(InstalledCliTest, CompletionsAndManualKnowEveryCommandAndOption) {
  SKIP_ON_WINDOWS("shell completions and manual pages are installed on Linux only");
  std::set<std::string> words;
  CollectHelpWords({}, words);
  ASSERT_TRUE(words.count("merge-lists") && words.count("--keep-names") && words.count("name"));
  const std::filesystem::path source = MODRAKE_SOURCE_DIR;
  for (auto file : {"packaging/completions/modrake.bash", "packaging/completions/_modrake",
                    "packaging/completions/modrake.fish", "docs/man/modrake.1"}) {
    std::string text = test::ReadFile(source / file);
    // Manual pages write a hyphen as \- and change fonts with \fB, \fI and \fR;
    // fish names options without their dashes.
    for (size_t at; (at = text.find("\\-")) != std::string::npos;) text.erase(at, 1);
    for (size_t at; (at = text.find("\\f")) != std::string::npos;) text.erase(at, 3);
    std::set<std::string> tokens;
    for (char& c : text) {
      if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '_') c = ' ';
    }
    std::istringstream tokenized(text);
    for (std::string token; tokenized >> token;) tokens.insert(WithoutDashes(token));
    for (const std::string& word : words) {
      EXPECT_TRUE(tokens.count(WithoutDashes(word))) << file << " lacks " << word;
    }
  }
}

}  // namespace
}  // namespace modrake
