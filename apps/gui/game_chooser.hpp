#pragma once

#include <QDialog>
#include <QString>
#include <exception>
#include <functional>

#include "shell/program.hpp"

class QPlainTextEdit;

namespace modrake::gui {

// What the window shows when no game can be loaded at the start: why (for a
// game not found, every place tried), and the ways to name one: a folder
// chooser, the player's OpenMW configurations where they exist, and a file
// chooser for another openmw.cfg. Each choice is loaded at once; one that
// loads is remembered in modrake.ini and closes the window, one that does
// not says why and leaves the choices open.
class GameChooser : public QDialog {
  Q_OBJECT

 public:
  GameChooser(Program& program, const std::exception& problem, QWidget* parent = nullptr);

  // The file dialogs, in whose place a test puts its answers; empty when
  // the player cancels.
  std::function<QString()> chooseFolder;
  std::function<QString()> chooseConfig;

  // Loads that game; true, and remembered, when it loads.
  bool Try(const GameLocation& where);

 private:
  void ShowProblem(const std::exception& problem);

  Program& program_;
  QPlainTextEdit* problem_ = nullptr;
};

// At the start, when the game could not be loaded: the chooser until a game
// loads (true) or the player quits (false).
bool ChooseGame(Program& program, const std::exception& problem);

}  // namespace modrake::gui
