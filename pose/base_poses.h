// Base poses: up to 36 named reference poses of the robot, one of them
// current, kept in "medit_defpos.ini".
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>

#include "pose/slider_table.h"

namespace kv {

inline constexpr int kBasePoseCount = 36;
inline constexpr size_t kBasePoseNameFieldSize = 128;  // at most 127 units

struct BasePose {
  std::u16string name;
  std::array<int16_t, kSliderCount> values{};
  uint32_t servoMask = 0;
  bool valid = false;
  std::array<bool, kSliderCount> sliderEnabled{};
  bool operator==(const BasePose&) const = default;
};

// Valid entries come first; the first invalid entry ends the list.
struct BasePoseTable {
  std::array<BasePose, kBasePoseCount> entries{};
  int current = 0;  // 0..35
};

}  // namespace kv
