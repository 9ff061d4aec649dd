#include "platform/file_names.hpp"

#include <algorithm>
#include <system_error>

#include "platform/file_io.hpp"

namespace modrake {

namespace {

#ifdef _WIN32
constexpr char kSeparators[] = "/\\:";
// The file system itself finds a name in any letter case.
constexpr bool kFindsAnyCase = true;
#else
constexpr char kSeparators[] = "/";
constexpr bool kFindsAnyCase = false;
#endif

// What cp1252 puts at 0x80..0x9F; the five bytes it leaves open keep their
// C1 code, as Windows maps them.
constexpr char32_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char32_t FromCp1252(unsigned char byte) {
  return byte >= 0x80 && byte < 0xA0 ? kCp1252High[byte - 0x80] : byte;
}

std::u32string DecodeCp1252(std::string_view text) {
  std::u32string out;
  for (char c : text) out.push_back(FromCp1252(static_cast<unsigned char>(c)));
  return out;
}

std::optional<char> EncodeCp1252(char32_t c) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<char>(c);
  for (unsigned i = 0; i < 32; ++i) {
    if (kCp1252High[i] == c) return static_cast<char>(0x80 + i);
  }
  return std::nullopt;
}

// The length of the well-formed UTF-8 sequence at text[i], with its code
// point in c; 0 when the bytes there are not one.
size_t Utf8At(std::string_view text, size_t i, char32_t& c) {
  auto lead = static_cast<unsigned char>(text[i]);
  size_t length = lead < 0x80   ? 1
                  : lead < 0xC2 ? 0
                  : lead < 0xE0 ? 2
                  : lead < 0xF0 ? 3
                  : lead < 0xF5 ? 4
                                : 0;
  if (length == 0 || text.size() - i < length) return 0;
  c = length == 1 ? lead : lead & (0x7F >> length);
  for (size_t k = 1; k < length; ++k) {
    auto next = static_cast<unsigned char>(text[i + k]);
    if ((next & 0xC0) != 0x80) return 0;
    c = c << 6 | (next & 0x3F);
  }
  bool overlong = (length == 3 && c < 0x800) || (length == 4 && c < 0x10000);
  if (overlong || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return 0;
  return length;
}

// The code points of text when it is well-formed UTF-8.
std::optional<std::u32string> DecodeUtf8(std::string_view text) {
  std::u32string out;
  for (size_t i = 0; i < text.size();) {
    char32_t c = 0;
    size_t length = Utf8At(text, i, c);
    if (length == 0) return std::nullopt;
    out.push_back(c);
    i += length;
  }
  return out;
}

// Lower case for the letters cp1252 can spell, as Windows folds them.
char32_t Lower(char32_t c) {
  if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) return c + 0x20;
  switch (c) {
    case 0x0160:  // Š
    case 0x0152:  // Œ
    case 0x017D:  // Ž
      return c + 1;
    case 0x0178:  // Ÿ
      return 0xFF;
    default:
      return c;
  }
}

// A name as code points: UTF-8 when it is well-formed UTF-8, else cp1252.
std::u32string Decode(std::string_view name) {
  if (auto text = DecodeUtf8(name)) return *text;
  return DecodeCp1252(name);
}

}  // namespace

void EncodeUtf8(char32_t c, std::string& out) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | c >> 6));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | c >> 12));
    out.push_back(static_cast<char>(0x80 | (c >> 6 & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | c >> 18));
    out.push_back(static_cast<char>(0x80 | (c >> 12 & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c >> 6 & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

std::string FileNameKey(std::string_view name) {
  std::string key;
  for (char32_t c : Decode(name)) EncodeUtf8(Lower(c), key);
  return key;
}

bool SameFileName(std::string_view a, std::string_view b) {
  // Most names are ASCII and most pairs differ early: while both are ASCII,
  // byte i is character i of each, so the first difference decides.
  const size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    auto x = static_cast<unsigned char>(a[i]);
    auto y = static_cast<unsigned char>(b[i]);
    if ((x | y) >= 0x80) return FileNameKey(a) == FileNameKey(b);
    if (Lower(x) != Lower(y)) return false;
  }
  // One is an ASCII start of the other: only the same length is the same name.
  return a.size() == b.size();
}

std::string Utf8Text(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    char32_t c = 0;
    size_t length = Utf8At(text, i, c);
    if (length == 0) {
      c = FromCp1252(static_cast<unsigned char>(text[i]));
      length = 1;
    }
    EncodeUtf8(c, out);
    i += length;
  }
  return out;
}

std::string GameFileName(std::string_view name) {
  auto text = DecodeUtf8(name);
  if (!text) return std::string(name);
  std::string game;
  for (char32_t c : *text) {
    auto byte = EncodeCp1252(c);
    if (!byte) return std::string(name);
    game.push_back(*byte);
  }
  return game;
}

std::filesystem::path TextPath(std::string_view text) {
#ifdef _WIN32
  std::wstring wide;
  for (char32_t c : Decode(text)) {
    if (c < 0x10000) {
      wide.push_back(static_cast<wchar_t>(c));
    } else {
      wide.push_back(static_cast<wchar_t>(0xD800 + ((c - 0x10000) >> 10)));
      wide.push_back(static_cast<wchar_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
    }
  }
  return std::filesystem::path(std::move(wide));
#else
  return std::filesystem::path(std::string(text));
#endif
}

std::optional<std::filesystem::path> FindNoCase(const std::filesystem::path& folder,
                                                const std::string& name) {
  // Only a name of an entry is looked up: "", "." and ".." would find the
  // folder or its parent, and a separator would leave the folder.
  if (name.empty() || name == "." || name == ".." ||
      name.find_first_of(kSeparators) != std::string::npos) {
    return std::nullopt;
  }
  std::error_code ec;
#ifndef _WIN32
  std::filesystem::path exact = folder / TextPath(name);
  if (std::filesystem::exists(exact, ec)) return exact;
#endif
  // Windows finds a file in any letter case itself, but the name to show and
  // to write is the one the disk holds: it comes from the folder's entries.
  std::optional<std::filesystem::path> found;
  std::filesystem::directory_iterator it(folder.empty() ? "." : folder, ec);
  for (; !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
    std::string entryName = it->path().filename().string();
    if (entryName == name) return folder / TextPath(entryName);
    if (SameFileName(entryName, name)) {
      if (!kFindsAnyCase) return folder / TextPath(entryName);
      if (!found) found = folder / TextPath(entryName);
    }
  }
  return found;
}

std::string WhyUnreadable(const std::filesystem::path& path) {
  std::error_code ec;
  auto status = std::filesystem::status(path, ec);
  if (!std::filesystem::exists(status)) return "no such file";
  if (!std::filesystem::is_regular_file(status)) return "not a file";
  return ReadAccessProblem(path);
}

std::filesystem::path ResolveNoCase(const std::filesystem::path& folder, const std::string& name) {
  auto found = FindNoCase(folder, name);
  return found ? *found : folder / TextPath(name);
}

}  // namespace modrake
