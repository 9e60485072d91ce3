// The main window on the offscreen platform: title, menus, centre bar,
// closing, dropped files and message boxes.
#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QToolBar>
#include <QtTest>
#include <atomic>
#include <thread>

#include "display/ui/skin_images.h"
#include "motion/ui/motion_area.h"
#include "pose/ui/pose_area.h"
#include "session/ui/session_controller.h"
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
  std::unique_ptr<SessionController> session;  // registers the board's commands, never connects

  Window() {
    state.project.modelName = u"DemoHumanoid";
    state.status.set(status::kToolbar, true);
    state.display.toolbarButtons.fill(true);
    window = std::make_unique<MainWindow>(state, skins);
    session = std::make_unique<SessionController>(state, *window);
    window->resize(1000, 700);
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
  }

  QWidget* client() const { return window->centralWidget(); }

  // Keeps a registered command as it is but gives it another job.
  void stubJob(int id, std::function<void()> job) {
    const command::CommandRegistry::Command* registered = window->commands().find(id);
    QVERIFY2(registered, qPrintable(QString::number(id)));
    window->commands().add(registered->spec, std::move(job));
  }

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
  void anEditMarksTheTitleAndSavingClearsIt() {
    testing::ScriptedAnswerer answers;
    testing::TempDir dir;
    Window w;
    QCOMPARE(w.window->windowTitle(), QString::fromUtf8("DemoHumanoid -Quorvex2-  [新しいモーション]"));
    newMotion(w.state, 300);
    w.state.motion.file = dir / "walk.txt";
    w.window->updateTitle();
    const QString saved("DemoHumanoid -Quorvex2-  [walk.txt]");
    QCOMPARE(w.window->windowTitle(), saved);

    w.window->activateWindow();
    QTest::keyClick(w.window.get(), Qt::Key_Insert);  // splits the pose: an edit
    QCOMPARE(w.window->windowTitle(), saved + " *");
    QVERIFY(w.state.status.has(status::kModified));
    QTest::keyClick(w.window.get(), Qt::Key_S, Qt::ControlModifier);
    QVERIFY(std::filesystem::exists(dir / "walk.txt"));
    QCOMPARE(w.window->windowTitle(), saved);
    QVERIFY(!w.state.status.has(status::kModified));
    QVERIFY(answers.shownIds().empty());
  }

  void statusBitsSetByAnyPartShowInTheMenusAndToolbar() {
    Window w;
    QVERIFY(!w.window->action(command::kServosOn)->isChecked());
    setStatus(w.state, status::kServosOn | status::kOnline, true);
    QVERIFY(w.window->action(command::kServosOn)->isChecked());
    QVERIFY(w.window->action(command::kOnline)->isChecked());
    setStatus(w.state, status::kToolbar, false);
    QVERIFY(!w.window->toolbar()->isVisible());
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

  void theWindowKeepsItsSizeFromOneRunToTheNext() {
    EditorState state;
    state.status.set(status::kToolbar, true);
    state.display.toolbarButtons.fill(true);
    state.sliders.clientWidth = 900;
    state.sliders.clientHeight = 500;
    SkinImages skins;
    QSize first;
    // Two runs with the toolbar, then one after it was switched off.
    for (int run = 0; run < 3; ++run) {
      state.status.set(status::kToolbar, run < 2);
      MainWindow window(state, skins);
      window.show();
      QVERIFY(QTest::qWaitForWindowExposed(&window));
      QCOMPARE(window.toolbar()->isVisible(), run < 2);
      if (run == 0) first = window.size();
      QCOMPARE(window.size(), first);
      // The client area holds the toolbar and both areas below the menu bar.
      QCOMPARE(window.height() - window.menuBar()->height(), 500);
      QCOMPARE(window.centralWidget()->height(), 500 - (run < 2 ? window.toolbar()->height() : 0));
      window.runCommand(command::kExit);
    }
    QCOMPARE(state.sliders.clientWidth, 900);
    QCOMPARE(state.sliders.clientHeight, 500);
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
      setStatus(w.state, status::kModified, true);
      answers.answerNext(MessageAnswer::Cancel);
      QVERIFY(!w.window->close());  // Cancel keeps the window
      QCOMPARE(answers.shownIds(), std::vector<int>{40002});
      answers.answerNext(MessageAnswer::No);
      QVERIFY(w.window->close());
      QCOMPARE(answers.shownIds(), (std::vector<int>{40002, 40002}));
    }
    {
      Window w;
      setStatus(w.state, status::kModified, true);
      w.window->runCommand(command::kExit);
      QVERIFY(!w.window->isVisible());
      QCOMPARE(answers.shownIds().size(), 2u);
    }
  }

  void aCancelledSaveKeepsTheEdits() {
    testing::ScriptedAnswerer answers;
    Window w;
    setStatus(w.state, status::kModified, true);
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

  // The block keys reach the motion through the window's keys, whatever
  // has the focus: start -> P -> end becomes start -> P -> P2 -> B -> P3 -> end.
  void blockKeysEditAndStepThroughTheWindow() {
    Window w;
    newMotion(w.state, 300);
    Motion& motion = w.state.motion;
    MotionBlock* p = motion.currentBlock;
    auto inMotion = [&motion](const MotionBlock* block) {
      return std::any_of(motion.blocks.begin(), motion.blocks.end(), [block](const auto& b) { return b.get() == block; });
    };
    QWidget* window = w.window.get();
    w.window->activateWindow();
    w.window->motionArea()->setFocus();

    QTest::keyClick(window, Qt::Key_Insert);  // split: next to the end block it duplicates
    QCOMPARE(motion.count(), 4);
    MotionBlock* p2 = motion.currentBlock;
    QCOMPARE(p->link[kNextLink], p2);
    w.window->runCommand(command::kAddBranch);
    MotionBlock* branch = p2->link[kNextLink];
    QCOMPARE(branch->kind, KindBranch);
    branch->link[kBranchLink] = p;
    QTest::keyClick(window, Qt::Key_Insert, Qt::ShiftModifier);  // duplicate P2 after it
    QCOMPARE(motion.count(), 6);
    MotionBlock* p3 = motion.currentBlock;
    QCOMPARE(p2->link[kNextLink], p3);
    QCOMPARE(p3->link[kNextLink], branch);

    QTest::keyClick(window, Qt::Key_0, Qt::ControlModifier);
    QCOMPARE(motion.currentBlock, p);
    QTest::keyClick(window, Qt::Key_Space, Qt::ControlModifier);
    QCOMPARE(motion.currentBlock, p2);
    QTest::keyClick(window, Qt::Key_Space, Qt::ControlModifier);
    QCOMPARE(motion.currentBlock, p3);
    QTest::keyClick(window, Qt::Key_Space, Qt::ShiftModifier);  // through the branch's loop back
    QCOMPARE(motion.currentBlock, p);

    QTest::keyClick(window, Qt::Key_Delete);  // nothing selected: the edited pose goes
    QCOMPARE(motion.count(), 5);
    QVERIFY(!inMotion(p));
    p3->flags |= block_flag::kSelected;
    QTest::keyClick(window, Qt::Key_X, Qt::ControlModifier);
    QCOMPARE(motion.count(), 4);
    QVERIFY(!inMotion(p3));
    QCOMPARE(w.state.clipboard.blocks.size(), 1u);
  }

  // Ctrl+A, Ctrl+C and Ctrl+V act on the area under the mouse cursor.
  void selectCopyAndPasteGoToTheAreaUnderTheCursor() {
    Window w;
    w.state.sliders.sliders[3].lowerLimit = -100;
    w.state.sliders.sliders[3].upperLimit = 100;
    newMotion(w.state, 300);
    Motion& motion = w.state.motion;
    w.window->activateWindow();
    auto key = [&](Qt::Key k) { QTest::keyClick(w.window.get(), k, Qt::ControlModifier); };
    auto allBlocksSelected = [&] {
      return std::all_of(motion.blocks.begin(), motion.blocks.end(), [](const auto& b) { return b->selected(); });
    };

    QCursor::setPos(w.window->poseArea()->mapToGlobal(QPoint(20, 20)));
    motion.currentBlock->pose.values[3] = 77;
    key(Qt::Key_C);
    QVERIFY(w.state.jointClipboard.entries[3].filled);
    QCOMPARE(int(w.state.jointClipboard.entries[3].value), 77);
    key(Qt::Key_A);
    QVERIFY(w.state.sliders.sliders[3].selected());
    QVERIFY(!allBlocksSelected());
    QVERIFY(w.state.clipboard.blocks.empty());

    QCursor::setPos(w.window->motionArea()->mapToGlobal(QPoint(40, 40)));
    key(Qt::Key_A);
    QVERIFY(allBlocksSelected());
    key(Qt::Key_C);
    QCOMPARE(w.state.clipboard.blocks.size(), 2u);  // the pose and the end; the start is never copied
    key(Qt::Key_V);
    QCOMPARE(motion.count(), 5);

    QCursor::setPos(w.window->poseArea()->mapToGlobal(QPoint(20, 20)));
    motion.currentBlock->pose.values[3] = 0;
    key(Qt::Key_V);
    QCOMPARE(int(motion.currentBlock->pose.values[3]), 77);
    QCOMPARE(motion.count(), 5);
  }

  void droppedFilesByExtension() {
    QCOMPARE(classifyDroppedFile("/robots/MOTION.TXT"), DroppedFileKind::Motion);
    QCOMPARE(classifyDroppedFile("/robots/txt/walk.bmp"), DroppedFileKind::Unsupported);
    QCOMPARE(classifyDroppedFile("/robots/Robo.Rpj"), DroppedFileKind::Project);
    QCOMPARE(classifyDroppedFile("/robots/x.rpj.bak"), DroppedFileKind::Unsupported);
  }

  void aCommandIsOneRegistrationReachedFromItsMenuAndKeys() {
    testing::ScriptedAnswerer answers;
    Window w;
    int ran = 0;
    QAction* added = w.window->commands().add({.id = 40400,
                                               .caption = "テスト",
                                               .keys = {QKeySequence("Ctrl+K")},
                                               .place = {command::Menu::Motion, 150}},
                                              [&ran] { ++ran; });
    // In the motion menu after the last add-block command, before the line
    // that starts the next group.
    QMenu* motion = nullptr;
    for (QAction* a : w.window->menuBar()->actions())
      if (a->text() == QString::fromUtf8("モーション(&M)")) motion = a->menu();
    QVERIFY(motion);
    const QList<QAction*> items = motion->actions();
    const qsizetype at = items.indexOf(added);
    QVERIFY(at > 0 && at + 1 < items.size());
    QCOMPARE(items[at - 1], w.window->action(command::kAddEnd));
    QVERIFY(items[at + 1]->isSeparator());
    QCOMPARE(items[at + 2], w.window->action(command::kSplitPose));

    w.window->activateWindow();
    QTest::keyClick(w.window.get(), Qt::Key_K, Qt::ControlModifier);
    added->trigger();
    QCOMPARE(ran, 2);
    // Like every command not marked otherwise it waits while a motion plays.
    w.window->setBusy(true);
    QVERIFY(!added->isEnabled());
    w.window->runCommand(40400);
    QCOMPARE(ran, 2);
    QVERIFY(answers.shownIds().empty());
  }

  void placeholdersSayTheyAreNotAvailableUntilTheirSubsystemRegisters() {
    testing::ScriptedAnswerer answers;
    Window w;
    QVERIFY(w.window->action(command::kModeSwitchSettings)->isEnabled());
    w.window->runCommand(command::kModeSwitchSettings);
    w.window->runCommand(40401);  // never registered
    QCOMPARE(answers.shownIds(), (std::vector<int>{49000, 49000}));
    int ran = 0;
    QAction* before = w.window->action(command::kModeSwitchSettings);
    w.window->commands().add({.id = command::kModeSwitchSettings, .caption = "モードスイッチ/音声の設定・書き込み...",
                              .place = {command::Menu::Settings, 110}},
                             [&ran] { ++ran; });
    QCOMPARE(w.window->action(command::kModeSwitchSettings), before);  // the menu item stays the same
    w.window->runCommand(command::kModeSwitchSettings);
    QCOMPARE(ran, 1);
    QCOMPARE(answers.shownIds().size(), 2u);
  }

  void boardCommandsSayOfflineAndStopOnlyRunsWhilePlaying() {
    testing::ScriptedAnswerer answers;
    Window w;
    std::vector<int> ran;
    w.window->commands().add({.id = 40402, .caption = "ボード", .flags = command::kNeedsBoard},
                             [&ran] { ran.push_back(40402); });
    w.window->commands().add({.id = command::kStop,
                              .caption = "モーションの停止",
                              .flags = command::kRunsWhilePlaying | command::kOnlyWhilePlaying},
                             [&ran] { ran.push_back(command::kStop); });
    w.window->runCommand(40402);
    QCOMPARE(answers.shownIds(), std::vector<int>{40006});
    setStatus(w.state, status::kOnline, true);
    w.window->runCommand(40402);

    QVERIFY(!w.window->action(command::kStop)->isEnabled());
    w.window->runCommand(command::kStop);
    w.window->setBusy(true);
    QVERIFY(w.window->action(command::kStop)->isEnabled());
    w.window->runCommand(command::kStop);
    QCOMPARE(ran, (std::vector<int>{40402, command::kStop}));
    QCOMPARE(answers.shownIds(), std::vector<int>{40006});
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

    SessionController session(state, window);
    std::vector<int> registered;
    for (const auto& [id, command] : window.commands().commands())
      if (command.job) registered.push_back(id);
    QVERIFY(registered.size() > 50);
    for (int id : registered)
      QVERIFY2(window.action(id)->isEnabled() == (id == command::kExit || id == command::kOpenProject),
               qPrintable(QString::number(id)));
    QVERIFY(!window.poseArea()->isEnabled());
    QVERIFY(!window.motionArea()->isEnabled());
    // The empty slider table is not drawn: the pose area shows only its
    // background.
    window.resize(600, 400);
    window.show();
    const QImage area = window.poseArea()->grab().toImage();
    QVERIFY(area.width() > 100 && area.height() > 100);
    int foreign = 0;
    for (int y = 0; y < area.height(); ++y)
      for (int x = 0; x < area.width(); ++x) foreign += area.pixel(x, y) != area.pixel(0, 0);
    QCOMPARE(foreign, 0);

    // Commands that would write the project's files, edit or go online do
    // nothing, even when run directly.
    int ran = 0;
    for (int id : registered) {
      if (id == command::kExit || id == command::kOpenProject) continue;
      window.commands().add(window.commands().find(id)->spec, [&ran] { ++ran; });
      window.runCommand(id);
    }
    window.runCommand(command::kFirstBasePose);
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
      w.stubJob(id, [&ran, id] { ran.push_back(id); });
    int opened = 0;
    w.window->openMotionFile = [&opened](const std::filesystem::path&) { ++opened; };

    setStatus(w.state, status::kSpaceServoOff, true);
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

  void spaceSwitchesTheServosOffOnlyWithItsOptionElsePressesTheFocusedButton() {
    Window w;
    std::vector<int> ran;
    for (int id : {command::kServosOffBySpace, command::kApplyTimeOverride})
      w.stubJob(id, [&ran, id] { ran.push_back(id); });
    auto* apply = w.window->findChild<QPushButton*>("applyTimeOverride");
    QVERIFY(apply);
    w.window->activateWindow();
    apply->setFocus();
    QTest::keyClick(apply, Qt::Key_Space);
    QCOMPARE(ran, std::vector<int>{command::kApplyTimeOverride});

    setStatus(w.state, status::kSpaceServoOff, true);
    QTest::keyClick(apply, Qt::Key_Space);
    QCOMPARE(ran, (std::vector<int>{command::kApplyTimeOverride, command::kServosOffBySpace}));
    setStatus(w.state, status::kSpaceServoOff, false);
    QTest::keyClick(apply, Qt::Key_Space);
    QCOMPARE(ran, (std::vector<int>{command::kApplyTimeOverride, command::kServosOffBySpace,
                                    command::kApplyTimeOverride}));
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
