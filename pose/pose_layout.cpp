#include "pose/pose_layout.h"

#include <algorithm>
#include <cmath>

#include "shell/text_format.h"

namespace kv {
namespace {

int usableLength(const SkinMetrics& skin) { return std::max(1, skin.barWidth - 2 * (skin.knobWidth / 2)); }

}  // namespace

int knobOffset(const PoseSlider& slider, int value, const SkinMetrics& skin) {
  SliderRange range = safeRange(slider);
  int usable = usableLength(skin);
  int offset = static_cast<int>(static_cast<long long>(range.clamp(value) - range.lower) * usable / range.span());
  // A display-inverted bar is mirrored: the knob moves from the right end.
  return (slider.displayFlags & kDisplayInverted) ? usable - offset : offset;
}

int valueAtOffset(const PoseSlider& slider, int offset, const SkinMetrics& skin) {
  SliderRange range = safeRange(slider);
  int usable = usableLength(skin);
  offset = std::clamp(offset, 0, usable);
  if (slider.displayFlags & kDisplayInverted) offset = usable - offset;
  return range.clamp(range.lower + static_cast<int>(static_cast<long long>(offset) * range.span() / usable));
}

SliderGeometry layoutSlider(int number, const PoseSlider& slider, int value, const SkinMetrics& skin) {
  SliderGeometry g;
  const int top = slider.y;
  const int rowHeight = std::max({skin.barHeight, skin.knobHeight, skin.spinHeight});
  const int rowTop = top + skin.textHeight;
  const int middle = rowTop + rowHeight / 2;
  g.bar = {slider.x, middle - skin.barHeight / 2, skin.barWidth, skin.barHeight};
  // The step buttons sit at the bar's right end (its left end when mirrored).
  bool inverted = slider.displayFlags & kDisplayInverted;
  int spinLeft = inverted ? slider.x - skin.spinWidth : g.bar.right();
  g.spin = {spinLeft, middle - skin.spinHeight / 2, skin.spinWidth, skin.spinHeight};
  g.knob = {slider.x + knobOffset(slider, value, skin), middle - skin.knobHeight / 2, skin.knobWidth,
            skin.knobHeight};
  int nameLeft = slider.x;
  if (number >= 0 && number < kServoSliderCount) {
    g.servoBox = {slider.x, top + (skin.textHeight - skin.checkBoxSize) / 2, skin.checkBoxSize, skin.checkBoxSize};
    nameLeft = g.servoBox.right() + 3;
  }
  // The name row reaches over the step buttons into the upper side text's
  // column, which lies in the row below, so names are not cut short.
  int rowRight = slider.x + skin.barWidth + skin.spinWidth + skin.textOverhang;
  g.nameText = {nameLeft, top, std::max(0, rowRight - nameLeft), skin.textHeight};
  g.valueText = {slider.x, top, rowRight - slider.x, skin.textHeight};
  g.sideTextY = middle;
  int left = std::min(g.bar.left, g.spin.left);
  int right = std::max(g.bar.right(), g.spin.right());
  g.outline = {left, top, right - left, rowTop + rowHeight - top};
  return g;
}

namespace {

void keepInsideArea(PoseSlider& slider, int areaWidth, int areaHeight) {
  slider.x = std::clamp(slider.x, 0, std::max(0, areaWidth - 1));
  slider.y = std::clamp(slider.y, 0, std::max(0, areaHeight - 1));
}

}  // namespace

PoseSlider placedSlider(const PoseSlider& slider, int areaWidth, int areaHeight) {
  PoseSlider placed = slider;
  keepInsideArea(placed, areaWidth, areaHeight);
  return placed;
}

SliderTable placedSliders(const SliderTable& table, int areaWidth, int areaHeight) {
  SliderTable placed = table;
  for (PoseSlider& s : placed.sliders) keepInsideArea(s, areaWidth, areaHeight);
  return placed;
}

int displayedValue(const PoseSlider& slider, int value, std::optional<int> basePoseValue) {
  int d = value;
  if (basePoseValue && !(slider.behaviourFlags & kAbsoluteValue)) d -= *basePoseValue;
  if ((slider.behaviourFlags & kSignInverted) && slider.valueFormat != FormatVoice) d = -d;
  return d;
}

std::u16string sliderValueText(const PoseSlider& slider, int value, std::optional<int> basePoseValue,
                               VoiceNameLookup voiceName) {
  const int d = displayedValue(slider, value, basePoseValue);
  const int places = std::clamp(slider.decimalPlaces, 0, kMaxDecimalPlaces);
  switch (slider.valueFormat) {
    case FormatHexadecimal:
      return formatted(u" 0x%04x", {d & 0xFFFF});
    case FormatDegrees: {
      // A slider without a scale shows raw units rather than dividing by zero.
      double units = slider.unitsPerDegree != 0.0 ? slider.unitsPerDegree : 1.0;
      std::u16string format = formatted(u" %%+7.%dfdeg", {places});
      return formatted(format, {d / units});
    }
    case FormatPercent: {
      SliderRange range = safeRange(slider);
      double shown = (slider.behaviourFlags & kAbsoluteValue) ? std::abs(d - range.lower) : d;
      std::u16string format = formatted(u" %%7.%df%%%%", {places});
      return formatted(format, {shown / range.span() * 100.0});
    }
    case FormatVoice: {
      if (value == 0) return u"--------------";
      std::u16string name = (voiceName && value >= 1 && value <= 256) ? voiceName(value) : std::u16string();
      if (name.empty()) return u"No voice";
      size_t slash = name.find_last_of(u"\\/");
      return slash == std::u16string::npos ? name : name.substr(slash + 1);
    }
    default:
      return formatted(u" %+6d", {d});
  }
}

SideTexts sliderSideTexts(const PoseSlider& slider) {
  bool sign = slider.behaviourFlags & kSignInverted;
  if (!(slider.displayFlags & kDisplayInverted)) {
    return {formatted(sign ? u"%s(+)" : u"%s(-)", {slider.lowerText}),
            formatted(sign ? u"(-)%s" : u"(+)%s", {slider.upperText})};
  }
  return {formatted(sign ? u"%s(-)" : u"%s(+)", {slider.upperText}),
          formatted(sign ? u"(+)%s" : u"(-)%s", {slider.lowerText})};
}

}  // namespace kv
