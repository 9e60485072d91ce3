#include "pose/ui/pose_area.h"

#include <QFontMetrics>
#include <QPainter>

#include "display/ui/fonts.h"
#include "display/ui/skin_images.h"
#include "shell/ui/qt_text.h"

namespace kv {
namespace {

QRect toQRect(const Rect& r) { return QRect(r.left, r.top, r.width, r.height); }

const QColor kAreaBackground(0xEE, 0xF1, 0xF5);
const QColor kSelectionTint(0x30, 0x80, 0xFF, 0x60);

// Draws a skin image scaled into `target`, or a plain shape when the project
// has no image for the slot.
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
  showPose(pose_);
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

void PoseArea::showPose(const PoseValues& pose) {
  pose_ = pose;
  for (int i = 0; i < kSliderCount; ++i)
    pose_.values[i] = static_cast<int16_t>(safeRange(state_.sliders.sliders[i]).clamp(pose_.values[i]));
  pose_.servoMask &= kServoMaskBits;
  update();
}

void PoseArea::markLayoutDirty() { update(); }

void PoseArea::resizeEvent(QResizeEvent*) {
  if (backBuffer_.size() != size()) backBuffer_ = QPixmap(size());
}

void PoseArea::paintEvent(QPaintEvent*) {
  if (backBuffer_.size() != size()) backBuffer_ = QPixmap(size());
  QPainter painter(&backBuffer_);
  painter.fillRect(backBuffer_.rect(), kAreaBackground);
  if (state_.status.has(status::kPoseWallpaper) && skins_.has(SkinPoseBackground))
    painter.drawImage(0, 0, skins_.image(SkinPoseBackground));
  const SkinMetrics metrics = skinMetrics();
  for (int i = 0; i < kSliderCount; ++i)
    if (state_.sliders.sliders[i].enabled()) drawSlider(painter, i, metrics);
  painter.end();
  QPainter(this).drawPixmap(0, 0, backBuffer_);
}

void PoseArea::drawSlider(QPainter& painter, int number, const SkinMetrics& metrics) {
  const PoseSlider& slider = state_.sliders.sliders[number];
  const int value = pose_.values[number];
  const SliderGeometry g = layoutSlider(number, slider, value, metrics);

  drawSkin(painter, skins_, SkinPoseSlider, toQRect(g.bar), QColor(0xC8, 0xCE, 0xD6));
  drawSkin(painter, skins_, SkinPoseSpin, toQRect(g.spin), QColor(0xDD, 0xE2, 0xE8));
  drawSkin(painter, skins_, SkinPoseKnob, toQRect(g.knob), QColor(0x50, 0x70, 0x98));
  if (slider.selected()) painter.fillRect(toQRect(g.outline), kSelectionTint);

  if (!g.servoBox.empty()) {
    bool on = pose_.servoMask & (1u << number);
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

  painter.setFont(toQFont(slider.font));
  const QFontMetrics fm(painter.font());
  const QColor textColour = toQColor(slider.textColour);
  const QColor background = toQColor(slider.textBackground);
  auto drawText = [&](const QRect& box, int align, const QString& text) {
    QRect used = fm.boundingRect(box, align, text).adjusted(-1, 0, 1, 0);
    painter.fillRect(used, background);
    painter.setPen(textColour);
    painter.drawText(box, align, text);
  };
  const QString valueText = toQString(sliderValueText(slider, value, std::nullopt));
  drawText(toQRect(g.valueText), Qt::AlignRight | Qt::AlignVCenter, valueText);
  if (slider.behaviourFlags & kShowSliderName) {
    int valueWidth = fm.horizontalAdvance(valueText.trimmed()) + 6;
    QRect nameBox = toQRect(g.nameText);
    nameBox.setRight(std::max(nameBox.left(), nameBox.right() - valueWidth));
    drawText(nameBox, Qt::AlignLeft | Qt::AlignVCenter, fm.elidedText(toQString(slider.name), Qt::ElideRight, nameBox.width()));
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
}

}  // namespace kv
