#pragma once

#include <functional>

#include "cli_context.hpp"

namespace modrake::cli {

// A merge of the active plugins into a merged plugin, as the function list
// runs it (asks "Do you want to recreate NAME?" first) or, with --activate,
// as JUST FIX IT! does (no question; the plugin becomes active). Returns the
// subcommand, for options of its own.
using MergeRun = std::function<void(Session& session, bool activate)>;
CLI::App* AddMergeCommand(CLI::App& app, CliContext& context, const char* command,
                          const char* description, const char* pluginName, MergeRun run);

}  // namespace modrake::cli
