#include "core/text.hpp"

#include <gtest/gtest.h>

namespace modrake {
namespace {

TEST(TextTest, TrimValueCutsBlanksAndCommentsOutsideQuotes) {
  const std::pair<const char*, const char*> cases[] = {
      {"  abc  ; a note", "abc"},
      {"\t\r\n", ""},
      {"; only a comment", ""},
      {"\"a;b\" c ; note", "\"a;b\" c"},
      {"\"open quote; runs to the end  ", "\"open quote; runs to the end  "},
      {"x \"q \"  ", "x \"q \""},
  };
  for (const auto& [in, out] : cases) {
    std::string text = in;
    EXPECT_EQ(TrimValue(text), out) << in;
  }
  EXPECT_EQ(FormatText("!Processing %s\n", std::string(5000, 'x').c_str()).size(), 5013u);
}

TEST(TextTest, AppendIntWritesWhatPrintfWould) {
  // Cell grids and ids are keys: one character off and a cell no longer
  // meets its master's version.
  const int64_t values[] = {0, 7, -3, -42, 999, -1000, INT32_MIN, INT64_MIN};
  for (int64_t value : values) {
    for (int width : {0, 3}) {
      std::string text = "x";
      AppendInt(text, value, width);
      EXPECT_EQ(text, "x" + FormatText("%*lld", width, static_cast<long long>(value))) << value;
    }
  }
}

}  // namespace
}  // namespace modrake
