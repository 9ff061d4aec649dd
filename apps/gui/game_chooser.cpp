#include "game_chooser.hpp"

#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "qt_ui.hpp"

namespace modrake::gui {

namespace {

std::filesystem::path ToPath(const QString& text) {
  return std::filesystem::path(QFile::encodeName(text).toStdString());
}

QPushButton* AddButton(QVBoxLayout* layout, const QString& text, const char* name) {
  auto* button = new QPushButton(text);
  button->setObjectName(QString::fromUtf8(name));
  button->setAutoDefault(false);
  layout->addWidget(button);
  return button;
}

}  // namespace

GameChooser::GameChooser(Program& program, const std::exception& problem, QWidget* parent)
    : QDialog(parent), program_(program) {
  setWindowTitle(QStringLiteral("Modrake - Where is the game?"));
  auto* layout = new QVBoxLayout(this);
  problem_ = new QPlainTextEdit;
  problem_->setObjectName(QStringLiteral("problem"));
  problem_->setReadOnly(true);
  problem_->setMinimumWidth(560);
  layout->addWidget(problem_);
  auto* hint = new QLabel(QStringLiteral(
      "Choose the game folder (the one that holds Morrowind.ini and \"Data Files\"), or an "
      "OpenMW configuration (openmw.cfg). Modrake remembers your choice."));
  hint->setWordWrap(true);
  layout->addWidget(hint);

  chooseFolder = [this] {
    return QFileDialog::getExistingDirectory(this, QStringLiteral("Choose the game folder"));
  };
  chooseConfig = [this] {
    return QFileDialog::getOpenFileName(this, QStringLiteral("Choose openmw.cfg"), QString(),
                                        QStringLiteral("OpenMW configuration (openmw.cfg)"));
  };
  QPushButton* folder = AddButton(layout, QStringLiteral("Choose game folder..."), "chooseFolder");
  connect(folder, &QPushButton::clicked, this, [this] {
    QString chosen = chooseFolder();
    if (!chosen.isEmpty()) Try(ToPath(chosen));
  });
  for (const auto& file : OpenMwConfigChoices()) {
    QPushButton* use = AddButton(
        layout, QStringLiteral("Use OpenMW: %1").arg(ToQString(file.string())), "openmwConfig");
    connect(use, &QPushButton::clicked, this, [this, file] { Try({std::nullopt, file}); });
  }
  QPushButton* config = AddButton(layout, QStringLiteral("Choose openmw.cfg..."), "chooseConfig");
  connect(config, &QPushButton::clicked, this, [this] {
    QString chosen = chooseConfig();
    if (!chosen.isEmpty()) Try({std::nullopt, ToPath(chosen)});
  });
  QPushButton* quit = AddButton(layout, QStringLiteral("Quit"), "quit");
  connect(quit, &QPushButton::clicked, this, &QDialog::reject);
  folder->setFocus();
  ShowProblem(problem);
}

void GameChooser::ShowProblem(const std::exception& problem) {
  problem_->setPlainText(ToQString(GameProblem(problem)));
}

bool GameChooser::Try(const GameLocation& where) {
  try {
    program_.LoadGame(where);
  } catch (const std::exception& e) {
    ShowProblem(e);
    return false;
  }
  // As with the options, a modrake.ini that cannot be written costs only the
  // question next time.
  program_.RememberGame();
  accept();
  return true;
}

bool ChooseGame(Program& program, const std::exception& problem) {
  GameChooser chooser(program, problem);
  return chooser.exec() == QDialog::Accepted;
}

}  // namespace modrake::gui
