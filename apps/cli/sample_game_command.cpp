// modrake sample-game DIR [--plugins N] [--scale S]: writes a complete game
// installation to run every function on.
#include "shell/sample_game_command.hpp"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "cli_context.hpp"

namespace modrake::cli {
namespace {

const CommandRegistration registration(kSampleGameOrder, [](CLI::App& app, CliContext& context) {
  auto* command =
      AddCommand(app, "sample-game", "Write a sample game installation into DIR", SampleGameHelp());
  auto folder = std::make_shared<ArgumentPath>();
  auto options = std::make_shared<SampleGameRequest>();
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
      std::printf("%s\n", WriteSampleGameInto(*folder, *options).c_str());
    };
  });
});

}  // namespace
}  // namespace modrake::cli
