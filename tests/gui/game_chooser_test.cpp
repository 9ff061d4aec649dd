// The window's answer to a game it cannot find: the places tried, a choice
// checked before it is taken, and remembered for the next start.
#include "game_chooser.hpp"

#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include "install/game_installation.hpp"
#include "samplegame/sample_game.hpp"
#include "shell/program.hpp"
#include "support/recording_ui.hpp"
#include "support/test_support.hpp"

namespace modrake::test {

class GameChooserTest : public QObject {
  Q_OBJECT

 private slots:
  void choosesChecksAndRemembersTheGame();
};

void GameChooserTest::choosesChecksAndRemembersTheGame() {
  TempDir dir;
  TempDir home;
  samplegame::WriteSampleGame(dir / "game", {});
  // Nothing where the search looks but an OpenMW configuration that lists
  // no content yet.
  qputenv("HOME", dir.path().c_str());
  qputenv("XDG_DATA_HOME", (dir / "data").c_str());
  for (const char* name : {"WINEPREFIX", "XDG_CONFIG_HOME", "OPENMW_CONFIG", "OPENMW_CONFIG_DIR"}) {
    qunsetenv(name);
  }
  std::filesystem::path config = dir / ".config/openmw/openmw.cfg";
  std::filesystem::create_directories(config.parent_path());
  WriteFile(config, "data=\"" + (dir / "game/Data Files").string() + "\"\n");

  RecordingUi ui;
  auto chooserAfterFailedStart = [&](Program& program) -> std::unique_ptr<gui::GameChooser> {
    try {
      program.LoadGame();
    } catch (const std::exception& e) {
      return std::make_unique<gui::GameChooser>(program, e);
    }
    return nullptr;
  };
  auto problem = [](gui::GameChooser& chooser) {
    return chooser.findChild<QPlainTextEdit*>(QStringLiteral("problem"))->toPlainText();
  };
  auto button = [](gui::GameChooser& chooser, const char* name) {
    return chooser.findChild<QPushButton*>(QString::fromUtf8(name));
  };
  QString folder;
  {
    Program program(ui, home.path());
    auto chooser = chooserAfterFailedStart(program);
    QVERIFY(chooser);
    QVERIFY(problem(*chooser).startsWith(QStringLiteral("Cannot find Morrowind installation")));
    QVERIFY(problem(*chooser).contains(QString::fromStdString(config.string())));
    chooser->chooseFolder = [&] { return folder; };
    // The configuration that failed, then a folder that is no game: the
    // chooser stays, saying why.
    button(*chooser, "openmwConfig")->click();
    folder = QString::fromStdString((dir / "data").string());
    button(*chooser, "chooseFolder")->click();
    QCOMPARE(chooser->result(), int(QDialog::Rejected));
    QVERIFY(problem(*chooser).contains(QStringLiteral("no such folder")));
    QVERIFY(!program.GameLoaded());
    // The game's "Data Files" folder is taken as the game above it.
    folder = QString::fromStdString((dir / "game/Data Files").string());
    button(*chooser, "chooseFolder")->click();
    QCOMPARE(chooser->result(), int(QDialog::Accepted));
    QVERIFY(program.GameLoaded());
  }
  QVERIFY(ReadFile(home / "modrake.ini").find("GameFolder=\"" + (dir / "game").string() + "\"") !=
          std::string::npos);
  {
    // The next start finds the remembered game before OpenMW's configuration.
    Program program(ui, home.path());
    QVERIFY(!chooserAfterFailedStart(program));
    QCOMPARE(program.DataFolder(), dir / "game/Data Files");
  }
  {
    // With content, the configuration is a choice that loads, and is remembered instead.
    WriteFile(config, ReadFile(config) + "content=Morrowind.esm\n");
    WriteFile(home / "modrake.ini", "");
    Program program(ui, home.path());
    gui::GameChooser chooser(program, GameNotFound({}));
    button(chooser, "openmwConfig")->click();
    QCOMPARE(chooser.result(), int(QDialog::Accepted));
    std::string ini = ReadFile(home / "modrake.ini");
    QVERIFY(ini.find("OpenMwConfig=\"" + config.string() + "\"") != std::string::npos);
    QVERIFY(ini.find("GameFolder") == std::string::npos);
  }
}

}  // namespace modrake::test

QTEST_MAIN(modrake::test::GameChooserTest)
#include "game_chooser_test.moc"
