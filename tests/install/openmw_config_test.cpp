#include "install/openmw_config.hpp"

#include <gtest/gtest.h>

#include "core/fatal_error.hpp"
#include "support/test_support.hpp"

namespace modrake {
namespace {

namespace fs = std::filesystem;
using Names = std::vector<std::string>;
using Paths = std::vector<fs::path>;

// A Debian-style chain: etc/ (global), share/ (engine data), userconfig/ (the user's).
struct Chain {
  test::TempDir dir;
  OpenMwPaths paths{dir / "userdata", dir / "userconfig", dir / "share"};
  fs::path global = dir / "etc" / "openmw.cfg";
  fs::path user = dir / "userconfig" / "openmw.cfg";

  fs::path Write(const fs::path& file, const std::string& text) {
    fs::create_directories(file.parent_path());
    test::WriteFile(file, text);
    return file;
  }
  OpenMwConfig Read(const Paths& start) { return OpenMwConfig::Read(start, paths); }
};

Names ContentNames(const OpenMwConfig& config) {
  Names names;
  for (const auto& entry : config.content()) names.push_back(entry.name);
  return names;
}

// Each entry with the file and line it comes from.
Names Places(const OpenMwConfig& config) {
  Names places;
  for (const auto& entry : config.content()) {
    places.push_back(entry.name + " " + std::to_string(entry.file) + ":" +
                     std::to_string(entry.line));
  }
  return places;
}

// The user's file is read once, however it is reached.
TEST(OpenMwConfigTest, ReadsEachFileOfTheChainOnce) {
  for (auto [chains, listed] : {std::pair{true, false}, {false, true}, {true, true}}) {
    SCOPED_TRACE(std::to_string(chains) + std::to_string(listed));
    Chain chain;
    chain.Write(chain.global, std::string("content=builtin.omwscripts\n") +
                                  (chains ? "config=?userconfig?\n" : ""));
    chain.Write(chain.user, "# mine\r\ncontent=Morrowind.esm\r\ncontent=Mod.esp\r\n");
    Paths start{chain.global};
    if (listed) start.push_back(chain.user);
    OpenMwConfig config = chain.Read(start);
    EXPECT_EQ(config.files(), (Paths{chain.global, chain.user}));
    EXPECT_EQ(config.userFile(), chain.user);
    EXPECT_EQ(Places(config),
              (Names{"builtin.omwscripts 0:1", "Morrowind.esm 1:2", "Mod.esp 1:3"}));
    EXPECT_TRUE(config.problems().empty());
  }
}

TEST(OpenMwConfigTest, ReadsHandEditedLines) {
  const std::string manyEscapes = "content=\"" + std::string(1 << 20, '&');
  struct Case {
    const char* name;
    std::string text;
    Names content;
  } cases[] = {
      {"byte order mark",
       "\xEF\xBB\xBF"
       "content=A.esp\n",
       {"A.esp"}},
      {"blanks around key and value", "  content \t=  A.esp \t\r\n", {"A.esp"}},
      {"comment lines", "# content=A.esp\n  #content=B.esp\ncontent=C.esp#1\n", {"C.esp#1"}},
      {"quotes and escapes", "content=\"A &\"B&\" && C.esp\"\n", {"A \"B\" & C.esp"}},
      {"text after the closing quote", "content=\" A.esp \" ignored\n", {" A.esp "}},
      {"unterminated quote", "content=\"A.esp\ncontent=\"B&", {"A.esp", "B"}},
      {"lines without =, empty values, other keys",
       "garbage\ncontent=\n=A.esp\nContent=B.esp\ncontent=C.esp",
       {"C.esp"}},
      {"NUL bytes",
       std::string("content=A\0.esp\ncon\0tent=B.esp\n", 30),
       {std::string("A\0.esp", 6)}},
      {"a megabyte of escapes", manyEscapes, {std::string(1 << 19, '&')}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Chain chain;
    OpenMwConfig config = chain.Read({chain.Write(chain.user, c.text)});
    EXPECT_EQ(ContentNames(config), c.content);
  }
}

TEST(OpenMwConfigTest, ExpandsPathsAsOpenMwDoes) {
  Chain chain;
  const fs::path& root = chain.dir.path();
  const fs::path here = root / "userconfig", data = root / "userdata";
  struct Case {
    std::string text;
    Paths folders;  // data= folders, then data-local
  } cases[] = {
      {"data=?userdata?mods", {data / "mods", data / "data"}},
      {"data=\"?global?/data\"", {root / "share" / "data", data / "data"}},
      {"data=?local?sub", {here / "sub", data / "data"}},
      {"data=?userconfig?", {here, data / "data"}},
      {"data-local=?userconfig?local\ndata-local=last", {here / "last"}},
      {"data-local=?userconfig?local\ndata-local=", {data / "data"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    for (size_t i = 0; i + 1 < c.folders.size(); ++i) fs::create_directories(c.folders[i]);
    OpenMwConfig config = chain.Read({chain.Write(chain.user, c.text + "\n")});
    EXPECT_EQ(config.dataFolders(), c.folders);
    EXPECT_EQ(config.dataLocal(), c.folders.back());
  }
}

TEST(OpenMwConfigTest, ReplaceDropsWhatEarlierFilesGave) {
  struct Case {
    const char* user;
    Names content;
    Names groundcover;
    size_t dataFolders;
  } cases[] = {
      {"content=A.esp\nreplace=content\ncontent=B.esp\n", {"A.esp", "B.esp"}, {"Old.esp"}, 2},
      {"replace=data\ncontent=A.esp\n",
       {"builtin.omwscripts", "Morrowind.esm", "A.esp"},
       {"Old.esp"},
       1},
      {"replace=groundcover\ngroundcover=New.esp\n",
       {"builtin.omwscripts", "Morrowind.esm"},
       {"New.esp"},
       2},
      {"replace=fallback\n", {"builtin.omwscripts", "Morrowind.esm"}, {"Old.esp"}, 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.user);
    Chain chain;
    fs::create_directories(chain.dir / "share" / "data");
    chain.Write(chain.global,
                "data=?global?data\ncontent=builtin.omwscripts\ncontent=Morrowind.esm\n"
                "groundcover=Old.esp\nconfig=?userconfig?\n");
    chain.Write(chain.user, c.user);
    OpenMwConfig config = chain.Read({chain.global});
    EXPECT_EQ(ContentNames(config), c.content);
    EXPECT_EQ(config.groundcover(), c.groundcover);
    EXPECT_EQ(config.dataFolders().size(), c.dataFolders);
  }
}

TEST(OpenMwConfigTest, NamesEachProblemWithFileAndLine) {
  struct Expected {
    bool inUser;
    unsigned line;
    const char* says;
  };
  struct Case {
    const char* name;
    std::string global, user;
    std::vector<Expected> problems;
    Names content;
  } cases[] = {
      {"config= to a folder without openmw.cfg",
       "config=?userconfig?\nconfig=nowhere\n",
       "content=A.esp\n",
       {{false, 2, "Cannot read"}},
       {"A.esp"}},
      {"data folder whose name holds a NUL byte",
       "config=?userconfig?\n",
       std::string("content=A.esp\ndata=?userconfig?\0x\n", 34),
       {{true, 2, "does not exist"}},
       {"A.esp"}},
      {"content listed twice",
       "content=A.esp\nconfig=?userconfig?\n",
       "content=a.ESP\ncontent=Caf\xC3\xA9.esp\ncontent=CAF\xC9.ESP\n",
       // Each names the entry that counts: the global file's, then the user's.
       {{true, 1, "line 1) counts"}, {true, 3, "line 2) counts"}},
       {"A.esp", "Caf\xC3\xA9.esp"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Chain chain;
    chain.Write(chain.global, c.global);
    chain.Write(chain.user, c.user);
    OpenMwConfig config = chain.Read({chain.global});
    ASSERT_EQ(config.problems().size(), c.problems.size());
    for (size_t i = 0; i < c.problems.size(); ++i) {
      const ConfigProblem& problem = config.problems()[i];
      SCOPED_TRACE(problem.message);
      EXPECT_EQ(problem.file, c.problems[i].inUser ? chain.user : chain.global);
      EXPECT_EQ(problem.line, c.problems[i].line);
      EXPECT_NE(problem.message.find(c.problems[i].says), std::string::npos);
    }
    EXPECT_EQ(ContentNames(config), c.content);
    // The data-local folder is kept even when missing: it is made on use.
    EXPECT_EQ(config.dataFolders(), Paths{chain.dir / "userdata" / "data"});
  }
}

TEST(OpenMwConfigTest, UnreadableStartFileStopsTheRead) {
  Chain chain;
  fs::path locked = chain.Write(chain.dir / "locked.cfg", "content=A.esp\n");
  fs::permissions(locked, fs::perms::none);
  struct Case {
    fs::path file;
    const char* reason;
  } cases[] = {
      {chain.dir / "missing.cfg", "No such file or directory"},
      {chain.dir.path(), "Is a directory"},
      {locked, "Permission denied"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reason);
    // Root reads it anyway; on Windows no mode keeps its owner from reading.
    if (c.file == locked && (test::RunsAsRoot() || test::kWindows)) continue;
    try {
      chain.Read({c.file});
      ADD_FAILURE() << "read";
    } catch (const FatalException& e) {
      EXPECT_EQ(std::string(e.what()), "Cannot read file " + c.file.string() + ": " + c.reason);
    }
  }
}

TEST(OpenMwConfigTest, ChangesOnlyTheContentLinesItTouches) {
  const std::string user =
      "# mine\r\ncontent=Morrowind.esm\r\ncontent=Tribunal.esm\r\n# between\r\n"
      "groundcover=Grass.esp\r\ncontent=Mod.esp\r\ndata=\"Rock && Roll\"\r\n";
  struct Op {
    char kind;  // Add or Remove
    const char* name;
    bool result = true;
  };
  struct Case {
    const char* name;
    std::string global, user;
    std::vector<Op> ops;
    std::string expectedUser;
    Names content;
    std::string expectedGlobal = {};  // empty: the global file stays as it was
  } cases[] = {
      {"add names that need quotes",
       "",
       "content=A.esp\n",
       {{'A', "Rock & Roll.esp"}, {'A', " Lead.esp"}, {'A', "\"Q\".esp"}, {'A', "#1.esp"}},
       "content=A.esp\ncontent=\"Rock && Roll.esp\"\ncontent=\" Lead.esp\"\n"
       "content=\"&\"Q&\".esp\"\ncontent=\"#1.esp\"\n",
       {"A.esp", "Rock & Roll.esp", " Lead.esp", "\"Q\".esp", "#1.esp"}},
      {"add what is there already",
       "content=builtin.omwscripts\n",
       user,
       {{'A', "MOD.ESP"}, {'A', "Builtin.omwscripts"}},
       user,
       {"builtin.omwscripts", "Morrowind.esm", "Tribunal.esm", "Mod.esp"}},
      {"add to a file without content lines or a last line ending",
       "",
       "data-local=x\nfallback=a,b",
       {{'A', "A.esp"}},
       "data-local=x\nfallback=a,b\ncontent=A.esp\n",
       {"A.esp"}},
      {"remove",
       "content=builtin.omwscripts\n",
       user,
       {{'R', "tribunal.ESM"}, {'R', "Grass.esp", false}, {'R', "builtin.omwscripts", false}},
       "# mine\r\ncontent=Morrowind.esm\r\n# between\r\n"
       "groundcover=Grass.esp\r\ncontent=Mod.esp\r\ndata=\"Rock && Roll\"\r\n",
       {"builtin.omwscripts", "Morrowind.esm", "Mod.esp"}},
      {"remove the last line, which has no line ending",
       "",
       "content=A.esp\ncontent=B.esp",
       {{'R', "B.esp"}},
       "content=A.esp\n",
       {"A.esp"}},
      {"added and removed again",
       "",
       user,
       {{'A', "New.esp"}, {'R', "new.esp"}},
       user,
       {"Morrowind.esm", "Tribunal.esm", "Mod.esp"}},
      {"the last file with content lines is the user's",
       "content=A.esp\n",
       "fallback=a,b\n",
       {{'A', "B.esp"}},
       "fallback=a,b\n",
       {"A.esp", "B.esp"},
       "content=A.esp\ncontent=B.esp\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Chain chain;
    Paths start;
    if (!c.global.empty()) start.push_back(chain.Write(chain.global, c.global));
    start.push_back(chain.Write(chain.user, c.user));
    OpenMwConfig config = chain.Read(start);
    for (const Op& op : c.ops) {
      if (op.kind == 'A') {
        config.AddContent(op.name);
      } else {
        EXPECT_EQ(config.RemoveContent(op.name), op.result) << op.name;
      }
    }
    EXPECT_EQ(ContentNames(config), c.content);
    bool changed = c.expectedUser != c.user || !c.expectedGlobal.empty();
    EXPECT_EQ(config.Changed(), changed);
    // A save without changes writes nothing: not even a read-only file refuses it.
    if (!changed) fs::permissions(chain.user, fs::perms::owner_read);
    EXPECT_TRUE(config.Save());
    EXPECT_FALSE(config.Changed());
    EXPECT_EQ(test::ReadFile(chain.user), c.expectedUser);
    if (!c.global.empty()) {
      EXPECT_EQ(test::ReadFile(chain.global),
                c.expectedGlobal.empty() ? c.global : c.expectedGlobal);
    }
    // What the changes left in memory is what reading the saved files gives.
    EXPECT_EQ(Places(config), Places(chain.Read(start)));
  }
}

}  // namespace
}  // namespace modrake
