#include "platform/ascii.hpp"

namespace modrake {

int CompareNoCase(std::string_view a, std::string_view b) {
  size_t n = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < n; ++i) {
    auto x = static_cast<unsigned char>(FoldAscii(a[i]));
    auto y = static_cast<unsigned char>(FoldAscii(b[i]));
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

std::string LowerCaseAscii(std::string_view text) {
  std::string lower(text);
  LowerCaseAsciiInPlace(lower);
  return lower;
}

void LowerCaseAsciiInPlace(std::string& text) {
  for (char& c : text) c = FoldAscii(c);
}

}  // namespace modrake
