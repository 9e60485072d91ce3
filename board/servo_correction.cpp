#include "board/servo_correction.h"

#include <algorithm>

#include "session/online_session.h"
#include "shell/editor_state.h"
#include "shell/messages.h"

namespace kv {
namespace {

int64_t sliderValue(const SliderValues& values, int slider) {
  return slider < kSliderCount ? values[slider] : 0;
}

}  // namespace

int16_t servoTermPosition(const ServoRecord& servo, const SliderValues& values) {
  // 64 bits: coefficient x v / 256 x v does not fit 32.
  const int64_t term = servo.term1Coefficient * sliderValue(values, servo.term1Va) / 256 *
                       sliderValue(values, servo.term1Vb) / 256;
  const auto position = static_cast<int16_t>(sliderValue(values, servo.variableA) + term);
  // Limits set the wrong way round hold the position at the lower one.
  return std::max(servo.lowerLimit, std::min(position, servo.upperLimit));
}

void correctServoBases(CpuSettings& settings, const SliderValues& boardValues, const SliderValues& basePose) {
  for (ServoRecord& servo : settings.servos) {
    const int64_t now = servoTermPosition(servo, boardValues);
    const int64_t wanted = servoTermPosition(servo, basePose);
    const int64_t base = servo.base + now * servo.coefficient / 32768 - wanted * servo.coefficient / 32768;
    servo.base = static_cast<uint16_t>(std::clamp<int64_t>(base, 0, 65535));
  }
}

bool servoPositionCorrection(EditorState& state, const ServoCorrectionLink& link) {
  const std::optional<SliderValues> boardValues = link.connected() ? link.boardValues() : std::nullopt;
  if (!boardValues) {
    showMessage(kMsgCorrectionNotOnline, MessageIcon::Error, MessageButtons::Ok);
    return false;
  }
  if (!basePoseActive(state.basePoses)) {
    showMessage(kMsgCorrectionNoBasePose, MessageIcon::Error, MessageButtons::Ok);
    return false;
  }
  if (showMessage(kMsgCorrectionQuestion, MessageIcon::Question, MessageButtons::YesNo) != MessageAnswer::Yes) {
    return false;
  }

  SliderValues basePose{};
  for (int i = 0; i < kSliderCount; ++i) basePose[i] = basePoseValue(state.basePoses, state.basePoses.current, i);
  CpuSettings corrected = state.cpuSettings;
  correctServoBases(corrected, *boardValues, basePose);

  // The robot moves to the base pose: its servos go off first.
  const bool servosWereOn = state.status.has(status::kServosOn);
  if (servosWereOn) {
    showMessage(kMsgCorrectionServosOff, MessageIcon::Warning, MessageButtons::Ok);
    if (!link.setServoPower(0)) return false;
  }

  applyBasePose(state, -1);
  // The record changes only together with the board: after a failed write
  // both keep the bases they had.
  const bool applied = link.applySettingsToRam(corrected);
  if (applied) {
    state.cpuSettings = corrected;
    showMessage(kMsgAppliedToRam, MessageIcon::None, MessageButtons::Ok);
  } else {
    showMessage(kMsgApplyToRamFailed, MessageIcon::Warning, MessageButtons::Ok);
  }
  if (servosWereOn) link.setServoPower(1);
  return applied;
}

bool servoPositionCorrection(EditorState& state, OnlineSession& session) {
  ServoCorrectionLink link;
  link.connected = [&session] { return session.connected(); };
  link.boardValues = [&session]() -> std::optional<SliderValues> {
    SliderValues values{};
    const LiveSnapshot snapshot = session.liveSnapshot();
    std::copy_n(snapshot.boardValues.begin(), kSliderCount, values.begin());
    return values;
  };
  link.setServoPower = [&session](int on) {
    const bool ok = session.access().setServoPower(on) == 1;
    if (ok) session.editor().status.set(status::kServosOn, on != 0);
    session.events().sessionChanged();
    return ok;
  };
  link.applySettingsToRam = [&session](const CpuSettings& settings) {
    return session.access().applySettingsToRam(settings) == 1;
  };
  return servoPositionCorrection(state, link);
}

}  // namespace kv
