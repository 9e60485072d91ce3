// The pose slider table: one record per servo axis (62, numbered 0 to 61),
// read from and written to the project's axis definition file
// ("medit_sld.ini"), together with the main window's size and the split
// between the pose area and the motion area.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>

#include "display/logical_font.h"

namespace kv {

inline constexpr int kSliderCount = 62;
inline constexpr int kServoSliderCount = 30;  // sliders 0..29 drive servo outputs

inline constexpr size_t kSliderNameFieldSize = 16;
inline constexpr size_t kSideTextFieldSize = 10;

enum PairAttribute : int32_t { PairNone = 0, PairCentre = 1, PairRight = 2, PairLeft = 3 };

enum ValueFormat : int32_t {
  FormatDecimal = 0,
  FormatHexadecimal = 1,
  FormatDegrees = 2,
  FormatPercent = 3,
  FormatVoice = 4,
};

inline constexpr int kMaxDecimalPlaces = 2;

// Display flags.
inline constexpr int32_t kDisplayInverted = 0x1;
inline constexpr int32_t kSliderSelected = 0x2;  // runtime only, never stored
// Behaviour flags.
inline constexpr int32_t kSliderDisabled = 0x1;
inline constexpr int32_t kShowSliderName = 0x4;
inline constexpr int32_t kSignInverted = 0x8;
inline constexpr int32_t kAbsoluteValue = 0x10;
inline constexpr int32_t kHideSideTexts = 0x20;

struct PoseSlider {
  int32_t x = 0;
  int32_t y = 0;
  std::u16string name;        // at most 15 units
  std::u16string upperText;   // at most 9 units
  std::u16string lowerText;   // at most 9 units
  LogicalFont font;
  Colour textColour = 0;
  Colour textBackground = 0;
  int32_t pairAttribute = PairNone;
  int32_t pairPartner = 0;
  int16_t lowerLimit = 0;
  int16_t upperLimit = 0;
  uint16_t stepResolution = 0;
  int32_t valueFormat = FormatDecimal;
  int32_t decimalPlaces = 0;
  double unitsPerDegree = 0.0;
  int32_t displayFlags = 0;
  int32_t behaviourFlags = 0;

  bool enabled() const { return !(behaviourFlags & kSliderDisabled); }
  bool selected() const { return displayFlags & kSliderSelected; }
  bool operator==(const PoseSlider&) const = default;
};

// The limits as the editor computes with them: the file may hold limits that
// are equal or reversed. Reversed limits are put in order; equal limits allow
// that one value only, and only a division by the span counts them as one
// unit apart.
struct SliderRange {
  int lower;
  int upper;
  int span() const { return upper > lower ? upper - lower : 1; }  // a divisor, always at least 1
  int clamp(int value) const { return value < lower ? lower : (value > upper ? upper : value); }
};
SliderRange safeRange(const PoseSlider& slider);

struct SliderTable {
  std::array<PoseSlider, kSliderCount> sliders{};
  double centreBarPosition = 0.6;  // share of the client width given to the pose area
  int32_t centreBarState = 0;      // nonzero: pose area widened by a double-click
  int32_t clientWidth = 880;
  int32_t clientHeight = 640;
};

inline constexpr char16_t kSliderSettingsFileName[] = u"medit_sld.ini";

// Reads the axis definition file. On success the table holds exactly what the
// file gives (everything else zero); false when the file cannot be opened,
// leaving the table as it was.
bool loadSliderFile(const std::filesystem::path& file, SliderTable& table);
// Writes the whole table; false when the file cannot be written.
bool saveSliderFile(const std::filesystem::path& file, const SliderTable& table);

// True when `partner` can be a pair partner of `slider`.
inline bool validPartner(int slider, int partner) {
  return partner >= 0 && partner < kSliderCount && partner != slider;
}

// Makes `slider` right (or left) with `partner`, and the partner the opposite
// side, clearing every other right/left pair that pointed at either of them.
// False, changing nothing, when the partner is invalid.
bool setSliderPair(SliderTable& table, int slider, int partner, bool sliderIsRight);
// Sets none or centre on `slider`; a former right/left partner that pointed
// back at it loses its pair too, so no pair is left one-way.
void setSliderUnpaired(SliderTable& table, int slider, int attribute);

}  // namespace kv
