#include "core/settings.hpp"

#include <algorithm>
#include <cstdlib>
#include <string>

#include "core/fatal_error.hpp"
#include "platform/ini_file.hpp"

namespace modrake {

namespace {

// Values are read into a buffer of this many characters.
constexpr size_t kValueChars = 8;

// True when a stored setting value ticks its box: a decimal number, read the
// way the C library's atoi reads it, that is not 0.
bool SettingIsTicked(const std::string& value) {
  // strtol skips leading blanks, takes a sign and stops at the first other
  // character, as atoi does; no digits give 0.
  return std::strtol(value.c_str(), nullptr, 10) != 0;
}

bool ReadFlag(const IniFile& ini, const char* section, const char* key) {
  return SettingIsTicked(ini.Read(section, key, "0", kValueChars));
}

}  // namespace

const char* RequiredMaster(const SettingKey& setting) {
  if (setting.box == &CheckBoxes::ignoreTribunal) return "tribunal.esm";
  if (setting.box == &CheckBoxes::ignoreBloodmoon) return "bloodmoon.esm";
  return nullptr;
}

bool SettingUsable(const SettingKey& setting, const ActiveMasters& masters) {
  if (setting.box == &CheckBoxes::ignoreTribunal) return masters.tribunal;
  if (setting.box == &CheckBoxes::ignoreBloodmoon) return masters.bloodmoon;
  return true;
}

const std::array<SettingKey, 12>& SettingKeys() {
  static const std::array<SettingKey, 12> keys{{
      {"Cleaning Settings", "KeepFileName", "Don't change plugin filenames",
       &CheckBoxes::keepFileName},
      {"Cleaning Settings", "KeepFileDate", "Retain file time, when cleaning",
       &CheckBoxes::keepFileDate},
      {"Cleaning Settings", "ForceSave", "Force save for clean plugins", &CheckBoxes::forceSave},
      {"Cleaning Settings", "IgnoreTribunal", "Ignore tribunal.esm", &CheckBoxes::ignoreTribunal},
      {"Cleaning Settings", "IgnoreBloodmoon", "Ignore bloodmoon.esm",
       &CheckBoxes::ignoreBloodmoon},
      {"Cleaning Settings", "RestrictedDialogCleaning", "Restricted dialog cleaning",
       &CheckBoxes::restrictedDialogCleaning},
      {"Cleaning Settings", "RestrictedCellCleaning", "Restricted cell cleaning",
       &CheckBoxes::restrictedCellCleaning},
      {"Report Settings", "FullConflictReport", "Report LEVI/LEVC/LTEX conflicts",
       &CheckBoxes::fullConflictReport},
      {"Report Settings", "IgnoreMergeableConflicts", "Do not report mergeable conflicts",
       &CheckBoxes::ignoreMergeableConflicts},
      {"Merge Settings", "MergeUnchangedObjects", "Merge unchanged objects",
       &CheckBoxes::mergeUnchangedObjects},
      {"Merge Settings", "MergeListsAgainstMasters", "Merge leveled lists against their masters",
       &CheckBoxes::mergeListsAgainstMasters},
      {"General", "AllMasters", "Every active master counts as a master", &CheckBoxes::allMasters},
  }};
  return keys;
}

void LoadSettings(const std::filesystem::path& file, const ActiveMasters& masters,
                  Options& options) {
  IniFile ini(file);
  if (!ini.ReadError().empty()) {
    FatalError("Cannot read file %s: %s", file.string().c_str(), ini.ReadError().c_str());
  }
  options.relaxedAiData = !ReadFlag(ini, "General", "StrictAIDT");
  // How much of the past runs stays to be undone; a value that is no number
  // keeps the default.
  auto number = [&](const char* key, unsigned long long fallback) {
    std::string text = ini.Read("Backups", key, "", 20);
    char* end = nullptr;
    unsigned long long value = std::strtoull(text.c_str(), &end, 10);
    return text.empty() || *end != '\0' ? fallback : value;
  };
  options.backupRuns = static_cast<unsigned>(std::min(number("KeepRuns", 20), 100000ull));
  options.backupBytes = std::min(number("KeepMegabytes", 2048), 1ull << 40) << 20;
  for (const auto& setting : SettingKeys()) {
    // A box whose master is not active stays unticked and is not read.
    options.boxes.*setting.box =
        SettingUsable(setting, masters) && ReadFlag(ini, setting.section, setting.key);
  }
}

WriteResult SaveSettings(const std::filesystem::path& file, const ActiveMasters& masters,
                         const Options& options) {
  IniFile ini(file);
  for (const auto& setting : SettingKeys()) {
    if (SettingUsable(setting, masters)) {
      ini.Write(setting.section, setting.key, options.boxes.*setting.box ? "1" : "0");
    }
  }
  return ini.Save();
}

namespace {
constexpr char kGameSection[] = "Game";
constexpr char kGameFolderKey[] = "GameFolder";
constexpr char kOpenMwConfigKey[] = "OpenMwConfig";
}  // namespace

ChosenGame LoadChosenGame(const std::filesystem::path& file) {
  // A settings file that cannot be read is reported when the settings are loaded.
  IniFile ini(file);
  return {ini.Read(kGameSection, kGameFolderKey, ""), ini.Read(kGameSection, kOpenMwConfigKey, "")};
}

WriteResult SaveChosenGame(const std::filesystem::path& file, const ChosenGame& game) {
  IniFile ini(file);
  if (!ini.ReadError().empty()) return WriteResult::Failed(ini.ReadError());
  // One game is remembered: the other key goes.
  for (const auto& [key, path] : {std::pair{kGameFolderKey, game.gameFolder},
                                  std::pair{kOpenMwConfigKey, game.openmwConfig}}) {
    if (path.empty()) {
      ini.Delete(kGameSection, key);
    } else {
      // Quoted, so that blanks at either end stay part of it.
      ini.Write(kGameSection, key, "\"" + path.string() + "\"");
    }
  }
  return ini.Save();
}

}  // namespace modrake
