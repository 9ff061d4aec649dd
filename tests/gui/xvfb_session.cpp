// The window under Xvfb: startup, repainting during JUST FIX IT!, documentation pictures.
#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <cstdio>

#include "gui_driver.hpp"
#include "shell/function_list.hpp"

namespace modrake::test {
namespace {

// Counts the paints of a widget while the window is busy.
class PaintCounter : public QObject {
 public:
  PaintCounter(QWidget* widget, const gui::MainWindow& window) : window_(window) {
    widget->installEventFilter(this);
  }
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint && window_.Busy()) ++paintsWhileBusy;
    return false;
  }
  int paintsWhileBusy = 0;

 private:
  const gui::MainWindow& window_;
};

bool Save(QWidget* widget, const QString& file) {
  // From the X server's own pixels, not a rendering of the widget.
  QTest::qWait(300);
  QRect frame = widget->frameGeometry();
  QPixmap shot =
      widget->screen()->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height());
  bool saved = !shot.isNull() && shot.save(file, "PNG");
  std::printf("%s %s (%dx%d)\n", saved ? "saved" : "could not save", qPrintable(file), shot.width(),
              shot.height());
  return saved;
}

int Fail(const char* what) {
  std::fprintf(stderr, "modrake_gui_xvfb: %s\n", what);
  return 1;
}

// Most of a small screen, a comfortable part of a large one.
void FitToScreen(QWidget* window) {
  QRect screen = window->screen()->availableGeometry();
  window->resize(std::min(screen.width() - 40, 1000), std::min(screen.height() - 60, 720));
  window->move(screen.topLeft() + QPoint(20, 20));
}

// The documentation's pictures, named with suffix.
int Screenshots(GuiGame& game, const QString& shots, const QString& suffix) {
  auto name = [&](const char* picture) {
    return shots + QStringLiteral("/%1%2.png").arg(QString::fromLatin1(picture), suffix);
  };
  game.Button("options")->click();
  if (!Save(game.window.get(), name("options-panel"))) return 1;
  game.Button("done")->click();
  if (!game.WaitIdle()) return Fail("the options were not saved");

  DialogScript script;
  bool saved = false;
  script
      .Manage([&](gui::DataFilesDialog& dialog) {
        FitToScreen(&dialog);
        saved = QTest::qWaitForWindowExposed(&dialog) && Save(&dialog, name("manage-window"));
        QTimer::singleShot(0, &dialog, &QDialog::reject);
      })
      .Answer(QMessageBox::Ok);
  game.Execute(kManageActivePluginsCommand);
  if (!game.WaitIdle() || !script.Finished() || !saved) return Fail("no Manage window shot");

  // A third of the way through JUST FIX IT!.
  script.Answer(QMessageBox::Yes);
  game.Button("justFixIt")->click();
  auto* bar = game.Find<QProgressBar>("progress");
  bool midway = QTest::qWaitFor(
      [&] { return bar->maximum() > 0 && bar->value() * 3 >= bar->maximum(); }, 300000);
  if (!midway || !Save(game.window.get(), name("main-window"))) return Fail("no shot of a run");
  if (!game.WaitIdle(600000) || !script.Finished()) return Fail("JUST FIX IT! did not end");
  return 0;
}

int Run(int plugins, bool fix, const QString& shots, const QString& suffix) {
  samplegame::SampleGameOptions options;
  options.plugins = plugins;
  GuiGame game(options);
  if (!shots.isEmpty()) FitToScreen(game.window.get());
  if (!QTest::qWaitForWindowExposed(game.window.get())) return Fail("the window was not shown");
  if (!game.LogLines().endsWith(QStringLiteral("Select function from the list above"))) {
    return Fail("the startup lines are missing");
  }
  if (!shots.isEmpty()) return Screenshots(game, shots, suffix);

  if (fix) {
    PaintCounter paints(game.Log()->viewport(), *game.window);
    DialogScript script;
    script.Answer(QMessageBox::Yes);
    QElapsedTimer run;
    run.start();
    game.Button("justFixIt")->click();
    if (!game.WaitIdle(600000) || !script.Finished()) return Fail("JUST FIX IT! did not end");
    std::printf("JUST FIX IT! took %.1f s; the log repainted %d times meanwhile\n",
                run.elapsed() / 1000.0, paints.paintsWhileBusy);
    if (!game.LogLines().back().startsWith(QStringLiteral("Check \""))) {
      return Fail("JUST FIX IT! did not finish its log");
    }
    if (paints.paintsWhileBusy < 2) return Fail("the window did not repaint while busy");
  }
  return 0;
}

}  // namespace
}  // namespace modrake::test

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QCommandLineParser parser;
  parser.addOptions({{"plugins", "Sample game plugins.", "N"},
                     {"fix", "Run JUST FIX IT! and check the window repaints."},
                     {"screenshots", "Save the guide's pictures there.", "DIR"},
                     {"suffix", "Ending of the pictures' names.", "TEXT"}});
  parser.process(app);
  return modrake::test::Run(parser.value("plugins").toInt(), parser.isSet("fix"),
                            parser.value("screenshots"), parser.value("suffix"));
}
