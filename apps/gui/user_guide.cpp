#include "user_guide.hpp"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QUrl>

namespace modrake::gui {

namespace {
// The user guide, Modrake.htm: where the installation put it beside the
// program's prefix, else in the source tree the program was built from, else
// in the documentation folder it was configured for, else beside the program
// (a portable copy). Empty when none of them holds it.
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
}  // namespace

void OpenUserGuide(QWidget* owner, const QString& section) {
  QString guide = UserGuidePath();
  QUrl url = QUrl::fromLocalFile(guide);
  if (!section.isEmpty()) url.setFragment(section);
  if (guide.isEmpty() || !QDesktopServices::openUrl(url)) {
    QMessageBox::warning(owner, QStringLiteral("Modrake"),
                         guide.isEmpty()
                             ? QStringLiteral("Cannot find the user guide, Modrake.htm.")
                             : QStringLiteral("Cannot open %1.").arg(guide));
  }
}

void OpenLocalPath(QWidget* owner, const QString& path) {
  QString shown = QDir::toNativeSeparators(path);
  if (!QFileInfo::exists(path)) {
    QMessageBox::warning(owner, QStringLiteral("Modrake"),
                         QStringLiteral("%1 does not exist yet.").arg(shown));
  } else if (!QDesktopServices::openUrl(QUrl::fromLocalFile(path))) {
    QMessageBox::warning(owner, QStringLiteral("Modrake"),
                         QStringLiteral("Cannot open %1.").arg(shown));
  }
}

}  // namespace modrake::gui
