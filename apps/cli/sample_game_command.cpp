// modrake sample-game DIR [--plugins N] [--scale S]: writes a complete game
// installation to run every function on.
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "cli_context.hpp"
#include "samplegame/sample_game.hpp"

namespace modrake::cli {
namespace {

std::string Description() {
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

const CommandRegistration registration(kSampleGameOrder, [](CLI::App& app, CliContext& context) {
  auto* command =
      AddCommand(app, "sample-game", "Write a sample game installation into DIR", Description());
  auto folder = std::make_shared<std::filesystem::path>();
  auto options = std::make_shared<samplegame::SampleGameOptions>();
  command->add_option("DIR", *folder, "Folder to write the game into (created when missing)")
      ->required();
  command
      ->add_option("--plugins", options->plugins,
                   "Also write N generated plugins of realistic sizes and mixes")
      ->check(CLI::Range(0, 5000));
  command
      ->add_option("--scale", options->scale,
                   "Size of the masters: 1 is about the real game's (Morrowind.esm some "
                   "80 MB); the default is small")
      ->check(CLI::Validator(
                  [](std::string& text) {
                    // "nan" passes a range check: every comparison with it is false.
                    double value = std::strtod(text.c_str(), nullptr);
                    return std::isfinite(value) ? std::string() : "not a number: " + text;
                  },
                  "NUMBER") &
              CLI::Range(0.0001, 4.0));
  command->callback([&context, folder, options] {
    context.action = [folder, options] {
      auto result = samplegame::WriteSampleGame(*folder, *options);
      std::printf("Wrote %zu files (%llu bytes) into %s\n", result.files.size(),
                  static_cast<unsigned long long>(result.bytes), folder->string().c_str());
    };
  });
});

}  // namespace
}  // namespace modrake::cli
