#include "pose/slider_settings.h"

#include "shell/messages.h"
#include "shell/text_format.h"
#include "shell/textfile.h"

namespace kv {
namespace {

constexpr int kApplyQuestionString = 40106;
constexpr int kRangeRangeString = 40120;
constexpr int kLimitsReversedString = 40123;
constexpr int kRangeCharactersString = 40124;
constexpr int kAngleCharactersString = 40125;
constexpr int kSamePartnerString = 40127;
constexpr int kStepTooLargeString = 40181;

TriState triState(bool on) { return on ? TriState::Checked : TriState::Unchecked; }

bool numberCharactersOnly(std::u16string_view text) {
  for (char16_t c : text)
    if (!((c >= u'0' && c <= u'9') || c == u' ' || c == u'+' || c == u'-' || c == u'.')) return false;
  return true;
}

// Sets or clears `bit` for a checked or unchecked box (`inverted` when the
// box shows the opposite of the bit); an indeterminate box leaves it alone.
void applyBox(int32_t& flags, int32_t bit, TriState box, bool inverted = false) {
  if (box == TriState::Indeterminate) return;
  bool on = (box == TriState::Checked) != inverted;
  flags = on ? (flags | bit) : (flags & ~bit);
}

struct CheckedNumbers {
  std::optional<int> lower, upper, step;
  std::optional<double> unitsPerDegree;
};

// Stops at the first bad field: shows its message and names the control.
std::optional<int> checkEntries(const SliderSettingsForm& form, CheckedNumbers& numbers) {
  struct LimitField {
    const std::u16string& text;
    std::optional<int>& value;
    int control;
  };
  for (LimitField field : {LimitField{form.lowerLimit, numbers.lower, slider_control::kLowerLimit},
                           LimitField{form.upperLimit, numbers.upper, slider_control::kUpperLimit}}) {
    if (field.text.empty()) continue;
    if (!numberCharactersOnly(field.text)) {
      showMessage(kRangeCharactersString, MessageIcon::Error, MessageButtons::Ok);
      return field.control;
    }
    int value = parseDecimal(field.text);
    if (value < -32768 || value > 32767) {
      showMessage(kRangeRangeString, MessageIcon::Error, MessageButtons::Ok);
      return field.control;
    }
    field.value = value;
  }
  if (!form.stepResolution.empty()) {
    int step = parseDecimal(form.stepResolution);
    if (step > 32767) {
      showMessage(kStepTooLargeString, MessageIcon::Error, MessageButtons::Ok);
      return slider_control::kStepResolution;
    }
    numbers.step = std::max(0, step);
  }
  if (form.valueFormat == FormatDegrees && !form.unitsPerDegree.empty()) {
    if (!numberCharactersOnly(form.unitsPerDegree)) {
      showMessage(kAngleCharactersString, MessageIcon::Error, MessageButtons::Ok);
      return slider_control::kUnitsPerDegree;
    }
    numbers.unitsPerDegree = parseReal(form.unitsPerDegree);
  }
  return std::nullopt;
}

// Value format, places, units per degree, limits and step: the same for a
// single slider and for each selected one.
void applyNumbers(PoseSlider& slider, const SliderSettingsForm& form, const CheckedNumbers& numbers,
                  MessageIcon limitsIcon) {
  // The places spin belongs to the format radios: with none checked (the
  // entry for selected sliders) each slider keeps its own places.
  if (form.valueFormat) {
    slider.valueFormat = *form.valueFormat;
    if (slider.valueFormat == FormatDegrees || slider.valueFormat == FormatPercent)
      slider.decimalPlaces = std::clamp(form.decimalPlaces, 0, kMaxDecimalPlaces);
  }
  if (slider.valueFormat == FormatDegrees && numbers.unitsPerDegree) slider.unitsPerDegree = *numbers.unitsPerDegree;
  int lower = numbers.lower.value_or(slider.lowerLimit);
  int upper = numbers.upper.value_or(slider.upperLimit);
  if (numbers.lower || numbers.upper) {
    if (lower < upper) {
      slider.lowerLimit = static_cast<int16_t>(lower);
      slider.upperLimit = static_cast<int16_t>(upper);
    } else {
      showMessage(kLimitsReversedString, limitsIcon, MessageButtons::Ok);
    }
  }
  if (numbers.step) slider.stepResolution = static_cast<uint16_t>(*numbers.step);
}

void applyBoxes(PoseSlider& slider, const SliderSettingsForm& form) {
  applyBox(slider.behaviourFlags, kSliderDisabled, form.enabled, true);
  applyBox(slider.displayFlags, kDisplayInverted, form.displayInverted);
  applyBox(slider.behaviourFlags, kSignInverted, form.signInverted);
  applyBox(slider.behaviourFlags, kAbsoluteValue, form.relativeToBasePose, true);
  applyBox(slider.behaviourFlags, kShowSliderName, form.showName);
  applyBox(slider.behaviourFlags, kHideSideTexts, form.showSideTexts, true);
}

void applyPosition(PoseSlider& slider, const SliderSettingsForm& form) {
  if (!form.x.empty()) slider.x = parseDecimal(form.x);
  if (!form.y.empty()) slider.y = parseDecimal(form.y);
}

void applyLook(PoseSlider& slider, const SliderSettingsForm& form) {
  if (form.font) slider.font = *form.font;
  if (form.textColour) slider.textColour = *form.textColour;
  if (form.textBackground) slider.textBackground = *form.textBackground;
}

}  // namespace

SliderSettingsForm formForSlider(const SliderTable& table, int slider) {
  const PoseSlider& s = table.sliders[slider];
  SliderSettingsForm form;
  form.slider = slider;
  form.name = s.name;
  form.upperText = s.upperText;
  form.lowerText = s.lowerText;
  form.lowerLimit = formatted(u"%d", {static_cast<int>(s.lowerLimit)});
  form.upperLimit = formatted(u"%d", {static_cast<int>(s.upperLimit)});
  form.x = formatted(u"%d", {s.x});
  form.y = formatted(u"%d", {s.y});
  form.stepResolution = formatted(u"%d", {static_cast<int>(s.stepResolution)});
  form.unitsPerDegree = formatted(u"%f", {s.unitsPerDegree});
  form.valueFormat = s.valueFormat;
  form.decimalPlaces = std::clamp(s.decimalPlaces, 0, kMaxDecimalPlaces);
  form.pairAttribute = s.pairAttribute;
  form.pairPartner = s.pairPartner;
  form.enabled = triState(!(s.behaviourFlags & kSliderDisabled));
  form.displayInverted = triState(s.displayFlags & kDisplayInverted);
  form.signInverted = triState(s.behaviourFlags & kSignInverted);
  form.relativeToBasePose = triState(!(s.behaviourFlags & kAbsoluteValue));
  form.showName = triState(s.behaviourFlags & kShowSliderName);
  form.showSideTexts = triState(!(s.behaviourFlags & kHideSideTexts));
  form.font = s.font;
  form.textColour = s.textColour;
  form.textBackground = s.textBackground;
  return form;
}

SliderSettingsForm formForSelection() {
  SliderSettingsForm form;
  form.forSelection = true;
  return form;
}

ApplyResult applySliderSettings(SliderTable& table, const SliderSettingsForm& form) {
  ApplyResult result;
  if (showMessage(kApplyQuestionString, MessageIcon::Question, MessageButtons::YesNo) != MessageAnswer::Yes)
    return result;
  CheckedNumbers numbers;
  if (std::optional<int> bad = checkEntries(form, numbers)) {
    result.outcome = ApplyOutcome::Invalid;
    result.invalidControl = *bad;
    return result;
  }
  result.outcome = ApplyOutcome::Applied;

  if (!form.forSelection) {
    if (form.slider < 0 || form.slider >= kSliderCount) return result;
    PoseSlider& slider = table.sliders[form.slider];
    applyBoxes(slider, form);
    slider.name = fitField(form.name, kSliderNameFieldSize);
    slider.upperText = fitField(form.upperText, kSideTextFieldSize);
    slider.lowerText = fitField(form.lowerText, kSideTextFieldSize);
    applyPosition(slider, form);
    applyLook(slider, form);
    if (form.pairAttribute == PairRight || form.pairAttribute == PairLeft) {
      if (!setSliderPair(table, form.slider, form.pairPartner, form.pairAttribute == PairRight))
        showMessage(kSamePartnerString, MessageIcon::Error, MessageButtons::Ok);
    } else {
      setSliderUnpaired(table, form.slider, form.pairAttribute);
    }
    applyNumbers(slider, form, numbers, MessageIcon::Error);
    return result;
  }

  for (PoseSlider& slider : table.sliders) {
    if (!slider.selected()) continue;
    applyBoxes(slider, form);
    if (!form.name.empty()) slider.name = fitField(form.name, kSliderNameFieldSize);
    if (!form.upperText.empty()) slider.upperText = fitField(form.upperText, kSideTextFieldSize);
    if (!form.lowerText.empty()) slider.lowerText = fitField(form.lowerText, kSideTextFieldSize);
    applyPosition(slider, form);
    applyLook(slider, form);
    applyNumbers(slider, form, numbers, MessageIcon::Warning);
  }
  return result;
}

}  // namespace kv
