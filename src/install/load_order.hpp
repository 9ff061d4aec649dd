#pragma once

#include <algorithm>
#include <array>
#include <string_view>
#include <vector>

#include "format/plugin_file.hpp"

namespace modrake {

// How a list of plugins is ordered: the game's load order, or by a column of
// the Manage active plugins window.
enum SortMode : int {
  kLoadOrder = 0,
  kNameAscending = 1,
  kNameDescending = 2,
  kTimeAscending = 3,
  kTimeDescending = 4,
};
// The modes by the names the command line gives them, in the order above.
inline constexpr std::array<std::string_view, 5> kSortModeNames = {"load", "name", "name-desc",
                                                                   "time", "time-desc"};

// Negative when a goes before b, 0 when they are equal under the mode,
// positive when a goes after b. Load order: morrowind.esm, then masters (by
// name ending in "m"), then plugins, each by modification time, then by name
// byte by byte. Unknown modes sort in load order.
int ComparePlugins(const PluginFile& a, const PluginFile& b, int mode);

// Sorts any range of plugin handles; get turns an element into its PluginFile.
template <class Iterator, class Get>
void SortPluginsBy(Iterator first, Iterator last, int mode, Get get) {
  std::sort(first, last,
            [&](const auto& a, const auto& b) { return ComparePlugins(get(a), get(b), mode) < 0; });
}

void SortPlugins(std::vector<PluginFile*>& plugins, int mode);
void SortPlugins(PluginList& plugins, int mode);

}  // namespace modrake
