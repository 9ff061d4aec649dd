#include "arguments.hpp"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QFile>

namespace modrake::gui {

namespace {

// The options that QGuiApplication, QApplication and the platform plugins
// read, as Qt documents them; the parser must know them to tell them from
// mistakes, and --help leaves them to Qt's own documentation.
constexpr const char* kQtOptionsWithValue[] = {
    "platform",
    "platformpluginpath",
    "platformtheme",
    "plugin",
    "qwindowgeometry",
    "geometry",
    "qwindowicon",
    "icon",
    "qwindowtitle",
    "title",
    "session",
    "display",
    "name",
    "visual",
    "style",
    "stylesheet",
    "qmljsdebugger",
};
constexpr const char* kQtFlags[] = {"reverse", "widgetcount", "nograb",
                                    "dograb",  "sync",        "testability"};

std::optional<std::filesystem::path> PathOption(const QCommandLineParser& parser,
                                                const QCommandLineOption& option) {
  if (!parser.isSet(option)) return std::nullopt;
  return std::filesystem::path(QFile::encodeName(parser.value(option)).toStdString());
}

}  // namespace

Arguments ParseArguments(const QStringList& arguments) {
  QCommandLineParser parser;
  // Qt's options are words after one dash (-style); so are ours then.
  parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
  parser.setApplicationDescription(QStringLiteral(
      "Modrake: cleans, merges and manages Morrowind plugins.\n\nQt's own options (-style, "
      "-platform, -reverse, -stylesheet and the others) work as in every Qt program."));
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
  for (const char* name : kQtOptionsWithValue) {
    QCommandLineOption option(QString::fromLatin1(name), QString(), QStringLiteral("value"));
    option.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOption(option);
  }
  for (const char* name : kQtFlags) {
    QCommandLineOption option(QString::fromLatin1(name));
    option.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOption(option);
  }

  Arguments result;
  if (!parser.parse(arguments)) {
    result.error = parser.errorText();
  } else if (!parser.positionalArguments().isEmpty()) {
    result.error =
        QStringLiteral("Unexpected argument '%1'.").arg(parser.positionalArguments().front());
  }
  if (!result.error.isEmpty()) return result;
  result.help = parser.isSet(help);
  result.version = parser.isSet(version);
  result.helpText = parser.helpText();
  result.helpText.replace(QStringLiteral("<executable_name>"), QStringLiteral("modrake-gui"));
  result.game = PathOption(parser, game);
  result.openmwConfig = PathOption(parser, openmwConfig);
  result.home = PathOption(parser, home);
  return result;
}

}  // namespace modrake::gui
