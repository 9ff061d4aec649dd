// modrake-gui [--game DIR | --openmw-config PATH] [--home DIR]: the window.
#include <QApplication>
#include <QCommandLineParser>
#include <QFile>
#include <QIcon>
#include <cstdio>
#include <optional>

#include "core/execution_log.hpp"
#include "core/fatal_error.hpp"
#include "main_window.hpp"
#include "qt_ui.hpp"
#include "shell/program.hpp"

namespace {

std::optional<std::filesystem::path> PathOption(const QCommandLineParser& parser,
                                                const QCommandLineOption& option) {
  if (!parser.isSet(option)) return std::nullopt;
  return std::filesystem::path(QFile::encodeName(parser.value(option)).toStdString());
}

}  // namespace

int main(int argc, char** argv) {
  // The arguments are read before the window system is reached, so that
  // --help and mistakes work without a display.
  QStringList arguments;
  for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
  QCommandLineParser parser;
  parser.setApplicationDescription(
      QStringLiteral("Modrake: cleans, merges and manages Morrowind plugins."));
  QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                          QStringLiteral("Displays help on commandline options."));
  QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                             QStringLiteral("Displays version information."));
  QCommandLineOption game(QStringLiteral("game"),
                          QStringLiteral("The game folder (holding Morrowind.ini and Data Files)."),
                          QStringLiteral("DIR"));
  QCommandLineOption openmwConfig(
      QStringLiteral("openmw-config"),
      QStringLiteral("An OpenMW game: its openmw.cfg, or the folder that holds it."),
      QStringLiteral("PATH"));
  QCommandLineOption home(
      QStringLiteral("home"),
      QStringLiteral("Folder for modrake.ini, modrake.log, modrake.bak and modrake.dat (default: "
                     "$MODRAKE_HOME, else $XDG_DATA_HOME/modrake)."),
      QStringLiteral("DIR"));
  parser.addOptions({help, version, game, openmwConfig, home});
  if (!parser.parse(arguments) || !parser.positionalArguments().isEmpty()) {
    QString error = parser.errorText();
    if (error.isEmpty()) {
      error = QStringLiteral("Unexpected argument '%1'.").arg(parser.positionalArguments().front());
    }
    std::fprintf(stderr, "modrake-gui: %s\n", qPrintable(error));
    return 2;
  }
  if (parser.isSet(help)) {
    QString text = parser.helpText();
    text.replace(QStringLiteral("<executable_name>"), QStringLiteral("modrake-gui"));
    std::fputs(qPrintable(text), stdout);
    return 0;
  }
  if (parser.isSet(version)) {
    std::puts("modrake-gui " MODRAKE_VERSION);
    return 0;
  }

  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("modrake-gui"));
  QApplication::setApplicationVersion(QStringLiteral(MODRAKE_VERSION));
  QApplication::setDesktopFileName(QStringLiteral("modrake-gui"));
  QApplication::setWindowIcon(QIcon(QStringLiteral(":/modrake.svg")));

  modrake::gui::QtUi ui;
  modrake::Program program(ui, PathOption(parser, home));
  try {
    program.LoadGame({PathOption(parser, game), PathOption(parser, openmwConfig)});
  } catch (const modrake::FatalException& e) {
    ui.ShowError("Modrake Error", program.log().ReportFatal(e.what()));
    return 1;
  }
  modrake::gui::MainWindow window(program, ui);
  window.show();
  return QApplication::exec();
}
