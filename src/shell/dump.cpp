#include "shell/dump.hpp"

#include "format/plugin_file.hpp"
#include "format/record_stream.hpp"

namespace modrake {

void DumpRecords(const std::filesystem::path& file, std::FILE* out) {
  PluginFile plugin(file.parent_path(), file.filename().string());
  plugin.ClearRecords();
  RecordStream stream(plugin);
  while (stream.Next()) {
    const RecordHeader header = stream.header();
    auto record = stream.Read();
    std::fprintf(out, "%llu\t%s\t%08X\t%u\t%s\n", static_cast<unsigned long long>(stream.offset()),
                 TagText(header.tag).c_str(), header.flags, header.dataSize,
                 record->GetDisplayId().c_str());
  }
}

}  // namespace modrake
