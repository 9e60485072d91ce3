#include "pose/pose_edit.h"

#include <algorithm>
#include <cstdlib>

#include "pose/base_poses.h"
#include "shell/text_format.h"

namespace kv {

SliderHit hitTestSliders(const SliderTable& table, const PoseValues& pose, const SkinMetrics& skin, int x, int y) {
  for (int i = 0; i < kSliderCount; ++i) {
    const PoseSlider& slider = table.sliders[i];
    if (!slider.enabled()) continue;
    SliderGeometry g = layoutSlider(i, slider, pose.values[i], skin);
    if (g.spin.contains(x, y)) return {i, y < g.spin.top + g.spin.height / 2 ? SliderPart::StepUp : SliderPart::StepDown};
    if (g.knob.contains(x, y)) return {i, SliderPart::Knob};
    int centre = g.bar.top + g.bar.height / 2;
    if (x >= g.bar.left && x < g.bar.right() && std::abs(y - centre) <= g.bar.height / 2) return {i, SliderPart::Bar};
    if (!g.servoBox.empty() && g.servoBox.contains(x, y)) return {i, SliderPart::ServoBox};
  }
  return {};
}

int stepAmount(const PoseSlider& slider, StepModifiers modifiers) {
  int amount = slider.stepResolution;
  if (modifiers.ctrl) amount /= 16;
  if (modifiers.shift) amount *= 16;
  return std::max(1, amount);
}

std::optional<int> gridBase(const PoseSlider& slider, int number, const BasePoseTable& basePoses) {
  if (slider.behaviourFlags & kAbsoluteValue) return std::nullopt;
  if (basePoses.current < 0 || basePoses.current >= kBasePoseCount) return std::nullopt;
  const BasePose& base = basePoses.entries[basePoses.current];
  if (!base.valid || number < 0 || number >= kSliderCount || !base.sliderEnabled[number]) return std::nullopt;
  return base.values[number];
}

int snapToGrid(const PoseSlider& slider, int value, int amount, std::optional<int> base) {
  amount = std::max(1, amount);
  int origin = base.value_or(0);
  int snapped = origin + (value - origin) / amount * amount;
  return safeRange(slider).clamp(snapped);
}

int stepValue(const PoseSlider& slider, int value, bool up, StepModifiers modifiers, std::optional<int> base) {
  int amount = stepAmount(slider, modifiers);
  int delta = up ? amount : -amount;
  if (slider.displayFlags & kDisplayInverted) delta = -delta;
  if (slider.behaviourFlags & kSignInverted) delta = -delta;
  return snapToGrid(slider, value + delta, amount, base);
}

int dragValue(const PoseSlider& slider, int knobLeft, const SkinMetrics& skin, StepModifiers modifiers,
              std::optional<int> base) {
  int value = valueAtOffset(slider, knobLeft, skin);
  SliderRange range = safeRange(slider);
  if (value <= range.lower || value >= range.upper) return range.clamp(value);
  return snapToGrid(slider, value, stepAmount(slider, modifiers), base);
}

int WheelAccumulator::add(int delta) {
  sum_ += delta;
  int notches = sum_ / 120;
  sum_ -= notches * 120;
  return notches;
}

int wheelValue(const PoseSlider& slider, int value, int notches, StepModifiers modifiers, std::optional<int> base) {
  int amount = slider.stepResolution;
  if (modifiers.ctrl) amount /= 16;
  if (modifiers.shift) amount *= 16;
  amount *= notches;
  if (amount == 0) amount = notches < 0 ? -1 : 1;
  int moved = (slider.displayFlags & kDisplayInverted) ? value - amount : value + amount;
  return snapToGrid(slider, moved, std::abs(amount / (notches == 0 ? 1 : notches)), base);
}

void selectAllSliders(SliderTable& table) {
  for (PoseSlider& s : table.sliders)
    if (s.enabled()) s.displayFlags |= kSliderSelected;
}

void deselectAllSliders(SliderTable& table) {
  for (PoseSlider& s : table.sliders) s.displayFlags &= ~kSliderSelected;
}

void toggleDisplayInversion(SliderTable& table) {
  for (PoseSlider& s : table.sliders)
    if (s.selected()) s.displayFlags ^= kDisplayInverted;
}

bool anySliderSelected(const SliderTable& table) {
  return std::any_of(table.sliders.begin(), table.sliders.end(), [](const PoseSlider& s) { return s.selected(); });
}

std::u16string sliderTooltip(int number, const PoseSlider& slider, int value, std::optional<int> basePoseValue,
                             VoiceNameLookup voiceName) {
  const int d = displayedValue(slider, value, basePoseValue);
  const int raw = value & 0xFFFF;
  std::u16string shown;
  switch (slider.valueFormat) {
    case FormatHexadecimal:
      shown = formatted(u"0x%04x (0x%04x)", {d & 0xFFFF, raw});
      break;
    case FormatDegrees:
      shown = formatted(u"%.2fdeg (0x%04x)", {d / (slider.unitsPerDegree != 0.0 ? slider.unitsPerDegree : 1.0), raw});
      break;
    case FormatPercent: {
      SliderRange range = safeRange(slider);
      double part = (slider.behaviourFlags & kAbsoluteValue) ? std::abs(d - range.lower) : d;
      shown = formatted(u"%.2f%% (0x%04x)", {part / range.span() * 100.0, raw});
      break;
    }
    case FormatVoice: {
      std::u16string name = value == 0 ? std::u16string() : sliderValueText(slider, value, std::nullopt, voiceName);
      if (value == 0)
        shown = formatted(u"---------- (0x%04x)", {raw});
      else if (name == u"No voice")
        shown = formatted(u"No voice (0x%04x)", {raw});
      else
        shown = formatted(u"%s (0x%04x)", {name, raw});
      break;
    }
    default:
      shown = formatted(u"%+d (0x%04x)", {d, raw});
  }
  return formatted(u"%02d:%s %s", {number, slider.name, shown});
}

}  // namespace kv
