// Drives the CPU settings dialog and the servo position correction on the
// offscreen platform, the correction also against the virtual board.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QtTest>

#include "board/ui/board_command_set.h"
#include "board/ui/cpu_settings_dialog.h"
#include "board/ui/device_list_page.h"
#include "display/ui/skin_images.h"
#include "motion/motion.h"
#include "pose/show_pose.h"
#include "session/memory_map.h"
#include "session/ui/session_controller.h"
#include "shell/editor_state.h"
#include "shell/pacing.h"
#include "shell/ui/commands.h"
#include "shell/ui/main_window.h"
#include "shell/undo_commands.h"
#include "support/dialog_control.h"
#include "support/scripted_answerer.h"
#include "support/virtual_board_process.h"
#include "support/temp_dir.h"

using namespace kv;

namespace {

using testing::control;

QWidget& page(QWidget& dialog, int number) { return *control<QWidget>(dialog, number); }

void setText(QWidget& parent, int number, const QString& text) {
  QLineEdit* edit = control<QLineEdit>(parent, number);
  edit->clear();
  edit->insert(text);
}

void click(QWidget& dialog, int number) { QTest::mouseClick(control<QPushButton>(dialog, number), Qt::LeftButton); }

// A board with new firmware and one servo set up on channel 0.
void prepare(EditorState& state) {
  state.project.modelName = u"DemoHumanoid";
  CpuSettings& s = state.cpuSettings;
  s.controlPeriod = 10000;
  s.batteryAlarm = 6500;
  s.batteryShutdown = 6000;
  s.firmwareVersion = 0x0100;
  s.firmwareRevision = 13;
  s.cn7Type = 2;
  ServoRecord& servo = s.servos[0];
  setServoName(servo, u"Neck");
  servo.base = 30000;
  servo.coefficient = 16384;
  servo.lowerLimit = -1000;
  servo.upperLimit = 1000;
}

struct Recorder {
  int sent = 0;
  int toggles = 0;
  CpuSettings lastSent;
  CpuSettingsActions actions() {
    return {[this](const CpuSettings& s) {
              ++sent;
              lastSent = s;
              return 1;
            },
            [this] { ++toggles; }};
  }
};

// The virtual board's robot with a new motion, every slider within ±1000,
// and base pose 0 active.
void prepareRobot(EditorState& state) {
  state.project.modelName = u"DemoHumanoid";
  for (int i = 0; i < kSliderCount; ++i) {
    state.sliders.sliders[i].lowerLimit = -1000;
    state.sliders.sliders[i].upperLimit = 1000;
  }
  newMotion(state, 400);
  BasePose& home = state.basePoses.entries[0];
  home.name = u"Home";
  home.valid = true;
  home.values[0] = 400;
  home.sliderEnabled.fill(true);
  state.basePoses.current = 0;
}

}  // namespace

class CpuSettingsDialogTest : public QObject {
  Q_OBJECT

  testing::VirtualBoardProcess board_;

 private slots:
  void initTestCase() { QVERIFY(board_.start(MARLO_SIM_PATH, "cpu-settings-test")); }
  void cleanupTestCase() { QVERIFY(board_.stop()); }

  void editsEachPageAndAppliesThemToTheRecordAndTheBoard() {
    testing::ScriptedAnswerer answers;
    answers.answerNext(MessageAnswer::Yes);
    EditorState state;
    prepare(state);
    Recorder recorder;
    CpuSettingsDialog dialog(state, recorder.actions());
    dialog.show();
    QWidget& basic = page(dialog, 140);
    QWidget& servo = page(dialog, 166);
    // The third tab is the expansion device list over the same working copy.
    QVERIFY(qobject_cast<DeviceListPage*>(control<QTabWidget>(dialog, 1158)->widget(2)));

    QCOMPARE(control<QLineEdit>(basic, 1644)->text(), QString("6.5000"));
    setText(basic, 1646, "20000");
    control<QSpinBox>(basic, 1645)->setValue(-1);
    setText(basic, 1644, "6.8000");
    setText(basic, 1641, "4.0040");
    control<QSpinBox>(basic, 1642)->setValue(5);
    control<QComboBox>(basic, 1649)->setCurrentIndex(2);
    // The interpolation type goes into the working copy at once, the record waits for Apply.
    QCOMPARE(int(dialog.working().interpolation[5]), 2);
    QCOMPARE(int(state.cpuSettings.interpolation[5]), 0);
    control<QCheckBox>(basic, 1162)->setChecked(true);
    control<QSpinBox>(basic, 1650)->setValue(70);
    control<QCheckBox>(basic, 1163)->setChecked(true);
    control<QSpinBox>(basic, 1648)->setValue(3);
    control<QComboBox>(basic, 1841)->setCurrentIndex(3);
    control<QCheckBox>(basic, 1861)->setChecked(true);
    // K-SERVO on CN6 while CN7 has it: CN7 goes back to none.
    control<QComboBox>(basic, 1869)->setCurrentIndex(2);
    QCOMPARE(control<QComboBox>(basic, 1870)->currentIndex(), 0);

    QComboBox* channel = control<QComboBox>(servo, 1571);
    QCOMPARE(channel->count(), 30);
    QCOMPARE(channel->itemText(0), QString("CN1-1(00):Neck"));
    QCOMPARE(channel->itemText(29), QString("CN5-6(29):"));
    setText(servo, 1640, "ABCDEFGHIJKLMNOPQ");
    QCOMPARE(control<QLineEdit>(servo, 1640)->text(), QString("ABCDEFGHIJKLMNO"));
    control<QSpinBox>(servo, 1638)->setValue(10);
    control<QSpinBox>(servo, 1650)->setValue(2);
    setText(servo, 1845, "128");
    control<QSpinBox>(servo, 1842)->setValue(4);
    control<QSpinBox>(servo, 1843)->setValue(5);
    control<QComboBox>(servo, 1621)->setCurrentIndex(1);
    setText(servo, 1860, "-32768");
    control<QSpinBox>(servo, 1861)->setValue(6);
    control<QComboBox>(servo, 1624)->setCurrentIndex(2);
    setText(servo, 1607, "-500");
    setText(servo, 1608, "600");
    setText(servo, 1600, "31000");
    setText(servo, 1611, "-20000");
    control<QCheckBox>(servo, 1821)->setChecked(false);
    control<QSpinBox>(servo, 1819)->setValue(63);
    control<QSpinBox>(servo, 1820)->setValue(7);
    // Another channel: the shown one is stored into the working copy first.
    channel->setCurrentIndex(5);
    QCOMPARE(channel->itemText(0), QString("CN1-1(00):ABCDEFGHIJKLMNO"));
    setText(servo, 1600, "12345");
    QCOMPARE(int(state.cpuSettings.servos[0].base), 30000);

    click(dialog, 1);
    QCOMPARE(answers.shownIds(), (std::vector<int>{40106, 40271}));
    QCOMPARE(recorder.sent, 1);
    const CpuSettings& s = state.cpuSettings;
    QCOMPARE(s.controlPeriod, 20000u);
    QCOMPARE(int(s.bootTimer), -1);
    QCOMPARE(int(s.batteryAlarm), 6800);
    QCOMPARE(int(s.batteryShutdown), 4004);
    QCOMPARE(int(s.interpolation[5]), 2);
    QCOMPARE(int(s.voiceOutput), 1);
    QCOMPARE(int(s.voiceVariable), 70);
    QCOMPARE(int(s.amplifier), 0x83);
    QCOMPARE(int(s.padType), 3);
    QCOMPARE(int(s.controllerServoOn), 1);
    QCOMPARE(int(s.cn6Type), 2);
    QCOMPARE(int(s.cn7Type), 0);
    const ServoRecord& first = s.servos[0];
    QVERIFY(servoName(first) == u"ABCDEFGHIJKLMNO");
    QCOMPARE(int(first.powerOnTimer), 10);
    QCOMPARE(int(first.variableA), 2);
    QCOMPARE(int(first.term1Coefficient), 128);
    QCOMPARE(int(first.term1Va), 4);
    QCOMPARE(int(first.term1Vb), 5);
    QCOMPARE(int(first.termCoefficient[2]), -32768);
    QCOMPARE(int(first.termVa[2]), 6);
    QCOMPARE(int(first.validity), 0x81);
    QCOMPARE(int(first.lowerLimit), -500);
    QCOMPARE(int(first.upperLimit), 600);
    QCOMPARE(int(first.base), 31000);
    QCOMPARE(int(first.coefficient), -20000);
    QCOMPARE(int(first.torqueOffVariable), 63);
    QCOMPARE(int(first.torqueOffBits), 7);
    QCOMPARE(int(s.servos[5].base), 12345);  // the channel shown at Apply
    // What went to the board is the record.
    QCOMPARE(int(recorder.lastSent.servos[5].base), 12345);
    QCOMPARE(int(recorder.lastSent.batteryShutdown), 4004);
    // The pages show the stored values again.
    QCOMPARE(control<QLineEdit>(basic, 1641)->text(), QString("4.0040"));
  }

  void refusedEntriesDeclinedApplyAndCloseLeaveTheRecord() {
    testing::ScriptedAnswerer answers;
    EditorState state;
    prepare(state);
    const CpuSettings before = state.cpuSettings;
    Recorder recorder;
    CpuSettingsDialog dialog(state, recorder.actions());
    dialog.show();
    QWidget& basic = page(dialog, 140);
    QWidget& servo = page(dialog, 166);
    auto* tabs = control<QTabWidget>(dialog, 1158);

    // A base out of range keeps the channel and selects the entry.
    setText(servo, 1600, "70000");
    control<QComboBox>(servo, 1571)->setCurrentIndex(2);
    QCOMPARE(answers.shownIds(), std::vector<int>{40151});
    QCOMPARE(control<QComboBox>(servo, 1571)->currentIndex(), 0);
    QCOMPARE(dialog.shownChannel(), 0);
    QCOMPARE(control<QLineEdit>(servo, 1600)->selectedText(), QString("70000"));
    setText(servo, 1600, "30500");

    // Apply: a bad control period is refused and shown on its page.
    setText(basic, 1646, "65536");
    tabs->setCurrentIndex(1);
    answers.answerNext(MessageAnswer::Yes);
    click(dialog, 1);
    QCOMPARE(answers.shownIds(), (std::vector<int>{40151, 40106, 40157}));
    QCOMPARE(tabs->currentIndex(), 0);
    QCOMPARE(control<QLineEdit>(basic, 1646)->selectedText(), QString("65536"));

    // A valid page, but the user says No.
    setText(basic, 1646, "100");
    answers.answerNext(MessageAnswer::No);
    click(dialog, 1);
    QCOMPARE(answers.shownIds().back(), 40106);

    click(dialog, 2);
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QCOMPARE(recorder.sent, 0);
    QCOMPARE(state.cpuSettings.controlPeriod, before.controlPeriod);
    QCOMPARE(int(state.cpuSettings.servos[0].base), int(before.servos[0].base));
  }

  void firmwareFillsItsFieldsAndEnablesItsControls() {
    EditorState state;
    prepare(state);
    state.cpuSettings.firmwareRevision = 12;
    Recorder recorder;
    {
      CpuSettingsDialog dialog(state, recorder.actions());
      QWidget& basic = page(dialog, 140);
      QCOMPARE(control<QLabel>(basic, 1710)->text(), QString("ver 1.000"));
      QCOMPARE(control<QLabel>(basic, 1720)->text(), QString("(12)"));
      QCOMPARE(control<QLabel>(basic, 1703)->text(), QString("DemoHumanoid"));
      QVERIFY(control<QLabel>(basic, 1799)->text().isEmpty());
      QVERIFY(!control<QComboBox>(basic, 1869)->isEnabled());
      QVERIFY(!control<QComboBox>(basic, 1870)->isEnabled());
      QVERIFY(control<QCheckBox>(basic, 1861)->isEnabled());
    }
    state.cpuSettings.firmwareVersion = 0x00F0;
    state.cpuSettings.firmwareRevision = 7;
    CpuSettingsDialog dialog(state, recorder.actions());
    QWidget& basic = page(dialog, 140);
    QVERIFY(!control<QCheckBox>(basic, 1861)->isEnabled());
    QVERIFY(control<QLabel>(basic, 1799)->text().contains("ver 1.0 (2)"));
  }

  void remembersPositionAndTabAndPostsTheServoCommand() {
    EditorState state;
    prepare(state);
    Recorder recorder;
    {
      CpuSettingsDialog dialog(state, recorder.actions());
      auto* tabs = control<QTabWidget>(dialog, 1158);
      QCOMPARE(tabs->count(), 3);
      QCOMPARE(tabs->widget(2)->objectName(), QString("137"));
      dialog.show();
      tabs->setCurrentIndex(1);
      dialog.move(130, 140);
      click(dialog, 1298);
      QCOMPARE(recorder.toggles, 1);
      click(dialog, 2);
    }
    CpuSettingsDialog dialog(state, recorder.actions());
    QCOMPARE(control<QTabWidget>(dialog, 1158)->currentIndex(), 1);
    QCOMPARE(dialog.pos(), QPoint(130, 140));
  }

  void correctionRefusesWithoutABoard() {
    testing::ScriptedAnswerer answers;
    EditorState state;
    prepareRobot(state);
    prepare(state);
    state.basePoses.entries[0].valid = false;
    SkinImages skins;
    MainWindow window(state, skins);
    SessionController controller(state, window);
    addBoardCommands(window, state, controller.session());

    window.runCommand(command::kServoCorrection);
    QCOMPARE(answers.shownIds(), std::vector<int>{40006});
    // The window's mark says online, but the session has no board: the
    // correction itself refuses too (its refusals and a failed write are
    // covered by the core test).
    setStatus(state, status::kOnline, true);
    window.runCommand(command::kServoCorrection);
    QCOMPARE(answers.shownIds(), (std::vector<int>{40006, 40006}));
    QCOMPARE(int(state.cpuSettings.servos[0].base), 30000);
    setStatus(state, status::kOnline, false);
    controller.shutDown();
  }

  void correctionShiftsTheBasesOnTheBoard() {
    testing::ScriptedAnswerer answers;
    EditorState state;
    prepareRobot(state);
    SkinImages skins;
    MainWindow window(state, skins);
    SessionController controller(state, window);
    addBoardCommands(window, state, controller.session());
    window.show();

    window.runCommand(command::kOnline);
    QVERIFY(QTest::qWaitFor([&] { return controller.session().connected(); }, 15000));
    // The board's settings replace the record as the session starts.
    QTRY_VERIFY_WITH_TIMEOUT(state.cpuSettings.firmwareRevision != 0, 10000);
    ServoRecord& servo = state.cpuSettings.servos[0];
    servo.variableA = 0;
    servo.term1Coefficient = 0;
    servo.base = 30000;
    servo.coefficient = 16384;
    servo.lowerLimit = -1000;
    servo.upperLimit = 1000;
    window.runCommand(command::kServosOn);
    QTRY_VERIFY_WITH_TIMEOUT(state.status.has(status::kServosOn), 10000);
    // The robot stands at the pose area's pose: slider 0 at 0.
    QTRY_COMPARE_WITH_TIMEOUT(int(controller.session().liveSnapshot().boardValues[0]), 0, 10000);

    answers.answerNext(MessageAnswer::Yes);
    window.runCommand(command::kServoCorrection);
    QCOMPARE(answers.shownIds(), (std::vector<int>{40036, 40067, 40271}));
    // 0 * 16384 / 32768 - 400 * 16384 / 32768 = -200.
    QCOMPARE(int(state.cpuSettings.servos[0].base), 29800);
    QCOMPARE(controller.session().access().readBoardWord(board_addr::kServoTableA + 4), 29800);
    QVERIFY(state.status.has(status::kServosOn));
    // The pose area now holds the base pose.
    QCOMPARE(int(currentPose(state).values[0]), 400);

    // The command opens the dialog on the record; Apply reaches the board.
    answers.answerNext(MessageAnswer::Yes);
    QTimer::singleShot(0, [] {
      QWidget* dialog = QApplication::activeModalWidget();
      QVERIFY(dialog && dialog->objectName() == "139");
      QCOMPARE(control<QLineEdit>(page(*dialog, 166), 1600)->text(), QString("29800"));
      setText(page(*dialog, 140), 1646, "12000");
      click(*dialog, 1);
      static_cast<QDialog*>(dialog)->reject();
    });
    window.runCommand(command::kCpuSettings);
    QCOMPARE(answers.shownIds(), (std::vector<int>{40036, 40067, 40271, 40106, 40271}));
    QCOMPARE(controller.session().access().readBoardWord(board_addr::kControlPeriod), 12000);

    window.runCommand(command::kOnline);
    QVERIFY(QTest::qWaitFor([&] { return !controller.session().connectThreadRunning(); }, 15000));
    controller.shutDown();
  }
};

QTEST_MAIN(CpuSettingsDialogTest)
#include "cpu_settings_dialog_test.moc"
