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

}  // namespace
}  // namespace modrake
