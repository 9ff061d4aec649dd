// modrake-gui [--game DIR | --openmw-config PATH] [--home DIR] [Qt's options]: the window.
#include <QApplication>
#include <QIcon>
#include <cstdio>

#include "arguments.hpp"
#include "core/execution_log.hpp"
#include "core/fatal_error.hpp"
#include "game_chooser.hpp"
#include "main_window.hpp"
#include "qt_ui.hpp"
#include "shell/program.hpp"

int main(int argc, char** argv) {
  // The arguments are read before the window system is reached, so that
  // --help and mistakes work without a display.
  QStringList arguments;
  for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
  modrake::gui::Arguments parsed = modrake::gui::ParseArguments(arguments);
  if (!parsed.error.isEmpty()) {
    std::fprintf(stderr, "modrake-gui: %s\n", qPrintable(parsed.error));
    return 2;
  }
  if (parsed.help) {
    std::fputs(qPrintable(parsed.helpText), stdout);
    return 0;
  }
  if (parsed.version) {
    std::puts("modrake-gui " MODRAKE_VERSION);
    return 0;
  }

  // Takes Qt's own options (-style, -platform, ...) out of argv and uses them.
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("modrake-gui"));
  QApplication::setApplicationVersion(QStringLiteral(MODRAKE_VERSION));
  QApplication::setDesktopFileName(QStringLiteral("modrake-gui"));
  QApplication::setWindowIcon(QIcon(QStringLiteral(":/modrake.svg")));

  modrake::gui::QtUi ui;
  modrake::Program program(ui, parsed.home);
  ui.SetLogFile(program.log().LogPath());
  try {
    program.LoadGame({parsed.game, parsed.openmwConfig});
  } catch (const modrake::FatalException& e) {
    // Never a dead end: the player names the game, or quits.
    if (!modrake::gui::ChooseGame(program, e)) return 1;
  }
  modrake::gui::MainWindow window(program, ui);
  window.show();
  return QApplication::exec();
}
