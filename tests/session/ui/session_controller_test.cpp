// The editor online with a virtual board: connect, a live pose reaching the
// board, play and stop the motion, disconnect.
#include <QProcess>
#include <QtTest>

#include "display/ui/skin_images.h"
#include "pose/show_pose.h"
#include "session/memory_map.h"
#include "session/ui/session_controller.h"
#include "shell/pacing.h"
#include "shell/ui/commands.h"
#include "shell/ui/main_window.h"
#include "shell/undo_commands.h"
#include "support/scripted_answerer.h"
#include "support/temp_dir.h"

using namespace kv;

class SessionControllerTest : public QObject {
  Q_OBJECT

 private slots:
  void connectSendPlayStopDisconnect() {
    testing::TempDir dir;
    qputenv("TAVLINK_VIRTUAL_DIR", QByteArray::fromStdString(dir.path().string()));
    setPacingScale(0.05);
    QProcess board;
    board.start(MARLO_SIM_PATH, {"--socket", "gui-test", "--time-scale", "0.05"});
    QVERIFY(board.waitForStarted(10000));
    QVERIFY(board.waitForReadyRead(20000));
    QVERIFY(board.readLine().startsWith("marlo-sim: listening"));

    testing::ScriptedAnswerer answers;  // every question gets the cautious answer
    EditorState state;
    state.project.modelName = u"DemoHumanoid";  // the virtual board's robot
    for (int i = 0; i < kSliderCount; ++i) {
      state.sliders.sliders[i].lowerLimit = -1000;
      state.sliders.sliders[i].upperLimit = 1000;
    }
    newMotion(state, 400);
    SkinImages skins;
    {
      MainWindow window(state, skins);
      SessionController controller(state, window);
      window.show();

      window.runCommand(command::kOnline);
      QTRY_VERIFY_WITH_TIMEOUT(controller.session().connected(), 15000);
      QVERIFY(state.status.has(status::kOnline));
      QVERIFY(window.action(command::kOnline)->isChecked());

      // A pose shown in the editor reaches the board's live pose area.
      PoseValues pose = currentPose(state);
      pose.values[3] = 345;
      showPose(state, pose, kPoseAreaTime, true);
      QTRY_COMPARE_WITH_TIMEOUT(
          int(static_cast<int16_t>(controller.session().access().readBoardWord(board_addr::kLivePose + 2 * 3))), 345,
          10000);

      window.runCommand(command::kPlay);
      QTRY_VERIFY_WITH_TIMEOUT(window.busy(), 10000);
      window.runCommand(command::kStop);
      QTRY_VERIFY_WITH_TIMEOUT(!window.busy(), 10000);

      window.runCommand(command::kOnline);
      QTRY_VERIFY_WITH_TIMEOUT(!controller.session().connectThreadRunning(), 15000);
      QVERIFY(!state.status.has(status::kOnline));
      controller.shutDown();
    }
    // The board carries the project's robot and new enough firmware: no question.
    QCOMPARE(answers.shownIds(), std::vector<int>{});
    board.terminate();
    QVERIFY(board.waitForFinished(10000));
    setPacingScale(1.0);
  }
};

QTEST_MAIN(SessionControllerTest)
#include "session_controller_test.moc"
