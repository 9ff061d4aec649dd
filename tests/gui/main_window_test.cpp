// The window on a sample game: its layout and keys, the entries of the
// function list with their questions answered, the Data Files window, and
// the states while a command runs. What the commands write is checked
// through the command line; here, what only the window shows or does.
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
#include <QRegularExpression>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTableWidget>
#include <QTest>
#include <QTextCursor>
#include <QTextDocument>
#include <algorithm>
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

int64_t ModifiedTime(const std::filesystem::path& file) {
  auto status = QueryFileStatus(file);
  return status ? status->modified : -1;
}

bool IniHas(const GuiGame& game, const char* line) {
  return ReadFile(game.home / "modrake.ini").find(line) != std::string::npos;
}

const QString kOptionsQuestion =
    QStringLiteral("You have not visited Options dialog yet. Do you want to go there?");
const QString kNoRun = QStringLiteral("No run to undo");

// The object names of the controls that Tab visits, from the focused one
// until it comes round to it again.
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
  void opensWithItsLayoutAndTabOrder();
  void optionsQuestionComesOnceAndCleanAsksAboutDuplicates();
  void mergesAskAndTheReportTakesTheChosenFiles();
  void manageWindowUpdatesActivatesAndCancels();
  void justFixItKeepsTheWindowBusyAndUndoBringsTheRunBack();
  void errorsShowOneBoxAndManageActivePluginsStillOpens();
  void anotherRunMakesTheWorkerWaitWhileTheWindowPaints();
  void cancelStopsACleanBetweenFiles();
  void enterEscapeAndTheGuide();
  void logKeepsTheReadersPlaceAndWrapsLongLines();
  void qtOptionsAreAccepted();
  void chooserChecksAndRemembersTheGame();
};

void MainWindowTest::opensWithItsLayoutAndTabOrder() {
  GuiGame game;
  QCOMPARE(game.window->windowTitle(), QStringLiteral("Modrake"));
  QListWidget* functions = game.Functions();
  QCOMPARE(functions->count(), static_cast<int>(FunctionList().size()));
  for (int i = 0; i < functions->count(); ++i) {
    QCOMPARE(functions->item(i)->text(), QString::fromUtf8(FunctionList()[i]));
  }
  QCOMPARE(functions->currentRow(), 0);
  QCOMPARE(game.LogLines().front(), QStringLiteral("Modrake 1.3   by lanternfly"));
  QCOMPARE(game.LogLines().back(), QStringLiteral("Select function from the list above"));

  // The buttons beside the list, top to bottom, and the log below both.
  QPushButton* fix = game.Button("justFixIt");
  QPushButton* options = game.Button("options");
  QVERIFY(fix->x() > functions->geometry().right());
  QVERIFY(fix->y() < options->y() && options->y() < game.Button("execute")->y());
  QVERIFY(game.Log()->mapTo(game.window.get(), QPoint(0, 0)).y() > functions->geometry().bottom());
  QVERIFY(!game.OptionsShown() && game.CommandsEnabled());
  QVERIFY(game.Box("IgnoreTribunal")->isEnabled() && game.Box("IgnoreBloodmoon")->isEnabled());

  functions->setFocus();
  QCOMPARE(TabRing(game.window.get()),
           (QStringList{"functions", "justFixIt", "options", "execute", "preview", "log"}));
  options->click();
  QStringList boxes;
  for (const SettingKey& key : SettingKeys()) boxes << QString::fromUtf8(key.key);
  QCOMPARE(TabRing(game.window.get()), boxes << QStringLiteral("done"));
  game.Button("done")->click();
  QVERIFY(game.WaitIdle());

  // Execute with nothing selected runs nothing.
  DialogScript script;
  functions->clearSelection();
  game.Button("execute")->click();
  QVERIFY(game.Settled(script));
  QVERIFY(script.boxes.empty() && game.LogLines().isEmpty() && game.CommandsEnabled());
}

void MainWindowTest::optionsQuestionComesOnceAndCleanAsksAboutDuplicates() {
  GuiGame game;
  DialogScript script;
  script.Answer(QMessageBox::Yes);
  QVERIFY(game.Run(kCleanCommand, script));
  QCOMPARE(script.boxes[0].text, kOptionsQuestion);
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
  int64_t time = ModifiedTime(junk);
  script.Choose({junk});
  QVERIFY(game.Run(kCleanCommand, script));
  QCOMPARE(script.boxes.size(), size_t{1});
  QVERIFY(ReadFile(junk) != before && ModifiedTime(junk) == time);
  QVERIFY(!std::filesystem::exists(game.Data("Clean Junk_Cells.esp")) && EsmtoolReads(junk));

  // Duplicates are a warning whose default keeps the file; Yes cleans it into the subfolder.
  script.Choose({game.Data("Evil_GMSTs.esp"), game.Data("Duplicate_Records.esp")})
      .Answer(QMessageBox::Yes);
  QVERIFY(game.Run(kCleanSubfolderCommand, script));
  QCOMPARE(script.boxes[1].icon, QMessageBox::Warning);
  QCOMPARE(script.boxes[1].defaultButton, QMessageBox::No);
  QVERIFY(script.boxes[1].text.startsWith(
      QStringLiteral("File Duplicate_Records.esp contains duplicate objects.")));
  std::filesystem::path cleaned = game.Data("Clean/Duplicate_Records.esp");  // names kept
  QVERIFY(std::filesystem::exists(cleaned) && EsmtoolReads(cleaned));
  QVERIFY(game.LogLines().contains(QStringLiteral("Cleaned 2 file(s)")));
}

void MainWindowTest::mergesAskAndTheReportTakesTheChosenFiles() {
  GuiGame game;
  const std::string ini = game.Ini();
  const std::pair<int, const char*> merges[] = {
      {kMergeLeveledListsCommand, "Merged_Leveled_Lists.esp"},
      {kMergeObjectsCommand, "Merged_Objects.esp"},
      {kMergeDialogsCommand, "Merged_Dialogs.esp"}};
  for (const auto& [entry, plugin] : merges) {
    for (auto answer : {QMessageBox::No, QMessageBox::Yes}) {
      DialogScript script;
      script.Answer(answer);
      QVERIFY(game.Run(entry, script));
      QCOMPARE(script.boxes[0].text, QStringLiteral("Do you want to recreate %1?").arg(plugin));
      QCOMPARE(std::filesystem::exists(game.Data(plugin)), answer == QMessageBox::Yes);
    }
  }
  // Built, not activated: only JUST FIX IT! activates them.
  QCOMPARE(game.Ini(), ini);

  DialogScript script;
  script.Choose({game.Data("Objects_Merge_A.esp"), game.Data("Objects_Merge_B.esp")});
  QVERIFY(game.Run(kConflictReportCommand, script));
  QCOMPARE(game.LogLines().filter(QStringLiteral("defined more than once")).size(), 1);
  std::string report = ReadFile(game.program.log().LogPath());
  QVERIFY(report.find("Objects_Merge_B.esp") != std::string::npos);
}

void MainWindowTest::manageWindowUpdatesActivatesAndCancels() {
  GuiGame game;
  WriteFile(game.Data("Broken.esp"), "TES3 this is no plugin");
  UrlCatcher browser;
  DialogScript script;
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

        // A file that cannot be read is ticked by no way; a readable one is.
        struct Case {
          const char* name;
          bool space;  // else a click on the box
          bool ticks;
        };
        for (const Case& c : {Case{"Broken.esp", true, false}, Case{"Broken.esp", false, false},
                              Case{"Inactive_Plugin.esp", true, true},
                              Case{"Needs_Missing_Master.esp", false, true}}) {
          QTableWidgetItem* box = TickOf(table, c.name);
          box->setCheckState(Qt::Unchecked);
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
        TickOf(table, "Broken.esp")->setCheckState(Qt::Checked);
        QCOMPARE(TickOf(table, "Broken.esp")->checkState(), Qt::Unchecked);

        // Without Morrowind.esm nothing is saved, and the window stays on its row.
        TickOf(table, "Morrowind.esm")->setCheckState(Qt::Unchecked);
        ButtonOf(dialog, "ok")->click();
        QVERIFY(dialog.isVisible());
        QCOMPARE(table->item(table->currentRow(), 1)->text(), QStringLiteral("Morrowind.esm"));
        TickOf(table, "Morrowind.esm")->setCheckState(Qt::Checked);

        // Space unticks the focused row, as in the file lists of the desktop.
        table->setCurrentCell(TickOf(table, "Already_Clean.esp")->row(), 1);
        QTest::keyClick(table, Qt::Key_Space);
        QCOMPARE(TickOf(table, "Already_Clean.esp")->checkState(), Qt::Unchecked);
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
  QCOMPARE(script.boxes[0].text,
           QStringLiteral("Plugin(s) version and master file information has been updated"));
  QVERIFY(EsmtoolReads(game.Data("Evil_GMSTs.esp")) &&
          EsmtoolReads(game.Data("Already_Clean.esp")));
  QCOMPARE(script.boxes[1].icon, QMessageBox::Warning);
  QVERIFY(script.boxes[1].text.startsWith(QStringLiteral("Morrowind.esm must stay active")));
  QCOMPARE(script.boxes[2].icon, QMessageBox::Warning);
  QVERIFY(script.boxes[2].text.contains(QStringLiteral(" active plugin(s) reference master")));

  QVERIFY(game.Active("Inactive_Plugin.esp") && game.Active("Morrowind.esm"));
  QVERIFY(!game.Active("Already_Clean.esp") && !game.Active("Bloodmoon.esm"));
  QVERIFY(!game.Active("Broken.esp"));
  // Its Ignore box is usable only while the master is active.
  QVERIFY(!game.Box("IgnoreBloodmoon")->isEnabled());
  QVERIFY(game.Box("IgnoreTribunal")->isEnabled());
  QVERIFY(game.LogLines().contains(QStringLiteral("Updated morrowind.ini")));

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
}

void MainWindowTest::justFixItKeepsTheWindowBusyAndUndoBringsTheRunBack() {
  GuiGame game;
  auto* runToUndo = game.Find<QLabel>("runToUndo");
  auto* preview = game.Find<QCheckBox>("preview");
  QPushButton* undo = game.Button("undo");
  QCOMPARE(runToUndo->text(), kNoRun);
  QVERIFY(!undo->isEnabled());
  const auto original = Snapshot(game.dir.path());
  int64_t junkTime = ModifiedTime(game.Data("Junk_Cells.esp"));
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
  QCOMPARE(ModifiedTime(game.Data("Junk_Cells.esp")), junkTime);
  QVERIFY(EsmtoolReads(game.Data("Junk_Cells.esp")));

  // The run is named under the button, and undone.
  QVERIFY2(runToUndo->text().startsWith(QStringLiteral("fix, ")), qPrintable(runToUndo->text()));
  QVERIFY(undo->isEnabled());
  undo->click();
  QVERIFY(game.WaitIdle());
  QVERIFY(Snapshot(game.dir.path()) == original);
  QCOMPARE(runToUndo->text(), kNoRun);

  // A file changed by hand since the run stops the undo, named in its box.
  QVERIFY(fix({}));
  WriteFile(game.Data("Junk_Cells.esp"), ReadFile(game.Data("Junk_Cells.esp")) + "x");
  DialogScript refusal;
  refusal.Answer(QMessageBox::Ok);
  undo->click();
  QVERIFY(game.Settled(refusal));
  QVERIFY2(refusal.boxes.back().text.contains(QStringLiteral("Junk_Cells.esp")),
           qPrintable(refusal.boxes.back().text));
  QVERIFY(undo->isEnabled());
  // Now closing is allowed.
  QVERIFY(game.window->close());
}

void MainWindowTest::errorsShowOneBoxAndManageActivePluginsStillOpens() {
  GuiGame game;
  WriteFile(game.Data("Broken.esp"), "TES3 this is no plugin");
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

  // The list loses Morrowind.esm behind the window's back: each command
  // fails with one box, yet Manage active plugins opens to mend it.
  std::string ini = game.Ini();
  ini.replace(ini.find("=Morrowind.esm\r\n"), 14, "=Tribunal.esm");
  WriteFile(game.dir / "Morrowind.ini", ini);
  for (size_t shown : {3, 4}) {
    script.Answer(QMessageBox::Ok);
    QVERIFY(game.Run(kMergeLeveledListsCommand, script));
    QCOMPARE(script.boxes.size(), shown);
    QVERIFY2(script.boxes.back().text.startsWith(QStringLiteral("Cannot find morrowind.esm")),
             qPrintable(script.boxes.back().text));
  }
  script
      .Manage([&](gui::DataFilesDialog& dialog) {
        TickOf(Plugins(dialog), "Morrowind.esm")->setCheckState(Qt::Checked);
        ClickLater(ButtonOf(dialog, "ok"));
      })
      .Answer(QMessageBox::Ok)  // the inactive master warning
      .Answer(QMessageBox::Yes);
  game.Execute(kManageActivePluginsCommand);
  QVERIFY(game.WaitIdle());
  QVERIFY(game.Active("Morrowind.esm"));
  QVERIFY(game.Run(kMergeLeveledListsCommand, script));
  QVERIFY(std::filesystem::exists(game.Data("Merged_Leveled_Lists.esp")));
}

void MainWindowTest::anotherRunMakesTheWorkerWaitWhileTheWindowPaints() {
  // A command or "Done" waits for a run holding its folder, saying why; Esc gives up.
  struct Case {
    const char* name;
    bool game;  // the game folder held, else the program home
    bool cancel;
  };
  for (const Case& c : {Case{"merge", true, false}, Case{"done", false, false},
                        Case{"merge cancelled", true, true}}) {
    GuiGame game;
    auto other = std::make_unique<RunLock>();
    QVERIFY(other->TryAdd(c.game ? game.dir.path() : game.home.path()));
    DialogScript script;
    if (c.game) {
      // Asked once the wait is over; a cancelled wait asks nothing.
      if (!c.cancel) script.Answer(QMessageBox::Yes);
      game.Execute(kMergeLeveledListsCommand);
    } else {
      game.Button("options")->click();
      game.Box("ForceSave")->click();
      game.Button("done")->click();
    }
    auto* status = game.Find<QLabel>("progressText");
    QVERIFY2(QTest::qWaitFor([&] {
               return status->text().startsWith(QStringLiteral("Waiting for another run"));
             }),
             c.name);
    QVERIFY(game.window->Busy() && !game.CommandsEnabled());
    if (c.cancel) {
      QTest::keyClick(game.window.get(), Qt::Key_Escape);
    } else {
      other.reset();
    }
    QVERIFY(game.Settled(script));
    QVERIFY(game.LogLines().filter(QStringLiteral("Waiting for another run")).isEmpty());
    QVERIFY(status->text().isEmpty());
    if (c.cancel) QCOMPARE(game.LogLines().back(), QStringLiteral("Operation has been canceled"));
    if (c.game) {
      QCOMPARE(std::filesystem::exists(game.Data("Merged_Leveled_Lists.esp")), !c.cancel);
    } else {
      QVERIFY(IniHas(game, "ForceSave=1"));
    }
  }
}

void MainWindowTest::cancelStopsACleanBetweenFiles() {
  // Cancel is pressed while the plugin with duplicates, in the middle of
  // the chosen ones, asks its question.
  GuiGame game;
  game.Box("KeepFileName")->setChecked(true);
  game.program.session().optionsNotVisited = false;
  std::vector<std::filesystem::path> chosen;
  for (const auto& entry : std::filesystem::directory_iterator(game.Data())) {
    if (entry.path().extension() == ".esp" && entry.path().filename() != "Duplicate_Records.esp") {
      chosen.push_back(entry.path());
    }
  }
  std::sort(chosen.begin(), chosen.end());
  chosen.insert(chosen.begin() + static_cast<long>(chosen.size() / 2),
                game.Data("Duplicate_Records.esp"));
  std::string last = ReadFile(chosen.back());
  DialogScript script;
  bool progressShown = false;
  script.Choose(chosen).Answer(QMessageBox::Yes, [&] {
    auto* bar = game.Find<QProgressBar>("progress");
    progressShown =
        bar->isVisible() && bar->maximum() == static_cast<int>(chosen.size()) && bar->value() > 0;
    game.Button("cancel")->click();
  });
  QVERIFY(game.Run(kCleanCommand, script));
  QVERIFY(progressShown && game.CommandsEnabled());
  QStringList lines = game.LogLines();
  QCOMPARE(lines.back(), QStringLiteral("Operation has been canceled"));
  QStringList processed = lines.filter(QRegularExpression(QStringLiteral("^Processing ")))
                              .replaceInStrings("Processing ", "");
  QCOMPARE(processed.back(), QStringLiteral("Duplicate_Records.esp"));
  QCOMPARE(ReadFile(chosen.back()), last);
}

void MainWindowTest::enterEscapeAndTheGuide() {
  GuiGame game;
  UrlCatcher browser;
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
  // Enter presses the focused button, or Execute from the list.
  for (const char* focus : {"functions", "execute"}) {
    DialogScript script;
    script.Answer(QMessageBox::No);
    game.Functions()->setCurrentRow(kMergeLeveledListsCommand);
    game.Find(focus)->setFocus();
    QTest::keyClick(game.window->focusWidget(), Qt::Key_Return);
    QVERIFY2(game.Settled(script), focus);
    QCOMPARE(script.boxes.front().text,
             QStringLiteral("Do you want to recreate Merged_Leveled_Lists.esp?"));
  }
  // On the options panel Esc puts the boxes back unsaved, Enter is "Done".
  game.Button("options")->setFocus();
  QTest::keyClick(game.Button("options"), Qt::Key_Return);
  QVERIFY(game.OptionsShown());
  game.Box("ForceSave")->click();
  QTest::keyClick(game.Box("ForceSave"), Qt::Key_Escape);
  QVERIFY(!game.OptionsShown() && !game.Box("ForceSave")->isChecked());
  QCOMPARE(game.window->focusWidget(), game.Functions());
  game.Button("options")->click();
  game.Box("KeepFileDate")->click();
  QTest::keyClick(game.Box("KeepFileDate"), Qt::Key_Enter);
  QVERIFY(!game.OptionsShown());
  QVERIFY(game.WaitIdle());
  QVERIFY(IniHas(game, "KeepFileDate=1") && IniHas(game, "ForceSave=0"));
}

void MainWindowTest::logKeepsTheReadersPlaceAndWrapsLongLines() {
  GuiGame game;
  gui::LogView* log = game.Log();
  QScrollBar* down = log->verticalScrollBar();
  const std::string wide(400, 'w');
  struct Case {
    bool wrapped;
    bool atEnd;  // else the reader looks at the first lines
  };
  for (const Case& c :
       {Case{true, true}, Case{true, false}, Case{false, true}, Case{false, false}}) {
    log->SetWrapped(c.wrapped);
    for (int i = 0; i < 100; ++i) game.ui.AddLogLine("line " + std::to_string(i));
    down->setValue(c.atEnd ? down->maximum() : 0);
    // The worker's lines come through the queue, as during a command.
    int before = log->Lines().size();
    std::thread([&] {
      for (int i = 0; i < 50; ++i) game.ui.AddLogLine(wide + std::to_string(i));
    }).join();
    QVERIFY(QTest::qWaitFor([&] { return log->Lines().size() == before + 50; }));
    QCOMPARE(down->value(), c.atEnd ? down->maximum() : 0);
    QVERIFY(down->maximum() > 0);
    QCOMPARE(log->horizontalScrollBar()->maximum() > 0, !c.wrapped);
  }
}

void MainWindowTest::qtOptionsAreAccepted() {
  const std::pair<QStringList, bool> cases[] = {
      {{"-style", "windows"}, true},
      {{"-platform", "offscreen", "-reverse"}, true},
      {{"-stylesheet=look.qss", "--game", "/games/Morrowind"}, true},
      {{"--style=fusion", "-qwindowgeometry", "800x600"}, true},
      {{"--bogus"}, false},
      {{"Morrowind.esm"}, false},
  };
  for (const auto& [arguments, accepted] : cases) {
    gui::Arguments parsed = gui::ParseArguments(QStringList{"modrake-gui"} + arguments);
    QVERIFY2(parsed.error.isEmpty() == accepted, qPrintable(arguments.join(' ')));
  }
  gui::Arguments game = gui::ParseArguments({"modrake-gui", "-style", "windows", "--game", "G"});
  QVERIFY(game.game == std::filesystem::path("G"));
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
  auto problem = [](gui::GameChooser& chooser) {
    return chooser.findChild<QPlainTextEdit*>(QStringLiteral("problem"))->toPlainText();
  };
  {
    Program program(ui, home.path());
    std::unique_ptr<gui::GameChooser> chooser;
    try {
      program.LoadGame();
    } catch (const std::exception& e) {
      chooser = std::make_unique<gui::GameChooser>(program, e);
    }
    QVERIFY(chooser);
    QVERIFY(problem(*chooser).startsWith(QStringLiteral("Cannot find Morrowind installation")));
    // The configuration that failed, then a folder that is no game: it stays, saying why.
    QString folder = QString::fromStdString((dir / "data").string());
    chooser->chooseFolder = [&] { return folder; };
    ButtonOf(*chooser, "openmwConfig")->click();
    ButtonOf(*chooser, "chooseFolder")->click();
    QCOMPARE(chooser->result(), int(QDialog::Rejected));
    QVERIFY(problem(*chooser).contains(QStringLiteral("no such folder")) && !program.GameLoaded());
    // The game's "Data Files" folder is taken as the game above it.
    folder = QString::fromStdString((dir / "game/Data Files").string());
    ButtonOf(*chooser, "chooseFolder")->click();
    QVERIFY(chooser->result() == QDialog::Accepted && program.GameLoaded());
  }
  {
    // The next start finds the remembered game before OpenMW's configuration.
    Program program(ui, home.path());
    program.LoadGame();
    QCOMPARE(program.DataFolder(), dir / "game/Data Files");
  }
  // With content, the configuration is a choice that loads, and is remembered instead.
  WriteFile(config, ReadFile(config) + "content=Morrowind.esm\n");
  WriteFile(home / "modrake.ini", "");
  Program program(ui, home.path());
  gui::GameChooser chooser(program, GameNotFound({}));
  ButtonOf(chooser, "openmwConfig")->click();
  QCOMPARE(chooser.result(), int(QDialog::Accepted));
  std::string ini = ReadFile(home / "modrake.ini");
  QVERIFY(ini.find("OpenMwConfig=\"" + config.string() + "\"") != std::string::npos);
  QVERIFY(ini.find("GameFolder") == std::string::npos);
}

}  // namespace modrake::test

QTEST_MAIN(modrake::test::MainWindowTest)
#include "main_window_test.moc"
