#include "board/servo_correction.h"

#include <algorithm>

namespace kv {
namespace {

int variable(const CorrectionValues& v, int index) {
  return index >= 0 && index < kCorrectionVariableCount ? v[static_cast<size_t>(index)] : 0;
}

}  // namespace

int16_t correctionPosition(const ServoRecord& servo, const CorrectionValues& v) {
  const int term = (servo.term1Coefficient * variable(v, servo.term1Va) / 256) * variable(v, servo.term1Vb) / 256;
  const int x = static_cast<int16_t>(variable(v, servo.variableA) + term);
  // Limits the other way round leave nothing between them: the lower one wins.
  return static_cast<int16_t>(std::max<int>(std::min<int>(x, servo.upperLimit), servo.lowerLimit));
}

void correctServoBases(CpuSettings& settings, const CorrectionValues& boardValues, const CorrectionValues& basePose) {
  for (ServoRecord& servo : settings.servos) {
    const int f = servo.coefficient;
    const int u = correctionPosition(servo, boardValues);
    const int t = correctionPosition(servo, basePose);
    const int shift = u * f / 32768 - t * f / 32768;
    servo.base = static_cast<uint16_t>(std::clamp(servo.base + shift, 0, 65535));
  }
}

}  // namespace kv
