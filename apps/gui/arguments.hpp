#pragma once

#include <QString>
#include <QStringList>
#include <filesystem>
#include <optional>

namespace modrake::gui {

// What modrake-gui was asked on its command line. Qt's own options (-style,
// -platform, -reverse, -stylesheet and the others) are let through for
// QApplication, which reads them itself.
struct Arguments {
  std::optional<std::filesystem::path> game;
  std::optional<std::filesystem::path> openmwConfig;
  std::optional<std::filesystem::path> home;
  bool help = false;
  bool version = false;
  QString helpText;  // Modrake's own options
  QString error;     // a mistake in the arguments: exit code 2
};

// arguments: the program's name, then its arguments.
Arguments ParseArguments(const QStringList& arguments);

}  // namespace modrake::gui
