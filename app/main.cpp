// kivane2: the motion editor.
#include <QApplication>
#include <QProcess>
#include <QStringList>
#include <cstdlib>

#include "board/ui/board_command_set.h"
#include "display/ui/skin_images.h"
#include "session/ui/session_controller.h"
#include "shell/folders.h"
#include "shell/project.h"
#include "shell/startup.h"
#include "shell/ui/main_window.h"
#include "shell/ui/message_box.h"
#include "shell/ui/screenshot.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  kv::MessageBoxHandler messageBoxes;
  kv::setMessageHandler(&messageBoxes);

  // QApplication has taken its own options out of the arguments by now.
  kv::StartupOptions options;
  options.programFolder = kv::programFolder();
  const QStringList arguments = QCoreApplication::arguments();
  for (qsizetype i = 1; i < arguments.size(); ++i) options.arguments.push_back(arguments[i].toStdString());
  options.localeId = kv::userLocaleId();

  kv::EditorState state;
  kv::SkinImages skins;
  const kv::ProjectLoaders loaders = kv::defaultProjectLoaders(&skins);
  kv::startUp(state, options, loaders);

  int rc;
  {
    kv::MainWindow window(state, skins);
    kv::SessionController board(state, window);
    kv::addBoardCommands(window, state, board.session());
    // Another project always runs in its own editor.
    window.startInstance = [](const QString& projectFile) {
      QProcess::startDetached(QCoreApplication::applicationFilePath(), {projectFile});
    };
    if (const char* screenshot = std::getenv("KIVANE2_SCREENSHOT"); screenshot && *screenshot)
      kv::saveScreenshotWhenPainted(&window, QString::fromLocal8Bit(screenshot));
    window.show();
    rc = app.exec();
    // The window is gone: a question the session's threads still ask is
    // answered cautiously, without a box, while they end.
    messageBoxes.setAnswerWithoutAsking(true);
    board.shutDown();
    messageBoxes.setAnswerWithoutAsking(false);
  }
  kv::shutDown(state, true, loaders);
  kv::setMessageHandler(nullptr);
  return rc;
}
