// Drives the motion area with real mouse and wheel events on the offscreen
// platform; the motion, the current pose and the undo chain follow.
#include <QScrollBar>
#include <QtTest>

#include "motion/block_editing.h"
#include "motion/motion_layout.h"
#include "display/ui/fonts.h"
#include "motion/ui/motion_area.h"
#include "pose/show_pose.h"
#include "shell/undo_commands.h"

using namespace kv;

namespace {

// start -> A -> end, pose B and a branch block apart; A is current.
struct Fixture {
  EditorState state;
  std::unique_ptr<MotionArea> area;
  int poseShown = 0;
  int undoSteps = 0;

  Fixture() {
    state.sliders.sliders[0].lowerLimit = -100;
    state.sliders.sliders[0].upperLimit = 100;
    MotionBlock* start = add(KindStart, 50, 10, u"");
    MotionBlock* a = add(KindPose, 50, 60, u"POSE 0");
    MotionBlock* b = add(KindPose, 320, 300, u"POSE 1");
    b->pose.values[0] = 77;
    add(KindBranch, 50, 200, u"IF");
    MotionBlock* end = add(KindEnd, 50, 420, u"   END   ");
    start->link[kNextLink] = a;
    a->link[kNextLink] = end;
    state.motion.currentBlock = a;
    resetUndo(state);
    state.views.motionChanged = [this] { area->refresh(); };
    state.views.poseChanged = [this] { ++poseShown; };
    state.views.undoChanged = [this] { ++undoSteps; };
    area = std::make_unique<MotionArea>(state);
    area->resize(640, 520);
    area->show();
    QVERIFY(QTest::qWaitForWindowExposed(area.get()));
    area->refresh();
  }

  MotionBlock* add(int kind, int left, int top, const char16_t* name) {
    auto block = std::make_unique<MotionBlock>();
    block->kind = kind;
    block->left = block->right = left;
    block->top = block->bottom = top;
    block->name = name;
    return state.motion.blocks.emplace_back(std::move(block)).get();
  }

  // Blocks by list position: undo replaces the block records.
  MotionBlock* block(int index) const { return blockAt(state.motion, index); }
  MotionBlock* start() const { return block(0); }
  MotionBlock* a() const { return block(1); }
  MotionBlock* b() const { return block(2); }
  MotionBlock* branch() const { return block(3); }
  MotionBlock* end() const { return block(4); }

  QWidget* view() const { return area->viewport(); }
  QPoint client(Point canvas) const { return area->toClient(canvas); }
  QPoint centre(const MotionBlock* block) const {
    // Above the vertical middle, clear of a pose block's time tab.
    return client(Point{block->left + (block->right - block->left) / 2, block->top + (block->bottom - block->top) / 2 - 3});
  }

  void press(QPoint at, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QTest::mousePress(view(), Qt::LeftButton, modifiers, at);
  }
  void drag(QPoint to, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QMouseEvent move(QEvent::MouseMove, QPointF(to), view()->mapToGlobal(QPointF(to)), Qt::NoButton, Qt::LeftButton,
                     modifiers);
    QApplication::sendEvent(view(), &move);
  }
  void release(QPoint at, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QTest::mouseRelease(view(), Qt::LeftButton, modifiers, at);
  }
  void doubleClick(QPoint at) {
    QTest::mouseClick(view(), Qt::LeftButton, Qt::NoModifier, at);
    QMouseEvent event(QEvent::MouseButtonDblClick, QPointF(at), view()->mapToGlobal(QPointF(at)), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view(), &event);
    release(at);
  }
  void wheel(int delta, Qt::KeyboardModifiers modifiers) {
    QPoint at(5, 5);
    QWheelEvent event(at, view()->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton, modifiers,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(view(), &event);
  }
};

}  // namespace

class MotionAreaTest : public QObject {
  Q_OBJECT

 private slots:
  void clickingAPoseBlockSelectsItAndMakesItCurrent() {
    Fixture f;
    f.a()->flags |= block_flag::kSelected;
    f.press(f.centre(f.b()));
    f.release(f.centre(f.b()));
    QVERIFY(f.b()->selected());
    QVERIFY(!f.a()->selected());
    QCOMPARE(f.state.motion.currentBlock, f.b());
    QCOMPARE(currentPose(f.state).values[0], 77);  // what the pose area shows
    QVERIFY(f.poseShown > 0);
    QCOMPARE(f.undoSteps, 0);  // selecting is no edit

    // Ctrl adds to the selection; a non-pose block does not become current.
    f.press(f.centre(f.branch()), Qt::ControlModifier);
    f.release(f.centre(f.branch()), Qt::ControlModifier);
    QVERIFY(f.b()->selected());
    QVERIFY(f.branch()->selected());
    QCOMPARE(f.state.motion.currentBlock, f.b());
  }

  void draggingALinkEndConnectsBlocksAndUndoes() {
    Fixture f;
    const QPoint tip = f.client(routeLink(*f.a(), kNextLink).tip());
    f.press(tip);
    QVERIFY(f.a()->flags & block_flag::kDraggingNext);
    f.drag(QPoint(600, 20));  // empty canvas: the link is open and follows the cursor
    QCOMPARE(f.a()->link[kNextLink], nullptr);
    QCOMPARE(routeLink(*f.a(), kNextLink).tip(), (Point{600, 20}));
    f.drag(f.centre(f.start()));  // never to the start block
    QCOMPARE(f.a()->link[kNextLink], nullptr);
    f.drag(f.centre(f.a()));  // nor to itself
    QCOMPARE(f.a()->link[kNextLink], nullptr);
    f.drag(f.centre(f.b()));
    f.release(f.centre(f.b()));
    QCOMPARE(f.a()->link[kNextLink], f.b());
    QVERIFY(!(f.a()->flags & block_flag::kDraggingNext));
    QCOMPARE(f.undoSteps, 1);
    QVERIFY(f.state.status.has(status::kModified));

    QVERIFY(undo(f.state));
    QCOMPARE(f.a()->link[kNextLink], f.end());
    QVERIFY(redo(f.state));
    QCOMPARE(f.a()->link[kNextLink], f.b());

    // Dropped over the start block: the link stays open.
    f.press(f.client(routeLink(*f.a(), kNextLink).tip()));
    f.release(f.centre(f.start()));
    QCOMPARE(f.a()->link[kNextLink], nullptr);
    QVERIFY(undo(f.state));
    QCOMPARE(f.a()->link[kNextLink], f.b());
  }

  void draggingASideLegMovesItWithinTheGap() {
    Fixture f;
    f.a()->link[kNextLink] = f.b();  // B lies to the right: route type 2
    f.area->refresh();
    const LinkRoute before = routeLink(*f.a(), kNextLink);
    QCOMPARE(before.type, 2);
    f.press(f.client(before.handle));
    f.drag(f.client(Point{f.a()->right + 40, before.handle.y}));
    f.release(f.client(Point{f.a()->right + 40, before.handle.y}));
    QCOMPARE(f.a()->routeOffset[kNextLink], 40);
    QCOMPARE(f.undoSteps, 1);
    // Pressing the leg without moving it records nothing.
    f.press(f.client(routeLink(*f.a(), kNextLink).handle));
    f.release(f.client(routeLink(*f.a(), kNextLink).handle));
    QCOMPARE(f.undoSteps, 1);
    QVERIFY(undo(f.state));
    QCOMPARE(f.a()->routeOffset[kNextLink], 6);
  }

  void movingABlockSnapsToTheGridWithShiftAndStaysOnTheCanvas() {
    Fixture f;
    f.state.display.gridX = 10;
    f.state.display.gridY = 10;
    f.b()->left = 323;
    f.area->refresh();
    resetUndo(f.state);
    f.undoSteps = 0;
    const int width = f.b()->right - f.b()->left;
    QPoint from = f.centre(f.b());
    f.press(from, Qt::ShiftModifier);
    QPoint to = from + QPoint(25, 13);
    f.drag(to, Qt::ShiftModifier);
    f.release(to, Qt::ShiftModifier);
    QCOMPARE(f.b()->left % 10, 0);
    QCOMPARE(f.b()->top % 10, 0);
    QVERIFY(f.b()->left >= 340 && f.b()->left <= 350);
    QCOMPARE(f.b()->right - f.b()->left, width);
    QCOMPARE(f.undoSteps, 1);
    QVERIFY(undo(f.state));
    QCOMPARE(f.b()->left, 323);
    QCOMPARE(f.b()->top, 300);

    // A grid step of 0 moves freely.
    f.state.display.gridX = 0;
    f.state.display.gridY = 0;
    from = f.centre(f.b());
    f.press(from, Qt::ShiftModifier);
    f.drag(from + QPoint(7, 3), Qt::ShiftModifier);
    f.release(from + QPoint(7, 3), Qt::ShiftModifier);
    QCOMPARE(f.b()->left, 330);
    QCOMPARE(f.b()->top, 303);

    // Far past the right edge: the block's right stays at 2048.
    from = f.centre(f.b());
    f.press(from);
    f.drag(from + QPoint(4000, 0));
    f.release(from + QPoint(4000, 0));
    QCOMPARE(f.b()->right, kMotionAreaExtent);
    QCOMPARE(f.b()->left, kMotionAreaExtent - width);
  }

  void rubberBandSelectsTheBlocksItMeets() {
    Fixture f;
    f.a()->flags |= block_flag::kSelected;
    // From empty canvas right of A down to the middle of the branch block.
    const QPoint anchor = f.client(Point{f.a()->right + 30, f.a()->top - 5});
    const QPoint corner = f.client(Point{f.branch()->left + 5, f.branch()->top + 5});
    f.press(anchor);
    QVERIFY(!f.a()->selected());  // deselected at the press
    f.drag(corner);
    QVERIFY(f.a()->flags & block_flag::kInRubberBand);
    QVERIFY(f.branch()->flags & block_flag::kInRubberBand);
    QVERIFY(!(f.b()->flags & block_flag::kInRubberBand));
    f.release(corner);
    QVERIFY(f.a()->selected());
    QVERIFY(f.branch()->selected());
    QVERIFY(!f.b()->selected());
    QVERIFY(!f.end()->selected());
    for (const auto& block : f.state.motion.blocks) QVERIFY(!(block->flags & block_flag::kInRubberBand));
  }

  void holdingTheTimeTabRepeatsAndStopsAtOne() {
    Fixture f;
    MotionBlock* b = f.b();
    b->pose.steps = 3;
    f.area->refresh();
    const int middle = b->top + (b->bottom - b->top) / 2;
    const QPoint down = f.client(Point{b->right - 7, middle + (b->bottom - b->top) * 3 / 8});
    f.press(down);
    QCOMPARE(int(b->pose.steps), 2);  // the first tick comes at once
    QTest::qWait(1000);
    QCOMPARE(int(b->pose.steps), 1);
    f.release(down);
    QCOMPARE(f.undoSteps, 2);  // one step per change, none while held at 1
    QCOMPARE(f.state.motion.currentBlock, f.a());

    const QPoint up = f.client(Point{b->right - 7, middle + 2});
    f.press(up, Qt::ShiftModifier);
    f.release(up, Qt::ShiftModifier);
    QCOMPARE(int(f.b()->pose.steps), 11);
  }

  void aHeldTimeTabFollowsItsBlockThroughEditsByKeys() {
    Fixture f;
    MotionBlock* b = f.b();
    MotionBlock* branch = f.branch();
    const int branchSteps = branch->pose.steps;
    b->pose.steps = 50;
    f.area->refresh();
    const int middle = b->top + (b->bottom - b->top) / 2;
    const QPoint up = f.client(Point{b->right - 7, middle + 2});
    f.press(up);
    QCOMPARE(int(b->pose.steps), 51);
    // Del on the earlier pose A while the button is held: B moves up the list.
    f.a()->flags |= block_flag::kSelected;
    QCOMPARE(deleteBlocksCommand(f.state), 1);
    QTest::qWait(700);  // past the first repeat
    QVERIFY(b->pose.steps > 51);
    QCOMPARE(int(branch->pose.steps), branchSteps);
    f.release(up);
  }

  void deletingTheHeldPoseEndsTheHold() {
    Fixture f;
    MotionBlock* b = f.b();
    const int branchSteps = f.branch()->pose.steps;
    const QPoint up = f.client(Point{b->right - 7, b->top + (b->bottom - b->top) / 2 + 2});
    f.press(up);
    b->flags |= block_flag::kSelected;
    QCOMPARE(deleteBlocksCommand(f.state), 1);
    const int steps = f.undoSteps;
    QTest::qWait(700);
    QCOMPARE(f.undoSteps, steps);
    QCOMPARE(int(f.b()->pose.steps), branchSteps);  // the branch block, now at B's list position
    f.release(up);
    QCOMPARE(f.undoSteps, steps);
  }

  void wheelChangesTheTimesOfSelectedPoses() {
    Fixture f;
    f.a()->flags |= block_flag::kSelected;
    f.b()->flags |= block_flag::kSelected;
    f.a()->pose.steps = 50;
    f.b()->pose.steps = 230;
    f.wheel(60, Qt::NoModifier);
    QCOMPARE(int(f.a()->pose.steps), 50);
    f.wheel(60, Qt::NoModifier);  // the remainder completes a notch
    QCOMPARE(int(f.a()->pose.steps), 51);
    f.wheel(240, Qt::ShiftModifier);
    QCOMPARE(int(f.a()->pose.steps), 71);
    QCOMPARE(int(f.b()->pose.steps), 239);
    QCOMPARE(f.undoSteps, 2);
    f.wheel(-120, Qt::ControlModifier);
    QCOMPARE(int(f.a()->pose.steps), 66);
  }

  void rightClickSelectsStoresThePointAndAsksForTheMenu() {
    Fixture f;
    f.add(KindPose, 1500, 1500, u"FAR");
    f.area->refresh();
    f.area->setScrollOrigin(QPoint(100, 40));
    QCOMPARE(f.area->scrollOrigin(), QPoint(100, 40));
    QPoint asked;
    f.area->contextMenuRequested = [&](QPoint global) { asked = global; };
    f.a()->flags |= block_flag::kSelected;
    const QPoint onB = f.centre(f.b());
    QTest::mouseClick(f.view(), Qt::RightButton, Qt::NoModifier, onB);
    QCOMPARE(asked, f.view()->mapToGlobal(onB));
    QVERIFY(f.b()->selected());
    QVERIFY(!f.a()->selected());
    QCOMPARE(f.area->rightClickPoint(), (Point{onB.x(), onB.y()}));
    QCOMPARE(f.area->rightClickOrigin(), (Point{100, 40}));
    QCOMPARE(blockAtPoint(f.state.motion, f.area->rightClickCanvasPoint()), f.b());

    // On empty canvas the selection stays.
    QTest::mouseClick(f.view(), Qt::RightButton, Qt::NoModifier, QPoint(500, 10));
    QVERIFY(f.b()->selected());
    QCOMPARE(f.area->rightClickPoint(), (Point{500, 10}));
  }

  void doubleClickOpensPropertiesOrReachesTheMainWindow() {
    Fixture f;
    std::vector<MotionBlock*> opened;
    int background = 0;
    f.area->propertiesRequested = [&](MotionBlock* block) { opened.push_back(block); };
    f.area->backgroundDoubleClicked = [&] { ++background; };
    f.doubleClick(f.centre(f.branch()));
    f.doubleClick(f.centre(f.start()));  // start and end blocks have no dialog
    f.doubleClick(f.centre(f.b()));
    QCOMPARE(opened.size(), size_t(2));
    QCOMPARE(opened[0], f.branch());
    QCOMPARE(opened[1], f.b());
    QCOMPARE(f.state.motion.propertyBlock, f.b());
    QCOMPARE(background, 0);
    f.doubleClick(QPoint(550, 30));
    QCOMPARE(background, 1);
    QCOMPARE(f.undoSteps, 0);
  }

  void ensureVisibleScrollsABlockIntoView() {
    Fixture f;
    MotionBlock* far = f.add(KindPose, 1500, 1200, u"FAR");
    f.area->refresh();
    f.area->ensureVisible(far);
    const QPoint origin = f.area->scrollOrigin();
    QCOMPARE(origin, QPoint(std::min(1480, f.area->horizontalScrollBar()->maximum()),
                            std::min(1180, f.area->verticalScrollBar()->maximum())));
    QVERIFY(far->left >= origin.x() && far->left < origin.x() + f.view()->width());
    QVERIFY(far->top >= origin.y() && far->top < origin.y() + f.view()->height());
    f.area->ensureVisible(f.a());
    QCOMPARE(f.area->scrollOrigin(), QPoint(30, 40));
  }

  void openLinksOfABranchCarryTheirLabels() {
    Fixture f;
    f.area->refresh();
    const QImage shot = f.view()->grab().toImage();
    const QColor labelFill = toQColor(f.state.display.colours.branchBlock);
    // Below the branch block's lower edge, around each stub, only a label
    // box has the branch fill.
    for (int link : {kNextLink, kBranchLink}) {
      const LinkRoute stub = routeLink(*f.branch(), link);
      QVERIFY(stub.open);
      int filled = 0;
      for (int y = f.branch()->bottom + 1; y <= f.branch()->bottom + 3; ++y)
        for (int x = stub.handle.x - 12; x <= stub.handle.x + 12; ++x)
          if (shot.pixelColor(f.client(Point{x, y})) == labelFill) ++filled;
      QVERIFY2(filled > 0, qPrintable(QString("link %1").arg(link)));
    }
  }

  void paintsTheTimeBarAndTheCurrentMarker() {
    Fixture f;
    MotionBlock* a = f.a();
    a->pose.steps = 50;  // below 239: a bar all the same
    f.area->refresh();
    const QImage shot = f.view()->grab().toImage();
    const int height = a->bottom - a->top;
    const QPoint bar = f.client(Point{a->left + 3, a->bottom - height / 10});
    QVERIFY(shot.pixelColor(bar) == QColor(Qt::red) || shot.pixelColor(bar - QPoint(0, 1)) == QColor(Qt::red));
    const QPoint marker = f.client(Point{a->left + 10, a->top + 10});
    QCOMPARE(shot.pixelColor(marker), QColor(Qt::red));
    const QPoint otherMarker = f.client(Point{f.b()->left + 10, f.b()->top + 10});
    QCOMPARE(f.view()->grab().toImage().pixelColor(otherMarker), QColor(Qt::white));

    // Selecting B moves the marker: both blocks are drawn again.
    f.press(f.centre(f.b()));
    f.release(f.centre(f.b()));
    const QImage after = f.view()->grab().toImage();
    QCOMPARE(after.pixelColor(marker), QColor(Qt::white));
    QVERIFY(after.pixelColor(otherMarker) != QColor(Qt::white));  // red, inverted by the selection
  }
};

QTEST_MAIN(MotionAreaTest)
#include "motion_area_test.moc"
