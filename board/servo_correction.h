// Servo position correction (command 40088): shifts the PWM base of every
// servo output so that the joint positions the board holds now become the
// positions of the active base pose, and applies the changed settings to the
// board's RAM.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>

#include "board/cpu_settings.h"
#include "board/cpu_settings_form.h"
#include "pose/base_poses.h"

namespace kv {

struct EditorState;
class OnlineSession;

// String numbers the correction shows.
inline constexpr int kMsgCorrectionNotOnline = 40006;
inline constexpr int kMsgCorrectionNoBasePose = 40141;
inline constexpr int kMsgCorrectionQuestion = 40036;
inline constexpr int kMsgCorrectionServosOff = 40067;

using SliderValues = std::array<int16_t, kSliderCount>;

// The position servo output `servo` computes from slider values: v[a] plus
// the first term, coefficient x v[Va] / 256 x v[Vb] / 256 (every division
// toward zero), taken as 16 bits and held within the output's limits.
// Slider numbers beyond the 62 pose sliders read 0.
int16_t servoTermPosition(const ServoRecord& servo, const SliderValues& values);

// Moves every servo output's PWM base by what its position at `boardValues`
// and at `basePose` differ by through the PWM coefficient, each product / 32768
// toward zero. The base stays within 0 to 65535 instead of wrapping.
void correctServoBases(CpuSettings& settings, const SliderValues& boardValues, const SliderValues& basePose);

// What the correction needs of the online session.
struct ServoCorrectionLink {
  std::function<bool()> connected;
  // The slider values last read back from the board; none before the first read.
  std::function<std::optional<SliderValues>()> boardValues;
  // Switches servo power (1 or 0) and keeps status bit 0x8 in step; true
  // when the board took it.
  std::function<bool(int on)> setServoPower;
  // applySettingsToRam; true when every write went out.
  std::function<bool(const CpuSettings&)> applySettingsToRam;
};

// The whole command, on the GUI thread: checks (40006 not online, 40141 no
// active base pose), question 40036 (No: nothing changes), servos off with
// 40067 when they are on (stops when that fails), the corrected bases into
// state.cpuSettings, the pose matched to the base pose, the settings applied
// to the board, then 40271 when they were applied or 40272 when a write
// failed, and servos on again when they were on. True only when the settings
// reached the board.
bool servoPositionCorrection(EditorState& state, const ServoCorrectionLink& link);

// The same through the editor's online session: the CPU settings dialog's
// command calls this.
bool servoPositionCorrection(EditorState& state, OnlineSession& session);

}  // namespace kv
