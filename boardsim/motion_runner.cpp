#include "motion_runner.h"

#include <cmath>

namespace boardsim {

int16_t interpolate(int16_t from, int16_t to, uint8_t type, uint32_t done, uint32_t total) {
  if (total == 0 || done >= total) return to;
  switch (type) {
    case 0:
    case 3:
      return done >= 1 ? to : from;
    case 4:
      return from;
    default:
      break;
  }
  const double t = static_cast<double>(done) / total;
  const double f = type == 1 ? t * t * (3.0 - 2.0 * t) : t;
  return static_cast<int16_t>(std::lround(from + (static_cast<double>(to) - from) * f));
}

void SliderTransition::begin(const BoardMemory& memory, const std::array<int16_t, kSliderCount>& target,
                             uint32_t cycles) {
  for (int i = 0; i < kSliderCount; ++i) {
    from_[i] = memory.variable(i);
    type_[i] = memory.byte(kInterpolation + static_cast<uint32_t>(i));
  }
  to_ = target;
  total_ = cycles == 0 ? 1 : cycles;
  done_ = 0;
  active_ = true;
}

bool SliderTransition::step(BoardMemory& memory) {
  if (!active_) return false;
  ++done_;
  for (int i = 0; i < kSliderCount; ++i) memory.setVariable(i, interpolate(from_[i], to_[i], type_[i], done_, total_));
  if (done_ < total_) return false;
  active_ = false;
  return true;
}

bool branchHolds(uint8_t condition, int16_t variable, int16_t value) {
  switch (condition) {
    case 1:
      return variable >= value;
    case 2:
      return variable <= value;
    case 3:
      return (static_cast<uint16_t>(variable) & static_cast<uint16_t>(value)) == static_cast<uint16_t>(value);
    case 4:
      return variable == value;
    case 5:
      return variable != value;
    case 6:
      return true;
    default:  // 0 undefined, 7 never, anything else
      return false;
  }
}

bool calculate(uint8_t operation, int16_t& variable, int16_t operand) {
  const int32_t a = variable;
  const int32_t b = operand;
  int32_t result = a;
  switch (operation) {
    case 0:
      result = b;
      break;
    case 1:
      result = a + b;
      break;
    case 2:
      result = a - b;
      break;
    case 3:
      result = a * b;
      break;
    case 4:
      if (b != 0) result = a / b;  // -32768 / -1 wraps like the board's 16-bit arithmetic
      break;
    default:
      return false;
  }
  variable = static_cast<int16_t>(static_cast<uint16_t>(static_cast<uint32_t>(result) & 0xFFFF));
  return true;
}

void MotionRunner::start(BoardMemory& memory, uint32_t address) {
  pc_ = address;
  loopSetting_ = memory.s16(kLoopSetting);
  loopCounters_.clear();
  move_.cancel();
  running_ = true;
  memory.setU32(kMotionStart, address);
  memory.setU32(kMotionPosition, address);
  memory.setU32(kMotionNext, address);
  memory.setU32(kMotionWait, 0);
}

void MotionRunner::finish(BoardMemory& memory) {
  running_ = false;
  move_.cancel();
  memory.setU32(kMotionStart, 0);
  memory.setU32(kMotionNext, 0);
  memory.setU32(kMotionWait, 0);
}

void MotionRunner::stop(BoardMemory& memory) {
  if (running_) finish(memory);
  memory.setU32(kMotionStart, 0);
}

// The loop setting is the number of times a junction sends execution back
// along its branch link before it lets it pass; -1 repeats for ever. A
// junction that lets execution pass is armed again for the next time it is
// reached (an outer loop repeats an inner one in full).
bool MotionRunner::takeLoop(uint32_t address) {
  if (loopSetting_ == -1) return true;
  auto it = loopCounters_.find(address);
  if (it == loopCounters_.end()) it = loopCounters_.emplace(address, loopSetting_ > 0 ? loopSetting_ : 0).first;
  if (it->second > 0) {
    --it->second;
    return true;
  }
  loopCounters_.erase(it);
  return false;
}

bool MotionRunner::runUntilPose(BoardMemory& memory, uint32_t* faultAddress) {
  auto fault = [&](uint32_t at) {
    *faultAddress = at;
    finish(memory);
    return false;
  };
  for (int budget = 0; budget < kInstructionBudget; ++budget) {
    const uint32_t at = pc_;
    if (!BoardMemory::mapped(at, 1)) return fault(at);
    const uint8_t code = memory.byte(at);
    auto needs = [&](uint32_t size) { return BoardMemory::mapped(at, size); };
    auto relative = [&](uint32_t offsetAt, uint32_t size) {
      return static_cast<uint32_t>(static_cast<int64_t>(at) + size + memory.s16(at + offsetAt));
    };
    switch (code) {
      case op::kEnd:
        finish(memory);
        return true;
      case op::kJump:
        if (!needs(3)) return fault(at);
        pc_ = relative(1, 3);
        break;
      case op::kLoop:
        if (!needs(3)) return fault(at);
        memory.setU32(kMotionPosition, at);
        pc_ = takeLoop(at) ? relative(1, 3) : at + 3;
        break;
      case op::kBranch: {
        if (!needs(7)) return fault(at);
        memory.setU32(kMotionPosition, at);
        const int16_t value = memory.variable(memory.byte(at + 1));
        pc_ = branchHolds(memory.byte(at + 2), value, memory.s16(at + 3)) ? relative(5, 7) : at + 7;
        break;
      }
      case op::kCalcConstant:
      case op::kCalcVariable: {
        const bool constant = code == op::kCalcConstant;
        const uint32_t size = constant ? 5 : 4;
        if (!needs(size)) return fault(at);
        memory.setU32(kMotionPosition, at);
        const uint8_t result = memory.byte(at + 1);
        const int16_t operand = constant ? memory.s16(at + 3) : memory.variable(memory.byte(at + 3));
        int16_t value = memory.variable(result);
        if (!calculate(memory.byte(at + 2), value, operand)) return fault(at);
        memory.setVariable(result, value);
        pc_ = at + size;
        break;
      }
      default: {
        if (code == 0 || code > op::kMaxPoseTime || !needs(4)) return fault(at);
        const uint32_t record = memory.byte(at + 1) | memory.byte(at + 2) << 8 | memory.byte(at + 3) << 16;
        if (!BoardMemory::mapped(record, op::kPoseRecordSize)) return fault(at);
        memory.setU32(kMotionPosition, at);
        std::array<int16_t, kSliderCount> target;
        for (int i = 0; i < kSliderCount; ++i) target[i] = memory.s16(record + 2 + 2 * static_cast<uint32_t>(i));
        const uint32_t servoBits = memory.u32(record + 2 + 2 * kSliderCount);
        memory.setVariable(kServoEnableLow, static_cast<int16_t>(servoBits & 0xFFFF));
        memory.setVariable(kServoEnableHigh, static_cast<int16_t>((servoBits >> 16) & 0xFFFF));
        move_.begin(memory, target, code);
        pc_ = at + 4;
        return true;
      }
    }
  }
  return true;
}

bool MotionRunner::cycle(BoardMemory& memory, uint32_t* faultAddress) {
  if (!running_) return true;
  if (!move_.active() && !runUntilPose(memory, faultAddress)) return false;
  if (!running_) return true;
  move_.step(memory);
  memory.setU32(kMotionNext, pc_);
  memory.setU32(kMotionWait, move_.remaining());
  return true;
}

}  // namespace boardsim
