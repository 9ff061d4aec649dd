// The window on a sample game: its layout and startup lines, every entry of
// the function list run with its questions answered, the options panel, and
// the states while a command runs.
#include <QCheckBox>
#include <QDesktopServices>
#include <QFileInfo>
#include <QHeaderView>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <algorithm>

#include "core/execution_log.hpp"
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

 public slots:
  // Takes the place of the desktop's browser.
  void OpenUrl(const QUrl& url) { openedUrls_ << url; }

 private:
  QList<QUrl> openedUrls_;
};

void MainWindowTest::opensWithItsLayoutAndStartupLines() {
  GuiGame game;
  QCOMPARE(game.window->windowTitle(), QStringLiteral("Modrake"));
  QListWidget* functions = game.Functions();
  QCOMPARE(functions->count(), static_cast<int>(FunctionList().size()));
  for (int i = 0; i < functions->count(); ++i) {
    QCOMPARE(functions->item(i)->text(), QString::fromUtf8(FunctionList()[i]));
  }
  QCOMPARE(functions->selectedItems().size(), 1);
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
  QWidget* log = game.window->findChild<QListWidget*>(QStringLiteral("log"));
  QVERIFY(fix->x() > functions->geometry().right());
  QVERIFY(fix->y() < options->y() && options->y() < execute->y());
  QVERIFY(log->mapTo(game.window.get(), QPoint(0, 0)).y() > functions->geometry().bottom());
  QVERIFY(log->isVisible());
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
  QCOMPARE(script.boxes[0].title, QStringLiteral("Modrake"));
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
  QVERIFY(!game.program.options().unrestrictedCellCleaning);

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
  QCOMPARE(script.boxes[0].icon, QMessageBox::Information);
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
  // The newest line is in view, the first scrolled away.
  auto* log = game.window->findChild<QListWidget*>(QStringLiteral("log"));
  QVERIFY(log->viewport()->rect().intersects(log->visualItemRect(log->item(log->count() - 1))));
  QVERIFY(!log->viewport()->rect().intersects(log->visualItemRect(log->item(0))));
  // Now closing is allowed.
  QVERIFY(game.window->close());
}

void MainWindowTest::executeWithoutSelectionRunsNothing() {
  GuiGame game;
  DialogScript script;
  std::string ini = ReadFile(game.dir / "Morrowind.ini");
  game.Functions()->clearSelection();
  game.Button("execute")->click();
  QVERIFY(game.WaitIdle());
  QVERIFY(script.Finished());
  QVERIFY(script.boxes.empty());
  QVERIFY(game.LogLines().isEmpty());
  QVERIFY(game.CommandsEnabled());
  QCOMPARE(ReadFile(game.dir / "Morrowind.ini"), ini);
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
  std::string log = ReadFile(game.program.log().LogPath());
  QVERIFY(log.find("Operation has been aborted.") != std::string::npos);
  QStringList lines = game.LogLines();
  QCOMPARE(lines.back(), QStringLiteral("Operation has been aborted."));
  QVERIFY(lines.filter(QStringLiteral("ERROR: ")).front().contains(QStringLiteral("Broken.esp")));

  // The game was read afresh and the window is ready for the next command.
  QVERIFY(game.CommandsEnabled());
  QVERIFY(game.program.GameLoaded());
  script.Answer(QMessageBox::Yes);
  game.Execute(kMergeLeveledListsCommand);
  QVERIFY(game.WaitIdle());
  QVERIFY(script.Finished());
  QVERIFY(std::filesystem::exists(game.Data("Merged_Leveled_Lists.esp")));
}

void MainWindowTest::anotherRunMakesTheWorkerWaitWhileTheWindowPaints() {
  // A command and the options' "Done" each wait for another run that holds
  // the folders they write to; the window keeps handling events meanwhile.
  struct Case {
    const char* name;
    bool game;  // the game folder held, else the program home
  };
  for (const Case& c : {Case{"merge", true}, Case{"done", false}}) {
    GuiGame game;
    auto other = std::make_unique<RunLock>();
    QVERIFY(other->TryAdd(c.game ? game.dir.path() : game.home.path()));
    DialogScript script;
    if (c.game) {
      script.Answer(QMessageBox::Yes);
      game.Execute(kMergeLeveledListsCommand);
    } else {
      game.Button("options")->click();
      game.Box("ForceSave")->click();
      game.Button("done")->click();
    }
    QVERIFY2(QTest::qWaitFor([&] {
               return !game.LogLines().filter(QStringLiteral("Waiting for another run")).isEmpty();
             }),
             c.name);
    QVERIFY(game.window->Busy());
    QVERIFY(!game.CommandsEnabled());
    other.reset();
    QVERIFY(game.WaitIdle());
    QVERIFY(script.Finished());
    if (c.game) {
      QVERIFY(std::filesystem::exists(game.Data("Merged_Leveled_Lists.esp")));
    } else {
      QVERIFY(ReadFile(game.home / "modrake.ini").find("ForceSave=1") != std::string::npos);
    }
  }
}

void MainWindowTest::documentationLineOpensTheGuide() {
  GuiGame game;
  auto* log = game.window->findChild<QListWidget*>(QStringLiteral("log"));
  QList<QListWidgetItem*> line = log->findItems(QStringLiteral("(Modrake.htm)"), Qt::MatchContains);
  QCOMPARE(line.size(), 1);
  QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "OpenUrl");
  // Double-clicked, or chosen with the keys and Enter.
  QTest::mouseClick(log->viewport(), Qt::LeftButton, {},
                    log->visualItemRect(line.front()).center());
  QTest::mouseDClick(log->viewport(), Qt::LeftButton, {},
                     log->visualItemRect(line.front()).center());
  QTest::keyClick(log, Qt::Key_Return);
  QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
  QCOMPARE(openedUrls_.size(), 2);
  QFileInfo guide(openedUrls_.front().toLocalFile());
  QCOMPARE(guide.fileName(), QStringLiteral("Modrake.htm"));
  QVERIFY(guide.isFile());
}

}  // namespace modrake::test

QTEST_MAIN(modrake::test::MainWindowTest)
#include "main_window_test.moc"
