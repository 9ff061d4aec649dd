#include "core/text.hpp"

#include <gtest/gtest.h>

namespace modrake {
namespace {

TEST(TextTest, TrimValueCutsBlanksAndCommentsOutsideQuotes) {
  struct Case {
    const char* in;
    const char* out;
  };
  const Case cases[] = {
      {"  abc  ; a note", "abc"},
      {"Loading Morrowind.esm\n", "Loading Morrowind.esm"},
      {"\t\r\n", ""},
      {"; only a comment", ""},
      {"\"a;b\" c ; note", "\"a;b\" c"},
      {"\"open quote; runs to the end  ", "\"open quote; runs to the end  "},
      {"x \"q \"  ", "x \"q \""},
      {"Cleaned 3 file(s)", "Cleaned 3 file(s)"},
  };
  for (const auto& c : cases) {
    std::string text = c.in;
    EXPECT_EQ(TrimValue(text), c.out) << c.in;
  }
}

TEST(TextTest, NextTokenReadsQuotedAndPlainTokens) {
  std::string token;
  std::string_view line = "\"C:\\Games\\Modrake.exe\" --flag";
  size_t next = NextToken(line, &token);
  EXPECT_EQ(token, "C:\\Games\\Modrake.exe");
  EXPECT_EQ(line.substr(next), " --flag");
  EXPECT_EQ(NextToken("modrake.exe rest", &token), 11u);
  EXPECT_EQ(token, "modrake.exe");
  EXPECT_EQ(NextToken("\"unclosed", &token), 9u);
  EXPECT_EQ(token, "unclosed");
}

TEST(TextTest, FormatGrowsPastAnyFixedBuffer) {
  std::string longName(5000, 'x');
  std::string text = FormatText("!Processing %s\n", longName.c_str());
  EXPECT_EQ(text.size(), 5000u + 13u);
}

TEST(TextTest, AppendIntWritesWhatPrintfWould) {
  // Cell grids and ids are keys: one character off and a cell no longer
  // meets its master's version.
  const int64_t values[] = {0,    7,     -3,        42,        -42,       999,       -999,
                            1000, -1000, INT32_MAX, INT32_MIN, INT64_MIN, 4294967295};
  for (int64_t value : values) {
    for (int width : {0, 3}) {
      std::string text = "x";
      AppendInt(text, value, width);
      EXPECT_EQ(text, "x" + FormatText("%*lld", width, static_cast<long long>(value)))
          << value << " width " << width;
    }
  }
}

TEST(TextTest, CaseInsensitiveCompareSeesOnlyAsciiLetters) {
  EXPECT_TRUE(EqualsNoCase("Morrowind.ESM", "morrowind.esm"));
  EXPECT_FALSE(EqualsNoCase("morrowind.esm", "morrowind.esp"));
  EXPECT_LT(CompareNoCase("abc", "ABD"), 0);
  EXPECT_FALSE(EqualsNoCase("\xC4", "\xE4"));
}

}  // namespace
}  // namespace modrake
