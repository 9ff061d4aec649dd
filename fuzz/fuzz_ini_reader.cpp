// Feeds arbitrary bytes to the ini reader, as morrowind.ini and modrake.ini
// are read: never a crash; the text reads back byte for byte, from memory and
// from a file; a value written is the value found, and a key deleted is gone.
#include <cstdlib>
#include <string>
#include <string_view>

#include "fuzz_support.hpp"
#include "platform/ini_file.hpp"

namespace {

// Names as the program asks for them, in other letter cases too.
const char* const kSections[] = {"Game Files", "game files", "General", "Cleaning Settings"};
const char* const kKeys[] = {"GameFile0", "gamefile1", "StrictAIDT", "Game File"};
const char* const kValues[] = {"1", "Morrowind.esm", "Two words", ""};

void Check(bool holds) {
  if (!holds) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The first byte picks the names; the rest is the file.
  if (size == 0) return 0;
  const char* section = kSections[data[0] & 3];
  const char* key = kKeys[(data[0] >> 2) & 3];
  const char* value = kValues[(data[0] >> 4) & 3];
  std::string text(reinterpret_cast<const char*>(data + 1), size - 1);

  const auto file = modrake::fuzz::WorkFolder() / "input.ini";
  if (!modrake::fuzz::WriteInput(file, data + 1, size - 1)) return 0;
  modrake::IniFile read(file);
  Check(read.ReadError().empty());
  Check(read.Text() == text);

  modrake::IniFile ini(file, text);
  Check(ini.Text() == text);
  for (const char* s : kSections) {
    for (const char* k : kKeys) (void)ini.Read(s, k, "default", 255);
  }

  ini.Write(section, key, value);
  Check(ini.Find(section, key) == std::string(value));
  Check(modrake::IniFile(file, ini.Text()).Find(section, key) == std::string(value));

  ini.Delete(section, key);
  Check(!ini.Find(section, key));
  Check(!modrake::IniFile(file, ini.Text()).Find(section, key));
  return 0;
}
