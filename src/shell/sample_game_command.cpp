#include "shell/sample_game_command.hpp"

#include "core/text.hpp"
#include "samplegame/sample_game.hpp"

namespace modrake {

std::string SampleGameHelp() {
  std::string text =
      "DIR receives Morrowind.ini and Data Files with Morrowind.esm, Tribunal.esm, "
      "Bloodmoon.esm, two non-game masters and these scenario plugins, in load order:\n";
  for (const auto& plugin : samplegame::kScenarioPlugins) {
    text += "  ";
    text += plugin.name;
    text += ": ";
    text += plugin.exercises;
    text += "\n";
  }
  text += "The same arguments always give the same files and file times.";
  return text;
}

std::string WriteSampleGameInto(const std::filesystem::path& folder,
                                const SampleGameRequest& request) {
  samplegame::SampleGameOptions options;
  options.plugins = request.plugins;
  if (request.scale > 0) options.scale = request.scale;
  auto result = samplegame::WriteSampleGame(folder, options);
  return FormatText("Wrote %zu files (%llu bytes) into %s", result.files.size(),
                    static_cast<unsigned long long>(result.bytes), folder.string().c_str());
}

}  // namespace modrake
