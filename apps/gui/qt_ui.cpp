#include "qt_ui.hpp"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <exception>

#include "core/text.hpp"
#include "log_view.hpp"

namespace modrake::gui {

namespace {

QMessageBox::Icon IconOf(BoxStyle style) {
  switch (style) {
    case BoxStyle::YesNoQuestion:
      return QMessageBox::Question;
    case BoxStyle::YesNoWarning:
    case BoxStyle::OkWarning:
      return QMessageBox::Warning;
    case BoxStyle::OkError:
      return QMessageBox::Critical;
    case BoxStyle::OkInformation:
      return QMessageBox::Information;
  }
  return QMessageBox::NoIcon;
}

}  // namespace

QString ToQString(const std::string& text) {
  // Names and ids read from the game's files are in its code page.
  return QString::fromStdString(Utf8Text(text));
}

QtUi::QtUi() = default;

QtUi::~QtUi() = default;

void QtUi::SetLogList(LogView* list) {
  logList_ = list;
}

void QtUi::SetOwner(QWidget* owner) {
  owner_ = owner;
}

void QtUi::SetProgressView(std::function<void(const ProgressShown&)> view) {
  progressView_ = std::move(view);
}

void QtUi::SetLogFile(const std::filesystem::path& file) {
  logFile_ = file;
}

void QtUi::SetStartFolder(const std::filesystem::path& folder) {
  fileFolder_ = folder;
}

bool QtUi::OnInterfaceThread() const {
  return std::this_thread::get_id() == interfaceThread_;
}

QWidget* QtUi::BoxOwner() const {
  // Over the dialog that is open, such as the Manage active plugins window.
  if (QWidget* modal = QApplication::activeModalWidget()) return modal;
  return owner_;
}

Answer QtUi::Ask(const std::string& title, const std::string& text, BoxStyle style) {
  Answer answer = Answer::Ok;
  RunOnInterfaceThread([&] {
    bool yesNo = style == BoxStyle::YesNoQuestion || style == BoxStyle::YesNoWarning;
    QMessageBox box(IconOf(style), ToQString(title), ToQString(text),
                    yesNo ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok, BoxOwner());
    // Names from plugins may hold '<': never read them as markup.
    box.setTextFormat(Qt::PlainText);
    if (yesNo) {
      // Only Yes goes on, so a stray Enter must not say it.
      box.setDefaultButton(QMessageBox::No);
      box.setEscapeButton(QMessageBox::No);
    }
    int pressed = box.exec();
    if (yesNo) answer = pressed == QMessageBox::Yes ? Answer::Yes : Answer::No;
  });
  return answer;
}

void QtUi::ShowError(const std::string& title, const std::string& text) {
  RunOnInterfaceThread([&] {
    QMessageBox box(QMessageBox::Critical, ToQString(title), ToQString(text), QMessageBox::Ok,
                    BoxOwner());
    box.setTextFormat(Qt::PlainText);
    // The message names the log as the program always has; here is where it is.
    if (!logFile_.empty()) {
      box.setInformativeText(QStringLiteral("The log file is %1")
                                 .arg(QDir::toNativeSeparators(QFile::decodeName(
                                     QByteArray::fromStdString(logFile_.string())))));
    }
    box.exec();
  });
}

std::vector<std::filesystem::path> QtUi::ChooseFiles() {
  std::vector<std::filesystem::path> chosen;
  RunOnInterfaceThread([&] {
    QFileDialog dialog(BoxOwner(), QStringLiteral("Open"), ToQString(fileFolder_.string()));
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.setNameFilters(
        {QStringLiteral("Plugin Files (*.esm *.esp)"), QStringLiteral("All Files (*.*)")});
    if (dialog.exec() != QDialog::Accepted) return;
    for (const QString& file : dialog.selectedFiles()) {
      chosen.emplace_back(QFile::encodeName(file).toStdString());
    }
    // The next choice starts where this one ended.
    if (!chosen.empty()) fileFolder_ = chosen.front().parent_path();
  });
  return chosen;
}

void QtUi::AddLogLine(const std::string& line) {
  Enqueue({Item::kLine, line, {}});
}

void QtUi::ClearLogList() {
  Enqueue({Item::kClear, {}, {}});
}

void QtUi::ShowWaiting(const std::string& text) {
  Enqueue({Item::kWaiting, text, {}});
}

void QtUi::ShowProgress(size_t done, size_t total, const std::string& item) {
  Enqueue({Item::kProgress, item, {}, done, total});
}

void QtUi::ShowProgressItem(const Item& item) {
  if (!progressView_) return;
  ProgressShown shown;
  if (item.kind == Item::kWaiting) {
    shown.waiting = ToQString(item.line);
  } else {
    shown.done = item.done;
    shown.total = item.total;
    shown.item = ToQString(item.line);
  }
  progressView_(shown);
}

void QtUi::RunOnInterfaceThread(const std::function<void()>& work) {
  if (OnInterfaceThread()) {
    work();
    return;
  }
  bool done = false;
  std::exception_ptr error;
  Enqueue({Item::kWork, {}, [&] {
             std::exception_ptr caught;
             try {
               work();
             } catch (...) {
               caught = std::current_exception();
             }
             std::lock_guard<std::mutex> lock(mutex_);
             error = caught;
             done = true;
             answered_.notify_all();
           }});
  std::unique_lock<std::mutex> lock(mutex_);
  answered_.wait(lock, [&] { return done; });
  lock.unlock();
  if (error) std::rethrow_exception(error);
}

void QtUi::Post(std::function<void()> work) {
  Enqueue({Item::kWork, {}, std::move(work)});
}

void QtUi::Enqueue(Item item) {
  if (OnInterfaceThread()) {
    // Nothing of the worker can be waiting: it posts only while it runs, and
    // the interface thread adds lines only while it is idle or blocked.
    Apply(item);
    return;
  }
  bool schedule = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    queue_.push_back(std::move(item));
    schedule = !deliveryScheduled_;
    deliveryScheduled_ = true;
  }
  // Invoked by name: the wake-up carries no data of its own, only the queue
  // does, under the mutex.
  if (schedule) QMetaObject::invokeMethod(this, "Deliver", Qt::QueuedConnection);
}

void QtUi::Deliver() {
  // One batch at a time: what arrives meanwhile waits for the next call, so
  // that paints and input get their turn between batches.
  std::deque<Item> batch;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    batch.swap(queue_);
    deliveryScheduled_ = false;
  }
  QStringList lines;
  auto addLines = [&] {
    if (lines.isEmpty() || !logList_) return;
    logList_->AppendLines(lines);
    lines.clear();
  };
  // Of the progress of a batch only the last counts.
  const Item* progress = nullptr;
  for (Item& item : batch) {
    switch (item.kind) {
      case Item::kLine:
        lines << ToQString(item.line);
        break;
      case Item::kClear:
        lines.clear();
        if (logList_) logList_->ClearLines();
        break;
      case Item::kProgress:
      case Item::kWaiting:
        progress = &item;
        break;
      case Item::kWork:
        addLines();
        if (progress) ShowProgressItem(*progress);
        progress = nullptr;
        item.work();
        break;
    }
  }
  addLines();
  if (progress) ShowProgressItem(*progress);
}

void QtUi::Apply(Item& item) {
  switch (item.kind) {
    case Item::kLine:
      if (logList_) logList_->AppendLines({ToQString(item.line)});
      break;
    case Item::kClear:
      if (logList_) logList_->ClearLines();
      break;
    case Item::kProgress:
    case Item::kWaiting:
      ShowProgressItem(item);
      break;
    case Item::kWork:
      item.work();
      break;
  }
}

}  // namespace modrake::gui
