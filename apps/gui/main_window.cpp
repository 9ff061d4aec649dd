#include "main_window.hpp"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFontMetricsF>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QSaveFile>
#include <QSettings>
#include <QStackedWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <exception>
#include <functional>

#include "core/execution_log.hpp"
#include "core/fatal_error.hpp"
#include "core/progress.hpp"
#include "core/session.hpp"
#include "core/settings.hpp"
#include "data_files_dialog.hpp"
#include "log_view.hpp"
#include "qt_ui.hpp"
#include "shell/dispatch.hpp"
#include "shell/function_list.hpp"
#include "shell/program.hpp"
#include "shell/startup.hpp"
#include "shell/undo.hpp"
#include "user_guide.hpp"

namespace modrake::gui {

// The window keeps the proportions of its classic layout, measured in dialog
// units: a quarter of the font's average character width across, an eighth
// of its height down.
struct DialogUnits {
  explicit DialogUnits(const QFont& font) {
    QFontMetricsF metrics(font);
    x = metrics.horizontalAdvance(
            QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) /
        52.0 / 4.0;
    y = metrics.height() / 8.0;
  }
  int X(int units) const { return static_cast<int>(units * x + 0.5); }
  int Y(int units) const { return static_cast<int>(units * y + 0.5); }
  double x;
  double y;
};

namespace {

QPushButton* MakeButton(const DialogUnits& units, const char* text, const char* name) {
  auto* button = new QPushButton(QString::fromUtf8(text));
  button->setObjectName(QString::fromUtf8(name));
  button->setMinimumWidth(units.X(66));
  // Enter presses the button that has the focus.
  button->setAutoDefault(true);
  return button;
}

// The panel's boxes in two columns, in groups: the clean file options, the
// masters to ignore, the restricted cleaning; the report, the merges, then
// which masters count.
constexpr size_t kLeftColumnBoxes = 7;
bool GapBefore(size_t box) {
  return box == 3 || box == 5 || box == 9 || box == 11;
}

// How long a notice stays in the status line.
constexpr int kNoticeMilliseconds = 6000;

QString FromPath(const std::filesystem::path& path) {
  return QFile::decodeName(QByteArray::fromStdString(path.string()));
}

bool IsEnter(const QKeyEvent* key) {
  return key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
}

}  // namespace

MainWindow::MainWindow(Program& program, QtUi& ui)
    : program_(program),
      ui_(ui),
      settings_(std::make_unique<QSettings>(FromPath(program.home() / "modrake-gui.ini"),
                                            QSettings::IniFormat)) {
  manageWindow_ = std::make_unique<QtManageWindow>(ui, this, settings_.get());
  setWindowTitle(QStringLiteral("Modrake"));
  DialogUnits units(font());
  QLayout* top = BuildCommands(units);
  BuildLogPage(units);
  BuildOptionsPage(units);
  lowerArea_ = new QStackedWidget;
  lowerArea_->addWidget(logPage_);
  lowerArea_->addWidget(optionsPage_);

  BuildStatusLine(units);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(units.X(6), units.Y(6), units.X(6), units.Y(6));
  layout->addLayout(top);
  layout->addWidget(lowerArea_, 1);
  layout->addWidget(progressRow_);
  BuildMenu();

  connect(justFixIt_, &QPushButton::clicked, this, [this] { Start(kJustFixItCommand); });
  connect(execute_, &QPushButton::clicked, this, &MainWindow::Execute);
  connect(undo_, &QPushButton::clicked, this, &MainWindow::UndoLast);
  connect(options_, &QPushButton::clicked, this, &MainWindow::ShowOptions);
  connect(done_, &QPushButton::clicked, this, &MainWindow::Done);
  connect(cancel_, &QPushButton::clicked, this, &MainWindow::Cancel);
  // The startup line that asks to read the guide opens it.
  connect(log_, &LogView::LineActivated, this, [this](const QString& line) {
    if (line.contains(QStringLiteral("(Modrake.htm)"))) OpenUserGuide(this);
  });
  connect(findNext_, &QPushButton::clicked, this, [this] {
    if (!log_->Find(findText_->text())) {
      QApplication::beep();
      Notice(QStringLiteral("\"%1\" is not in the log").arg(findText_->text()));
    }
  });
  BuildTabOrder();

  resize(sizeHint().expandedTo(QSize(units.X(292), units.Y(215))));
  restoreGeometry(settings_->value(QStringLiteral("window/geometry")).toByteArray());

  ui_.SetLogList(log_);
  ui_.SetOwner(this);
  ui_.SetLogFile(program_.log().LogPath());
  ui_.SetStartFolder(program_.DataFolder());
  ui_.SetProgressView([this](const ProgressShown& progress) { ShowProgress(progress); });
  Session& session = program_.session();
  functions_->setCurrentRow(0);
  ShowBoxes();
  HideOptions();
  session.optionsNotVisited = true;
  ShowStartupLines(session);
}

QLayout* MainWindow::BuildCommands(const DialogUnits& units) {
  functions_ = new QListWidget;
  functions_->setObjectName(QStringLiteral("functions"));
  for (const char* entry : FunctionList()) functions_->addItem(QString::fromUtf8(entry));
  functions_->setFixedHeight(
      std::max(units.Y(66),
               functions_->sizeHintForRow(0) * functions_->count() + 2 * functions_->frameWidth()));
  // A click below the entries keeps the selection: Execute always runs what is shown.
  functions_->viewport()->installEventFilter(this);

  justFixIt_ = MakeButton(units, "&JUST FIX IT!", "justFixIt");
  options_ = MakeButton(units, "&Options", "options");
  execute_ = MakeButton(units, "&Execute", "execute");
  // Ticked, JUST FIX IT! and Execute only say what they would do.
  preview_ = new QCheckBox(QStringLiteral("&Preview"));
  preview_->setObjectName(QStringLiteral("preview"));
  preview_->setToolTip(
      QStringLiteral("Run as usual, but only log what would change: no file of the game is "
                     "created, changed or touched"));
  undo_ = MakeButton(units, "&Undo last run", "undo");
  runToUndo_ = new QLabel;
  runToUndo_->setObjectName(QStringLiteral("runToUndo"));
  runToUndo_->setTextFormat(Qt::PlainText);
  runToUndo_->setWordWrap(true);
  runToUndo_->setMaximumWidth(units.X(90));
  auto* buttons = new QVBoxLayout;
  buttons->addWidget(justFixIt_);
  buttons->addWidget(options_);
  buttons->addWidget(execute_);
  buttons->addWidget(preview_);
  buttons->addStretch();
  buttons->addWidget(undo_);
  buttons->addWidget(runToUndo_);
  auto* top = new QHBoxLayout;
  top->addWidget(functions_, 1);
  top->addLayout(buttons);
  return top;
}

void MainWindow::BuildLogPage(const DialogUnits& units) {
  // The lower area: the Execution Log, or the options panel over it.
  log_ = new LogView;
  log_->setObjectName(QStringLiteral("log"));
  log_->setTabChangesFocus(true);
  logPage_ = new QWidget;
  auto* logLayout = new QVBoxLayout(logPage_);
  logLayout->setContentsMargins(0, 0, 0, 0);
  auto* caption = new QLabel(QStringLiteral("Execution &Log"));
  caption->setBuddy(log_);
  logLayout->addWidget(caption);
  logLayout->addWidget(log_, 1);

  findBar_ = new QWidget;
  findText_ = new QLineEdit;
  findText_->setObjectName(QStringLiteral("findText"));
  findText_->setPlaceholderText(QStringLiteral("Find in the log"));
  findText_->setClearButtonEnabled(true);
  findText_->installEventFilter(this);
  findNext_ = MakeButton(units, "&Next", "findNext");
  findNext_->setMinimumWidth(0);
  auto* findLayout = new QHBoxLayout(findBar_);
  findLayout->setContentsMargins(0, 0, 0, 0);
  findLayout->addWidget(findText_, 1);
  findLayout->addWidget(findNext_);
  findBar_->hide();
  logLayout->addWidget(findBar_);
}

void MainWindow::BuildOptionsPage(const DialogUnits& units) {
  optionsPage_ = new QWidget;
  optionsPage_->setObjectName(QStringLiteral("optionsPanel"));
  QVBoxLayout* columns[2] = {new QVBoxLayout, new QVBoxLayout};
  for (size_t i = 0; i < SettingKeys().size(); ++i) {
    const SettingKey& key = SettingKeys()[i];
    auto* box = new QCheckBox(QString::fromUtf8(key.label));
    box->setObjectName(QString::fromUtf8(key.key));
    bool CheckBoxes::*member = key.box;
    connect(box, &QCheckBox::toggled, this,
            [this, member](bool ticked) { program_.options().boxes.*member = ticked; });
    QVBoxLayout* column = columns[i < kLeftColumnBoxes ? 0 : 1];
    if (GapBefore(i)) column->addSpacing(units.Y(6));
    column->addWidget(box);
    boxes_.push_back(box);
  }
  auto* panelColumns = new QHBoxLayout;
  for (QVBoxLayout* column : columns) {
    column->addStretch();
    panelColumns->addLayout(column, 1);
  }
  done_ = MakeButton(units, "&Done", "done");
  auto* panel = new QVBoxLayout(optionsPage_);
  panel->setContentsMargins(0, units.Y(12), 0, 0);
  panel->addLayout(panelColumns, 1);
  panel->addWidget(done_, 0, Qt::AlignRight);
}

void MainWindow::BuildStatusLine(const DialogUnits& units) {
  // The status line: what a run works on, its progress bar and Cancel while
  // it runs, and short notices.
  progressRow_ = new QWidget;
  progressText_ = new QLabel;
  progressText_->setObjectName(QStringLiteral("progressText"));
  // Long names must not widen the window.
  progressText_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  progressText_->setTextFormat(Qt::PlainText);
  progressBar_ = new QProgressBar;
  progressBar_->setObjectName(QStringLiteral("progress"));
  progressBar_->setMaximumWidth(units.X(110));
  progressBar_->setTextVisible(true);
  cancel_ = MakeButton(units, "&Cancel", "cancel");
  auto* progressLayout = new QHBoxLayout(progressRow_);
  progressLayout->setContentsMargins(0, 0, 0, 0);
  progressLayout->addWidget(progressText_, 1);
  progressLayout->addWidget(progressBar_, 1);
  progressLayout->addWidget(cancel_);
  // The line keeps its height while the bar and Cancel come and go.
  progressRow_->setMinimumHeight(cancel_->sizeHint().height());
  progressBar_->hide();
  cancel_->hide();
  noticeTimer_ = new QTimer(this);
  noticeTimer_->setSingleShot(true);
  connect(noticeTimer_, &QTimer::timeout, this, [this] {
    if (!busy_) progressText_->clear();
  });
}

MainWindow::~MainWindow() {
  // The worker may be waiting for an answer: let it have one and end.
  while (busy_) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  ui_.SetProgressView({});
}

void MainWindow::BuildMenu() {
  auto* bar = new QMenuBar;
  auto add = [this](QMenu* menu, const char* text, const QKeySequence& keys,
                    std::function<void()> work) {
    QAction* action = menu->addAction(QString::fromUtf8(text));
    action->setShortcut(keys);
    connect(action, &QAction::triggered, this, std::move(work));
    return action;
  };
  QMenu* file = bar->addMenu(QStringLiteral("&File"));
  add(file, "Open the &log file", QKeySequence(Qt::CTRL | Qt::Key_L),
      [this] { OpenLocalPath(this, FromPath(program_.log().LogPath())); });
  add(file, "Open the program &folder", {},
      [this] { OpenLocalPath(this, FromPath(program_.home())); });
  file->addSeparator();
  add(file, "&Copy the log", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C),
      [this] { QApplication::clipboard()->setText(LogText()); });
  add(file, "&Save the log as...", QKeySequence::Save, [this] { SaveLogAs(); });
  file->addSeparator();
  add(file, "&Quit", QKeySequence::Quit, [this] { close(); });

  QMenu* view = bar->addMenu(QStringLiteral("&View"));
  wrapLines_ = add(view, "&Wrap long lines", {}, [] {});
  wrapLines_->setCheckable(true);
  wrapLines_->setChecked(settings_->value(QStringLiteral("log/wrapLines"), true).toBool());
  log_->SetWrapped(wrapLines_->isChecked());
  connect(wrapLines_, &QAction::toggled, this, [this](bool wrapped) { log_->SetWrapped(wrapped); });
  add(view, "&Find in the log...", QKeySequence::Find, [this] { ShowFindBar(); });

  QMenu* help = bar->addMenu(QStringLiteral("&Help"));
  add(help, "&User guide", QKeySequence::HelpContents, [this] { OpenUserGuide(this); });
  add(help, "&About Modrake", {}, [this] { About(); });
  static_cast<QVBoxLayout*>(layout())->setMenuBar(bar);
}

void MainWindow::BuildTabOrder() {
  // One ring through both pages: hidden and disabled controls are skipped.
  std::vector<QWidget*> ring = {functions_, justFixIt_, options_,  execute_,  preview_,
                                undo_,      log_,       findText_, findNext_, cancel_};
  ring.insert(ring.end(), boxes_.begin(), boxes_.end());
  ring.push_back(done_);
  for (size_t i = 0; i + 1 < ring.size(); ++i) setTabOrder(ring[i], ring[i + 1]);
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (busy_) {
    event->ignore();
    QApplication::beep();
    Notice(
        QStringLiteral("A function is running: press Cancel to stop it, or wait until it "
                       "ends, then close the window"));
    return;
  }
  if (lowerArea_->currentWidget() == optionsPage_ && OptionsChanged()) {
    QMessageBox box(QMessageBox::Question, QStringLiteral("Modrake"),
                    QStringLiteral("The options have been changed. Save them before closing?"),
                    QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, this);
    box.setDefaultButton(QMessageBox::Save);
    box.setEscapeButton(QMessageBox::Cancel);
    switch (box.exec()) {
      case QMessageBox::Save:
        // Saved as "Done" saves them; the window closes once they are written.
        event->ignore();
        closeWhenIdle_ = true;
        Done();
        return;
      case QMessageBox::Discard:
        DiscardOptions();
        break;
      default:
        event->ignore();
        return;
    }
  }
  settings_->setValue(QStringLiteral("window/geometry"), saveGeometry());
  settings_->setValue(QStringLiteral("log/wrapLines"), wrapLines_->isChecked());
  event->accept();
}

void MainWindow::keyPressEvent(QKeyEvent* event) {
  // What the focused control leaves alone: Enter presses the panel's
  // button, Esc cancels.
  bool optionsShown = lowerArea_->currentWidget() == optionsPage_;
  if (IsEnter(event) && event->modifiers() == Qt::NoModifier) {
    if (!busy_) optionsShown ? Done() : Execute();
    return;
  }
  if (event->key() == Qt::Key_Escape) {
    if (busy_) {
      Cancel();
    } else if (optionsShown) {
      DiscardOptions();
    } else if (findBar_->isVisible()) {
      findBar_->hide();
      log_->setFocus();
    }
    return;
  }
  QWidget::keyPressEvent(event);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == functions_->viewport() &&
      (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick)) {
    auto* mouse = static_cast<QMouseEvent*>(event);
    if (!functions_->indexAt(mouse->position().toPoint()).isValid()) return true;
  }
  if (watched == findText_ && event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (IsEnter(key)) {
      // Shift+Enter looks backwards.
      if (!log_->Find(findText_->text(), key->modifiers() & Qt::ShiftModifier)) {
        QApplication::beep();
      }
      return true;
    }
    if (key->key() == Qt::Key_Escape) {
      findBar_->hide();
      log_->setFocus();
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

void MainWindow::Execute() {
  // No entry selected runs nothing, but still runs.
  QList<QListWidgetItem*> selected = functions_->selectedItems();
  Start(selected.isEmpty() ? -1 : functions_->row(selected.front()));
}

void MainWindow::Start(int command) {
  if (busy_) return;
  bool preview = preview_->isChecked();
  // The run's backup is named after what ran, as on the command line.
  std::string name = command == kJustFixItCommand ? "fix"
                     : command >= 0 && command < static_cast<int>(FunctionList().size())
                         ? FunctionList()[command]
                         : "run";
  StartWorker([this, command, preview, name] {
    program_.log().ClearLogList();
    Session& session = program_.session();
    session.dryRun = preview;
    session.runName = name;
    // The Manage active plugins window can mend a list without
    // morrowind.esm; every other entry needs it.
    GameUse use = command == kManageActivePluginsCommand ? GameUse::kPluginList : GameUse::kMasters;
    program_.LoadGame({}, use);
    program_.SetGameUse(use);
    return Dispatch(program_.session(), command, {false, manageWindow_.get()});
  });
}

void MainWindow::UndoLast() {
  if (busy_) return;
  StartWorker([this] {
    program_.log().ClearLogList();
    Session& session = program_.session();
    session.dryRun = false;
    // The files come back also when the game cannot be read as it is.
    try {
      program_.LoadGame({}, GameUse::kPluginList);
    } catch (const FatalException&) {
    }
    UndoLastRun(session, "", false);
    // What came back may be the list or a master: read the game afresh.
    program_.ForgetGame();
    return false;
  });
}

void MainWindow::ShowRunToUndo() {
  std::vector<RunSummary> runs;
  try {
    runs = BackedUpRuns(program_.session());
  } catch (const std::exception&) {
  }
  const RunSummary* run = RunToUndo(runs);
  undo_->setEnabled(run != nullptr && !busy_);
  if (!run) {
    runToUndo_->setText(QStringLiteral("No run to undo"));
    undo_->setToolTip(QString());
    return;
  }
  QString text =
      QStringLiteral("%1, %2: %3 file(s) changed, %4 made")
          .arg(QString::fromStdString(run->command), QString::fromStdString(run->started))
          .arg(run->changed)
          .arg(run->created);
  runToUndo_->setText(text);
  undo_->setToolTip(QStringLiteral("Undo %1 (%2)").arg(QString::fromStdString(run->name), text));
}

void MainWindow::Cancel() {
  if (!busy_ || cancelling_) return;
  cancelling_ = true;
  program_.progress().Cancel();
  cancel_->setEnabled(false);
  progressText_->setText(QStringLiteral("Canceling: the run stops before its next file..."));
}

void MainWindow::StartWorker(std::function<bool()> job) {
  if (busy_) return;
  busy_ = true;
  cancelling_ = false;
  program_.progress().Reset();
  SetCommandsEnabled(false);
  progressText_->clear();
  progressBar_->setRange(0, 0);
  progressBar_->show();
  cancel_->setEnabled(true);
  cancel_->show();
  worker_ = std::thread(&MainWindow::RunWorker, this, std::move(job));
}

void MainWindow::RunWorker(const std::function<bool()>& job) {
  ExecutionLog& log = program_.log();
  // An error ends the command, not the program: its box is shown and the
  // game is read afresh, since the command may have left it half changed.
  std::string firstError;
  auto guarded = [&](const std::function<void()>& work) {
    std::string message;
    try {
      work();
      return true;
    } catch (const FatalException& e) {
      message = e.what();
    } catch (const std::exception& e) {
      message = FailureMessage(e);
    } catch (const RunCancelled& cancelled) {
      log.ReportCancelled(cancelled.next);
      return true;
    }
    std::string shown = log.ReportFatal(message);
    // The same error again when the game is read afresh needs no second word.
    if (message == firstError) return false;
    // The window lives on, so the list keeps what the log file got: the
    // error and that the command stopped.
    log.AddLogLine("");
    std::string prefix = "ERROR: ";
    for (size_t start = 0; start <= message.size();) {
      size_t end = std::min(message.find('\n', start), message.size());
      log.AddLogLine(prefix + message.substr(start, end - start));
      prefix.clear();
      start = end + 1;
    }
    // Only the command's own error has a box; what the reading afresh met
    // stays in the list, and the next command meets it again.
    if (firstError.empty()) {
      firstError = message;
      log.AddLogLine("");
      log.AddLogLine("Operation has been aborted.");
      ui_.ShowError("Modrake Error", shown);
    }
    return false;
  };
  bool showOptions = false;
  if (!guarded([&] { showOptions = job(); })) {
    program_.ForgetGame();
    guarded([&] { program_.LoadGame(); });
  }
  ui_.Post([this, showOptions] { FinishWorker(showOptions); });
}

void MainWindow::FinishWorker(bool showOptions) {
  worker_.join();
  busy_ = false;
  progressBar_->hide();
  cancel_->hide();
  if (!noticeTimer_->isActive()) progressText_->clear();
  SetCommandsEnabled(true);
  ShowBoxes();
  Session& session = program_.session();
  session.dryRun = false;
  session.runName.clear();
  if (closeWhenIdle_) {
    closeWhenIdle_ = false;
    close();
    return;
  }
  if (showOptions) {
    ShowOptions();
  } else if (lowerArea_->currentWidget() == logPage_) {
    functions_->setFocus();
  }
}

void MainWindow::ShowProgress(const ProgressShown& progress) {
  if (!busy_ || cancelling_ || noticeTimer_->isActive()) return;
  if (!progress.waiting.isEmpty()) {
    progressText_->setText(progress.waiting);
    progressBar_->setRange(0, 0);
  } else if (progress.total == 0) {
    progressText_->clear();
    progressBar_->setRange(0, 0);
  } else {
    progressBar_->setRange(0, static_cast<int>(progress.total));
    progressBar_->setValue(static_cast<int>(progress.done));
    progressText_->setText(QStringLiteral("%1 (%2 of %3)")
                               .arg(progress.item)
                               .arg(progress.done + 1)
                               .arg(progress.total));
  }
}

void MainWindow::Notice(const QString& text) {
  // Progress leaves the line alone while the notice stands.
  progressText_->setText(text);
  noticeTimer_->start(kNoticeMilliseconds);
}

void MainWindow::SetCommandsEnabled(bool enabled) {
  for (QWidget* control : {static_cast<QWidget*>(functions_), static_cast<QWidget*>(justFixIt_),
                           static_cast<QWidget*>(options_), static_cast<QWidget*>(execute_),
                           static_cast<QWidget*>(preview_)}) {
    control->setEnabled(enabled);
  }
  if (enabled) {
    ShowRunToUndo();
  } else {
    undo_->setEnabled(false);
  }
}

void MainWindow::ShowOptions() {
  boxesWhenShown_ = program_.options().boxes;
  lowerArea_->setCurrentWidget(optionsPage_);
  SetCommandsEnabled(false);
  boxes_.front()->setFocus();
}

void MainWindow::HideOptions() {
  lowerArea_->setCurrentWidget(logPage_);
  SetCommandsEnabled(true);
  functions_->setFocus();
  program_.options().CopyBoxesToFlags();
}

void MainWindow::Done() {
  if (busy_) return;
  program_.session().optionsNotVisited = false;
  HideOptions();
  // Saved on the worker like a command: another run of Modrake may hold the
  // program home for a while, and the window must not freeze meanwhile.
  StartWorker([this] {
    program_.SaveOptions();
    return false;
  });
}

void MainWindow::DiscardOptions() {
  program_.options().boxes = boxesWhenShown_;
  ShowBoxes();
  HideOptions();
}

bool MainWindow::OptionsChanged() const {
  const CheckBoxes& now = program_.options().boxes;
  return std::any_of(SettingKeys().begin(), SettingKeys().end(), [&](const SettingKey& key) {
    return now.*key.box != boxesWhenShown_.*key.box;
  });
}

void MainWindow::ShowBoxes() {
  const Options& options = program_.options();
  for (size_t i = 0; i < boxes_.size(); ++i) {
    QSignalBlocker quiet(boxes_[i]);
    boxes_[i]->setChecked(options.boxes.*SettingKeys()[i].box);
    boxes_[i]->setEnabled(SettingUsable(SettingKeys()[i], program_.ActiveGameMasters()));
  }
}

void MainWindow::ShowFindBar() {
  if (lowerArea_->currentWidget() != logPage_) return;
  findBar_->show();
  findText_->setFocus();
  findText_->selectAll();
}

QString MainWindow::LogText() const {
  QStringList lines = log_->Lines();
  return lines.isEmpty() ? QString() : lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

void MainWindow::SaveLogAs() {
  QString file = QFileDialog::getSaveFileName(this, QStringLiteral("Save the Execution Log"),
                                              FromPath(program_.home() / "execution-log.txt"),
                                              QStringLiteral("Text files (*.txt);;All files (*)"));
  if (file.isEmpty()) return;
  QSaveFile out(file);
  if (!out.open(QIODevice::WriteOnly) || out.write(LogText().toUtf8()) < 0 || !out.commit()) {
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Modrake"),
                    QStringLiteral("Cannot write file %1: %2")
                        .arg(QDir::toNativeSeparators(file), out.errorString()),
                    QMessageBox::Ok, this);
    box.setTextFormat(Qt::PlainText);
    box.exec();
  }
}

void MainWindow::About() {
  QMessageBox box(QMessageBox::Information, QStringLiteral("About Modrake"),
                  QStringLiteral("Modrake %1   by lanternfly\n\nCleans, merges and manages the "
                                 "plugins of Morrowind.\n\nQt %2")
                      .arg(QStringLiteral(MODRAKE_VERSION), QString::fromLatin1(qVersion())),
                  QMessageBox::Ok, this);
  box.setTextFormat(Qt::PlainText);
  box.setIconPixmap(windowIcon().pixmap(64, 64));
  box.exec();
}

}  // namespace modrake::gui
