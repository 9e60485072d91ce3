// The editor online with a virtual board: connect, a live pose reaching the
// board, play and stop the motion, disconnect; closing while a motion plays.
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

// The virtual board in a private folder, with the editor's pacing scaled to
// its speed; stopped at the end.
class VirtualBoard {
 public:
  VirtualBoard() {
    qputenv("TAVLINK_VIRTUAL_DIR", QByteArray::fromStdString(dir_.path().string()));
    setPacingScale(0.05);
    process_.start(MARLO_SIM_PATH, {"--socket", "gui-test", "--time-scale", "0.05"});
  }
  ~VirtualBoard() {
    process_.terminate();
    process_.waitForFinished(10000);
    setPacingScale(1.0);
  }
  bool listening() {
    return process_.waitForStarted(10000) && process_.waitForReadyRead(20000) &&
           process_.readLine().startsWith("marlo-sim: listening");
  }

 private:
  testing::TempDir dir_;
  QProcess process_;
};

// An editor state with the virtual board's robot and a new motion.
void prepare(EditorState& state) {
  state.project.modelName = u"DemoHumanoid";
  for (int i = 0; i < kSliderCount; ++i) {
    state.sliders.sliders[i].lowerLimit = -1000;
    state.sliders.sliders[i].upperLimit = 1000;
  }
  newMotion(state, 400);
}

class SessionControllerTest : public QObject {
  Q_OBJECT

 private slots:
  void connectSendPlayStopDisconnect() {
    VirtualBoard board;
    QVERIFY(board.listening());
    testing::ScriptedAnswerer answers;  // every question gets the cautious answer
    EditorState state;
    prepare(state);
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
  }

  void closingWhilePlayingStopsTheMotionBeforeEndingTheSession() {
    VirtualBoard board;
    QVERIFY(board.listening());
    testing::ScriptedAnswerer answers;
    EditorState state;
    prepare(state);
    state.motion.currentBlock->pose.steps = 60000;  // far longer than the test
    SkinImages skins;
    MainWindow window(state, skins);
    SessionController controller(state, window);
    window.runCommand(command::kOnline);
    QTRY_VERIFY_WITH_TIMEOUT(controller.session().connected(), 15000);
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
