#include "report/cross_references.hpp"

#include <algorithm>

namespace modrake {

CrossReferences::CrossReferences(const std::vector<const PluginFile*>& plugins) {
  entries_.reserve(plugins.size());
  for (const PluginFile* plugin : plugins) entries_.push_back({plugin, {}});
}

void CrossReferences::AddCrossReference(const PluginFile* a, const PluginFile* b) {
  auto listed = [](const Entry& entry, const PluginFile* partner) {
    return std::find(entry.partners.begin(), entry.partners.end(), partner) != entry.partners.end();
  };
  // Partnership is symmetric, so a pair found on either side is known on both.
  for (Entry& entry : entries_) {
    if (entry.plugin == a) {
      if (listed(entry, b)) return;
      entry.partners.push_back(b);
    } else if (entry.plugin == b) {
      if (listed(entry, a)) return;
      entry.partners.push_back(a);
    }
  }
}

}  // namespace modrake
