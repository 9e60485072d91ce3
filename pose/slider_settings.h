// What the pose slider settings dialog edits, and Apply: the dialog's
// entries are read into a form, checked, and applied to one slider or to
// every selected slider.
#pragma once

#include <optional>
#include <string>

#include "pose/slider_table.h"

namespace kv {

enum class TriState { Unchecked, Checked, Indeterminate };

// Control numbers of the dialog's entry fields, also used to tell which field
// failed its check.
namespace slider_control {
inline constexpr int kLowerLimit = 1575;
inline constexpr int kUpperLimit = 1576;
inline constexpr int kStepResolution = 1698;
inline constexpr int kUnitsPerDegree = 1707;
}  // namespace slider_control

struct SliderSettingsForm {
  bool forSelection = false;  // the entry for the selected sliders, else `slider`
  int slider = 0;

  std::u16string name, upperText, lowerText;
  // Texts as entered; an empty text leaves the value unchanged.
  std::u16string lowerLimit, upperLimit, stepResolution, unitsPerDegree, x, y;
  std::optional<int32_t> valueFormat;  // none checked: unchanged
  int decimalPlaces = 0;
  int32_t pairAttribute = PairNone;
  int32_t pairPartner = 0;

  TriState enabled = TriState::Indeterminate;
  TriState displayInverted = TriState::Indeterminate;
  TriState signInverted = TriState::Indeterminate;
  TriState relativeToBasePose = TriState::Indeterminate;
  TriState showName = TriState::Indeterminate;
  TriState showSideTexts = TriState::Indeterminate;

  // Working copies of the font and colours; none while unset.
  std::optional<LogicalFont> font;
  std::optional<Colour> textColour;
  std::optional<Colour> textBackground;
};

// The form filled from one slider, and the form for the selected sliders.
SliderSettingsForm formForSlider(const SliderTable& table, int slider);
SliderSettingsForm formForSelection();

enum class ApplyOutcome { Declined, Invalid, Applied };

struct ApplyResult {
  ApplyOutcome outcome = ApplyOutcome::Declined;
  int invalidControl = 0;  // the field that failed its check
};

// Asks whether to apply (string 40106), checks the entries (40124, 40120,
// 40181, 40125 stop everything), then applies. A pair onto the slider itself
// (40127) or limits that are equal or reversed (40123) skip only that item.
ApplyResult applySliderSettings(SliderTable& table, const SliderSettingsForm& form);

}  // namespace kv
