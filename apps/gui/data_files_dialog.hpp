#pragma once

#include <QDialog>
#include <cstddef>
#include <exception>
#include <functional>

#include "shell/plugin_manager.hpp"

class QPushButton;
class QSettings;
class QTableWidget;
class QTableWidgetItem;
class QVBoxLayout;

namespace modrake::gui {

class QtUi;

// The Manage active plugins window, "Modrake - Data Files": every master and
// plugin of the data folder with a check box for the active ones, sortable by
// name and date or in load order. It never saves a list without Morrowind.esm
// and never lets a file that cannot be read be ticked.
class DataFilesDialog : public QDialog {
  Q_OBJECT

 public:
  // settings: where the window keeps its size and place; may be null.
  DataFilesDialog(PluginManager& manager, QWidget* parent, QSettings* settings = nullptr);
  ~DataFilesDialog() override;

  // An error inside a button closes the window; the command then fails with it.
  std::exception_ptr error() const { return error_; }

  // Cancel, Escape and the close box.
  void reject() override;

 protected:
  // Space ticks or unticks the focused row, wherever in the row the focus is.
  bool eventFilter(QObject* watched, QEvent* event) override;
  void done(int result) override;

 private:
  // The table of plugins, with its header, drag and drop and handlers.
  void MakeTable();
  // The buttons beside the table, top to bottom, wired to their work.
  QVBoxLayout* MakeButtons(int minimumWidth);
  // What the rows show goes to the manager before each button.
  void ApplyRows();
  // Shows the manager's rows. With a row to keep, only that row is focused
  // and selected and kept in view with some rows around it; otherwise the
  // selection stays.
  void Fill(size_t keep);
  void FillKeepingSelection();
  size_t FocusedRow() const;
  void ShowSortState();
  void Guarded(const std::function<void()>& work);
  // A file that cannot be read may be unticked, never ticked.
  void CheckChanged(QTableWidgetItem* item);
  // Ok without Morrowind.esm ticked: a box says why nothing is saved.
  bool RefusedWithoutMorrowind();

  void Resorted(size_t keep);
  void HeaderClicked(int section);
  void UpdateTime();
  void UpdateHeader();
  // Where the list's order is the load order (OpenMW): the focused row one
  // place up or down, or to where it was dropped.
  void MoveFocused(int step);
  void MoveTo(size_t from, size_t to);
  void ShowMoveButtons();
  void Ok();

  PluginManager& manager_;
  QSettings* settings_;
  QTableWidget* table_ = nullptr;
  QPushButton* moveUp_ = nullptr;
  QPushButton* moveDown_ = nullptr;
  std::exception_ptr error_;
};

// Dispatch's Manage active plugins window: the worker waits while the
// interface thread shows the dialog.
class QtManageWindow : public ManageWindow {
 public:
  QtManageWindow(QtUi& ui, QWidget* parent, QSettings* settings = nullptr)
      : ui_(ui), parent_(parent), settings_(settings) {}
  void Show(PluginManager& manager) override;

 private:
  QtUi& ui_;
  QWidget* parent_;
  QSettings* settings_;
};

}  // namespace modrake::gui
