#pragma once

#include <QPlainTextEdit>
#include <QStringList>

namespace modrake::gui {

// The Execution Log: one line of text for each line a command adds, empty
// lines included. Long lines wrap unless wrapping is turned off; the text
// can be selected, copied and searched. While the reader looks at older
// lines, new ones arrive without moving the view; at the end, the newest
// line stays in view.
class LogView : public QPlainTextEdit {
  Q_OBJECT

 public:
  explicit LogView(QWidget* parent = nullptr);

  void AppendLines(const QStringList& lines);
  void ClearLines();
  QStringList Lines() const;

  void SetWrapped(bool wrapped);

  // Selects the next (or previous) place where text occurs, from the
  // selection on, wrapping around; false when it occurs nowhere.
  bool Find(const QString& text, bool backwards = false);

 signals:
  // A line was double-clicked, or Enter pressed on it.
  void LineActivated(const QString& line);

 protected:
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  int lineCount_ = 0;
};

}  // namespace modrake::gui
