// The pose part of a pose block: transition time, the 62 slider values, the
// voice file and the servo-enable bits. The current pose is one of these.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "pose/slider_table.h"

namespace kv {

inline constexpr uint16_t kNewPoseSteps = 50;
inline constexpr uint32_t kServoMaskBits = (1u << kServoSliderCount) - 1;  // bits 0..29

struct PoseValues {
  uint16_t steps = kNewPoseSteps;
  std::array<int16_t, kSliderCount> values{};
  int16_t nextIndex = -1;    // link targets while a motion file is read
  int16_t branchIndex = -1;
  std::u16string voiceFile;  // voice file attached to the pose, empty for none
  uint32_t servoMask = 0;    // bit n: servo of slider n enabled (n < 30)

  bool operator==(const PoseValues&) const = default;
};

}  // namespace kv
