#include "qt_ui.hpp"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QListWidget>
#include <QMessageBox>
#include <exception>

#include "core/text.hpp"

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
  return QString::fromStdString(ScreenText(text));
}

QtUi::QtUi() = default;

QtUi::~QtUi() = default;

void QtUi::SetLogList(QListWidget* list) {
  logList_ = list;
}

void QtUi::SetOwner(QWidget* owner) {
  owner_ = owner;
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
    logList_->addItems(lines);
    // The newest line stays in view.
    logList_->scrollToBottom();
    lines.clear();
  };
  for (Item& item : batch) {
    switch (item.kind) {
      case Item::kLine:
        lines << ToQString(item.line);
        break;
      case Item::kClear:
        lines.clear();
        if (logList_) logList_->clear();
        break;
      case Item::kWork:
        addLines();
        item.work();
        break;
    }
  }
  addLines();
}

void QtUi::Apply(Item& item) {
  switch (item.kind) {
    case Item::kLine:
      if (logList_) {
        logList_->addItem(ToQString(item.line));
        logList_->scrollToBottom();
      }
      break;
    case Item::kClear:
      if (logList_) logList_->clear();
      break;
    case Item::kWork:
      item.work();
      break;
  }
}

}  // namespace modrake::gui
