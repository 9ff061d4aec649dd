#include "platform/wine_registry.hpp"

#include <algorithm>
#include <fstream>
#include <system_error>

#include "platform/ascii.hpp"
#include "platform/environment.hpp"
#include "platform/file_names.hpp"

#ifdef _WIN32
#include <windows.h>
#endif

namespace modrake {

namespace {

bool SameName(std::string_view a, std::string_view b) {
  return EqualsNoCase(a, b);
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads a registry string from text[at], which follows its opening quote, up
// to the closing quote (or stop when quote is 0); at ends after it. Wine
// escapes backslashes, quotes and characters it cannot write as \xHHHH.
std::string Unescape(std::string_view text, size_t& at, char quote) {
  std::string out;
  while (at < text.size() && text[at] != quote) {
    char c = text[at++];
    if (c != '\\' || at >= text.size()) {
      out.push_back(c);
      continue;
    }
    char next = text[at++];
    if (next == 'x') {
      unsigned code = 0;
      int digits = 0;
      while (digits < 4 && at < text.size() && HexDigit(text[at]) >= 0) {
        code = code * 16 + static_cast<unsigned>(HexDigit(text[at++]));
        ++digits;
      }
      // Characters beyond one byte go out as UTF-8, as Linux names are.
      EncodeUtf8(code, out);
    } else if (next == 'n') {
      out.push_back('\n');
    } else if (next == 'r') {
      out.push_back('\r');
    } else if (next == 't') {
      out.push_back('\t');
    } else if (next == '0') {
      out.push_back('\0');
    } else {
      out.push_back(next);
    }
  }
  if (at < text.size()) ++at;
  return out;
}

// The key name of a "[Key\\Name] 1234567890" line.
std::optional<std::string> KeyLine(std::string_view line) {
  if (line.empty() || line.front() != '[') return std::nullopt;
  size_t close = line.rfind(']');
  if (close == std::string_view::npos || close == 0) return std::nullopt;
  size_t at = 0;
  return Unescape(line.substr(1, close - 1), at, '\0');
}

// The value of a "\"Name\"=\"text\"" line when its name is valueName.
std::optional<std::string> ValueLine(std::string_view line, std::string_view valueName) {
  if (line.empty() || line.front() != '"') return std::nullopt;
  size_t at = 1;
  std::string name = Unescape(line, at, '"');
  if (!SameName(name, valueName) || at >= line.size() || line[at] != '=') return std::nullopt;
  std::string_view rest = line.substr(at + 1);
  // Expandable strings are written str(2):"...".
  if (rest.substr(0, 4) == "str(") {
    size_t colon = rest.find("):");
    if (colon == std::string_view::npos) return std::nullopt;
    rest.remove_prefix(colon + 2);
  }
  if (rest.empty() || rest.front() != '"') return std::nullopt;
  size_t from = 1;
  return Unescape(rest, from, '"');
}

}  // namespace

RegistryValue ReadWineRegistryValue(const std::filesystem::path& registryFile,
                                    std::string_view keyPath, std::string_view valueName) {
  RegistryValue result;
  std::ifstream in(registryFile, std::ios::binary);
  if (!in) return result;
  std::string line;
  bool inKey = false;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (auto key = KeyLine(line)) {
      if (inKey) break;
      inKey = SameName(*key, keyPath);
      result.keyFound = result.keyFound || inKey;
      continue;
    }
    if (!inKey) continue;
    if (auto value = ValueLine(line, valueName)) {
      result.value = std::move(*value);
      break;
    }
  }
  return result;
}

RegistryValue ReadSystemRegistryValue(std::string_view keyPath, std::string_view valueName) {
  RegistryValue result;
#ifdef _WIN32
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, TextPath(keyPath).c_str(), 0,
                    KEY_QUERY_VALUE | KEY_WOW64_64KEY, &key) != ERROR_SUCCESS) {
    return result;
  }
  result.keyFound = true;
  std::wstring name = TextPath(valueName).wstring();
  DWORD type = 0;
  DWORD bytes = 0;
  if (RegQueryValueExW(key, name.c_str(), nullptr, &type, nullptr, &bytes) == ERROR_SUCCESS &&
      (type == REG_SZ || type == REG_EXPAND_SZ)) {
    std::wstring text(bytes / sizeof(wchar_t) + 1, L'\0');
    if (RegQueryValueExW(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(text.data()),
                         &bytes) == ERROR_SUCCESS) {
      text.resize(std::min<size_t>(text.size(), bytes / sizeof(wchar_t)));
      while (!text.empty() && text.back() == L'\0') text.pop_back();
      result.value = std::filesystem::path(text).string();
    }
  }
  RegCloseKey(key);
#else
  (void)keyPath;
  (void)valueName;
#endif
  return result;
}

std::vector<std::filesystem::path> WinePrefixes(std::string_view steamAppId) {
  std::vector<std::filesystem::path> prefixes;
#ifdef _WIN32
  (void)steamAppId;
  return prefixes;
#endif
  if (std::string prefix = EnvironmentValue("WINEPREFIX"); !prefix.empty()) {
    prefixes.push_back(TextPath(prefix));
  }
  if (std::filesystem::path folder = UserFolder(); !folder.empty()) {
    prefixes.push_back(folder / ".wine");
    prefixes.push_back(folder / ".steam/steam/steamapps/compatdata" / std::string(steamAppId) /
                       "pfx");
  }
  return prefixes;
}

std::filesystem::path WindowsPathInPrefix(const std::filesystem::path& prefix,
                                          std::string_view windowsPath) {
  if (windowsPath.size() < 2 || windowsPath[1] != ':') return {};
  char drive = windowsPath[0];
  if (drive >= 'A' && drive <= 'Z') drive = static_cast<char>(drive - 'A' + 'a');
  if (drive < 'a' || drive > 'z') return {};
  std::filesystem::path folder = prefix / "dosdevices" / (std::string(1, drive) + ":");
  std::error_code ec;
  if (!std::filesystem::exists(folder, ec) && drive == 'c') folder = prefix / "drive_c";
  std::string_view rest = windowsPath.substr(2);
  while (!rest.empty()) {
    size_t cut = rest.find_first_of("\\/");
    std::string part(rest.substr(0, cut));
    rest = cut == std::string_view::npos ? std::string_view() : rest.substr(cut + 1);
    if (part.empty() || part == ".") continue;
    folder = ResolveNoCase(folder, part);
  }
  return folder;
}

}  // namespace modrake
