#include "user_guide.hpp"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QUrl>

namespace modrake::gui {

QString UserGuidePath() {
  const QString program = QCoreApplication::applicationDirPath();
  // The first folder is relative to the program, so that a package unpacked
  // anywhere still finds its own guide.
  const QString folders[] = {
      QDir(program).filePath(QStringLiteral(MODRAKE_DOCDIR_FROM_BINDIR)),
      QStringLiteral(MODRAKE_SOURCE_DOCDIR),
      QStringLiteral(MODRAKE_INSTALL_DOCDIR),
      program,
  };
  for (const QString& folder : folders) {
    QFileInfo guide(QDir(folder), QStringLiteral("Modrake.htm"));
    if (guide.isFile()) return guide.canonicalFilePath();
  }
  return {};
}

void OpenUserGuide(QWidget* owner) {
  QString guide = UserGuidePath();
  if (guide.isEmpty() || !QDesktopServices::openUrl(QUrl::fromLocalFile(guide))) {
    QMessageBox::warning(owner, QStringLiteral("Modrake"),
                         guide.isEmpty()
                             ? QStringLiteral("Cannot find the user guide, Modrake.htm.")
                             : QStringLiteral("Cannot open %1.").arg(guide));
  }
}

}  // namespace modrake::gui
