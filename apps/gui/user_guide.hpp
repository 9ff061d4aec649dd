#pragma once

#include <QString>

class QWidget;

namespace modrake::gui {

// Opens the guide in the desktop's browser, at a section (an id in it) when
// one is given; says so in a box when it is missing.
void OpenUserGuide(QWidget* owner, const QString& section = {});

// Opens a file or folder as the desktop opens it; says so in a box when that
// cannot be done.
void OpenLocalPath(QWidget* owner, const QString& path);

}  // namespace modrake::gui
