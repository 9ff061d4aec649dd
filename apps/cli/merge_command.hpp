#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>

#include "cli_context.hpp"

namespace modrake::cli {

// A merge of the active plugins into a merged plugin, as the function list
// runs it (asks "Do you want to recreate NAME?" first) or, with --activate,
// as JUST FIX IT! does (no question; the plugin becomes active). prepare runs
// before it, for options of the command's own. Returns the subcommand.
// --output DIR: where the merged plugins of the run go.
std::shared_ptr<std::optional<ArgumentPath>> AddOutputOption(CLI::App& command);

CLI::App* AddMergeCommand(CLI::App& app, CliContext& context, const char* name, const char* summary,
                          const char* details, int command,
                          std::function<void(CliContext&)> prepare = {});

}  // namespace modrake::cli
