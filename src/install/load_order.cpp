#include "install/load_order.hpp"

#include <cstring>

#include "core/text.hpp"

namespace modrake {

namespace {

int CompareBytes(std::string_view a, std::string_view b) {
  size_t n = std::min(a.size(), b.size());
  int order = n == 0 ? 0 : std::memcmp(a.data(), b.data(), n);
  if (order != 0) return order;
  return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

int CompareTimes(int64_t a, int64_t b) {
  return a < b ? -1 : a > b ? 1 : 0;
}

bool IsMainMaster(std::string_view name) {
  return EqualsNoCase(name, "morrowind.esm");
}

// True for names the load order treats as masters: the last letter is "m".
bool IsMasterByName(std::string_view name) {
  return !name.empty() && (name.back() == 'm' || name.back() == 'M');
}

int CompareLoadOrder(const PluginFile& a, const PluginFile& b) {
  if (a.name == b.name) return 0;
  // Two spellings of morrowind.esm (possible where names are case-sensitive)
  // fall through to the later rules, so the order stays consistent.
  bool aMain = IsMainMaster(a.name);
  bool bMain = IsMainMaster(b.name);
  if (aMain != bMain) return aMain ? -1 : 1;
  bool aMaster = IsMasterByName(a.name);
  bool bMaster = IsMasterByName(b.name);
  if (aMaster != bMaster) return aMaster ? -1 : 1;
  if (int order = CompareTimes(a.status.modified, b.status.modified)) return order;
  return CompareBytes(a.name, b.name);
}

}  // namespace

int ComparePlugins(const PluginFile& a, const PluginFile& b, int mode) {
  switch (mode) {
    case kNameAscending:
      return CompareNoCase(a.name, b.name);
    case kNameDescending:
      return CompareNoCase(b.name, a.name);
    case kTimeAscending:
      return CompareTimes(a.status.modified, b.status.modified);
    case kTimeDescending:
      return CompareTimes(b.status.modified, a.status.modified);
    default:
      return CompareLoadOrder(a, b);
  }
}

void SortPlugins(std::vector<PluginFile*>& plugins, int mode) {
  SortPluginsBy(plugins.begin(), plugins.end(), mode,
                [](PluginFile* file) -> const PluginFile& { return *file; });
}

void SortPlugins(PluginList& plugins, int mode) {
  SortPluginsBy(plugins.begin(), plugins.end(), mode,
                [](const std::unique_ptr<PluginFile>& file) -> const PluginFile& { return *file; });
}

}  // namespace modrake
