#include "pose/ui/pose_area.h"

#include <QFontMetrics>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QToolTip>
#include <QWheelEvent>

#include "display/ui/fonts.h"
#include "display/ui/skin_images.h"
#include "pose/base_poses.h"
#include "pose/show_pose.h"
#include "shell/ui/qt_text.h"

namespace kv {
namespace {

QRect toQRect(const Rect& r) { return QRect(r.left, r.top, r.width, r.height); }

const QColor kAreaBackground(0xEE, 0xF1, 0xF5);
const QColor kSelectionTint(0x30, 0x80, 0xFF, 0x50);
const QColor kSelectionFrame(0x20, 0x60, 0xE0);
constexpr int kFirstRepeatDelayMs = 500;
constexpr int kRepeatDelayMs = 50;

// Draws a skin image into `target`, or a plain shape when the project has
// no image for the slot.
void drawSkin(QPainter& painter, const SkinImages& skins, int slot, const QRect& target, const QColor& fallback) {
  if (skins.has(slot)) {
    painter.drawImage(target, skins.image(slot));
    return;
  }
  painter.fillRect(target, fallback);
  painter.setPen(fallback.darker(160));
  painter.drawRect(target.adjusted(0, 0, -1, -1));
}

}  // namespace

PoseArea::PoseArea(EditorState& state, const SkinImages& skins, QWidget* parent)
    : QWidget(parent), state_(state), skins_(skins) {
  setObjectName("poseArea");
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMouseTracking(true);
  stepTimer_.setSingleShot(true);
  connect(&stepTimer_, &QTimer::timeout, this, [this] {
    doStep();
    if (mode_ == Mode::Stepping) stepTimer_.start(kRepeatDelayMs);
  });
}

SkinMetrics PoseArea::skinMetrics() const {
  SkinMetrics metrics;
  auto sizeOf = [this](int slot, int& width, int& height) {
    if (!skins_.has(slot)) return;
    width = skins_.image(slot).width();
    height = skins_.image(slot).height();
  };
  sizeOf(SkinPoseSlider, metrics.barWidth, metrics.barHeight);
  sizeOf(SkinPoseKnob, metrics.knobWidth, metrics.knobHeight);
  sizeOf(SkinPoseSpin, metrics.spinWidth, metrics.spinHeight);
  sizeOf(SkinPoseReferenceMark, metrics.markWidth, metrics.markHeight);
  if (skins_.has(SkinPoseCheckBox)) metrics.checkBoxSize = skins_.image(SkinPoseCheckBox).height();
  return metrics;
}

std::optional<int> PoseArea::activeBaseValue(int slider) const {
  return gridBase(state_.sliders.sliders[slider], slider, state_.basePoses);
}

PoseArea::Drawn PoseArea::drawnState(int slider) const {
  const PoseSlider& s = state_.sliders.sliders[slider];
  const PoseValues& pose = currentPose(state_);
  Drawn d;
  d.value = pose.values[slider];
  d.displayFlags = s.displayFlags;
  d.behaviourFlags = s.behaviourFlags;
  d.servoOn = slider < kServoSliderCount && (pose.servoMask & (1u << slider));
  if (boardValues_) d.boardValue = (*boardValues_)[slider];
  d.baseValue = activeBaseValue(slider);
  return d;
}

void PoseArea::refresh() {
  if (layoutDirty_) {
    update();
    return;
  }
  QRegion dirty;
  for (int i = 0; i < kSliderCount; ++i) {
    if (!state_.sliders.sliders[i].enabled()) continue;
    if (drawnState(i) == drawn_[i]) continue;
    dirty += bounds_[i];
    // The knob may have moved anywhere along the bar: its new place is inside
    // the same bounds, which cover the whole slider.
  }
  if (!dirty.isEmpty()) update(dirty);
}

void PoseArea::markLayoutDirty() {
  layoutDirty_ = true;
  update();
}

void PoseArea::setBoardValues(const std::optional<std::array<int16_t, kSliderCount>>& values) {
  boardValues_ = values;
  refresh();
}

void PoseArea::resizeEvent(QResizeEvent*) {
  if (backBuffer_.size() != size()) {
    backBuffer_ = QPixmap(size());
    layoutDirty_ = true;
  }
}

void PoseArea::paintEvent(QPaintEvent* event) {
  if (backBuffer_.size() != size()) {
    backBuffer_ = QPixmap(size());
    layoutDirty_ = true;
  }
  if (layoutDirty_) {
    // Fonts are built once per layout: making them is most of a repaint's cost.
    for (int i = 0; i < kSliderCount; ++i) fonts_[i] = toQFont(state_.sliders.sliders[i].font);
    layoutDirty_ = false;
    redraw(QRegion(rect()));
  } else {
    redraw(event->region());
  }
  QPainter painter(this);
  painter.setClipRegion(event->region());
  painter.drawPixmap(0, 0, backBuffer_);
  if (!rubberBand_.isNull()) {
    painter.setClipping(false);
    painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    painter.setPen(QPen(Qt::white, 1));
    painter.drawRect(rubberBand_.normalized());
  }
}

// Draws the background and every slider that reaches into `region`.
void PoseArea::redraw(const QRegion& region) {
  QPainter painter(&backBuffer_);
  painter.setClipRegion(region);
  painter.fillRect(backBuffer_.rect(), kAreaBackground);
  if (state_.status.has(status::kPoseWallpaper) && skins_.has(SkinPoseBackground))
    painter.drawImage(0, 0, skins_.image(SkinPoseBackground));
  // Without a project the slider table holds no layout worth drawing.
  if (state_.startupFailed) return;
  const SkinMetrics metrics = skinMetrics();
  for (int i = 0; i < kSliderCount; ++i) {
    if (!state_.sliders.sliders[i].enabled()) continue;
    QRect before = bounds_[i];
    if (!bounds_[i].isNull() && !region.intersects(bounds_[i])) continue;
    drawSlider(painter, i, metrics);
    drawn_[i] = drawnState(i);
    // A slider that grew (a longer value text) needs its new extent drawn too.
    if (!before.isNull() && !before.contains(bounds_[i])) update(bounds_[i]);
  }
}

void PoseArea::drawSlider(QPainter& painter, int number, const SkinMetrics& metrics) {
  // Drawn inside the area; the stored position is not touched.
  const PoseSlider slider = placedSlider(state_.sliders.sliders[number], width(), height());
  const PoseValues& pose = currentPose(state_);
  const int value = pose.values[number];
  const std::optional<int> base = activeBaseValue(number);
  const SliderGeometry g = layoutSlider(number, slider, value, metrics);
  QRect bounds = toQRect(g.outline);

  drawSkin(painter, skins_, SkinPoseSlider, toQRect(g.bar), QColor(0xC8, 0xCE, 0xD6));
  drawSkin(painter, skins_, SkinPoseSpin, toQRect(g.spin), QColor(0xDD, 0xE2, 0xE8));
  if (base) {
    QRect mark(g.bar.left + knobOffset(slider, *base, metrics) + metrics.knobWidth / 2 - metrics.markWidth / 2,
               g.bar.bottom(), metrics.markWidth, metrics.markHeight);
    drawSkin(painter, skins_, SkinPoseReferenceMark, mark, QColor(0xE0, 0x60, 0x20));
    bounds |= mark;
  }
  if (boardValues_) {
    QRect shadow = toQRect(g.knob);
    shadow.moveLeft(g.bar.left + knobOffset(slider, (*boardValues_)[number], metrics));
    drawSkin(painter, skins_, SkinPoseKnobShadow, shadow, QColor(0x80, 0x80, 0x80, 0x80));
  }
  drawSkin(painter, skins_, SkinPoseKnob, toQRect(g.knob), QColor(0x50, 0x70, 0x98));

  if (!g.servoBox.empty()) {
    bool on = pose.servoMask & (1u << number);
    if (skins_.has(SkinPoseCheckBox)) {
      const QImage& boxes = skins_.image(SkinPoseCheckBox);
      int cell = boxes.width() / 2;
      painter.drawImage(toQRect(g.servoBox), boxes, QRect(on ? cell : 0, 0, cell, boxes.height()));
    } else {
      painter.setPen(Qt::black);
      painter.setBrush(on ? QColor(0x30, 0xA0, 0x50) : Qt::white);
      painter.drawRect(toQRect(g.servoBox).adjusted(0, 0, -1, -1));
      painter.setBrush(Qt::NoBrush);
    }
  }

  painter.setFont(fonts_[number]);
  const QFontMetrics fm(painter.font());
  const QColor textColour = toQColor(slider.textColour);
  const QColor background = toQColor(slider.textBackground);
  auto drawText = [&](const QRect& box, int align, const QString& text) {
    if (text.isEmpty()) return;
    QRect used = fm.boundingRect(box, align, text).adjusted(-1, 0, 1, 0);
    painter.fillRect(used, background);
    painter.setPen(textColour);
    painter.drawText(box, align, text);
    bounds |= used;
  };
  const QString valueText = toQString(sliderValueText(slider, value, base));
  drawText(toQRect(g.valueText), Qt::AlignRight | Qt::AlignVCenter, valueText);
  if (slider.behaviourFlags & kShowSliderName) {
    int valueWidth = fm.horizontalAdvance(valueText.trimmed()) + 6;
    QRect nameBox = toQRect(g.nameText);
    nameBox.setRight(std::max(nameBox.left(), nameBox.right() - valueWidth));
    drawText(nameBox, Qt::AlignLeft | Qt::AlignVCenter,
             fm.elidedText(toQString(slider.name), Qt::ElideRight, nameBox.width()));
  }
  if (!(slider.behaviourFlags & kHideSideTexts)) {
    SideTexts side = sliderSideTexts(slider);
    int height = fm.height();
    int top = g.sideTextY - height / 2;
    int leftEdge = std::min(g.bar.left, g.spin.left) - 3;
    int rightEdge = std::max(g.bar.right(), g.spin.right()) + 3;
    drawText(QRect(leftEdge - 200, top, 200, height), Qt::AlignRight | Qt::AlignVCenter, toQString(side.left));
    drawText(QRect(rightEdge, top, 200, height), Qt::AlignLeft | Qt::AlignVCenter, toQString(side.right));
  }
  if (slider.selected()) {
    QRect frame = toQRect(g.outline).adjusted(-2, -1, 2, 1);
    painter.fillRect(frame, kSelectionTint);
    painter.setPen(kSelectionFrame);
    painter.drawRect(frame.adjusted(0, 0, -1, -1));
    bounds |= frame;
  }
  bounds_[number] = bounds.adjusted(-1, -1, 1, 1);
}

StepModifiers PoseArea::modifiersOf(Qt::KeyboardModifiers modifiers) const {
  return {static_cast<bool>(modifiers & Qt::ControlModifier), static_cast<bool>(modifiers & Qt::ShiftModifier)};
}

void PoseArea::mousePressEvent(QMouseEvent* event) { press(event, false); }

void PoseArea::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && pressedOnBackground_ && backgroundDoubleClicked) backgroundDoubleClicked();
  press(event, true);
}

void PoseArea::press(QMouseEvent* event, bool) {
  const QPoint at = event->position().toPoint();
  const SkinMetrics metrics = skinMetrics();
  const PoseValues& pose = currentPose(state_);
  const SliderTable placed = placedSliders(state_.sliders, width(), height());
  const SliderHit hit = hitTestSliders(placed, pose, metrics, at.x(), at.y());
  const bool ctrl = event->modifiers() & Qt::ControlModifier;
  const bool shift = event->modifiers() & Qt::ShiftModifier;

  if (event->button() == Qt::RightButton) {
    if (hit.part == SliderPart::Bar || hit.part == SliderPart::Knob) {
      deselectAllSliders(state_.sliders);
      state_.sliders.sliders[hit.slider].displayFlags |= kSliderSelected;
      refresh();
    }
    if (contextMenuRequested) contextMenuRequested(event->globalPosition().toPoint());
    return;
  }
  if (event->button() != Qt::LeftButton) return;
  pressPoint_ = lastPoint_ = at;
  pressedOnBackground_ = false;
  operated_ = hit.slider;

  switch (hit.part) {
    case SliderPart::StepUp:
    case SliderPart::StepDown:
      if (!ctrl) deselectAllSliders(state_.sliders);
      stepUp_ = hit.part == SliderPart::StepUp;
      stepModifiers_ = modifiersOf(event->modifiers());
      mode_ = Mode::Stepping;
      doStep();
      stepTimer_.start(kFirstRepeatDelayMs);
      break;
    case SliderPart::Knob: {
      SliderGeometry g = layoutSlider(hit.slider, placed.sliders[hit.slider], pose.values[hit.slider], metrics);
      grabOffset_ = at.x() - g.knob.left - metrics.knobWidth / 2;
      if (!ctrl) deselectAllSliders(state_.sliders);
      mode_ = Mode::DragKnob;
      break;
    }
    case SliderPart::Bar: {
      PoseSlider& slider = state_.sliders.sliders[hit.slider];
      if (!shift) {
        if (!ctrl) deselectAllSliders(state_.sliders);
        slider.displayFlags |= kSliderSelected;
      } else {
        if (!slider.selected()) deselectAllSliders(state_.sliders);
        slider.displayFlags |= kSliderSelected;
        mode_ = Mode::MoveSliders;
      }
      break;
    }
    case SliderPart::ServoBox: {
      PoseValues changed = pose;
      changed.servoMask ^= 1u << hit.slider;
      showPose(state_, changed, kPoseAreaTime, true);
      break;
    }
    case SliderPart::None:
      mode_ = ctrl ? Mode::RubberAdd : Mode::RubberReplace;
      if (!ctrl) deselectAllSliders(state_.sliders);
      pressedOnBackground_ = true;
      rubberBand_ = QRect(at, at);
      break;
  }
  grabMouse();
  refresh();
}

void PoseArea::doStep() {
  if (mode_ != Mode::Stepping || operated_ < 0) return;
  const PoseSlider& slider = state_.sliders.sliders[operated_];
  PoseValues pose = currentPose(state_);
  pose.values[operated_] = static_cast<int16_t>(
      stepValue(slider, pose.values[operated_], stepUp_, stepModifiers_, activeBaseValue(operated_)));
  showPose(state_, pose, kPoseAreaTime, true);
}

void PoseArea::mouseMoveEvent(QMouseEvent* event) {
  const QPoint at = event->position().toPoint();
  if (QToolTip::isVisible()) QToolTip::hideText();
  if (mode_ == Mode::DragKnob && !(event->buttons() & Qt::LeftButton)) {
    endDrag();
    return;
  }
  switch (mode_) {
    case Mode::DragKnob: {
      const SkinMetrics metrics = skinMetrics();
      const PoseSlider slider = placedSlider(state_.sliders.sliders[operated_], width(), height());
      int knobLeft = at.x() - grabOffset_ - metrics.knobWidth / 2 - slider.x;
      PoseValues pose = currentPose(state_);
      int value = dragValue(slider, knobLeft, metrics, modifiersOf(event->modifiers()), activeBaseValue(operated_));
      if (value != pose.values[operated_]) {
        pose.values[operated_] = static_cast<int16_t>(value);
        showPose(state_, pose, kPoseAreaTime, false);
      }
      break;
    }
    case Mode::MoveSliders: {
      // A moved slider goes on from where it is shown.
      QPoint delta = at - lastPoint_;
      for (PoseSlider& s : state_.sliders.sliders) {
        if (!s.selected()) continue;
        const PoseSlider shown = placedSlider(s, width(), height());
        s.x = shown.x + delta.x();
        s.y = shown.y + delta.y();
      }
      markLayoutDirty();
      if (slidersMoved) slidersMoved();
      break;
    }
    case Mode::RubberReplace:
    case Mode::RubberAdd:
      updateRubberBand(at);
      break;
    default:
      break;
  }
  lastPoint_ = at;
}

void PoseArea::updateRubberBand(const QPoint& to) {
  QRect old = rubberBand_.normalized().adjusted(-1, -1, 1, 1);
  rubberBand_ = QRect(pressPoint_, to);
  if (mode_ == Mode::RubberReplace) deselectAllSliders(state_.sliders);
  const SkinMetrics metrics = skinMetrics();
  const QRect band = rubberBand_.normalized();
  const SliderTable placed = placedSliders(state_.sliders, width(), height());
  for (int i = 0; i < kSliderCount; ++i) {
    PoseSlider& s = state_.sliders.sliders[i];
    if (!s.enabled()) continue;
    if (band.intersects(toQRect(layoutSlider(i, placed.sliders[i], currentPose(state_).values[i], metrics).bar)))
      s.displayFlags |= kSliderSelected;
  }
  refresh();
  update(old);
  update(band.adjusted(-1, -1, 1, 1));
}

void PoseArea::endDrag() {
  mode_ = Mode::None;
  releaseMouse();
  // One undo state for the whole drag.
  showPose(state_, currentPose(state_), kPoseAreaTime, true);
}

void PoseArea::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) endOperation();
}

void PoseArea::endOperation() {
  stepTimer_.stop();
  if (mode_ == Mode::DragKnob) {
    endDrag();
  } else {
    if (!rubberBand_.isNull()) update(rubberBand_.normalized().adjusted(-1, -1, 1, 1));
    rubberBand_ = QRect();
    mode_ = Mode::None;
    releaseMouse();
  }
  refresh();
}

void PoseArea::wheelEvent(QWheelEvent* event) {
  event->accept();
  if (state_.playing) return;  // the robot follows the playing motion, not the wheel
  applyWheel(event->angleDelta().y(), event->modifiers());
}

void PoseArea::applyWheel(int delta, Qt::KeyboardModifiers modifiers) {
  int notches = wheel_.add(delta);
  if (notches == 0) return;
  PoseValues pose = currentPose(state_);
  bool changed = false;
  for (int i = 0; i < kSliderCount; ++i) {
    const PoseSlider& s = state_.sliders.sliders[i];
    if (!s.selected() || !s.enabled()) continue;
    int value = wheelValue(s, pose.values[i], notches, modifiersOf(modifiers), activeBaseValue(i));
    if (value != pose.values[i]) {
      pose.values[i] = static_cast<int16_t>(value);
      changed = true;
    }
  }
  if (changed) showPose(state_, pose, kPoseAreaTime, true);
}

bool PoseArea::event(QEvent* event) {
  switch (event->type()) {
    case QEvent::ToolTip: {
      auto* help = static_cast<QHelpEvent*>(event);
      const PoseValues& pose = currentPose(state_);
      SliderHit hit = hitTestSliders(placedSliders(state_.sliders, width(), height()), pose, skinMetrics(),
                                     help->pos().x(), help->pos().y());
      if (hit.slider >= 0) {
        QToolTip::showText(help->globalPos(),
                           toQString(sliderTooltip(hit.slider, state_.sliders.sliders[hit.slider],
                                                   pose.values[hit.slider], activeBaseValue(hit.slider))),
                           this);
      } else {
        QToolTip::hideText();
        event->ignore();
      }
      return true;
    }
    case QEvent::WindowDeactivate:
    case QEvent::Hide:
      // Losing the mouse (a modal question, another window) ends whatever the
      // button started: a drag with its undo record, and a held step button
      // before its timer steps the joint on to its limit.
      if (mode_ != Mode::None) endOperation();
      break;
    default:
      break;
  }
  return QWidget::event(event);
}

void PoseArea::changeEvent(QEvent* event) {
  // Disabled (a motion starts playing): an operation in progress ends now,
  // a drag with its undo record, so no step or drag edits the motion later.
  if (event->type() == QEvent::EnabledChange && !isEnabled() && mode_ != Mode::None) endOperation();
  QWidget::changeEvent(event);
}

}  // namespace kv
