#pragma once

#include <string>
#include <string_view>

namespace modrake {

// The game compares ids and names without regard to the letter case of
// A-Z; every other byte compares as it is. These are the one place that
// rule is written.
constexpr char FoldAscii(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c;
}

// Negative, 0 or positive as a sorts before, with or after b, A-Z folded;
// bytes compare as unsigned.
int CompareNoCase(std::string_view a, std::string_view b);
inline bool EqualsNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && CompareNoCase(a, b) == 0;
}

// The text with A-Z lowered, as a key under which EqualsNoCase texts meet.
std::string LowerCaseAscii(std::string_view text);
void LowerCaseAsciiInPlace(std::string& text);

}  // namespace modrake
