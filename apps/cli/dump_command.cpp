// modrake dump FILE...: one line per record, read as a stream.
#include "cli_context.hpp"
#include "shell/dump.hpp"

namespace modrake::cli {
namespace {

const CommandRegistration registration(kDumpOrder, [](CLI::App& app, CliContext& context) {
  auto* command =
      AddCommand(app, "dump", "List the records of TES3 files, one line each",
                 "Each line holds the record's offset, tag, flags (hex), data size and id, "
                 "separated by tabs.");
  auto files = std::make_shared<std::vector<ArgumentPath>>();
  command->add_option("FILE", *files, "Plugin or master files")->required();
  command->callback([&context, files] {
    context.action = [files] {
      for (const auto& file : *files) DumpRecords(file, stdout);
    };
  });
});

}  // namespace
}  // namespace modrake::cli
