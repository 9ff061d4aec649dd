#include "main_window.hpp"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFontMetricsF>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <exception>
#include <functional>

#include "core/execution_log.hpp"
#include "core/fatal_error.hpp"
#include "core/settings.hpp"
#include "data_files_dialog.hpp"
#include "qt_ui.hpp"
#include "shell/dispatch.hpp"
#include "shell/function_list.hpp"
#include "shell/program.hpp"
#include "shell/startup.hpp"
#include "user_guide.hpp"

namespace modrake::gui {

namespace {

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

// The panel's boxes in two columns, in groups: the clean file options, the
// masters to ignore, the restricted cleaning; the report, then the merge.
constexpr size_t kLeftColumnBoxes = 7;
bool GapBefore(size_t box) {
  return box == 3 || box == 5 || box == 9;
}

}  // namespace

MainWindow::MainWindow(Program& program, QtUi& ui)
    : program_(program), ui_(ui), manageWindow_(std::make_unique<QtManageWindow>(ui, this)) {
  setWindowTitle(QStringLiteral("Modrake"));
  DialogUnits units(font());

  functions_ = new QListWidget;
  functions_->setObjectName(QStringLiteral("functions"));
  for (const char* entry : FunctionList()) functions_->addItem(QString::fromUtf8(entry));
  functions_->setFixedHeight(
      std::max(units.Y(66),
               functions_->sizeHintForRow(0) * functions_->count() + 2 * functions_->frameWidth()));

  auto makeButton = [&](const char* text, const char* name) {
    auto* button = new QPushButton(QString::fromUtf8(text));
    button->setObjectName(QString::fromUtf8(name));
    button->setMinimumWidth(units.X(66));
    button->setAutoDefault(false);
    return button;
  };
  justFixIt_ = makeButton("JUST FIX IT!", "justFixIt");
  options_ = makeButton("Options", "options");
  execute_ = makeButton("Execute", "execute");
  auto* buttons = new QVBoxLayout;
  buttons->addWidget(justFixIt_);
  buttons->addWidget(options_);
  buttons->addWidget(execute_);
  buttons->addStretch();
  auto* top = new QHBoxLayout;
  top->addWidget(functions_, 1);
  top->addLayout(buttons);

  // The lower area: the Execution Log, or the options panel over it.
  log_ = new QListWidget;
  log_->setObjectName(QStringLiteral("log"));
  log_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  log_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  log_->setTextElideMode(Qt::ElideNone);
  logPage_ = new QWidget;
  auto* logLayout = new QVBoxLayout(logPage_);
  logLayout->setContentsMargins(0, 0, 0, 0);
  auto* caption = new QLabel(QStringLiteral("Execution Log"));
  caption->setBuddy(log_);
  logLayout->addWidget(caption);
  logLayout->addWidget(log_, 1);

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
  auto* done = new QPushButton(QStringLiteral("Done"));
  done->setObjectName(QStringLiteral("done"));
  done->setMinimumWidth(units.X(66));
  auto* panel = new QVBoxLayout(optionsPage_);
  panel->setContentsMargins(0, units.Y(12), 0, 0);
  panel->addLayout(panelColumns, 1);
  panel->addWidget(done, 0, Qt::AlignRight);

  lowerArea_ = new QStackedWidget;
  lowerArea_->addWidget(logPage_);
  lowerArea_->addWidget(optionsPage_);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(units.X(6), units.Y(6), units.X(6), units.Y(6));
  layout->addLayout(top);
  layout->addWidget(lowerArea_, 1);

  connect(justFixIt_, &QPushButton::clicked, this, [this] { Start(kJustFixItCommand); });
  connect(execute_, &QPushButton::clicked, this, &MainWindow::Execute);
  connect(options_, &QPushButton::clicked, this, &MainWindow::ShowOptions);
  connect(done, &QPushButton::clicked, this, &MainWindow::Done);
  // The startup line that asks to read the guide opens it.
  connect(log_, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) {
    if (item->text().contains(QStringLiteral("(Modrake.htm)"))) OpenUserGuide(this);
  });

  resize(sizeHint().expandedTo(QSize(units.X(292), units.Y(215))));

  ui_.SetLogList(log_);
  ui_.SetOwner(this);
  ui_.SetStartFolder(program_.DataFolder());
  Session& session = program_.session();
  functions_->setCurrentRow(0);
  ShowBoxes();
  HideOptions();
  session.optionsNotVisited = true;
  ShowStartupLines(session);
}

MainWindow::~MainWindow() {
  // The worker may be waiting for an answer: let it have one and end.
  while (busy_) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (busy_) {
    event->ignore();
    return;
  }
  event->accept();
}

void MainWindow::Execute() {
  // No entry selected runs nothing, but still runs.
  QList<QListWidgetItem*> selected = functions_->selectedItems();
  Start(selected.isEmpty() ? -1 : functions_->row(selected.front()));
}

void MainWindow::Start(int command) {
  StartWorker([this, command] {
    program_.log().ClearLogList();
    if (!program_.GameLoaded()) program_.LoadGame();
    return Dispatch(program_.session(), command, {false, manageWindow_.get()});
  });
}

void MainWindow::StartWorker(std::function<bool()> job) {
  if (busy_) return;
  busy_ = true;
  SetCommandsEnabled(false);
  worker_ = std::thread(&MainWindow::RunWorker, this, std::move(job));
}

void MainWindow::RunWorker(const std::function<bool()>& job) {
  ExecutionLog& log = program_.log();
  // An error ends the command, not the program: its box is shown and the
  // game is read afresh, since the command may have left it half changed.
  auto guarded = [&](const std::function<void()>& work) {
    std::string message;
    try {
      work();
      return true;
    } catch (const FatalException& e) {
      message = e.what();
    } catch (const std::exception& e) {
      message = e.what();
    }
    std::string shown = log.ReportFatal(message);
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
    log.AddLogLine("");
    log.AddLogLine("Operation has been aborted.");
    ui_.ShowError("Modrake Error", shown);
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
  SetCommandsEnabled(true);
  ShowBoxes();
  if (showOptions) ShowOptions();
}

void MainWindow::SetCommandsEnabled(bool enabled) {
  for (QWidget* control : {static_cast<QWidget*>(functions_), static_cast<QWidget*>(justFixIt_),
                           static_cast<QWidget*>(options_), static_cast<QWidget*>(execute_)}) {
    control->setEnabled(enabled);
  }
}

void MainWindow::ShowOptions() {
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

void MainWindow::ShowBoxes() {
  const Options& options = program_.options();
  for (size_t i = 0; i < boxes_.size(); ++i) {
    QSignalBlocker quiet(boxes_[i]);
    boxes_[i]->setChecked(options.boxes.*SettingKeys()[i].box);
    const char* key = SettingKeys()[i].key;
    if (std::string_view(key) == "IgnoreTribunal") boxes_[i]->setEnabled(program_.TribunalActive());
    if (std::string_view(key) == "IgnoreBloodmoon") {
      boxes_[i]->setEnabled(program_.BloodmoonActive());
    }
  }
}

}  // namespace modrake::gui
