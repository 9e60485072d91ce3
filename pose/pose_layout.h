// Where each part of a pose slider is drawn, and the texts it shows. The
// element sizes come from the pose area's skin images.
#pragma once

#include <optional>
#include <string>

#include "pose/slider_table.h"

namespace kv {

struct Rect {
  int left = 0, top = 0, width = 0, height = 0;
  int right() const { return left + width; }
  int bottom() const { return top + height; }
  bool contains(int x, int y) const { return x >= left && x < right() && y >= top && y < bottom(); }
  bool empty() const { return width <= 0 || height <= 0; }
  bool operator==(const Rect&) const = default;
};

// Pixel sizes of the pose area's skin elements.
struct SkinMetrics {
  int barWidth = 100, barHeight = 14;
  int knobWidth = 11, knobHeight = 20;
  int spinWidth = 13, spinHeight = 20;
  int markWidth = 9, markHeight = 6;
  int checkBoxSize = 13;   // one cell of the two-cell check box image
  int textHeight = 14;     // line height of the slider texts
  int textOverhang = 36;   // how far the name row reaches past the step buttons
};

struct SliderGeometry {
  Rect bar;
  Rect spin;        // step buttons: upper half up, lower half down
  Rect knob;
  Rect servoBox;    // empty for sliders without a servo output
  Rect nameText;    // above the bar
  Rect valueText;   // above the bar, right-aligned to its end
  int sideTextY = 0;  // vertical middle of the bar row, for the side texts
  Rect outline;     // everything but the side texts
};

// The knob's left edge for `value`, relative to the bar's left edge. The
// knob travels the bar length minus the knob width; a display-inverted
// slider runs from its right end. Limits that are equal or reversed are
// computed with a safe range.
int knobOffset(const PoseSlider& slider, int value, const SkinMetrics& skin);

// The value a position along the bar stands for (the inverse of knobOffset,
// before stepping).
int valueAtOffset(const PoseSlider& slider, int offset, const SkinMetrics& skin);

SliderGeometry layoutSlider(int number, const PoseSlider& slider, int value, const SkinMetrics& skin);

// Where a slider is drawn and hit in an area of the given size: a copy whose
// top-left corner is kept inside the area. The stored position stays as the
// user left it, so a slider comes back when the area grows again.
PoseSlider placedSlider(const PoseSlider& slider, int areaWidth, int areaHeight);
SliderTable placedSliders(const SliderTable& table, int areaWidth, int areaHeight);

// The value as the slider shows it: relative to the active base pose value
// (unless the slider is absolute), negated for a sign-inverted slider.
int displayedValue(const PoseSlider& slider, int value, std::optional<int> basePoseValue);

// Looks up the name of voice number v (1..256); empty when the voice is not
// set. Until the voice table exists every voice reads as unset.
using VoiceNameLookup = std::u16string (*)(int voice);

// The value text drawn above the bar, e.g. " +120.0deg" or "  45%".
std::u16string sliderValueText(const PoseSlider& slider, int value, std::optional<int> basePoseValue,
                               VoiceNameLookup voiceName = nullptr);

// The texts drawn left and right of the bar.
struct SideTexts {
  std::u16string left;
  std::u16string right;
};
SideTexts sliderSideTexts(const PoseSlider& slider);

}  // namespace kv
