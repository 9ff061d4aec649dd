#pragma once

#include <array>
#include <filesystem>

#include "core/options.hpp"
#include "platform/file_io.hpp"

namespace modrake {

// One check box of the options panel as the settings file stores it.
struct SettingKey {
  const char* section;
  const char* key;
  const char* label;  // the check box text
  bool CheckBoxes::*box;
};

// The check boxes in the order of the options panel.
const std::array<SettingKey, 12>& SettingKeys();

// Which game masters are active: the Ignore boxes of the other two are
// neither loaded nor saved, so a choice survives a run without them.
struct ActiveMasters {
  bool tribunal = false;
  bool bloodmoon = false;
};

// The master an Ignore box names ("tribunal.esm", "bloodmoon.esm"); null
// for the other boxes. Such a box can be used only while its master is
// active.
const char* RequiredMaster(const SettingKey& setting);
bool SettingUsable(const SettingKey& setting, const ActiveMasters& masters);

// Reads General/StrictAIDT into relaxedAiData and the check boxes from the
// settings file; missing values read as 0. A file that exists but cannot be
// read is a FatalError.
void LoadSettings(const std::filesystem::path& file, const ActiveMasters& masters,
                  Options& options);
// Writes the check boxes (never StrictAIDT) as 1 or 0. The result says why
// the file could not be written; the options panel does not report it, the
// command line does.
WriteResult SaveSettings(const std::filesystem::path& file, const ActiveMasters& masters,
                         const Options& options);

// The game the player chose in the window when none could be found, kept in
// the [Game] section of the settings file: its folder (the original engine)
// or its openmw.cfg (OpenMW). Both are empty when there is none.
struct ChosenGame {
  std::filesystem::path gameFolder;
  std::filesystem::path openmwConfig;
};
ChosenGame LoadChosenGame(const std::filesystem::path& file);
WriteResult SaveChosenGame(const std::filesystem::path& file, const ChosenGame& game);

}  // namespace modrake
