// What the pose area does with the mouse and the wheel, in numbers: which
// part of which slider a point hits, step amounts, the grid values land on,
// knob dragging and wheel notches. The pose area widget turns events into
// these calls.
#pragma once

#include <optional>
#include <string>

#include "pose/pose_layout.h"
#include "pose/pose_values.h"

namespace kv {

struct BasePoseTable;

enum class SliderPart { None, StepUp, StepDown, Knob, Bar, ServoBox };

struct SliderHit {
  int slider = -1;
  SliderPart part = SliderPart::None;
};

// Tests the enabled sliders in number order; the first hit wins: step
// buttons, knob, bar (within half the bar height of its centre line), servo
// box.
SliderHit hitTestSliders(const SliderTable& table, const PoseValues& pose, const SkinMetrics& skin, int x, int y);

struct StepModifiers {
  bool ctrl = false;   // a sixteenth of the step
  bool shift = false;  // sixteen steps
};

// The slider's step resolution scaled by the modifiers; at least 1.
int stepAmount(const PoseSlider& slider, StepModifiers modifiers);

// The base value the slider's grid is laid from: the active base pose's value
// when the slider is relative and the base pose defines it.
std::optional<int> gridBase(const PoseSlider& slider, int number, const BasePoseTable& basePoses);

// `value` rounded toward zero onto the grid base + k × amount, then clamped
// to the slider's limits.
int snapToGrid(const PoseSlider& slider, int value, int amount, std::optional<int> base);

// One press of a step button (up or down), for the value the slider has now.
// The direction follows display and sign inversion.
int stepValue(const PoseSlider& slider, int value, bool up, StepModifiers modifiers, std::optional<int> base);

// The value for a knob whose left edge is `knobLeft` pixels into the bar,
// snapped to the step grid unless it is a limit.
int dragValue(const PoseSlider& slider, int knobLeft, const SkinMetrics& skin, StepModifiers modifiers,
              std::optional<int> base);

// Sums wheel deltas and hands out whole notches of 120.
class WheelAccumulator {
 public:
  int add(int delta);  // the notches reached; the remainder is kept
 private:
  int sum_ = 0;
};

// The value after `notches` wheel notches on a selected slider.
int wheelValue(const PoseSlider& slider, int value, int notches, StepModifiers modifiers, std::optional<int> base);

// Selection and display inversion of the sliders.
void selectAllSliders(SliderTable& table);
void deselectAllSliders(SliderTable& table);
void toggleDisplayInversion(SliderTable& table);
bool anySliderSelected(const SliderTable& table);

// The tooltip of a slider: "%02d:%s %s" with the shown and the raw value.
std::u16string sliderTooltip(int number, const PoseSlider& slider, int value, std::optional<int> basePoseValue,
                             VoiceNameLookup voiceName = nullptr);

}  // namespace kv
