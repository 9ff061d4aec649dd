#pragma once

#include <QString>

class QWidget;

namespace modrake::gui {

// The user guide, Modrake.htm: where the installation put it beside the
// program's prefix, else in the source tree the program was built from, else
// in the documentation folder it was configured for, else beside the program
// (a portable copy). Empty when none of them holds it.
QString UserGuidePath();

// Opens the guide in the desktop's browser; says so in a box when it is missing.
void OpenUserGuide(QWidget* owner);

}  // namespace modrake::gui
