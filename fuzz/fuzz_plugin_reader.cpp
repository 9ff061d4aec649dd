// Feeds arbitrary bytes to the plugin reader: every path must end in a record
// list or a FatalException, never a crash; what reads whole must save and read
// back to the same records, and a stream that only looks at the records must
// see the same ones.
#include "core/fatal_error.hpp"
#include "format/plugin_file.hpp"
#include "format/record_stream.hpp"
#include "fuzz_support.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto& folder = modrake::fuzz::WorkFolder();
  std::string_view input(reinterpret_cast<const char*>(data), size);
  try {
    modrake::PluginFile plugin("input.esp", input, modrake::PluginFile::InMemory{});
    plugin.ReadAllRecords();
    size_t count = 0;
    for (auto& record : plugin.records) {
      count += record->GetDisplayId().size();
      record->IsDeleted();
    }
    if (!plugin.records.empty()) {
      plugin.SetPath(folder / "output.esp");
      plugin.Save();
      modrake::PluginFile again(folder, "output.esp");
      again.ReadAllRecords();
      if (again.records.size() != plugin.records.size()) std::abort();
    }
    (void)count;
    // Looked at in place, the same bytes give the same records in the same
    // order, and no error where reading them whole gave none.
    try {
      modrake::PluginFile viewed("input.esp", input, modrake::PluginFile::InMemory{});
      modrake::RecordStream stream(viewed);
      auto it = plugin.records.begin();
      while (stream.Next()) {
        const modrake::RecordView& view = stream.View();
        if (it == plugin.records.end() || view.GetDisplayId() != (*it)->GetDisplayId()) {
          std::abort();
        }
        ++it;
      }
      if (it != plugin.records.end()) std::abort();
    } catch (const modrake::FatalException&) {
      std::abort();
    }
  } catch (const modrake::FatalException&) {
  }
  return 0;
}
