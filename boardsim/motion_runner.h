// The board's motion interpreter and slider mover.
//
// A motion program is the byte program of a compiled motion: per block an
// instruction (pose: time byte 1..239 and the 24-bit address of a 130-byte
// pose record; 0xFC branch; 0xFB / 0xFA calculation with a constant / a
// variable; 0xFD loop junction), flow bytes (0xFE and a 16-bit relative
// jump, 0xFF end), then the pose records. Relative offsets count from the
// byte after the instruction.
#pragma once

#include <array>
#include <cstdint>
#include <map>

#include "board_memory.h"

namespace boardsim {

// Moves the 62 slider variables v[0..61] from where they are to a target over
// a number of control cycles, each slider by its interpolation type
// (0x2001C0): 2 linear, 1 cubic ease in and out, 0 and 3 switch at the first
// cycle, 4 switch at the last; other values move linearly.
class SliderTransition {
 public:
  void begin(const BoardMemory& memory, const std::array<int16_t, kSliderCount>& target, uint32_t cycles);
  // One control cycle; true when this cycle completed the transition.
  bool step(BoardMemory& memory);
  void cancel() { active_ = false; }
  bool active() const { return active_; }
  uint32_t remaining() const { return active_ ? total_ - done_ : 0; }

 private:
  std::array<int16_t, kSliderCount> from_{};
  std::array<int16_t, kSliderCount> to_{};
  std::array<uint8_t, kSliderCount> type_{};
  uint32_t total_ = 0;
  uint32_t done_ = 0;
  bool active_ = false;
};

// The value a slider has `done` cycles into a transition of `total` cycles.
int16_t interpolate(int16_t from, int16_t to, uint8_t type, uint32_t done, uint32_t total);

// Whether branch condition `condition` (0 undefined, 1 at or above, 2 at or
// below, 3 all bits of the value set, 4 equal, 5 not equal, 6 always, 7
// never) holds for a variable's value.
bool branchHolds(uint8_t condition, int16_t variable, int16_t value);

// A calculation (0 assign, 1 add, 2 subtract, 3 multiply, 4 divide) in
// 16-bit two's complement; division by 0 keeps the variable. False for an
// unknown operation.
bool calculate(uint8_t operation, int16_t& variable, int16_t operand);

class MotionRunner {
 public:
  // Starts the program at `address` with the loop setting at 0x200090.
  void start(BoardMemory& memory, uint32_t address);
  // Stops where it is: the sliders keep their values, the position stays.
  void stop(BoardMemory& memory);
  bool running() const { return running_; }

  // One control cycle: runs instructions until a pose transition is under
  // way (or the program ends), then moves the sliders one cycle. False when
  // the program broke (bad instruction, address outside memory); the motion
  // has then stopped and *faultAddress tells where.
  bool cycle(BoardMemory& memory, uint32_t* faultAddress);

  // Instructions run in one cycle without reaching a pose before the board
  // lets the cycle end (the program goes on in the next cycle).
  static constexpr int kInstructionBudget = 1024;

 private:
  bool runUntilPose(BoardMemory& memory, uint32_t* faultAddress);
  void finish(BoardMemory& memory);
  bool takeLoop(uint32_t address);

  uint32_t pc_ = 0;
  int16_t loopSetting_ = 0;
  bool running_ = false;
  std::map<uint32_t, int> loopCounters_;  // per loop junction: repeats left
  SliderTransition move_;
};

}  // namespace boardsim
