// What only the window shows or does; what commands write is checked on the command line.
#include <QApplication>
#include <QCheckBox>
#include <QDesktopServices>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTableWidget>
#include <QTest>
#include <QTextCursor>
#include <QTextDocument>
#include <thread>

#include "arguments.hpp"
#include "core/execution_log.hpp"
#include "core/settings.hpp"
#include "game_chooser.hpp"
#include "gui_driver.hpp"
#include "install/game_installation.hpp"
#include "platform/file_io.hpp"
#include "platform/run_lock.hpp"
#include "shell/function_list.hpp"
#include "support/cli_game.hpp"
#include "support/recording_ui.hpp"

namespace modrake::test {
namespace {

bool IniHas(const GuiGame& game, const char* line) {
  return ReadFile(game.home / "modrake.ini").find(line) != std::string::npos;
}

const QString kNoRun = QStringLiteral("No run to undo");

// The controls Tab visits, from the focused one round to it again.
QStringList TabRing(QWidget* window) {
  QStringList ring;
  QWidget* start = window->focusWidget();
  QWidget* focused = start;
  while (focused && ring.size() < 40) {
    ring << focused->objectName();
    QTest::keyClick(focused, Qt::Key_Tab);
    focused = window->focusWidget();
    if (focused == start) break;
  }
  return ring;
}

QTableWidget* Plugins(QWidget& dialog) {
  return dialog.findChild<QTableWidget*>(QStringLiteral("plugins"));
}

QPushButton* ButtonOf(QWidget& dialog, const char* name) {
  return dialog.findChild<QPushButton*>(QString::fromUtf8(name));
}

// The tick box of a file in the Manage active plugins list.
QTableWidgetItem* TickOf(QTableWidget* table, const char* name) {
  return table->item(table->findItems(QString::fromUtf8(name), Qt::MatchExactly).front()->row(), 0);
}

// Takes the place of the desktop's browser: keeps the addresses it is asked to open.
class UrlCatcher : public QObject {
  Q_OBJECT

 public:
  UrlCatcher() { QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "Open"); }
  ~UrlCatcher() override { QDesktopServices::unsetUrlHandler(QStringLiteral("file")); }
  QList<QUrl> urls;

 public slots:
  void Open(const QUrl& url) { urls << url; }
};

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void opensWithItsLayoutKeysAndGuide();
  void optionsQuestionComesOnceAndCleanAsksAboutDuplicatesAndCancels();
  void mergesActivateNothingAndTheReportTakesTheChosenFiles();
  void manageWindowUpdatesActivatesCancelsAndMendsTheGame();
  void justFixItKeepsTheWindowBusyAndUndoBringsTheRunBack();
  void anotherRunMakesTheWorkerWaitWhileTheWindowPaints();
  void logKeepsTheReadersPlaceAndWrapsLongLines();
  void qtOptionsAreAccepted();
  void chooserChecksAndRemembersTheGame();
};

void MainWindowTest::opensWithItsLayoutKeysAndGuide() {
  GuiGame game;
  UrlCatcher browser;
  QCOMPARE(game.window->windowTitle(), QStringLiteral("Modrake"));
  QListWidget* functions = game.Functions();
  QCOMPARE(functions->currentRow(), 0);
  QCOMPARE(game.LogLines().back(), QStringLiteral("Select function from the list above"));

  // The buttons beside the list, top to bottom, and the log below both.
  QPushButton* fix = game.Button("justFixIt");
  QPushButton* options = game.Button("options");
  QVERIFY(fix->x() > functions->geometry().right());
  QVERIFY(fix->y() < options->y() && options->y() < game.Button("execute")->y());
  QVERIFY(game.Log()->mapTo(game.window.get(), QPoint(0, 0)).y() > functions->geometry().bottom());
  QVERIFY(!game.OptionsShown() && game.CommandsEnabled());
  QVERIFY(game.Box("IgnoreTribunal")->isEnabled() && game.Box("IgnoreBloodmoon")->isEnabled());

  // F1 opens the guide; so does its startup line, double-clicked or chosen with Enter.
  game.window->activateWindow();
  QVERIFY(QTest::qWaitFor([&] { return QApplication::activeWindow() == game.window.get(); }));
  QTest::keyClick(game.window.get(), Qt::Key_F1);
  gui::LogView* log = game.Log();
  QTextCursor line = log->document()->find(QStringLiteral("(Modrake.htm)"));
  QVERIFY(!line.isNull());
  QPoint at = log->cursorRect(line).center();
  QTest::mouseClick(log->viewport(), Qt::LeftButton, {}, at);
  QTest::mouseDClick(log->viewport(), Qt::LeftButton, {}, at);
  QTest::keyClick(log, Qt::Key_Return);
  QCOMPARE(browser.urls.size(), 3);
  for (const QUrl& url : browser.urls) {
    QVERIFY(url.isLocalFile() && QFileInfo(url.toLocalFile()).fileName() == "Modrake.htm");
    QVERIFY(QFileInfo(url.toLocalFile()).isFile());
  }

  functions->setFocus();
  QCOMPARE(TabRing(game.window.get()),
           (QStringList{"functions", "justFixIt", "options", "execute", "preview", "log"}));
  // Enter presses the focused button, or Execute from the list.
  for (const char* focus : {"functions", "execute"}) {
    DialogScript script;
    script.Answer(QMessageBox::No);
    functions->setCurrentRow(kMergeLeveledListsCommand);
    game.Find(focus)->setFocus();
    QTest::keyClick(game.window->focusWidget(), Qt::Key_Return);
    QVERIFY2(game.Settled(script), focus);
    QCOMPARE(script.boxes.front().text,
             QStringLiteral("Do you want to recreate Merged_Leveled_Lists.esp?"));
    QVERIFY(!std::filesystem::exists(game.Data("Merged_Leveled_Lists.esp")));
  }
  // Execute with nothing selected runs nothing.
  DialogScript script;
  functions->clearSelection();
  game.Button("execute")->click();
  QVERIFY(game.Settled(script));
  QVERIFY(script.boxes.empty() && game.LogLines().isEmpty() && game.CommandsEnabled());

  // On the options panel Tab goes round the boxes, Esc puts them back unsaved, Enter is "Done".
  options->setFocus();
  QTest::keyClick(options, Qt::Key_Return);
  QVERIFY(game.OptionsShown());
  QStringList boxes;
  for (const SettingKey& key : SettingKeys()) boxes << QString::fromUtf8(key.key);
  QCOMPARE(TabRing(game.window.get()), boxes << QStringLiteral("done"));
  game.Box("ForceSave")->click();
  QTest::keyClick(game.Box("ForceSave"), Qt::Key_Escape);
  QVERIFY(!game.OptionsShown() && !game.Box("ForceSave")->isChecked());
  QCOMPARE(game.window->focusWidget(), functions);
  options->click();
  game.Box("KeepFileDate")->click();
  QTest::keyClick(game.Box("KeepFileDate"), Qt::Key_Enter);
  QVERIFY(!game.OptionsShown());
  QVERIFY(game.WaitIdle());
  QVERIFY(IniHas(game, "KeepFileDate=1") && IniHas(game, "ForceSave=0"));
}

void MainWindowTest::optionsQuestionComesOnceAndCleanAsksAboutDuplicatesAndCancels() {
  GuiGame game;
  DialogScript script;
  script.Answer(QMessageBox::Yes);
  QVERIFY(game.Run(kCleanCommand, script));
  QCOMPARE(script.boxes[0].text,
           QStringLiteral("You have not visited Options dialog yet. Do you want to go there?"));
  QCOMPARE(script.boxes[0].icon, QMessageBox::Question);
  QCOMPARE(script.boxes[0].defaultButton, QMessageBox::No);
  QVERIFY(game.OptionsShown() && !game.CommandsEnabled());
  for (const char* key : {"KeepFileName", "KeepFileDate", "RestrictedCellCleaning"}) {
    game.Box(key)->click();
  }
  game.Button("done")->click();
  QVERIFY(!game.OptionsShown());
  QVERIFY(game.WaitIdle() && game.CommandsEnabled());
  for (const char* line : {"KeepFileName=1", "KeepFileDate=1", "RestrictedCellCleaning=1"}) {
    QVERIFY2(IniHas(game, line), line);
  }

  // Asked once: now the entry cleans in place, keeping the file's time.
  std::filesystem::path junk = game.Data("Junk_Cells.esp");
  std::string before = ReadFile(junk);
  int64_t time = QueryFileStatus(junk)->modified;
  script.Choose({junk});
  QVERIFY(game.Run(kCleanCommand, script));
  QCOMPARE(script.boxes.size(), size_t{1});
  QVERIFY(ReadFile(junk) != before && QueryFileStatus(junk)->modified == time);
  QVERIFY(!std::filesystem::exists(game.Data("Clean Junk_Cells.esp")) && EsmtoolReads(junk));

  // Duplicates are a warning whose default keeps the file; Yes cleans it into
  // the subfolder, and Cancel, pressed meanwhile, stops before the next file.
  bool progressShown = false;
  script
      .Choose({game.Data("Already_Clean.esp"), game.Data("Duplicate_Records.esp"),
               game.Data("Evil_GMSTs.esp")})
      .Answer(QMessageBox::Yes, [&] {
        auto* bar = game.Find<QProgressBar>("progress");
        progressShown = bar->isVisible() && bar->maximum() == 3 && bar->value() > 0;
        game.Button("cancel")->click();
      });
  QVERIFY(game.Run(kCleanSubfolderCommand, script));
  QVERIFY(progressShown && game.CommandsEnabled());
  QCOMPARE(script.boxes[1].icon, QMessageBox::Warning);
  QCOMPARE(script.boxes[1].defaultButton, QMessageBox::No);
  QVERIFY(script.boxes[1].text.startsWith(
      QStringLiteral("File Duplicate_Records.esp contains duplicate objects.")));
  std::filesystem::path cleaned = game.Data("Clean/Duplicate_Records.esp");  // names kept
  QVERIFY(std::filesystem::exists(cleaned) && EsmtoolReads(cleaned));
  QStringList lines = game.LogLines();
  QCOMPARE(lines.back(), QStringLiteral("Operation has been canceled"));
  QCOMPARE(lines.filter(QStringLiteral("Processing ")).back(),
           QStringLiteral("Processing Duplicate_Records.esp"));
  QVERIFY(!std::filesystem::exists(game.Data("Clean/Evil_GMSTs.esp")));
}

void MainWindowTest::mergesActivateNothingAndTheReportTakesTheChosenFiles() {
  GuiGame game;
  const std::string ini = game.Ini();
  DialogScript script;
  script.Answer(QMessageBox::Yes);
  QVERIFY(game.Run(kMergeObjectsCommand, script));
  // Built, not activated: only JUST FIX IT! activates a merged plugin.
  QVERIFY(std::filesystem::exists(game.Data("Merged_Objects.esp")) && game.Ini() == ini);

  script.Choose({game.Data("Objects_Merge_A.esp"), game.Data("Objects_Merge_B.esp")});
  QVERIFY(game.Run(kConflictReportCommand, script));
  QCOMPARE(game.LogLines().filter(QStringLiteral("defined more than once")).size(), 1);
  std::string report = ReadFile(game.program.log().LogPath());
  QVERIFY(report.find("Objects_Merge_B.esp") != std::string::npos);
}

void MainWindowTest::manageWindowUpdatesActivatesCancelsAndMendsTheGame() {
  GuiGame game;
  WriteFile(game.Data("Broken.esp"), "TES3 this is no plugin");
  // A command that fails shows one box, and the window is ready again.
  DialogScript script;
  script.Answer(QMessageBox::No).Choose({game.Data("Broken.esp")}).Answer(QMessageBox::Ok);
  QVERIFY(game.Run(kCleanCommand, script));
  ShownBox error = script.boxes.back();
  QCOMPARE(error.title, QStringLiteral("Modrake Error"));
  QCOMPARE(error.icon, QMessageBox::Critical);
  QVERIFY2(error.text.contains(QStringLiteral("Broken.esp")), qPrintable(error.text));
  QVERIFY(error.text.endsWith(QStringLiteral("Do not forget to check Modrake.log file! ")));
  QCOMPARE(game.LogLines().back(), QStringLiteral("Operation has been aborted."));
  QVERIFY(game.CommandsEnabled());

  UrlCatcher browser;
  WriteFile(game.Data("Cell_Water_And_Light.esp"), "TES3 cut short");  // active
  QStringList ring, lastTwo;
  script
      .Manage([&](gui::DataFilesDialog& dialog) {
        QTableWidget* table = Plugins(dialog);
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Modrake - Data Files"));
        QCOMPARE(table->horizontalHeaderItem(1)->text(), QStringLiteral("File Name"));
        QCOMPARE(table->horizontalHeaderItem(2)->text(), QStringLiteral("File Date"));
        auto tip = [&](const char* name) {
          return table->item(TickOf(table, name)->row(), 1)->toolTip();
        };
        QVERIFY(tip("Broken.esp").contains("Cannot be read: ") && tip("Evil_GMSTs.esp").isEmpty());
        // The list is one stop: arrows move in it, Tab leaves it.
        table->setFocus();
        ring = TabRing(&dialog);
        // F1 goes to the window that is active, and opens the guide at its section.
        QVERIFY(QTest::qWaitFor([&] { return QApplication::activeWindow() == &dialog; }));
        QTest::keyClick(&dialog, Qt::Key_F1);

        // Selected rows get times in the order shown, so they load last, and new headers.
        for (const char* name : {"Evil_GMSTs.esp", "Already_Clean.esp"}) {
          table->selectionModel()->select(table->model()->index(TickOf(table, name)->row(), 1),
                                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
        ButtonOf(dialog, "updateTime")->click();
        int rows = table->rowCount();
        lastTwo << table->item(rows - 2, 1)->text() << table->item(rows - 1, 1)->text();
        ButtonOf(dialog, "updateHeader")->click();

        // A file that cannot be read is ticked by no way, but taken off the
        // list by either; a readable one is ticked.
        struct Case {
          const char* name;
          bool space;  // else a click on the box
          bool ticks;
          Qt::CheckState from = Qt::Unchecked;
        };
        for (const Case& c : {Case{"Broken.esp", true, false}, Case{"Broken.esp", false, false},
                              Case{"Cell_Water_And_Light.esp", false, false, Qt::Checked},
                              Case{"Inactive_Plugin.esp", true, true},
                              Case{"Needs_Missing_Master.esp", false, true}}) {
          QTableWidgetItem* box = TickOf(table, c.name);
          box->setCheckState(c.from);
          if (c.space) {
            table->setCurrentCell(box->row(), 1);
            QTest::keyClick(table, Qt::Key_Space);
          } else {
            QStyleOptionViewItem item;
            item.initFrom(table);
            item.rect = table->visualItemRect(box);
            item.features = QStyleOptionViewItem::HasCheckIndicator;
            QRect indicator =
                table->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &item, table);
            QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, indicator.center());
          }
          QVERIFY2((box->checkState() == Qt::Checked) == c.ticks, c.name);
        }

        // Without Morrowind.esm nothing is saved, and the window stays on its row.
        TickOf(table, "Morrowind.esm")->setCheckState(Qt::Unchecked);
        ButtonOf(dialog, "ok")->click();
        QVERIFY(dialog.isVisible());
        QCOMPARE(table->item(table->currentRow(), 1)->text(), QStringLiteral("Morrowind.esm"));
        TickOf(table, "Morrowind.esm")->setCheckState(Qt::Checked);

        table->setCurrentCell(TickOf(table, "Already_Clean.esp")->row(), 1);
        TickOf(table, "Already_Clean.esp")->setCheckState(Qt::Unchecked);
        TickOf(table, "Bloodmoon.esm")->setCheckState(Qt::Unchecked);
        // Sorting by name keeps the ticks, and the focused row in view.
        table->horizontalHeader()->sectionClicked(1);
        for (int row = 1; row < table->rowCount(); ++row) {
          QVERIFY(table->item(row - 1, 1)
                      ->text()
                      .compare(table->item(row, 1)->text(), Qt::CaseInsensitive) < 0);
        }
        QCOMPARE(TickOf(table, "Inactive_Plugin.esp")->checkState(), Qt::Checked);
        QTableWidgetItem* focused = table->item(table->currentRow(), 1);
        QCOMPARE(focused->text(), QStringLiteral("Already_Clean.esp"));
        QVERIFY(table->viewport()->rect().contains(table->visualItemRect(focused)));
        // Enter on the focused OK saves the list.
        QPushButton* ok = ButtonOf(dialog, "ok");
        ok->setFocus();
        QTimer::singleShot(0, ok, [ok] { QTest::keyClick(ok, Qt::Key_Return); });
      })
      .Answer(QMessageBox::Ok)   // the headers were updated
      .Answer(QMessageBox::Ok)   // why nothing is saved
      .Answer(QMessageBox::Ok);  // active plugins still need an inactive master
  QVERIFY(game.Run(kManageActivePluginsCommand, script));
  QCOMPARE(ring,
           (QStringList{"plugins", "loadOrder", "updateTime", "updateHeader", "ok", "cancel"}));
  QCOMPARE(browser.urls.size(), 1);
  QCOMPARE(browser.urls[0].fragment(), QStringLiteral("manage"));
  QCOMPARE(QFileInfo(browser.urls[0].toLocalFile()).fileName(), QStringLiteral("Modrake.htm"));
  QCOMPARE(lastTwo, (QStringList{"Evil_GMSTs.esp", "Already_Clean.esp"}));
  QCOMPARE(script.boxes[2].text,
           QStringLiteral("Plugin(s) version and master file information has been updated"));
  QVERIFY(EsmtoolReads(game.Data("Evil_GMSTs.esp")) &&
          EsmtoolReads(game.Data("Already_Clean.esp")));
  QCOMPARE(script.boxes[3].icon, QMessageBox::Warning);
  QVERIFY(script.boxes[3].text.startsWith(QStringLiteral("Morrowind.esm must stay active")));
  QCOMPARE(script.boxes[4].icon, QMessageBox::Warning);
  QVERIFY(script.boxes[4].text.contains(QStringLiteral(" active plugin(s) reference master")));

  QVERIFY(game.Active("Inactive_Plugin.esp") && game.Active("Morrowind.esm"));
  QVERIFY(!game.Active("Already_Clean.esp") && !game.Active("Bloodmoon.esm"));
  QVERIFY(!game.Active("Broken.esp"));
  // Its Ignore box is usable only while the master is active.
  QVERIFY(!game.Box("IgnoreBloodmoon")->isEnabled() && game.Box("IgnoreTribunal")->isEnabled());

  // Esc closes it without saving.
  std::string ini = game.Ini();
  script
      .Manage([&](gui::DataFilesDialog& dialog) {
        TickOf(Plugins(dialog), "Bloodmoon.esm")->setCheckState(Qt::Checked);
        QPushButton* ok = ButtonOf(dialog, "ok");
        QTimer::singleShot(0, ok, [ok] { QTest::keyClick(ok, Qt::Key_Escape); });
      })
      .Answer(QMessageBox::Ok);  // the inactive master warning
  QVERIFY(game.Run(kManageActivePluginsCommand, script));
  QVERIFY(game.LogLines().contains(QStringLiteral("Operation has been canceled")));
  QCOMPARE(game.Ini(), ini);

  // The list loses Morrowind.esm behind the window's back: a command fails
  // with one box, yet Manage active plugins opens to mend it.
  ini.replace(ini.find("=Morrowind.esm\r\n"), 14, "=Tribunal.esm");
  WriteFile(game.dir / "Morrowind.ini", ini);
  script.Answer(QMessageBox::Ok);
  QVERIFY(game.Run(kMergeLeveledListsCommand, script));
  QCOMPARE(script.boxes.size(), size_t{7});
  QVERIFY2(script.boxes.back().text.startsWith(QStringLiteral("Cannot find morrowind.esm")),
           qPrintable(script.boxes.back().text));
  script
      .Manage([&](gui::DataFilesDialog& dialog) {
        TickOf(Plugins(dialog), "Morrowind.esm")->setCheckState(Qt::Checked);
        QTimer::singleShot(0, ButtonOf(dialog, "ok"), &QPushButton::click);
      })
      .Answer(QMessageBox::Ok)  // the inactive master warning
      .Answer(QMessageBox::Yes);
  game.Execute(kManageActivePluginsCommand);
  QVERIFY(game.WaitIdle());
  QVERIFY(game.Active("Morrowind.esm"));
  QVERIFY(game.Run(kMergeLeveledListsCommand, script));
  QVERIFY(std::filesystem::exists(game.Data("Merged_Leveled_Lists.esp")));
}

void MainWindowTest::justFixItKeepsTheWindowBusyAndUndoBringsTheRunBack() {
  GuiGame game;
  auto* runToUndo = game.Find<QLabel>("runToUndo");
  auto* preview = game.Find<QCheckBox>("preview");
  QPushButton* undo = game.Button("undo");
  QCOMPARE(runToUndo->text(), kNoRun);
  QVERIFY(!undo->isEnabled());
  const auto original = Snapshot(game.dir.path());
  int64_t junkTime = QueryFileStatus(game.Data("Junk_Cells.esp"))->modified;
  auto fix = [&](std::function<void()> whileAsked) {
    DialogScript script;
    script.Answer(QMessageBox::Yes, whileAsked);
    game.Button("justFixIt")->click();
    return game.Settled(script);
  };

  // A preview logs what it would do and leaves every file as it was.
  preview->setChecked(true);
  QVERIFY(fix({}));
  QVERIFY(!game.LogLines().filter(QStringLiteral("Would ")).isEmpty());
  QVERIFY(Snapshot(game.dir.path()) == original);
  QCOMPARE(runToUndo->text(), kNoRun);

  // While it asks and runs, nothing else starts and the window stays open.
  preview->setChecked(false);
  bool busyWhileAsked = false;
  QVERIFY(fix([&] {
    busyWhileAsked = game.window->Busy() && !game.CommandsEnabled() && !game.window->close() &&
                     game.window->isVisible();
  }));
  QVERIFY(busyWhileAsked && game.CommandsEnabled());
  // Active plugins were cleaned in place, keeping their times.
  QVERIFY(Snapshot(game.dir.path()) != original);
  QCOMPARE(QueryFileStatus(game.Data("Junk_Cells.esp"))->modified, junkTime);
  QVERIFY(EsmtoolReads(game.Data("Junk_Cells.esp")));

  // The run is named under the button, and undone.
  QVERIFY2(runToUndo->text().startsWith(QStringLiteral("fix, ")), qPrintable(runToUndo->text()));
  QVERIFY(undo->isEnabled());
  undo->click();
  QVERIFY(game.WaitIdle());
  QVERIFY(Snapshot(game.dir.path()) == original);
  QCOMPARE(runToUndo->text(), kNoRun);
  QVERIFY(!undo->isEnabled() && game.window->close());
}

void MainWindowTest::anotherRunMakesTheWorkerWaitWhileTheWindowPaints() {
  // "Done" waits for a run holding the program's home, saying why; a command
  // waiting for a run holding the game gives up on Esc.
  for (bool command : {false, true}) {
    GuiGame game;
    auto other = std::make_unique<RunLock>();
    QVERIFY(other->TryAdd(command ? game.dir.path() : game.home.path()));
    DialogScript script;  // a cancelled wait asks nothing
    if (command) {
      game.Execute(kMergeLeveledListsCommand);
    } else {
      game.Button("options")->click();
      game.Box("ForceSave")->click();
      game.Button("done")->click();
    }
    auto* status = game.Find<QLabel>("progressText");
    QVERIFY(QTest::qWaitFor(
        [&] { return status->text().startsWith(QStringLiteral("Waiting for another run")); }));
    QVERIFY(game.window->Busy() && !game.CommandsEnabled());
    if (command) {
      QTest::keyClick(game.window.get(), Qt::Key_Escape);
    } else {
      other.reset();
    }
    QVERIFY(game.Settled(script));
    QVERIFY(game.LogLines().filter(QStringLiteral("Waiting for another run")).isEmpty());
    QVERIFY(status->text().isEmpty());
    if (command) {
      QCOMPARE(game.LogLines().back(), QStringLiteral("Operation has been canceled"));
      QVERIFY(!std::filesystem::exists(game.Data("Merged_Leveled_Lists.esp")));
    } else {
      QVERIFY(IniHas(game, "ForceSave=1"));
    }
  }
}

void MainWindowTest::logKeepsTheReadersPlaceAndWrapsLongLines() {
  GuiGame game;
  gui::LogView* log = game.Log();
  // Each line is one, the empty one too, from the first on.
  game.ui.ClearLogList();
  for (const char* line : {"first", "", "third"}) game.ui.AddLogLine(line);
  QTRY_COMPARE(log->Lines(), (QStringList{"first", "", "third"}));
  QScrollBar* down = log->verticalScrollBar();
  const std::string wide(400, 'w');
  // Wrapped or not, the reader at the end or at the first lines.
  for (auto [wrapped, atEnd] : {std::pair{true, true}, std::pair{true, false},
                                std::pair{false, true}, std::pair{false, false}}) {
    log->SetWrapped(wrapped);
    for (int i = 0; i < 100; ++i) game.ui.AddLogLine("line " + std::to_string(i));
    down->setValue(atEnd ? down->maximum() : 0);
    // The worker's lines come through the queue, as during a command.
    int before = log->Lines().size();
    std::thread([&] {
      for (int i = 0; i < 50; ++i) game.ui.AddLogLine(wide + std::to_string(i));
    }).join();
    QVERIFY(QTest::qWaitFor([&] { return log->Lines().size() == before + 50; }));
    QCOMPARE(down->value(), atEnd ? down->maximum() : 0);
    QVERIFY(down->maximum() > 0);
    QCOMPARE(log->horizontalScrollBar()->maximum() > 0, !wrapped);
  }
}

void MainWindowTest::qtOptionsAreAccepted() {
  const std::pair<QStringList, bool> cases[] = {
      {{"-platform", "offscreen", "-reverse", "-style", "windows", "--game", "G"}, true},
      {{"-stylesheet=look.qss", "--style=fusion", "-qwindowgeometry", "800x600"}, true},
      {{"--bogus"}, false},
      {{"Morrowind.esm"}, false},
  };
  for (const auto& [arguments, accepted] : cases) {
    gui::Arguments parsed = gui::ParseArguments(QStringList{"modrake-gui"} + arguments);
    QVERIFY2(parsed.error.isEmpty() == accepted, qPrintable(arguments.join(' ')));
    QVERIFY(!accepted || parsed.game.value_or("") == (arguments.contains("G") ? "G" : ""));
  }
  // --help tells of Modrake's options and leaves Qt's to Qt.
  gui::Arguments help = gui::ParseArguments({"modrake-gui", "--help"});
  QVERIFY(help.help);
  for (const char* option : {"--game <DIR>", "--home <DIR>", "--version"}) {
    QVERIFY2(help.helpText.contains(QString::fromUtf8(option)), option);
  }
  QVERIFY(!help.helpText.contains(QStringLiteral("--platformtheme")));
}

void MainWindowTest::chooserChecksAndRemembersTheGame() {
  // Nothing where the search looks but an OpenMW configuration that lists no content yet.
  TempDir dir, home;
  samplegame::WriteSampleGame(dir / "game", {});
  NoGameElsewhere nowhere(dir.path());
  ScopedEnv data("XDG_DATA_HOME", (dir / "data").string());
  std::filesystem::path config = dir / ".config/openmw/openmw.cfg";
  std::filesystem::create_directories(config.parent_path());
  WriteFile(config, "data=\"" + (dir / "game/Data Files").string() + "\"\n");
  RecordingUi ui;
  Program program(ui, home.path());
  gui::GameChooser chooser(program, GameNotFound({}));
  auto* problem = chooser.findChild<QPlainTextEdit*>(QStringLiteral("problem"));
  QVERIFY(problem->toPlainText().startsWith(QStringLiteral("Cannot find Morrowind installation")));
  // The configuration that failed, then a folder that is no game: it stays, saying why.
  QString folder = QString::fromStdString((dir / "data").string());
  chooser.chooseFolder = [&] { return folder; };
  ButtonOf(chooser, "openmwConfig")->click();
  ButtonOf(chooser, "chooseFolder")->click();
  QCOMPARE(chooser.result(), int(QDialog::Rejected));
  QVERIFY(problem->toPlainText().contains(QStringLiteral("no such folder")));
  QVERIFY(!program.GameLoaded());
  // The game's "Data Files" folder is taken as the game above it, and remembered.
  folder = QString::fromStdString((dir / "game/Data Files").string());
  ButtonOf(chooser, "chooseFolder")->click();
  QVERIFY(chooser.result() == QDialog::Accepted && program.GameLoaded());
  std::string ini = ReadFile(home / "modrake.ini");
  QVERIFY(ini.find("GameFolder=\"" + (dir / "game").string() + "\"") != std::string::npos);

  // With content, the configuration is a choice that loads, and is remembered instead.
  WriteFile(config, ReadFile(config) + "content=Morrowind.esm\n");
  WriteFile(home / "modrake.ini", "");
  Program next(ui, home.path());
  gui::GameChooser again(next, GameNotFound({}));
  ButtonOf(again, "openmwConfig")->click();
  QCOMPARE(again.result(), int(QDialog::Accepted));
  ini = ReadFile(home / "modrake.ini");
  QVERIFY(ini.find("OpenMwConfig=\"" + config.string() + "\"") != std::string::npos);
  QVERIFY(ini.find("GameFolder") == std::string::npos);
}

}  // namespace modrake::test

QTEST_MAIN(modrake::test::MainWindowTest)
#include "main_window_test.moc"
