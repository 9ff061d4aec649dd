// Feeds arbitrary bytes to the plugin reader: every path must end in a record
// list or a FatalException, never a crash; what reads whole must save and read
// back to the same records.
#include "core/fatal_error.hpp"
#include "format/plugin_file.hpp"
#include "fuzz_support.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto& folder = modrake::fuzz::WorkFolder();
  if (!modrake::fuzz::WriteInput(folder / "input.esp", data, size)) return 0;
  try {
    modrake::PluginFile plugin(folder, "input.esp");
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
  } catch (const modrake::FatalException&) {
  }
  return 0;
}
