#include "qt_ui.hpp"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QListWidget>
#include <QMessageBox>
#include <QStringDecoder>
#include <exception>

namespace modrake::gui {

namespace {

// Windows code page 1252 where it differs from Latin-1 (0x80 to 0x9F); the
// unassigned places stay as they are.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

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
  QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  QString decoded = utf8(QByteArrayView(text.data(), static_cast<qsizetype>(text.size())));
  if (!utf8.hasError()) return decoded;
  // Names read from plugins are in the game's code page.
  QString result;
  result.reserve(static_cast<qsizetype>(text.size()));
  for (unsigned char c : text) {
    result.append(c >= 0x80 && c < 0xA0 ? QChar(kCp1252High[c - 0x80]) : QChar(c));
  }
  return result;
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
