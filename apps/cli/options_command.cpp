// modrake options: the check boxes of the options panel.

#include "cli_context.hpp"
#include "core/fatal_error.hpp"
#include "core/settings.hpp"
#include "core/text.hpp"

namespace modrake::cli {
namespace {

bool ParseValue(const std::string& text, bool& value) {
  for (const char* yes : {"1", "true", "yes", "on"}) {
    if (EqualsNoCase(text, yes)) return value = true;
  }
  for (const char* no : {"0", "false", "no", "off"}) {
    if (EqualsNoCase(text, no)) return !(value = false);
  }
  return false;
}

void PrintOptions(CliContext& context) {
  context.LoadGame();
  const Program& program = context.program();
  for (const auto& setting : SettingKeys()) {
    std::string line = FormatText("%s=%d", setting.key, context.options().boxes.*setting.box);
    line = FormatText("%-27s%s", line.c_str(), setting.label);
    if (!SettingUsable(setting, program.ActiveGameMasters())) {
      line += FormatText("  (%s is not active)", RequiredMaster(setting));
    }
    context.log().AddLogLine(line);
  }
}

void ChangeOptions(CliContext& context, const std::vector<std::string>& assignments) {
  context.LoadGame();
  const Program& program = context.program();
  CheckBoxes boxes = context.options().boxes;
  for (const auto& assignment : assignments) {
    size_t equals = assignment.find('=');
    std::string key = assignment.substr(0, equals);
    const SettingKey* found = nullptr;
    for (const auto& setting : SettingKeys()) {
      if (EqualsNoCase(setting.key, key)) found = &setting;
    }
    if (!found) {
      if (EqualsNoCase(key, "StrictAIDT")) {
        throw UsageError("StrictAIDT is read from modrake.ini and never written; edit the file");
      }
      throw UsageError(
          FormatText("unknown setting \"%s\"; \"modrake options\" lists them", key.c_str()));
    }
    bool value = false;
    if (equals == std::string::npos || !ParseValue(assignment.substr(equals + 1), value)) {
      throw UsageError(
          FormatText("%s needs a value: %s=1 or %s=0", found->key, found->key, found->key));
    }
    if (!SettingUsable(*found, program.ActiveGameMasters())) {
      throw UsageError(FormatText("%s cannot be changed while %s is not active", found->key,
                                  RequiredMaster(*found)));
    }
    boxes.*found->box = value;
  }
  // What "Done" does: save the boxes, then the flags follow them.
  context.options().boxes = boxes;
  if (auto saved = context.program().SaveOptions(); !saved) {
    FatalError("Cannot write file %s: %s", context.session().SettingsPath().string().c_str(),
               saved.reason().c_str());
  }
  PrintOptions(context);
}

const CommandRegistration registration(kOptionsOrder, [](CLI::App& app, CliContext& context) {
  auto* command = AddCommand(
      app, "options", "Show the ten settings of the options panel, or change them",
      "Without arguments the settings of modrake.ini are listed; KEY=VALUE (1 or 0) changes "
      "one. The Ignore settings of tribunal.esm and bloodmoon.esm can change only while that "
      "master is active.");
  auto assignments = std::make_shared<std::vector<std::string>>();
  command->add_option("KEY=VALUE", *assignments, "A setting and its new value, 1 or 0");
  command->callback([&context, assignments] {
    context.action = [&context, assignments] {
      if (assignments->empty()) {
        PrintOptions(context);
      } else {
        ChangeOptions(context, *assignments);
      }
    };
  });
});

}  // namespace
}  // namespace modrake::cli
