#include "shell/function_list.hpp"

namespace modrake {

const std::array<const char*, 7>& FunctionList() {
  static constexpr std::array<const char*, 7> kEntries = {
      "Clean ESP/ESM files",
      "Clean ESP/ESM files (save results in \"Clean\" subfolder)",
      "Merge Leveled Lists for active plugins",
      "Merge Objects for active plugins",
      "Merge Dialogs for active plugins",
      "Generate detailed conflict report",
      "Manage active plugins",
  };
  return kEntries;
}

}  // namespace modrake
