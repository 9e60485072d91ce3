// The main window on the offscreen platform: title, menus, centre bar,
// closing, dropped files and message boxes.
#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QTimer>
#include <QToolBar>
#include <QtTest>
#include <atomic>
#include <thread>

#include "display/ui/skin_images.h"
#include "motion/ui/motion_area.h"
#include "pose/ui/pose_area.h"
#include "shell/string_table.h"
#include "shell/ui/commands.h"
#include "shell/ui/main_window.h"
#include "shell/ui/message_box.h"
#include "shell/ui/qt_text.h"
#include "motion/motion_file.h"
#include "motion/ui/motion_area.h"
#include "shell/undo_commands.h"
#include "support/scripted_answerer.h"
#include "support/temp_dir.h"

using namespace kv;

namespace {

// Clicks `button` of the message box for string `stringId` once it is shown.
void clickWhenShown(int stringId, QMessageBox::StandardButton button, QString* seenText) {
  auto* timer = new QTimer;
  QObject::connect(timer, &QTimer::timeout, [=] {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
      auto* box = qobject_cast<QMessageBox*>(widget);
      if (!box || !box->isVisible() || box->objectName() != QString::number(stringId)) continue;
      *seenText = box->text() + "|" + box->windowTitle();
      box->button(button)->click();
      timer->stop();
      timer->deleteLater();
      return;
    }
  });
  timer->start(10);
}

struct Window {
  EditorState state;
  SkinImages skins;
  std::unique_ptr<MainWindow> window;

  Window() {
    state.project.modelName = u"DemoHumanoid";
    state.status.set(status::kToolbar, true);
    state.display.toolbarButtons.fill(true);
    window = std::make_unique<MainWindow>(state, skins);
    window->resize(1000, 700);
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
  }

  QWidget* client() const { return window->centralWidget(); }

  void dragBar(int toX) {
    QPoint from(window->centreBarX(), 100);
    QTest::mousePress(client(), Qt::LeftButton, Qt::NoModifier, from);
    QMouseEvent move(QEvent::MouseMove, QPointF(toX, 100), client()->mapToGlobal(QPointF(toX, 100)), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(client(), &move);
    QTest::mouseRelease(client(), Qt::LeftButton, Qt::NoModifier, QPoint(toX, 100));
  }
};

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void titleNamesTheProjectAndMarksChanges() {
    Window w;
    QCOMPARE(w.window->windowTitle(), QString::fromUtf8("DemoHumanoid -Quorvex2-  [新しいモーション]"));
    w.window->setStatus(status::kModified, true);
    QVERIFY(w.window->windowTitle().endsWith(" *"));
    w.window->updateTitle();
    QVERIFY(!w.window->windowTitle().endsWith(" *"));
    QVERIFY(!w.state.status.has(status::kModified));
    QCOMPARE(toQString(mainWindowTitle(w.state, u"walk.txt")), QString("DemoHumanoid -Quorvex2-  [walk.txt]"));
  }

  void toolbarHoldsTheButtonsInOrderWithTheirTooltips() {
    Window w;
    QVERIFY(w.window->toolbar()->isVisible());
    QAction* play = w.window->action(command::kPlay);
    QCOMPARE(play->toolTip(), toQString(loadUiString(40052)));
    QVERIFY(!play->icon().isNull());
    QCOMPARE(w.window->loopCount(), 3);
    QCOMPARE(w.window->timeOverride(), 100);
    QVERIFY(!w.window->action(command::kStop)->isEnabled());
    w.window->setBusy(true);
    QVERIFY(w.window->action(command::kStop)->isEnabled());
    QVERIFY(!w.window->action(command::kMirrorPose)->isEnabled());
    w.window->setBusy(false);
    QVERIFY(w.window->action(command::kMirrorPose)->isEnabled());
  }

  void emptyRecentListShowsOneGreyedItem() {
    Window w;
    QMenu* recent = w.window->findChild<QMenu*>("recentProjects");
    QVERIFY(recent);
    emit recent->aboutToShow();
    QCOMPARE(recent->actions().size(), 1);
    QVERIFY(!recent->actions().first()->isEnabled());
    QCOMPARE(recent->actions().first()->text(), toQString(loadUiString(40282)));
  }

  void centreBarDragClampsAndDoubleClickToggles() {
    Window w;
    w.dragBar(-50);
    QCOMPARE(w.state.sliders.centreBarPosition, 0.05);
    w.dragBar(5000);
    QCOMPARE(w.state.sliders.centreBarPosition, 0.95);
    w.dragBar(w.client()->width() / 2);
    QVERIFY(std::abs(w.state.sliders.centreBarPosition - 0.5) < 0.01);
    QVERIFY(w.window->poseArea()->width() < w.window->motionArea()->x());

    QTest::mouseDClick(w.client(), Qt::LeftButton, Qt::NoModifier, QPoint(w.window->centreBarX(), 50));
    QTRY_COMPARE(w.window->displayedSplit(), 0.95);
    QTest::mouseDClick(w.client(), Qt::LeftButton, Qt::NoModifier, QPoint(w.window->centreBarX(), 50));
    QTRY_COMPARE(w.window->displayedSplit(), w.state.sliders.centreBarPosition);
  }

  void exitDoesNotAskButTheCloseBoxDoes() {
    testing::ScriptedAnswerer answers;
    {
      Window w;
      w.window->setStatus(status::kModified, true);
      answers.answerNext(MessageAnswer::Cancel);
      QVERIFY(!w.window->close());  // Cancel keeps the window
      QCOMPARE(answers.shownIds(), std::vector<int>{40002});
      answers.answerNext(MessageAnswer::No);
      QVERIFY(w.window->close());
      QCOMPARE(answers.shownIds(), (std::vector<int>{40002, 40002}));
    }
    {
      Window w;
      w.window->setStatus(status::kModified, true);
      w.window->runCommand(command::kExit);
      QVERIFY(!w.window->isVisible());
      QCOMPARE(answers.shownIds().size(), 2u);
    }
  }

  void aCancelledSaveKeepsTheEdits() {
    testing::ScriptedAnswerer answers;
    Window w;
    w.window->setStatus(status::kModified, true);
    w.window->saveMotion = [](bool askName) {
      return !askName;  // the user cancels the name prompt
    };
    answers.answerNext(MessageAnswer::Yes);
    QCOMPARE(w.window->askSaveChanges(), MessageAnswer::Cancel);
  }

  void openedMotionIsNamedInTheTitleAndShown() {
    testing::ScriptedAnswerer answers;
    testing::TempDir dir;
    Window w;
    w.state.sliders.sliders[0].lowerLimit = -100;
    w.state.sliders.sliders[0].upperLimit = 100;
    newMotion(w.state, 300);
    w.state.motion.currentBlock->pose.values[0] = 42;
    QVERIFY(writeMotionFile(dir / "Walk.TXT", w.state.motion.blocks, motionFileContext(w.state, {})));
    w.state.motion.currentBlock->pose.values[0] = 0;
    w.window->openMotionFile(dir / "Walk.TXT");
    QVERIFY(w.window->windowTitle().endsWith("[Walk.TXT]"));
    QCOMPARE(int(w.state.motion.currentBlock->pose.values[0]), 42);
    QVERIFY(answers.shownIds().empty());
  }

  void ctrlCCopiesJointValuesOverThePoseArea() {
    Window w;
    w.state.sliders.sliders[3].lowerLimit = -100;
    w.state.sliders.sliders[3].upperLimit = 100;
    newMotion(w.state, 300);
    w.state.motion.currentBlock->pose.values[3] = 77;
    QCursor::setPos(w.window->poseArea()->mapToGlobal(QPoint(20, 20)));
    w.window->activateWindow();
    QTest::keyClick(w.window.get(), Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(int(w.state.jointClipboard.entries[3].value), 77);
    QVERIFY(w.state.jointClipboard.entries[3].filled);
  }

  void droppedFilesByExtension() {
    QCOMPARE(classifyDroppedFile("/robots/MOTION.TXT"), DroppedFileKind::Motion);
    QCOMPARE(classifyDroppedFile("/robots/txt/walk.bmp"), DroppedFileKind::Unsupported);
    QCOMPARE(classifyDroppedFile("/robots/Robo.Rpj"), DroppedFileKind::Project);
    QCOMPARE(classifyDroppedFile("/robots/x.rpj.bak"), DroppedFileKind::Unsupported);
  }

  void commandsWithoutAJobSayTheyAreNotAvailable() {
    testing::ScriptedAnswerer answers;
    Window w;
    w.window->runCommand(command::kCpuSettings);
    QCOMPARE(answers.shownIds(), std::vector<int>{49000});
    int ran = 0;
    w.window->commandHandlers[command::kCpuSettings] = [&] { ++ran; };
    w.window->runCommand(command::kCpuSettings);
    QCOMPARE(ran, 1);
  }

  void failedStartUpLeavesOnlyAnotherProjectAndExit() {
    testing::ScriptedAnswerer answers;
    EditorState state;
    state.startupFailed = true;
    state.status.set(status::kToolbar, true);
    state.display.toolbarButtons.fill(true);
    SkinImages skins;
    MainWindow window(state, skins);
    QCOMPARE(answers.shownIds(), std::vector<int>{40256});
    auto labels = window.findChildren<QLabel*>();
    QVERIFY(!labels.isEmpty());
    QCOMPARE(labels.first()->text(), toQString(loadUiString(40256)));

    for (const command::CommandInfo& info : command::commandTable())
      QVERIFY2(window.action(info.id)->isEnabled() == (info.id == command::kExit || info.id == command::kOpenProject),
               qPrintable(QString::number(info.id)));
    QVERIFY(!window.poseArea()->isEnabled());
    QVERIFY(!window.motionArea()->isEnabled());

    // Commands that would write the project's files, edit or go online do
    // nothing, even when run directly.
    int ran = 0;
    for (int id : {command::kSliderSettings, command::kBasePoseDialog, command::kFirstBasePose, command::kCpuSettings,
                   command::kOnline, command::kServosOn, command::kNewMotion, command::kSaveMotion, command::kMirrorPose})
      window.commandHandlers[id] = [&ran] { ++ran; };
    for (const auto& [id, job] : window.commandHandlers) window.runCommand(id);
    QCOMPARE(ran, 0);
    window.runCommand(command::kFirstRecentProject);  // the empty recent list opens nothing
    QCOMPARE(answers.shownIds(), std::vector<int>{40256});

    int opened = 0;
    window.openMotionFile = [&opened](const std::filesystem::path&) { ++opened; };
    window.dropFile("/robots/walk.txt");
    QCOMPARE(opened, 0);
  }

  void whilePlayingOnlyStopAndTheBoardCommandsRunAndNoMotionIsDropped() {
    testing::ScriptedAnswerer answers;
    Window w;
    newMotion(w.state, 300);
    std::vector<int> ran;
    for (int id : {command::kOnline, command::kServosOn, command::kServosOffBySpace, command::kStop,
                   command::kMirrorPose, command::kNewMotion})
      w.window->commandHandlers[id] = [&ran, id] { ran.push_back(id); };
    int opened = 0;
    w.window->openMotionFile = [&opened](const std::filesystem::path&) { ++opened; };

    w.window->setBusy(true);
    QVERIFY(!w.window->poseArea()->isEnabled());
    QVERIFY(!w.window->motionArea()->isEnabled());
    QVERIFY(w.window->action(command::kServosOn)->isEnabled());
    QVERIFY(w.window->action(command::kOnline)->isEnabled());
    w.window->activateWindow();
    QTest::keyClick(w.window.get(), Qt::Key_Home);
    QTest::keyClick(w.window.get(), Qt::Key_Space);
    for (int id : {command::kOnline, command::kMirrorPose, command::kNewMotion, command::kStop}) w.window->runCommand(id);
    QCOMPARE(ran, (std::vector<int>{command::kServosOn, command::kServosOffBySpace, command::kOnline, command::kStop}));
    w.window->dropFile("/robots/walk.txt");
    QCOMPARE(opened, 0);

    w.window->setBusy(false);
    QVERIFY(w.window->poseArea()->isEnabled());
    w.window->dropFile("/robots/walk.txt");
    QCOMPARE(opened, 1);
    QVERIFY(answers.shownIds().empty());
  }

  void questionFromAWorkerThreadIsAskedOnTheGuiThread() {
    MessageBoxHandler handler;
    setMessageHandler(&handler);
    QString seen;
    clickWhenShown(40132, QMessageBox::No, &seen);
    std::atomic<bool> done{false};
    MessageAnswer answer = MessageAnswer::Cancel;
    std::thread worker([&] {
      answer = showMessage(40132, MessageIcon::Error, MessageButtons::YesNo, {u"medit_sld.ini"});
      done = true;
    });
    QTRY_VERIFY_WITH_TIMEOUT(done.load(), 10000);
    worker.join();
    QCOMPARE(answer, MessageAnswer::No);
    QVERIFY(seen.contains("[ medit_sld.ini ]"));
    QVERIFY(seen.endsWith("|" + toQString(loadUiString(40001))));
    setMessageHandler(nullptr);
  }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
