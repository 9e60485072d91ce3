// Servo position correction: shifts the servos' PWM base values so that the
// joint positions the board holds now become those of the active base pose.
#pragma once

#include <array>
#include <cstdint>

#include "board/cpu_settings.h"

namespace kv {

inline constexpr int kCorrectionVariableCount = 62;  // v[0..61], the pose sliders

using CorrectionValues = std::array<int16_t, kCorrectionVariableCount>;

// The servo's x for the variables `v`: v[a] + ((C1 * v[Va1] / 256) * v[Vb1])
// / 256, each division truncating toward zero, taken as 16 bits and limited
// to the servo's lower and upper limit. Variables beyond the sliders read 0.
int16_t correctionPosition(const ServoRecord& servo, const CorrectionValues& v);

// For every servo: base += u * f / 32768 - t * f / 32768, u the position for
// the board's values, t for the base pose's, f the PWM coefficient. The
// base stays within 0 to 65535 (clamped, never wrapped).
void correctServoBases(CpuSettings& settings, const CorrectionValues& boardValues, const CorrectionValues& basePose);

}  // namespace kv
