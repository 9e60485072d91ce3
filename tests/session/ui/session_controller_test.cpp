// The editor online with a virtual board: connect, a live pose reaching the
// board, play and stop the motion, disconnect; what playback owns while it
// plays; when the status window opens; closing while a motion plays.
#include <QProcess>
#include <QSpinBox>
#include <QtTest>

#include "display/ui/skin_images.h"
#include "motion/motion.h"
#include "pose/show_pose.h"
#include "pose/ui/pose_area.h"
#include "session/memory_map.h"
#include "session/ui/session_controller.h"
#include "session/ui/status_window.h"
#include "shell/pacing.h"
#include "shell/ui/commands.h"
#include "shell/ui/main_window.h"
#include "shell/undo_commands.h"
#include "support/scripted_answerer.h"
#include "support/virtual_board_process.h"
#include "support/temp_dir.h"

using namespace kv;

namespace {

// The virtual board's robot with a new motion, every slider within ±1000.
void prepare(EditorState& state) {
  state.project.modelName = u"DemoHumanoid";
  for (int i = 0; i < kSliderCount; ++i) {
    state.sliders.sliders[i].lowerLimit = -1000;
    state.sliders.sliders[i].upperLimit = 1000;
  }
  newMotion(state, 400);
}

bool goOnline(MainWindow& window, SessionController& controller) {
  window.runCommand(command::kOnline);
  return QTest::qWaitFor([&] { return controller.session().connected(); }, 15000);
}

bool goOffline(MainWindow& window, SessionController& controller) {
  window.runCommand(command::kOnline);
  return QTest::qWaitFor([&] { return !controller.session().connectThreadRunning(); }, 15000);
}

}  // namespace

class SessionControllerTest : public QObject {
  Q_OBJECT

  testing::VirtualBoardProcess board_;

 private slots:
  void initTestCase() { QVERIFY(board_.start(MARLO_SIM_PATH, "gui-test")); }
  void cleanupTestCase() { QVERIFY(board_.stop()); }

  void connectSendPlayStopDisconnect() {
    testing::ScriptedAnswerer answers;  // every question gets the cautious answer
    EditorState state;
    prepare(state);
    SkinImages skins;
    {
      MainWindow window(state, skins);
      SessionController controller(state, window);
      window.show();
      // The record as loaded after the controller was made.
      state.cpuSettings.controlPeriod = 1;
      state.cpuSettings.servos[2].name = u"Neck";

      QVERIFY(goOnline(window, controller));
      QVERIFY(state.status.has(status::kOnline));
      // The board's settings replace the record's; the names only the editor
      // keeps stay, also when edited after the connection was made.
      QTRY_VERIFY_WITH_TIMEOUT(state.cpuSettings.controlPeriod != 1, 10000);
      QCOMPARE(state.cpuSettings.servos[2].name, std::u16string(u"Neck"));
      state.cpuSettings.servos[2].name = u"Head";
      controller.boardSettingsRead();  // as at a reconnection
      QCoreApplication::processEvents();
      QCOMPARE(state.cpuSettings.servos[2].name, std::u16string(u"Head"));
      // The mark follows the connect thread's news, queued to the window.
      QTRY_VERIFY_WITH_TIMEOUT(window.action(command::kOnline)->isChecked(), 10000);

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

      QVERIFY(goOffline(window, controller));
      QVERIFY(!state.status.has(status::kOnline));
      controller.shutDown();
    }
    // The board carries the project's robot and new enough firmware: no question.
    QCOMPARE(answers.shownIds(), std::vector<int>{});
  }

  void playbackOwnsTheRobotButServoPowerStillSwitches() {
    testing::ScriptedAnswerer answers;
    EditorState state;
    prepare(state);
    state.display.toolbarButtons.fill(true);
    // start -> POSE 0 -> loop (back to POSE 0 for ever) -> end
    MotionBlock* pose = state.motion.currentBlock;
    MotionBlock* end = pose->link[kNextLink];
    MotionBlock* loop = createBlock(state.motion, KindLoop, nullptr, Point{50, 200}, state.basePoses);
    pose->link[kNextLink] = loop;
    loop->link[kNextLink] = end;
    loop->link[kBranchLink] = pose;
    SkinImages skins;
    {
      MainWindow window(state, skins);
      SessionController controller(state, window);
      window.show();
      QVERIFY(goOnline(window, controller));
      window.findChild<QSpinBox*>("loopCount")->setValue(-1);

      window.runCommand(command::kPlay);
      QTRY_VERIFY_WITH_TIMEOUT(window.busy(), 10000);
      QVERIFY(!window.poseArea()->isEnabled());
      // Servo power goes to the board with playback's own transfers.
      window.runCommand(command::kServosOn);
      QTRY_VERIFY_WITH_TIMEOUT(state.status.has(status::kServosOn), 10000);
      // The session is not ended under a playing motion.
      window.runCommand(command::kOnline);
      QCOMPARE(answers.shownIds(), std::vector<int>{40303});
      QVERIFY(controller.session().connected());
      QVERIFY(window.busy());

      window.runCommand(command::kStop);
      QTRY_VERIFY_WITH_TIMEOUT(!window.busy(), 10000);
      QVERIFY(window.poseArea()->isEnabled());
      QVERIFY(goOffline(window, controller));
      controller.shutDown();
    }
    QCOMPARE(answers.shownIds(), std::vector<int>{40303});
  }

  void statusWindowOpensAsASessionStartsAndStaysClosedWhenClosed() {
    testing::ScriptedAnswerer answers;
    EditorState state;
    prepare(state);
    state.status.set(status::kStatusWindow, true);
    SkinImages skins;
    {
      MainWindow window(state, skins);
      SessionController controller(state, window);
      window.show();
      QVERIFY(goOnline(window, controller));
      QTRY_VERIFY_WITH_TIMEOUT(StatusWindow::current() != nullptr, 10000);

      StatusWindow::current()->close();  // the user closes it
      QTRY_VERIFY(StatusWindow::current() == nullptr);
      window.runCommand(command::kServosOn);  // a change within the same session
      QTRY_VERIFY_WITH_TIMEOUT(state.status.has(status::kServosOn), 10000);
      QCoreApplication::sendPostedEvents();
      QCoreApplication::processEvents();
      QVERIFY(StatusWindow::current() == nullptr);

      // The next session opens it again.
      QVERIFY(goOffline(window, controller));
      QVERIFY(goOnline(window, controller));
      QTRY_VERIFY_WITH_TIMEOUT(StatusWindow::current() != nullptr, 10000);
      QVERIFY(goOffline(window, controller));
      QTRY_VERIFY_WITH_TIMEOUT(StatusWindow::current() == nullptr, 10000);
      controller.shutDown();
    }
    QCOMPARE(answers.shownIds(), std::vector<int>{});
  }

  void closingWhilePlayingStopsTheMotionBeforeEndingTheSession() {
    testing::ScriptedAnswerer answers;
    EditorState state;
    prepare(state);
    state.motion.currentBlock->pose.steps = 60000;  // far longer than the test
    SkinImages skins;
    MainWindow window(state, skins);
    SessionController controller(state, window);
    QVERIFY(goOnline(window, controller));
    window.runCommand(command::kPlay);
    QTRY_VERIFY_WITH_TIMEOUT(controller.session().linkState().playbackOwnsLink(), 10000);
    QVERIFY(window.busy());

    controller.shutDown();
    QVERIFY(!controller.playback().threadRunning());
    QVERIFY(!controller.session().connectThreadRunning());
    QVERIFY(!state.status.has(status::kOnline));
    QCOMPARE(answers.shownIds(), std::vector<int>{});  // no 40003: the session ended
  }
};

QTEST_MAIN(SessionControllerTest)
#include "session_controller_test.moc"
