// Feeds arbitrary bytes to the plugin reader: every path must end in a record
// list or a FatalException, never a crash; what reads whole must save and read
// back to the same records.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "core/fatal_error.hpp"
#include "format/plugin_file.hpp"

namespace {
std::filesystem::path WorkFolder() {
  static std::filesystem::path folder = [] {
    std::string pattern = (std::filesystem::temp_directory_path() / "modrake-fuzz-XXXXXX").string();
    if (!mkdtemp(pattern.data())) std::abort();
    return std::filesystem::path(pattern);
  }();
  return folder;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  auto folder = WorkFolder();
  {
    std::FILE* f = std::fopen((folder / "input.esp").c_str(), "wb");
    if (!f) return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);
  }
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
