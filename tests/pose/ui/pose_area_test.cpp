// Drives the pose area with real mouse and wheel events on the offscreen platform.
#include <QtTest>

#include "display/ui/skin_images.h"
#include "pose/show_pose.h"
#include "pose/ui/pose_area.h"
#include "shell/undo_commands.h"

using namespace kv;

namespace {

// An editor state with one pose block as the current block and slider 0 a
// -100..100 slider with step 10 at (100, 50).
struct Fixture {
  EditorState state;
  SkinImages skins;
  std::unique_ptr<PoseArea> area;

  Fixture() {
    PoseSlider& s = state.sliders.sliders[0];
    s.x = 100;
    s.y = 50;
    s.lowerLimit = -100;
    s.upperLimit = 100;
    s.stepResolution = 10;
    s.lowerText = u"L";
    s.upperText = u"U";
    for (int i = 1; i < kSliderCount; ++i) state.sliders.sliders[i].behaviourFlags = kSliderDisabled;
    auto block = std::make_unique<MotionBlock>();
    block->kind = KindPose;
    state.motion.currentBlock = block.get();
    state.motion.blocks.push_back(std::move(block));
    resetUndo(state);
    area = std::make_unique<PoseArea>(state, skins);
    area->resize(500, 400);
    area->show();
    QVERIFY(QTest::qWaitForWindowExposed(area.get()));
  }

  int value() const { return currentPose(state).values[0]; }
  SliderGeometry geometry() const {
    return layoutSlider(0, state.sliders.sliders[0], value(), area->skinMetrics());
  }
  QPoint knobCentre() const {
    SliderGeometry g = geometry();
    return QPoint(g.knob.left + g.knob.width / 2, g.knob.top + g.knob.height / 2);
  }
  QPoint stepButton(bool up) const {
    SliderGeometry g = geometry();
    return QPoint(g.spin.left + g.spin.width / 2, up ? g.spin.top + 3 : g.spin.bottom() - 3);
  }
};

void wheel(QWidget* widget, int delta, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  QPoint at(5, 5);
  QWheelEvent event(at, widget->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton, modifiers,
                    Qt::NoScrollPhase, false);
  QApplication::sendEvent(widget, &event);
}

}  // namespace

class PoseAreaTest : public QObject {
  Q_OBJECT

 private slots:
  void draggingTheKnobToTheMiddleGivesZero() {
    Fixture f;
    SliderGeometry g = f.geometry();
    QPoint start = f.knobCentre();
    QTest::mousePress(f.area.get(), Qt::LeftButton, Qt::NoModifier, start);
    int middle = g.bar.left + g.bar.width / 2;
    QMouseEvent move(QEvent::MouseMove, QPointF(middle, start.y()), f.area->mapToGlobal(QPointF(middle, start.y())),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(f.area.get(), &move);
    QCOMPARE(f.value(), 0);
    QTest::mouseRelease(f.area.get(), Qt::LeftButton, Qt::NoModifier, QPoint(middle, start.y()));
    QCOMPARE(f.value(), 0);
  }

  void stepButtonsStepOnTheGridAndShiftClamps() {
    Fixture f;
    QTest::mouseClick(f.area.get(), Qt::LeftButton, Qt::NoModifier, f.stepButton(true));
    QCOMPARE(f.value(), 10);
    QTest::mouseClick(f.area.get(), Qt::LeftButton, Qt::NoModifier, f.stepButton(true));
    QCOMPARE(f.value(), 20);
    QTest::mouseClick(f.area.get(), Qt::LeftButton, Qt::NoModifier, f.stepButton(false));
    QCOMPARE(f.value(), 10);
    QTest::mouseClick(f.area.get(), Qt::LeftButton, Qt::ShiftModifier, f.stepButton(true));
    QCOMPARE(f.value(), 100);  // 10 + 160, clamped
  }

  void wheelNotchesOnSelectedSliders() {
    Fixture f;
    wheel(f.area.get(), 120);
    QCOMPARE(f.value(), 0);  // nothing selected
    f.state.sliders.sliders[0].displayFlags |= kSliderSelected;
    wheel(f.area.get(), 60);
    QCOMPARE(f.value(), 0);
    wheel(f.area.get(), 60);
    QCOMPARE(f.value(), 10);
    f.state.sliders.sliders[0].displayFlags |= kDisplayInverted;
    wheel(f.area.get(), 120);
    QCOMPARE(f.value(), 0);  // inverted: the wheel runs the other way
  }

  void displayInvertedSliderSwapsDirectionAndSides() {
    Fixture f;
    f.state.sliders.sliders[0].displayFlags |= kDisplayInverted;
    f.area->markLayoutDirty();
    SliderGeometry g = f.geometry();
    QVERIFY(g.spin.right() <= g.bar.left);  // step buttons at the left end
    QTest::mouseClick(f.area.get(), Qt::LeftButton, Qt::NoModifier, f.stepButton(true));
    QCOMPARE(f.value(), -10);
    QVERIFY(sliderSideTexts(f.state.sliders.sliders[0]).left == u"U(+)");
    // The knob of the highest value sits at the left end, inside the bar.
    PoseValues pose = currentPose(f.state);
    pose.values[0] = 100;
    showPose(f.state, pose, kPoseAreaTime, false);
    QCOMPARE(f.geometry().knob.left, f.geometry().bar.left);
  }

  void servoBoxTogglesTheBitAndClicksSelect() {
    Fixture f;
    SliderGeometry g = f.geometry();
    QTest::mouseClick(f.area.get(), Qt::LeftButton, Qt::NoModifier, QPoint(g.servoBox.left + 2, g.servoBox.top + 2));
    QCOMPARE(currentPose(f.state).servoMask, 1u);
    QTest::mouseClick(f.area.get(), Qt::LeftButton, Qt::NoModifier, QPoint(g.bar.left + 2, g.bar.top + g.bar.height / 2));
    QVERIFY(f.state.sliders.sliders[0].selected());
    QTest::mouseClick(f.area.get(), Qt::LeftButton, Qt::NoModifier, QPoint(450, 350));
    QVERIFY(!f.state.sliders.sliders[0].selected());
  }

  void rubberBandSelectsAndShiftDragMoves() {
    Fixture f;
    QTest::mousePress(f.area.get(), Qt::LeftButton, Qt::NoModifier, QPoint(60, 20));
    QTest::mouseMove(f.area.get(), QPoint(300, 120));
    QMouseEvent move(QEvent::MouseMove, QPointF(300, 121), f.area->mapToGlobal(QPointF(300, 121)), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(f.area.get(), &move);
    QTest::mouseRelease(f.area.get(), Qt::LeftButton, Qt::NoModifier, QPoint(300, 121));
    QVERIFY(f.state.sliders.sliders[0].selected());

    SliderGeometry g = f.geometry();
    QPoint onBar(g.bar.left + 4, g.bar.top + g.bar.height / 2);
    QTest::mousePress(f.area.get(), Qt::LeftButton, Qt::ShiftModifier, onBar);
    QMouseEvent drag(QEvent::MouseMove, QPointF(onBar + QPoint(30, 20)), f.area->mapToGlobal(QPointF(onBar + QPoint(30, 20))),
                     Qt::NoButton, Qt::LeftButton, Qt::ShiftModifier);
    QApplication::sendEvent(f.area.get(), &drag);
    QTest::mouseRelease(f.area.get(), Qt::LeftButton, Qt::ShiftModifier, onBar + QPoint(30, 20));
    QCOMPARE(f.state.sliders.sliders[0].x, 130);
    QCOMPARE(f.state.sliders.sliders[0].y, 70);
  }

  void dragEndsWithOneUndoRecordEvenWhenTheButtonIsReleasedElsewhere() {
    Fixture f;
    int recorded = 0;
    f.state.views.undoChanged = [&] { ++recorded; };
    QPoint start = f.knobCentre();
    QTest::mousePress(f.area.get(), Qt::LeftButton, Qt::NoModifier, start);
    QMouseEvent move(QEvent::MouseMove, QPointF(start + QPoint(20, 0)), f.area->mapToGlobal(QPointF(start + QPoint(20, 0))),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(f.area.get(), &move);
    QCOMPARE(recorded, 0);
    // The window loses the mouse: the drag still ends and is recorded.
    QEvent deactivate(QEvent::WindowDeactivate);
    QApplication::sendEvent(f.area.get(), &deactivate);
    QCOMPARE(recorded, 1);
    QVERIFY(f.state.status.has(status::kModified));
    int dragged = f.value();
    QVERIFY(dragged != 0);

    // Undo brings back the pose from before the drag, redo the dragged one.
    QVERIFY(undo(f.state));
    QCOMPARE(f.value(), 0);
    QVERIFY(redo(f.state));
    QCOMPARE(f.value(), dragged);
  }

  void steppingEndsWhenTheWindowLosesTheMouse() {
    Fixture f;
    int recorded = 0;
    f.state.views.undoChanged = [&] { ++recorded; };
    QTest::mousePress(f.area.get(), Qt::LeftButton, Qt::NoModifier, f.stepButton(true));
    QCOMPARE(f.value(), 10);
    QCOMPARE(recorded, 1);
    // A modal question takes the mouse while the button is still held.
    QEvent deactivate(QEvent::WindowDeactivate);
    QApplication::sendEvent(f.area.get(), &deactivate);
    QTest::qWait(700);  // past the first repeat delay
    QCOMPARE(f.value(), 10);
    QCOMPARE(recorded, 1);
  }

  void drawingLeavesStoredPositionsAloneAndDrawsInsideTheArea() {
    Fixture f;
    f.state.sliders.sliders[0].x = 400;
    f.area->markLayoutDirty();
    f.area->resize(150, 400);  // the centre bar dragged far to the left
    f.area->grab();
    QCOMPARE(f.state.sliders.sliders[0].x, 400);
    QVERIFY(f.area->sliderBounds(0).left() < 150);
    // What is drawn is what the mouse hits: a click on the shown bar selects it.
    SliderGeometry shown = layoutSlider(0, placedSlider(f.state.sliders.sliders[0], 150, 400), 0, f.area->skinMetrics());
    QTest::mouseClick(f.area.get(), Qt::LeftButton, Qt::NoModifier, QPoint(shown.bar.left + 2, shown.bar.top + shown.bar.height / 2));
    QVERIFY(f.state.sliders.sliders[0].selected());
    // The area grows again: the slider is back where the user put it.
    f.area->resize(500, 400);
    f.area->grab();
    QCOMPARE(f.state.sliders.sliders[0].x, 400);
    QVERIFY(f.area->sliderBounds(0).left() > 150);
  }
};

QTEST_MAIN(PoseAreaTest)
#include "pose_area_test.moc"
