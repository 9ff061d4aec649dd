#include "log_view.hpp"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>

namespace modrake::gui {

LogView::LogView(QWidget* parent) : QPlainTextEdit(parent) {
  setReadOnly(true);
  setUndoRedoEnabled(false);
  setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  SetWrapped(true);
}

void LogView::AppendLines(const QStringList& lines) {
  if (lines.isEmpty()) return;
  QScrollBar* bar = verticalScrollBar();
  const bool atEnd = bar->value() >= bar->maximum();
  // A cursor of its own: the reader's selection stays where it is.
  QTextCursor cursor(document());
  cursor.movePosition(QTextCursor::End);
  cursor.beginEditBlock();
  for (const QString& line : lines) {
    // The document's first block exists already; every later line is a
    // block of its own, so that an empty line is kept as one.
    if (lineCount_++ > 0) cursor.insertBlock();
    cursor.insertText(line);
  }
  cursor.endEditBlock();
  if (atEnd) bar->setValue(bar->maximum());
}

void LogView::ClearLines() {
  clear();
  lineCount_ = 0;
}

QStringList LogView::Lines() const {
  QStringList lines;
  if (lineCount_ == 0) return lines;
  for (QTextBlock block = document()->begin(); block.isValid(); block = block.next()) {
    lines << block.text();
  }
  return lines;
}

void LogView::SetWrapped(bool wrapped) {
  setLineWrapMode(wrapped ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
  setHorizontalScrollBarPolicy(wrapped ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAsNeeded);
}

bool LogView::Find(const QString& text, bool backwards) {
  if (text.isEmpty()) return false;
  QTextDocument::FindFlags flags;
  if (backwards) flags |= QTextDocument::FindBackward;
  if (find(text, flags)) return true;
  // Round again from the other end.
  QTextCursor start = textCursor();
  start.movePosition(backwards ? QTextCursor::End : QTextCursor::Start);
  setTextCursor(start);
  return find(text, flags);
}

void LogView::mouseDoubleClickEvent(QMouseEvent* event) {
  QPlainTextEdit::mouseDoubleClickEvent(event);
  emit LineActivated(cursorForPosition(event->position().toPoint()).block().text());
}

void LogView::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    emit LineActivated(textCursor().block().text());
    return;
  }
  QPlainTextEdit::keyPressEvent(event);
}

}  // namespace modrake::gui
