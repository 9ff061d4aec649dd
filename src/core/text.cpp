#include "core/text.hpp"

#include <cstdio>

#include "platform/file_names.hpp"

namespace modrake {

std::string FormatTextV(const char* format, va_list args) {
  char small[512];
  va_list copy;
  va_copy(copy, args);
  int needed = std::vsnprintf(small, sizeof small, format, copy);
  va_end(copy);
  if (needed < 0) return std::string();
  if (static_cast<size_t>(needed) < sizeof small)
    return std::string(small, static_cast<size_t>(needed));
  std::string text(static_cast<size_t>(needed) + 1, '\0');
  std::vsnprintf(text.data(), text.size(), format, args);
  text.resize(static_cast<size_t>(needed));
  return text;
}

std::string FormatText(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string text = FormatTextV(format, args);
  va_end(args);
  return text;
}

void AppendInt(std::string& text, int64_t value, int width) {
  // Written backwards into a buffer and appended at once: cell grids are
  // written this way tens of thousands of times per plugin.
  char digits[24];
  char* const end = digits + sizeof digits;
  char* first = end;
  uint64_t magnitude = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
  do {
    *--first = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  if (value < 0) *--first = '-';
  const auto n = static_cast<int>(end - first);
  if (width > n) text.append(static_cast<size_t>(width - n), ' ');
  text.append(first, static_cast<size_t>(n));
}

namespace {
bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}
}  // namespace

std::string& TrimValue(std::string& text) {
  size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  if (i == text.size() || text[i] == ';') {
    text.clear();
    return text;
  }
  std::string out;
  out.reserve(text.size() - i);
  size_t keep = 0;  // length of the result without its trailing blanks
  while (i < text.size() && text[i] != ';') {
    if (text[i] == '"') {
      size_t close = text.find('"', i + 1);
      size_t end = close == std::string::npos ? text.size() : close + 1;
      out.append(text, i, end - i);
      keep = out.size();
      i = end;
      continue;
    }
    out.push_back(text[i]);
    if (!IsBlank(text[i])) keep = out.size();
    ++i;
  }
  out.resize(keep);
  text = std::move(out);
  return text;
}

}  // namespace modrake
