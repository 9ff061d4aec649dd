#include "data_files_dialog.hpp"

#include <QApplication>
#include <QDropEvent>
#include <QFontMetricsF>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QShortcut>
#include <QStyle>
#include <QTableWidget>
#include <QTextDocument>
#include <QVBoxLayout>
#include <algorithm>

#include "qt_ui.hpp"
#include "user_guide.hpp"

namespace modrake::gui {

namespace {

enum Column { kActiveColumn = 0, kNameColumn = 1, kDateColumn = 2 };

// How many rows stay in view around the focused one.
constexpr int kRowsAround = 5;

}  // namespace

DataFilesDialog::DataFilesDialog(PluginManager& manager, QWidget* parent, QSettings* settings)
    : QDialog(parent), manager_(manager), settings_(settings) {
  setWindowTitle(QStringLiteral("Modrake - Data Files"));
  QFontMetricsF metrics(font());
  double unitX = metrics.averageCharWidth() / 4.0;
  double unitY = metrics.height() / 8.0;

  MakeTable();
  QVBoxLayout* buttons = MakeButtons(static_cast<int>(54 * unitX + 0.5));
  auto* layout = new QHBoxLayout(this);
  layout->addWidget(table_, 1);
  layout->addLayout(buttons);
  // Tab goes from the table down the buttons as they stand.
  QWidget* previous = table_;
  for (int i = 0; i < buttons->count(); ++i) {
    if (QWidget* next = buttons->itemAt(i)->widget()) {
      setTabOrder(previous, next);
      previous = next;
    }
  }
  auto* help = new QShortcut(QKeySequence::HelpContents, this);
  connect(help, &QShortcut::activated, this,
          [this] { OpenUserGuide(this, QStringLiteral("manage")); });

  Fill(PluginManager::kNoRow);
  ShowSortState();
  ShowMoveButtons();
  resize(QSize(static_cast<int>(376 * unitX + 0.5), static_cast<int>(221 * unitY + 0.5))
             .expandedTo(sizeHint()));
  if (settings_)
    restoreGeometry(settings_->value(QStringLiteral("dataFiles/geometry")).toByteArray());
}

void DataFilesDialog::MakeTable() {
  table_ = new QTableWidget(0, 3);
  table_->setObjectName(QStringLiteral("plugins"));
  table_->setHorizontalHeaderLabels(
      {QString(), QStringLiteral("File Name"), QStringLiteral("File Date")});
  table_->setShowGrid(true);
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->setWordWrap(false);
  // One Tab stop: the arrows move between rows, Tab goes on to the buttons.
  table_->setTabKeyNavigation(false);
  table_->verticalHeader()->hide();
  table_->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
  QHeaderView* header = table_->horizontalHeader();
  header->setSectionsClickable(true);
  header->setHighlightSections(false);
  header->setSectionResizeMode(kActiveColumn, QHeaderView::Fixed);
  header->setSectionResizeMode(kNameColumn, QHeaderView::Stretch);
  header->setSectionResizeMode(kDateColumn, QHeaderView::ResizeToContents);
  table_->setColumnWidth(kActiveColumn, style()->pixelMetric(QStyle::PM_IndicatorWidth) + 12);
  connect(header, &QHeaderView::sectionClicked, this, &DataFilesDialog::HeaderClicked);
  table_->installEventFilter(this);
  connect(table_, &QTableWidget::itemChanged, this, &DataFilesDialog::CheckChanged);
  // A row dragged to another place moves there in the load order.
  table_->viewport()->installEventFilter(this);
  table_->setDragDropMode(QAbstractItemView::InternalMove);
  table_->setDragDropOverwriteMode(false);
}

QVBoxLayout* DataFilesDialog::MakeButtons(int minimumWidth) {
  auto makeButton = [&](const char* text, const char* name) {
    auto* button = new QPushButton(QString::fromUtf8(text));
    button->setObjectName(QString::fromUtf8(name));
    button->setMinimumWidth(minimumWidth);
    return button;
  };
  QPushButton* loadOrder = makeButton("&Load order", "loadOrder");
  QPushButton* updateTime = makeButton("Update &time", "updateTime");
  QPushButton* updateHeader = makeButton("Update &header", "updateHeader");
  QPushButton* ok = makeButton("&OK", "ok");
  QPushButton* cancel = makeButton("&Cancel", "cancel");
  moveUp_ = makeButton("Move &up", "moveUp");
  moveDown_ = makeButton("Move &down", "moveDown");
  moveUp_->setToolTip(QStringLiteral("Ctrl+Up, or drag the row"));
  moveDown_->setToolTip(QStringLiteral("Ctrl+Down, or drag the row"));
  loadOrder->setDefault(true);
  auto* buttons = new QVBoxLayout;
  for (QPushButton* button : {loadOrder, updateTime, updateHeader, moveUp_, moveDown_}) {
    buttons->addWidget(button);
  }
  buttons->addStretch();
  buttons->addWidget(ok);
  buttons->addWidget(cancel);

  connect(loadOrder, &QPushButton::clicked, this,
          [this] { Guarded([this] { Resorted(manager_.SortLoadOrder(FocusedRow())); }); });
  connect(updateTime, &QPushButton::clicked, this, &DataFilesDialog::UpdateTime);
  connect(updateHeader, &QPushButton::clicked, this, &DataFilesDialog::UpdateHeader);
  connect(moveUp_, &QPushButton::clicked, this, [this] { MoveFocused(-1); });
  connect(moveDown_, &QPushButton::clicked, this, [this] { MoveFocused(1); });
  connect(ok, &QPushButton::clicked, this, &DataFilesDialog::Ok);
  connect(cancel, &QPushButton::clicked, this, &DataFilesDialog::reject);
  return buttons;
}

DataFilesDialog::~DataFilesDialog() = default;

void DataFilesDialog::done(int result) {
  if (settings_) settings_->setValue(QStringLiteral("dataFiles/geometry"), saveGeometry());
  QDialog::done(result);
}

void DataFilesDialog::CheckChanged(QTableWidgetItem* item) {
  if (item->column() != kActiveColumn || item->checkState() != Qt::Checked) return;
  // Its header cannot be read, so the game could not load it either: it may
  // stay active where it was, never become active.
  PluginRow plugin = manager_.Row(static_cast<size_t>(item->row()));
  if (plugin.error.empty() || plugin.active) return;
  QSignalBlocker quiet(table_);
  item->setCheckState(Qt::Unchecked);
  QApplication::beep();
}

bool DataFilesDialog::RefusedWithoutMorrowind() {
  size_t row = manager_.FindRow("Morrowind.esm");
  int tableRow = row == PluginManager::kNoRow ? -1 : static_cast<int>(row);
  if (tableRow >= 0 && table_->item(tableRow, kActiveColumn)->checkState() == Qt::Checked) {
    return false;
  }
  QString text =
      (tableRow >= 0
           ? QStringLiteral("Morrowind.esm must stay active: without it neither the game nor "
                            "Modrake can start. Tick it, or press Cancel to leave %1 as it is.")
           : QStringLiteral("There is no Morrowind.esm among the game's data files: without it "
                            "neither the game nor Modrake can start, so the list is not saved. "
                            "Press Cancel to leave %1 as it is."))
          .arg(ToQString(manager_.ListName()));
  QMessageBox box(QMessageBox::Warning, QStringLiteral("Modrake"), text, QMessageBox::Ok, this);
  box.setTextFormat(Qt::PlainText);
  box.exec();
  if (tableRow >= 0) {
    table_->setCurrentCell(tableRow, kNameColumn,
                           QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    table_->scrollToItem(table_->item(tableRow, kNameColumn));
    table_->setFocus();
  }
  return true;
}

bool DataFilesDialog::eventFilter(QObject* watched, QEvent* event) {
  if (watched == table_ && event->type() == QEvent::KeyPress && table_->currentRow() >= 0) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Space) {
      QTableWidgetItem* box = table_->item(table_->currentRow(), kActiveColumn);
      box->setCheckState(box->checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked);
      return true;
    }
    if ((key->key() == Qt::Key_Up || key->key() == Qt::Key_Down) &&
        key->modifiers() == Qt::ControlModifier) {
      MoveFocused(key->key() == Qt::Key_Up ? -1 : 1);
      return true;
    }
  }
  if (watched == table_->viewport() && event->type() == QEvent::Drop) {
    // The move is the manager's, not the table's own.
    auto* drop = static_cast<QDropEvent*>(event);
    int to = table_->rowAt(static_cast<int>(drop->position().y()));
    if (to < 0) to = table_->rowCount() - 1;
    if (table_->currentRow() >= 0 && to >= 0) {
      MoveTo(static_cast<size_t>(table_->currentRow()), static_cast<size_t>(to));
    }
    drop->setDropAction(Qt::IgnoreAction);
    drop->accept();
    return true;
  }
  return QDialog::eventFilter(watched, event);
}

void DataFilesDialog::ShowMoveButtons() {
  // Only where the list's order is the load order do rows move, and only
  // while the rows show that order.
  bool movable = manager_.CanMoveRows();
  moveUp_->setVisible(manager_.OrderIsTheList());
  moveDown_->setVisible(manager_.OrderIsTheList());
  moveUp_->setEnabled(movable);
  moveDown_->setEnabled(movable);
  table_->setDragEnabled(movable);
}

void DataFilesDialog::MoveFocused(int step) {
  int row = table_->currentRow();
  if (row < 0 || !manager_.CanMoveRows()) return;
  size_t to =
      step < 0 ? (row > 0 ? static_cast<size_t>(row) - 1 : 0) : static_cast<size_t>(row) + 1;
  MoveTo(static_cast<size_t>(row), to);
}

void DataFilesDialog::MoveTo(size_t from, size_t to) {
  Guarded([&] {
    ApplyRows();
    size_t at = from;
    while (at != to) {
      size_t next = manager_.MoveRow(at, to < at ? -1 : 1);
      if (next == at) break;
      at = next;
    }
    Fill(at);
  });
}

void DataFilesDialog::Guarded(const std::function<void()>& work) {
  try {
    work();
  } catch (...) {
    // Closed without the Cancel line: the command ends with the error.
    error_ = std::current_exception();
    done(QDialog::Rejected);
  }
}

void DataFilesDialog::ApplyRows() {
  for (int row = 0; row < table_->rowCount(); ++row) {
    size_t index = static_cast<size_t>(row);
    manager_.SetActive(index, table_->item(row, kActiveColumn)->checkState() == Qt::Checked);
    manager_.SetSelected(index, table_->selectionModel()->isRowSelected(row, QModelIndex()));
  }
}

size_t DataFilesDialog::FocusedRow() const {
  int focused = table_->currentRow();
  for (int row = 0; row < table_->rowCount(); ++row) {
    if (row == focused || table_->selectionModel()->isRowSelected(row, QModelIndex())) {
      return static_cast<size_t>(row);
    }
  }
  return PluginManager::kNoRow;
}

void DataFilesDialog::Fill(size_t keep) {
  // Filling is no change of a tick.
  QSignalBlocker quiet(table_);
  table_->clearSelection();
  table_->setRowCount(static_cast<int>(manager_.RowCount()));
  for (size_t i = 0; i < manager_.RowCount(); ++i) {
    PluginRow plugin = manager_.Row(i);
    int row = static_cast<int>(i);
    auto* active = new QTableWidgetItem;
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    // A file that cannot be read can only be taken off the list.
    if (plugin.error.empty() || plugin.active) flags |= Qt::ItemIsUserCheckable;
    active->setFlags(flags);
    active->setCheckState(plugin.active ? Qt::Checked : Qt::Unchecked);
    auto* name = new QTableWidgetItem(ToQString(plugin.name));
    name->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled);
    if (!plugin.folder.empty()) name->setToolTip(ToQString(plugin.folder));
    if (!plugin.error.empty()) {
      // Listed so that it can be deactivated; the row says why it is odd.
      name->setIcon(style()->standardIcon(QStyle::SP_MessageBoxWarning));
      name->setToolTip(Qt::convertFromPlainText(ToQString("Cannot be read: " + plugin.error),
                                                Qt::WhiteSpaceNormal));
    }
    auto* date = new QTableWidgetItem(ToQString(plugin.date));
    date->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    table_->setItem(row, kActiveColumn, active);
    table_->setItem(row, kNameColumn, name);
    table_->setItem(row, kDateColumn, date);
  }
  if (keep == PluginManager::kNoRow || keep >= manager_.RowCount()) return;
  int row = static_cast<int>(keep);
  table_->setFocus();
  table_->setCurrentCell(row, kNameColumn,
                         QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  int last = table_->rowCount() - 1;
  for (int shown : {row, std::max(row - kRowsAround, 0), std::min(row + kRowsAround, last)}) {
    table_->scrollToItem(table_->item(shown, kNameColumn));
  }
}

void DataFilesDialog::FillKeepingSelection() {
  int current = table_->currentRow();
  Fill(PluginManager::kNoRow);
  QItemSelectionModel* selection = table_->selectionModel();
  if (current >= 0) {
    selection->setCurrentIndex(table_->model()->index(current, kNameColumn),
                               QItemSelectionModel::NoUpdate);
  }
  for (size_t i = 0; i < manager_.RowCount(); ++i) {
    if (!manager_.Row(i).selected) continue;
    selection->select(table_->model()->index(static_cast<int>(i), kNameColumn),
                      QItemSelectionModel::Select | QItemSelectionModel::Rows);
  }
}

void DataFilesDialog::ShowSortState() {
  QHeaderView* header = table_->horizontalHeader();
  switch (manager_.SortState()) {
    case kNameAscending:
      header->setSortIndicator(kNameColumn, Qt::AscendingOrder);
      break;
    case kNameDescending:
      header->setSortIndicator(kNameColumn, Qt::DescendingOrder);
      break;
    case kTimeAscending:
      header->setSortIndicator(kDateColumn, Qt::AscendingOrder);
      break;
    case kTimeDescending:
      header->setSortIndicator(kDateColumn, Qt::DescendingOrder);
      break;
    default:
      // Load order: no column is the order.
      header->setSortIndicatorShown(false);
      return;
  }
  header->setSortIndicatorShown(true);
}

void DataFilesDialog::Resorted(size_t keep) {
  Fill(keep);
  table_->setFocus();
  ShowSortState();
  ShowMoveButtons();
}

void DataFilesDialog::HeaderClicked(int section) {
  if (section != kNameColumn && section != kDateColumn) {
    ShowSortState();
    return;
  }
  Guarded([&] {
    ApplyRows();
    size_t keep = FocusedRow();
    Resorted(section == kNameColumn ? manager_.ClickNameHeader(keep)
                                    : manager_.ClickDateHeader(keep));
  });
}

void DataFilesDialog::UpdateTime() {
  Guarded([&] {
    ApplyRows();
    int state = manager_.SortState();
    size_t keep = manager_.UpdateTime(FocusedRow());
    if (state == kNameAscending || state == kNameDescending) {
      // The rows stay where they are; only their dates change.
      FillKeepingSelection();
      table_->setFocus();
    } else {
      Resorted(keep);
    }
  });
}

void DataFilesDialog::UpdateHeader() {
  Guarded([&] {
    ApplyRows();
    manager_.UpdateHeader();
    FillKeepingSelection();
  });
}

void DataFilesDialog::Ok() {
  if (RefusedWithoutMorrowind()) return;
  Guarded([&] {
    ApplyRows();
    manager_.Ok();
    accept();
  });
}

void DataFilesDialog::reject() {
  if (!error_) manager_.Cancel();
  QDialog::reject();
}

void QtManageWindow::Show(PluginManager& manager) {
  ui_.RunOnInterfaceThread([&] {
    DataFilesDialog dialog(manager, parent_, settings_);
    dialog.exec();
    if (dialog.error()) std::rethrow_exception(dialog.error());
  });
}

}  // namespace modrake::gui
