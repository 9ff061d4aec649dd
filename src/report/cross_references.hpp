#pragma once

#include <vector>

namespace modrake {

class PluginFile;

// Which selected plugins conflict with which: one entry per plugin, in the
// order they were selected, each listing its partners once, in the order the
// conflicts were found.
class CrossReferences {
 public:
  struct Entry {
    const PluginFile* plugin;
    std::vector<const PluginFile*> partners;
  };

  explicit CrossReferences(const std::vector<const PluginFile*>& plugins);

  // Records that a and b conflict, on both sides; a plugin that defines one
  // object twice becomes its own partner.
  void AddCrossReference(const PluginFile* a, const PluginFile* b);

  const std::vector<Entry>& entries() const { return entries_; }

 private:
  std::vector<Entry> entries_;
};

}  // namespace modrake
