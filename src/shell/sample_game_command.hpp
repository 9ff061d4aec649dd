#pragma once

#include <filesystem>
#include <string>

namespace modrake {

// What `sample-game` asks of the sample game writer.
struct SampleGameRequest {
  int plugins = 0;   // generated plugins besides the scenario plugins
  double scale = 0;  // size of the masters, 1 about the real game's; 0 for the default
};

// The command's help: what the folder receives and what each scenario plugin exercises.
std::string SampleGameHelp();

// Writes the game into folder and returns the line that tells what was written.
std::string WriteSampleGameInto(const std::filesystem::path& folder,
                                const SampleGameRequest& request);

}  // namespace modrake
