// The window on a sample game: its layout and startup lines, every entry of
// the function list run with its questions answered, the options panel, and
// the states while a command runs.
#include <QApplication>
#include <QCheckBox>
#include <QDesktopServices>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTableWidget>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <algorithm>
#include <cstring>
#include <map>
#include <thread>

#include "arguments.hpp"
#include "core/execution_log.hpp"
#include "core/settings.hpp"
#include "gui_driver.hpp"
#include "platform/file_io.hpp"
#include "platform/run_lock.hpp"
#include "shell/function_list.hpp"
#include "shell/just_fix_it.hpp"

namespace modrake::test {
namespace {

bool Contains(const std::vector<std::string>& list, const std::string& item) {
  return std::find(list.begin(), list.end(), item) != list.end();
}

int64_t ModifiedTime(const std::filesystem::path& file) {
  auto status = QueryFileStatus(file);
  return status ? status->modified : -1;
}

const QString kOptionsQuestion =
    QStringLiteral("You have not visited Options dialog yet. Do you want to go there?");

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

QStringList BoxNames() {
  QStringList names;
  for (const SettingKey& key : SettingKeys()) names << QString::fromUtf8(key.key);
  return names;
}

// The row of a file in the Manage active plugins list.
int RowOf(QTableWidget* table, const char* name) {
  return table->findItems(QString::fromUtf8(name), Qt::MatchExactly).front()->row();
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
  void opensWithItsLayoutAndStartupLines();
  void optionsQuestionShowsThePanelAndDoneSavesTheTicks();
  void cleanIntoTheSubfolderAsksAboutDuplicates();
  void mergeEntriesAskAndBuildTheirPlugins();
  void reportWritesTheLog();
  void manageWindowActivatesAndDeactivates();
  void manageWindowUpdatesTimesAndHeadersAndCancels();
  void justFixItKeepsTheWindowBusyUntilItEnds();
  void executeWithoutSelectionRunsNothing();
  void errorInACommandShowsItsBoxAndReturnsToIdle();
  void anotherRunMakesTheWorkerWaitWhileTheWindowPaints();
  void documentationLineOpensTheGuide();
  void cancelStopsACleanBetweenFiles();
  void tabReachesEveryControlInOrder();
  void enterEscapeAndF1();
  void manageWindowKeepsMorrowindAndUnreadableFilesOff();
  void manageActivePluginsOpensAfterAnError();
  void logKeepsTheReadersPlaceAndWrapsLongLines();
  void qtOptionsAreAccepted();
  void previewChangesNothingAndUndoBringsTheRunBack();
};

void MainWindowTest::opensWithItsLayoutAndStartupLines() {
  GuiGame game;
  QCOMPARE(game.window->windowTitle(), QStringLiteral("Modrake"));
  QListWidget* functions = game.Functions();
  QCOMPARE(functions->count(), static_cast<int>(FunctionList().size()));
  for (int i = 0; i < functions->count(); ++i) {
    QCOMPARE(functions->item(i)->text(), QString::fromUtf8(FunctionList()[i]));
  }
  QCOMPARE(functions->currentRow(), 0);

  QStringList lines = game.LogLines();
  QCOMPARE(lines.front(), QStringLiteral("Modrake 1.3   by lanternfly"));
  QVERIFY(lines.contains(QStringLiteral("WARNING:")));
  QCOMPARE(lines.back(), QStringLiteral("Select function from the list above"));

  // The classic arrangement: the buttons beside the list, top to bottom, and
  // the log below both.
  QPushButton* fix = game.Button("justFixIt");
  QPushButton* options = game.Button("options");
  QPushButton* execute = game.Button("execute");
  QWidget* log = game.Log();
  QVERIFY(fix->x() > functions->geometry().right());
  QVERIFY(fix->y() < options->y() && options->y() < execute->y());
  QVERIFY(log->mapTo(game.window.get(), QPoint(0, 0)).y() > functions->geometry().bottom());
  QVERIFY(!game.OptionsShown());
  QVERIFY(game.CommandsEnabled());
  // Both expansions are active in the sample game.
  QVERIFY(game.Box("IgnoreTribunal")->isEnabled());
  QVERIFY(game.Box("IgnoreBloodmoon")->isEnabled());
}

void MainWindowTest::optionsQuestionShowsThePanelAndDoneSavesTheTicks() {
  GuiGame game;
  DialogScript script;
  script.Answer(QMessageBox::Yes);
  game.Execute(kCleanCommand);
  QVERIFY(game.WaitIdle());
  QVERIFY(script.Finished());
  QCOMPARE(script.boxes.size(), size_t{1});
  QCOMPARE(script.boxes[0].text, kOptionsQuestion);
  QCOMPARE(script.boxes[0].icon, QMessageBox::Question);
  QCOMPARE(script.boxes[0].defaultButton, QMessageBox::No);
  QVERIFY(game.OptionsShown());
  QVERIFY(!game.CommandsEnabled());

  for (const char* key : {"KeepFileName", "KeepFileDate", "RestrictedCellCleaning"}) {
    game.Box(key)->click();
  }
  game.Button("done")->click();
  QVERIFY(!game.OptionsShown());
  QVERIFY(game.WaitIdle());
  QVERIFY(game.CommandsEnabled());
  std::string ini = ReadFile(game.home / "modrake.ini");
  for (const char* line : {"KeepFileName=1", "KeepFileDate=1", "RestrictedCellCleaning=1",
                           "ForceSave=0", "MergeUnchangedObjects=0"}) {
    QVERIFY2(ini.find(line) != std::string::npos, line);
  }

  // Asked once: now the entry cleans in place, keeping the file's time.
  std::filesystem::path junk = game.Data("Junk_Cells.esp");
  std::string before = ReadFile(junk);
  int64_t time = ModifiedTime(junk);
  std::vector<std::string> active = game.GameFiles();
  script.Choose({junk});
  game.Execute(kCleanCommand);
  QVERIFY(game.WaitIdle());
  QVERIFY(script.Finished());
  QCOMPARE(script.boxes.size(), size_t{1});
  QVERIFY(game.LogLines().contains(QStringLiteral("Cleaned 1 file(s)")));
  QVERIFY(ReadFile(junk) != before);
  QCOMPARE(ModifiedTime(junk), time);
  QVERIFY(!std::filesystem::exists(game.Data("Clean Junk_Cells.esp")));
  QVERIFY(EsmtoolReads(junk));
  QVERIFY(game.GameFiles() == active);
}

void MainWindowTest::cleanIntoTheSubfolderAsksAboutDuplicates() {
  GuiGame game;
  std::string original = ReadFile(game.Data("Duplicate_Records.esp"));
  DialogScript script;
  script.Answer(QMessageBox::No)
      .Choose({game.Data("Evil_GMSTs.esp"), game.Data("Duplicate_Records.esp")})
      .Answer(QMessageBox::Yes);
  game.Execute(kCleanSubfolderCommand);
  QVERIFY(game.WaitIdle());
  QVERIFY2(script.Finished(), qPrintable(script.unexpected.join('\n')));
  QCOMPARE(script.boxes[0].text, kOptionsQuestion);
  QCOMPARE(script.boxes[1].icon, QMessageBox::Warning);
  QCOMPARE(script.boxes[1].defaultButton, QMessageBox::No);
  QVERIFY(script.boxes[1].text.startsWith(
      QStringLiteral("File Duplicate_Records.esp contains duplicate objects.")));
  QVERIFY(!game.OptionsShown());

  std::vector<std::filesystem::path> cleaned = {game.Data("Clean/Clean Evil_GMSTs.esp"),
                                                game.Data("Clean/Clean Duplicate_Records.esp")};
  for (const auto& file : cleaned) QVERIFY2(std::filesystem::exists(file), file.c_str());
  QVERIFY(EsmtoolReadsAll(cleaned));
  QCOMPARE(ReadFile(game.Data("Duplicate_Records.esp")), original);
  QVERIFY(game.LogLines().contains(QStringLiteral("Cleaned 2 file(s)")));
}

void MainWindowTest::mergeEntriesAskAndBuildTheirPlugins() {
  struct Case {
    int entry;
    const char* plugin;
  };
  const Case cases[] = {{kMergeLeveledListsCommand, "Merged_Leveled_Lists.esp"},
                        {kMergeObjectsCommand, "Merged_Objects.esp"},
                        {kMergeDialogsCommand, "Merged_Dialogs.esp"}};
  GuiGame game;
  std::vector<std::string> active = game.GameFiles();
  for (const Case& c : cases) {
    for (auto answer : {QMessageBox::No, QMessageBox::Yes}) {
      DialogScript script;
      script.Answer(answer);
      game.Execute(c.entry);
      QVERIFY(game.WaitIdle());
      QVERIFY(script.Finished());
      QCOMPARE(script.boxes[0].text, QStringLiteral("Do you want to recreate %1?").arg(c.plugin));
      QCOMPARE(std::filesystem::exists(game.Data(c.plugin)), answer == QMessageBox::Yes);
    }
    QVERIFY(EsmtoolReads(game.Data(c.plugin)));
    // Built, not activated: only JUST FIX IT! activates them.
    QVERIFY(game.GameFiles() == active);
  }
}

void MainWindowTest::reportWritesTheLog() {
  GuiGame game;
  DialogScript script;
  script.Choose({game.Data("Objects_Merge_A.esp"), game.Data("Objects_Merge_B.esp")});
  game.Execute(kConflictReportCommand);
  QVERIFY(game.WaitIdle());
  QVERIFY(script.Finished());
  QVERIFY(game.LogLines().filter(QStringLiteral("defined more than once")).size() == 1);
  std::string report = ReadFile(game.program.log().LogPath());
  QVERIFY(report.find("Objects_Merge_A.esp") != std::string::npos);
  QVERIFY(report.find("Objects_Merge_B.esp") != std::string::npos);
}

void MainWindowTest::manageWindowActivatesAndDeactivates() {
  GuiGame game;
  WriteFile(game.Data("Broken.esp"), "TES3 this is no plugin");
  DialogScript script;
  QStringList sortedNames;
  script
      .Manage([&](gui::DataFilesDialog& dialog) {
        auto* table = dialog.findChild<QTableWidget*>(QStringLiteral("plugins"));
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Modrake - Data Files"));
        QCOMPARE(table->horizontalHeaderItem(1)->text(), QStringLiteral("File Name"));
        QCOMPARE(table->horizontalHeaderItem(2)->text(), QStringLiteral("File Date"));
        auto find = [&](const char* name) {
          return table->findItems(QString::fromUtf8(name), Qt::MatchExactly).front()->row();
        };
        QCOMPARE(table->item(find("Inactive_Plugin.esp"), 0)->checkState(), Qt::Unchecked);
        QVERIFY(table->item(find("Broken.esp"), 1)->toolTip().contains("Cannot be read: "));
        QVERIFY(table->item(find("Evil_GMSTs.esp"), 1)->toolTip().isEmpty());
        table->item(find("Inactive_Plugin.esp"), 0)->setCheckState(Qt::Checked);
        // Space unticks the focused row, as in the file lists of the desktop.
        table->setCurrentCell(find("Already_Clean.esp"), 1);
        QTest::keyClick(table, Qt::Key_Space);
        QCOMPARE(table->item(find("Already_Clean.esp"), 0)->checkState(), Qt::Unchecked);
        table->item(find("Bloodmoon.esm"), 0)->setCheckState(Qt::Unchecked);
        // Sorting by name keeps the ticks, and the focused row in view.
        table->horizontalHeader()->sectionClicked(1);
        for (int row = 0; row < table->rowCount(); ++row) {
          sortedNames << table->item(row, 1)->text();
        }
        QCOMPARE(table->item(find("Inactive_Plugin.esp"), 0)->checkState(), Qt::Checked);
        QTableWidgetItem* focused = table->item(table->currentRow(), 1);
        QCOMPARE(focused->text(), QStringLiteral("Already_Clean.esp"));
        QVERIFY(table->viewport()->rect().contains(table->visualItemRect(focused)));
        ClickLater(dialog.findChild<QPushButton*>(QStringLiteral("ok")));
      })
      .Answer(QMessageBox::Ok);  // active plugins still need an inactive master
  game.Execute(kManageActivePluginsCommand);
  QVERIFY(game.WaitIdle());
  QVERIFY2(script.Finished(), qPrintable(script.unexpected.join('\n')));

  QStringList byName = sortedNames;
  std::sort(byName.begin(), byName.end(), [](const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) < 0;
  });
  QCOMPARE(sortedNames, byName);
  std::vector<std::string> active = game.GameFiles();
  QVERIFY(Contains(active, "Inactive_Plugin.esp"));
  QVERIFY(!Contains(active, "Already_Clean.esp"));
  QVERIFY(!Contains(active, "Bloodmoon.esm"));
  // Its Ignore box is usable only while the master is active.
  QVERIFY(!game.Box("IgnoreBloodmoon")->isEnabled());
  QVERIFY(game.Box("IgnoreTribunal")->isEnabled());
  QStringList lines = game.LogLines();
  QVERIFY(lines.contains(QStringLiteral("Updated morrowind.ini")));
  QVERIFY(
      lines.contains(QStringLiteral("WARNING: \"Inactive_Master.esm\" is INACTIVE, but referenced "
                                    "by \"Needs_Inactive_Master.esp\"")));
  QCOMPARE(script.boxes.back().icon, QMessageBox::Warning);
  QVERIFY(script.boxes.back().text.contains(QStringLiteral(" active plugin(s) reference master")));
}

void MainWindowTest::manageWindowUpdatesTimesAndHeadersAndCancels() {
  GuiGame game;
  std::string ini = ReadFile(game.dir / "Morrowind.ini");
  DialogScript script;
  QStringList lastTwo;
  QPointer<gui::DataFilesDialog> open;
  script.Manage([&](gui::DataFilesDialog& dialog) {
    open = &dialog;
    auto* table = dialog.findChild<QTableWidget*>(QStringLiteral("plugins"));
    table
        ->item(table->findItems(QStringLiteral("Inactive_Plugin.esp"), Qt::MatchExactly)
                   .front()
                   ->row(),
               0)
        ->setCheckState(Qt::Checked);
    for (const char* name : {"Evil_GMSTs.esp", "Already_Clean.esp"}) {
      int row = table->findItems(QString::fromUtf8(name), Qt::MatchExactly).front()->row();
      table->selectionModel()->select(table->model()->index(row, 1),
                                      QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    dialog.findChild<QPushButton*>(QStringLiteral("updateTime"))->click();
    // In load order the two now load last, in the order they were shown.
    int rows = table->rowCount();
    lastTwo << table->item(rows - 2, 1)->text() << table->item(rows - 1, 1)->text();
    ClickLater(dialog.findChild<QPushButton*>(QStringLiteral("updateHeader")));
  });
  script.Answer(QMessageBox::Ok, [&] { QTimer::singleShot(0, open, &QDialog::reject); });
  script.Answer(QMessageBox::Ok);  // the inactive master warning
  game.Execute(kManageActivePluginsCommand);
  QVERIFY(game.WaitIdle());
  QVERIFY2(script.Finished(), qPrintable(script.unexpected.join('\n')));

  QCOMPARE(lastTwo, (QStringList{"Evil_GMSTs.esp", "Already_Clean.esp"}));
  QVERIFY(ModifiedTime(game.Data("Already_Clean.esp")) -
              ModifiedTime(game.Data("Evil_GMSTs.esp")) ==
          60);
  QCOMPARE(script.boxes[0].text,
           QStringLiteral("Plugin(s) version and master file information has been updated"));
  // Closed without OK: the tick is gone, morrowind.ini as it was.
  QVERIFY(game.LogLines().contains(QStringLiteral("Operation has been canceled")));
  QCOMPARE(ReadFile(game.dir / "Morrowind.ini"), ini);
  QVERIFY(EsmtoolReadsAll({game.Data("Evil_GMSTs.esp"), game.Data("Already_Clean.esp")}));
}

void MainWindowTest::justFixItKeepsTheWindowBusyUntilItEnds() {
  GuiGame game;
  std::string junkBefore = ReadFile(game.Data("Junk_Cells.esp"));
  int64_t junkTime = ModifiedTime(game.Data("Junk_Cells.esp"));
  DialogScript script;
  bool busyWhileAsked = false;
  bool closeRefused = false;
  bool disabledWhileAsked = false;
  script.Answer(QMessageBox::Yes, [&] {
    busyWhileAsked = game.window->Busy();
    disabledWhileAsked = !game.CommandsEnabled();
    closeRefused = !game.window->close() && game.window->isVisible();
  });
  game.Button("justFixIt")->click();
  QVERIFY(game.window->Busy());
  QVERIFY(!game.CommandsEnabled());
  QVERIFY(!game.window->close());
  QVERIFY(game.WaitIdle());
  QVERIFY(script.Finished());
  QVERIFY(busyWhileAsked && disabledWhileAsked && closeRefused);
  QCOMPARE(script.boxes[0].text, QString::fromUtf8(kJustFixItQuestion));
  QVERIFY(game.CommandsEnabled());

  std::vector<std::string> active = game.GameFiles();
  std::vector<std::filesystem::path> merged;
  for (const char* name :
       {"Merged_Leveled_Lists.esp", "Merged_Objects.esp", "Merged_Dialogs.esp"}) {
    QVERIFY2(Contains(active, name), name);
    merged.push_back(game.Data(name));
  }
  // Active plugins were cleaned in place, keeping their times.
  std::filesystem::path junk = game.Data("Junk_Cells.esp");
  QVERIFY(ReadFile(junk) != junkBefore);
  QCOMPARE(ModifiedTime(junk), junkTime);
  merged.push_back(junk);
  QVERIFY(EsmtoolReadsAll(merged));
  QString check = QStringLiteral("Check \"%1\" for details")
                      .arg(QString::fromStdString(game.program.log().LogPath().string()));
  QCOMPARE(game.LogLines().back(), check);
  // Now closing is allowed.
  QVERIFY(game.window->close());
}

void MainWindowTest::executeWithoutSelectionRunsNothing() {
  GuiGame game;
  DialogScript script;
  game.Functions()->clearSelection();
  game.Button("execute")->click();
  QVERIFY(game.WaitIdle());
  QVERIFY(script.Finished());
  QVERIFY(script.boxes.empty());
  QVERIFY(game.LogLines().isEmpty());
  QVERIFY(game.CommandsEnabled());
}

void MainWindowTest::errorInACommandShowsItsBoxAndReturnsToIdle() {
  GuiGame game;
  std::filesystem::path broken = game.Data("Broken.esp");
  WriteFile(broken, "TES3 this is no plugin");
  DialogScript script;
  script.Answer(QMessageBox::No).Choose({broken}).Answer(QMessageBox::Ok);
  game.Execute(kCleanCommand);
  QVERIFY(game.WaitIdle());
  QVERIFY2(script.Finished(), qPrintable(script.unexpected.join('\n')));
  const ShownBox& error = script.boxes.back();
  QCOMPARE(error.title, QStringLiteral("Modrake Error"));
  QCOMPARE(error.icon, QMessageBox::Critical);
  QVERIFY2(error.text.contains(QStringLiteral("Broken.esp")), qPrintable(error.text));
  QVERIFY(error.text.endsWith(QStringLiteral("Do not forget to check Modrake.log file! ")));
  QStringList lines = game.LogLines();
  QCOMPARE(lines.back(), QStringLiteral("Operation has been aborted."));
  QVERIFY(lines.filter(QStringLiteral("ERROR: ")).front().contains(QStringLiteral("Broken.esp")));

  // The game was read afresh and the window is ready for the next command.
  QVERIFY(game.CommandsEnabled());
  QVERIFY(game.program.GameLoaded());
}

void MainWindowTest::anotherRunMakesTheWorkerWaitWhileTheWindowPaints() {
  // A command and the options' "Done" each wait for another run that holds
  // the folders they write to; the window keeps handling events meanwhile,
  // says why it waits until the wait is over, and Esc gives the wait up.
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
    auto* status = game.window->findChild<QLabel*>(QStringLiteral("progressText"));
    QVERIFY2(QTest::qWaitFor([&] {
               return status->text().startsWith(QStringLiteral("Waiting for another run"));
             }),
             c.name);
    QVERIFY(game.window->Busy());
    QVERIFY(!game.CommandsEnabled());
    if (c.cancel) {
      QTest::keyClick(game.window.get(), Qt::Key_Escape);
    } else {
      other.reset();
    }
    QVERIFY(game.WaitIdle());
    QVERIFY(script.Finished());
    QVERIFY(game.LogLines().filter(QStringLiteral("Waiting for another run")).isEmpty());
    QVERIFY(status->text().isEmpty());
    if (c.cancel) {
      QCOMPARE(game.LogLines().back(), QStringLiteral("Operation has been canceled"));
      QVERIFY(!std::filesystem::exists(game.Data("Merged_Leveled_Lists.esp")));
    } else if (c.game) {
      QVERIFY(std::filesystem::exists(game.Data("Merged_Leveled_Lists.esp")));
    } else {
      QVERIFY(ReadFile(game.home / "modrake.ini").find("ForceSave=1") != std::string::npos);
    }
  }
}

void MainWindowTest::documentationLineOpensTheGuide() {
  GuiGame game;
  gui::LogView* log = game.Log();
  QTextCursor line = log->document()->find(QStringLiteral("(Modrake.htm)"));
  QVERIFY(!line.isNull());
  QPoint at = log->cursorRect(line).center();
  UrlCatcher browser;
  // Double-clicked, or chosen with the keys and Enter.
  QTest::mouseClick(log->viewport(), Qt::LeftButton, {}, at);
  QTest::mouseDClick(log->viewport(), Qt::LeftButton, {}, at);
  QTest::keyClick(log, Qt::Key_Return);
  QCOMPARE(browser.urls.size(), 2);
  QFileInfo guide(browser.urls.front().toLocalFile());
  QCOMPARE(guide.fileName(), QStringLiteral("Modrake.htm"));
  QVERIFY(guide.isFile());
}

void MainWindowTest::cancelStopsACleanBetweenFiles() {
  // 300 plugins cleaned in place; Cancel is pressed while the one with
  // duplicates asks its question, in the middle of the run.
  samplegame::SampleGameOptions options;
  options.plugins = 300;
  GuiGame game(options);
  game.Box("KeepFileName")->setChecked(true);
  game.program.session().optionsNotVisited = false;
  std::vector<std::filesystem::path> chosen;
  for (const auto& entry : std::filesystem::directory_iterator(game.Data())) {
    std::string name = entry.path().filename().string();
    if (entry.path().extension() == ".esp" && name != "Duplicate_Records.esp") {
      chosen.push_back(entry.path());
    }
  }
  std::sort(chosen.begin(), chosen.end());
  chosen.insert(chosen.begin() + static_cast<long>(chosen.size() / 2),
                game.Data("Duplicate_Records.esp"));
  std::map<std::filesystem::path, std::string> before;
  for (const auto& file : chosen) before[file] = ReadFile(file);

  DialogScript script;
  bool progressShown = false;
  script.Choose(chosen).Answer(QMessageBox::Yes, [&] {
    auto* bar = game.window->findChild<QProgressBar*>(QStringLiteral("progress"));
    progressShown =
        bar->isVisible() && bar->maximum() == static_cast<int>(chosen.size()) && bar->value() > 0;
    game.Button("cancel")->click();
  });
  game.Execute(kCleanCommand);
  QVERIFY(game.WaitIdle(600000));
  QVERIFY2(script.Finished(), qPrintable(script.unexpected.join('\n')));
  QVERIFY(progressShown);
  QVERIFY(game.CommandsEnabled());

  QStringList lines = game.LogLines();
  QCOMPARE(lines.back(), QStringLiteral("Operation has been canceled"));
  QVERIFY(lines[lines.size() - 2].startsWith(QStringLiteral("Canceled before ")));
  QStringList processed;
  for (const QString& line : lines.filter(QRegularExpression(QStringLiteral("^Processing ")))) {
    processed << line.mid(QStringLiteral("Processing ").size());
  }
  QCOMPARE(processed.back(), QStringLiteral("Duplicate_Records.esp"));
  // Files before the stop are cleaned (or were clean), every other one is
  // as it was, byte for byte.
  std::vector<std::filesystem::path> changed;
  size_t untouched = 0;
  for (const auto& file : chosen) {
    QString name = QString::fromStdString(file.filename().string());
    if (!processed.contains(name)) {
      QVERIFY2(ReadFile(file) == before[file], file.c_str());
      ++untouched;
    } else if (ReadFile(file) != before[file]) {
      changed.push_back(file);
    } else {
      QVERIFY2(lines.contains(name + QStringLiteral(" is already clean")), file.c_str());
    }
  }
  QVERIFY(untouched > 0 && !changed.empty());
  QVERIFY(EsmtoolReadsAll(changed));
}

void MainWindowTest::tabReachesEveryControlInOrder() {
  GuiGame game;
  game.Functions()->setFocus();
  QCOMPARE(TabRing(game.window.get()),
           (QStringList{"functions", "justFixIt", "options", "execute", "preview", "log"}));
  game.Button("options")->click();
  QCOMPARE(TabRing(game.window.get()), BoxNames() << QStringLiteral("done"));

  DialogScript script;
  QStringList ring;
  script
      .Manage([&](gui::DataFilesDialog& dialog) {
        // The list is one stop: arrows move in it, Tab leaves it.
        dialog.findChild<QTableWidget*>(QStringLiteral("plugins"))->setFocus();
        ring = TabRing(&dialog);
        QTimer::singleShot(0, &dialog, &QDialog::reject);
      })
      .Answer(QMessageBox::Ok);  // the inactive master warning
  game.Button("done")->click();
  QVERIFY(game.WaitIdle());
  game.Execute(kManageActivePluginsCommand);
  QVERIFY(game.WaitIdle());
  QVERIFY2(script.Finished(), qPrintable(script.unexpected.join('\n')));
  QCOMPARE(ring,
           (QStringList{"plugins", "loadOrder", "updateTime", "updateHeader", "ok", "cancel"}));
}

void MainWindowTest::enterEscapeAndF1() {
  GuiGame game;
  UrlCatcher browser;
  // Enter presses the focused button, or Execute from the list.
  for (const char* focus : {"functions", "execute"}) {
    DialogScript script;
    script.Answer(QMessageBox::No);
    game.Functions()->setCurrentRow(kMergeLeveledListsCommand);
    game.window->findChild<QWidget*>(QString::fromUtf8(focus))->setFocus();
    QTest::keyClick(game.window->focusWidget(), Qt::Key_Return);
    QVERIFY(game.WaitIdle());
    QVERIFY2(script.Finished(), focus);
    QCOMPARE(script.boxes.front().text,
             QStringLiteral("Do you want to recreate Merged_Leveled_Lists.esp?"));
  }
  // On the options panel Esc puts the boxes back unsaved, Enter is "Done".
  game.Button("options")->setFocus();
  QTest::keyClick(game.Button("options"), Qt::Key_Return);
  QVERIFY(game.OptionsShown());
  game.Box("ForceSave")->click();
  QTest::keyClick(game.Box("ForceSave"), Qt::Key_Escape);
  QVERIFY(!game.OptionsShown());
  QVERIFY(!game.Box("ForceSave")->isChecked());
  QCOMPARE(game.window->focusWidget(), game.Functions());
  game.Button("options")->click();
  game.Box("KeepFileDate")->click();
  QTest::keyClick(game.Box("KeepFileDate"), Qt::Key_Enter);
  QVERIFY(!game.OptionsShown());
  QVERIFY(game.WaitIdle());
  QVERIFY(ReadFile(game.home / "modrake.ini").find("KeepFileDate=1") != std::string::npos);
  QVERIFY(ReadFile(game.home / "modrake.ini").find("ForceSave=0") != std::string::npos);

  // F1 opens the guide, in the Data Files window at its own section; Enter
  // on the focused OK saves the list, Esc there cancels.
  game.window->activateWindow();
  QVERIFY(QTest::qWaitFor([&] { return QApplication::activeWindow() == game.window.get(); }));
  QTest::keyClick(game.window.get(), Qt::Key_F1);
  QCOMPARE(browser.urls.size(), 1);
  for (int key : {Qt::Key_Return, Qt::Key_Escape}) {
    DialogScript script;
    script
        .Manage([&](gui::DataFilesDialog& dialog) {
          // Shortcuts go to the window that is active.
          QVERIFY(QTest::qWaitFor([&] { return QApplication::activeWindow() == &dialog; }));
          QTest::keyClick(&dialog, Qt::Key_F1);
          auto* ok = dialog.findChild<QPushButton*>(QStringLiteral("ok"));
          ok->setFocus();
          QTimer::singleShot(0, ok, [ok, key] { QTest::keyClick(ok, static_cast<Qt::Key>(key)); });
        })
        .Answer(QMessageBox::Ok);  // the inactive master warning
    game.Execute(kManageActivePluginsCommand);
    QVERIFY(game.WaitIdle());
    QVERIFY2(script.Finished(), qPrintable(script.unexpected.join('\n')));
    QVERIFY(game.LogLines().contains(key == Qt::Key_Return
                                         ? QStringLiteral("Updated morrowind.ini")
                                         : QStringLiteral("Operation has been canceled")));
  }
  QCOMPARE(browser.urls.size(), 3);
  for (const QUrl& url : browser.urls) {
    QVERIFY(url.isLocalFile() && QFileInfo(url.toLocalFile()).fileName() == "Modrake.htm");
    QVERIFY(QFileInfo::exists(url.toLocalFile()));
  }
  QCOMPARE(browser.urls[1].fragment(), QStringLiteral("manage"));
}

void MainWindowTest::manageWindowKeepsMorrowindAndUnreadableFilesOff() {
  GuiGame game;
  WriteFile(game.Data("Broken.esp"), "TES3 this is no plugin");
  std::string ini = ReadFile(game.dir / "Morrowind.ini");
  DialogScript script;
  script
      .Manage([&](gui::DataFilesDialog& dialog) {
        auto* table = dialog.findChild<QTableWidget*>(QStringLiteral("plugins"));
        // A file that cannot be read is not ticked by Space, by a click on
        // its box, nor by any other way; a readable one is.
        struct Case {
          const char* name;
          bool space;  // else a click on the box
          bool ticks;
        };
        for (const Case& c : {Case{"Broken.esp", true, false}, Case{"Broken.esp", false, false},
                              Case{"Inactive_Plugin.esp", true, true},
                              Case{"Needs_Missing_Master.esp", false, true}}) {
          QTableWidgetItem* box = table->item(RowOf(table, c.name), 0);
          box->setCheckState(Qt::Unchecked);
          if (c.space) {
            table->setCurrentCell(box->row(), 1);
            QTest::keyClick(table, Qt::Key_Space);
          } else {
            QRect cell = table->visualItemRect(box);
            QStyleOptionViewItem item;
            item.initFrom(table);
            item.rect = cell;
            item.features = QStyleOptionViewItem::HasCheckIndicator;
            QRect indicator =
                table->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &item, table);
            QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, indicator.center());
          }
          QVERIFY2((box->checkState() == Qt::Checked) == c.ticks, c.name);
        }
        table->item(RowOf(table, "Broken.esp"), 0)->setCheckState(Qt::Checked);
        QCOMPARE(table->item(RowOf(table, "Broken.esp"), 0)->checkState(), Qt::Unchecked);

        // Without Morrowind.esm nothing is saved, and the window stays.
        table->item(RowOf(table, "Morrowind.esm"), 0)->setCheckState(Qt::Unchecked);
        dialog.findChild<QPushButton*>(QStringLiteral("ok"))->click();
        QVERIFY(dialog.isVisible());
        QCOMPARE(table->item(table->currentRow(), 1)->text(), QStringLiteral("Morrowind.esm"));
        QTimer::singleShot(0, &dialog, &QDialog::reject);
      })
      .Answer(QMessageBox::Ok)   // why nothing is saved
      .Answer(QMessageBox::Ok);  // the inactive master warning
  game.Execute(kManageActivePluginsCommand);
  QVERIFY(game.WaitIdle());
  QVERIFY2(script.Finished(), qPrintable(script.unexpected.join('\n')));
  QCOMPARE(script.boxes[0].icon, QMessageBox::Warning);
  QVERIFY(script.boxes[0].text.startsWith(QStringLiteral("Morrowind.esm must stay active")));
  QCOMPARE(ReadFile(game.dir / "Morrowind.ini"), ini);
}

void MainWindowTest::manageActivePluginsOpensAfterAnError() {
  // The list loses Morrowind.esm behind the window's back: each command
  // fails with one box, yet Manage active plugins opens to mend it.
  GuiGame game;
  std::filesystem::path iniPath = game.dir / "Morrowind.ini";
  std::string ini = ReadFile(iniPath);
  size_t entry = ini.find("GameFile0=Morrowind.esm\r\n");
  QVERIFY(entry != std::string::npos);
  ini.erase(entry, std::strlen("GameFile0=Morrowind.esm\r\n"));
  for (int n = 1; ini.find("GameFile" + std::to_string(n) + "=") != std::string::npos; ++n) {
    ini.replace(ini.find("GameFile" + std::to_string(n) + "="), 9 + std::to_string(n).size(),
                "GameFile" + std::to_string(n - 1) + "=");
  }
  WriteFile(iniPath, ini);
  for (int attempt = 0; attempt < 2; ++attempt) {
    DialogScript script;
    script.Answer(QMessageBox::Ok);
    game.Execute(kMergeLeveledListsCommand);
    QVERIFY(game.WaitIdle());
    QVERIFY2(script.Finished(), qPrintable(script.unexpected.join('\n')));
    QCOMPARE(script.boxes.size(), size_t{1});
    QVERIFY2(script.boxes[0].text.startsWith(QStringLiteral("Cannot find morrowind.esm")),
             qPrintable(script.boxes[0].text));
  }
  DialogScript script;
  script
      .Manage([&](gui::DataFilesDialog& dialog) {
        auto* table = dialog.findChild<QTableWidget*>(QStringLiteral("plugins"));
        table->item(RowOf(table, "Morrowind.esm"), 0)->setCheckState(Qt::Checked);
        ClickLater(dialog.findChild<QPushButton*>(QStringLiteral("ok")));
      })
      .Answer(QMessageBox::Ok)  // the inactive master warning
      .Answer(QMessageBox::Yes);
  game.Execute(kManageActivePluginsCommand);
  QVERIFY(game.WaitIdle());
  QVERIFY(Contains(game.GameFiles(), "Morrowind.esm"));
  game.Execute(kMergeLeveledListsCommand);
  QVERIFY(game.WaitIdle());
  QVERIFY2(script.Finished(), qPrintable(script.unexpected.join('\n')));
  QVERIFY(std::filesystem::exists(game.Data("Merged_Leveled_Lists.esp")));
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
  struct Case {
    QStringList arguments;
    bool accepted;
  };
  const Case cases[] = {
      {{"-style", "windows"}, true},
      {{"-platform", "offscreen", "-reverse"}, true},
      {{"-stylesheet=look.qss", "--game", "/games/Morrowind"}, true},
      {{"--style=fusion", "-qwindowgeometry", "800x600"}, true},
      {{"--bogus"}, false},
      {{"Morrowind.esm"}, false},
  };
  for (const Case& c : cases) {
    gui::Arguments parsed = gui::ParseArguments(QStringList{"modrake-gui"} + c.arguments);
    QVERIFY2(parsed.error.isEmpty() == c.accepted, qPrintable(c.arguments.join(' ')));
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

void MainWindowTest::previewChangesNothingAndUndoBringsTheRunBack() {
  GuiGame game;
  auto* runToUndo = game.window->findChild<QLabel*>(QStringLiteral("runToUndo"));
  QPushButton* undo = game.Button("undo");
  QCOMPARE(runToUndo->text(), QStringLiteral("No run to undo"));
  QVERIFY(!undo->isEnabled());
  const auto original = Snapshot(game.dir.path());
  auto fix = [&] {
    DialogScript script;
    script.Answer(QMessageBox::Yes);
    game.Button("justFixIt")->click();
    return game.WaitIdle() && script.Finished();
  };

  // A preview logs what it would do and leaves every file as it was.
  game.window->findChild<QCheckBox*>(QStringLiteral("preview"))->setChecked(true);
  QVERIFY(fix());
  QVERIFY(!game.LogLines().filter(QStringLiteral("Would ")).isEmpty());
  QVERIFY(Snapshot(game.dir.path()) == original);
  QCOMPARE(runToUndo->text(), QStringLiteral("No run to undo"));

  // The real run is named under the button, and undone byte for byte.
  game.window->findChild<QCheckBox*>(QStringLiteral("preview"))->setChecked(false);
  QVERIFY(fix());
  QVERIFY(Snapshot(game.dir.path()) != original);
  QVERIFY2(runToUndo->text().startsWith(QStringLiteral("fix, ")), qPrintable(runToUndo->text()));
  QVERIFY(undo->isEnabled());
  undo->click();
  QVERIFY(game.WaitIdle());
  QVERIFY(Snapshot(game.dir.path()) == original);
  QCOMPARE(runToUndo->text(), QStringLiteral("No run to undo"));

  // A file changed by hand since the run stops the undo, named in its box.
  QVERIFY(fix());
  WriteFile(game.Data("Junk_Cells.esp"), ReadFile(game.Data("Junk_Cells.esp")) + "x");
  DialogScript refusal;
  refusal.Answer(QMessageBox::Ok);
  undo->click();
  QVERIFY(game.WaitIdle());
  QVERIFY2(refusal.Finished(), qPrintable(refusal.unexpected.join('\n')));
  QVERIFY2(refusal.boxes.back().text.contains(QStringLiteral("Junk_Cells.esp")),
           qPrintable(refusal.boxes.back().text));
  QVERIFY(undo->isEnabled());
}

}  // namespace modrake::test

QTEST_MAIN(modrake::test::MainWindowTest)
#include "main_window_test.moc"
