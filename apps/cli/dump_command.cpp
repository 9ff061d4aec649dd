// modrake dump FILE...: one line per record, read as a stream.
#include <cstdio>

#include "cli_context.hpp"
#include "format/plugin_file.hpp"

namespace modrake::cli {
namespace {

void DumpFile(const std::filesystem::path& file) {
  // Read as a stream: a master of any size costs one record at a time.
  PluginFile plugin(file.parent_path(), file.filename().string());
  plugin.ClearRecords();
  plugin.OpenFile();
  RecordHeader header;
  while (true) {
    uint64_t offset = plugin.FilePosition();
    if (!plugin.ReadObjectHeader(header)) break;
    auto record = plugin.ReadRecord(header);
    std::printf("%llu\t%s\t%08X\t%u\t%s\n", static_cast<unsigned long long>(offset),
                TagText(header.tag).c_str(), header.flags, header.dataSize,
                record->GetDisplayId().c_str());
  }
}

const CommandRegistration registration(100, [](CLI::App& app, CliContext& context) {
  auto* command = app.add_subcommand("dump", "List the records of TES3 files: offset, tag, flags, "
                                              "data size and id, separated by tabs");
  auto files = std::make_shared<std::vector<std::filesystem::path>>();
  command->add_option("FILE", *files, "Plugin or master files")->required();
  command->callback([&context, files] {
    context.action = [files] {
      for (const auto& file : *files) DumpFile(file);
    };
  });
});

}  // namespace
}  // namespace modrake::cli
