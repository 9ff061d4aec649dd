// What an installed modrake must get right beyond its commands: where it
// keeps its own files.
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>

#include "support/test_support.hpp"

namespace modrake {
namespace {

using test::RunModrake;

// Sets or unsets a variable of the environment the program inherits, and
// puts it back afterwards.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::optional<std::string>& value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    Set(value);
  }
  ~ScopedEnv() { Set(old_); }

 private:
  void Set(const std::optional<std::string>& value) {
    if (value) {
      ::setenv(name_, value->c_str(), 1);
    } else {
      ::unsetenv(name_);
    }
  }
  const char* name_;
  std::optional<std::string> old_;
};

TEST(InstalledCliTest, ProgramHomeIsBesideTheProgramOnlyForAPortableCopy) {
  struct Case {
    const char* what;
    bool givenHome;
    bool modrakeHome;
    bool iniBeside;
    bool xdgDataHome;
    const char* expected;  // relative to the test's folder
  };
  const Case cases[] = {
      {"--home wins", true, true, true, true, "given"},
      {"$MODRAKE_HOME comes next", false, true, true, true, "env"},
      {"a portable copy keeps its files beside it", false, false, true, true, "bin"},
      {"a writable program folder is not a home", false, false, false, true, "xdg/modrake"},
      {"~/.local/share without XDG_DATA_HOME", false, false, false, false,
       "user/.local/share/modrake"},
  };
  test::TempDir game;
  ASSERT_EQ(RunModrake({"--home", game.path(), "sample-game", (game / "g").string()}).exitCode, 0);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    test::TempDir dir;
    std::filesystem::create_directory(dir / "bin");
    auto program = dir / "bin" / "modrake";
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

}  // namespace
}  // namespace modrake
