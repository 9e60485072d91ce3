// The motion interpreter on small programs laid out as the motion compiler
// lays them out: code section, closing 0xFF, pose records.
#include <gtest/gtest.h>

#include <array>

#include "host.h"
#include "memory_map.h"
#include "motion_runner.h"

namespace boardtest {
namespace {

using namespace boardsim;
using Pose = std::array<int16_t, kSliderCount>;

Pose uniform(int16_t value) {
  Pose pose;
  pose.fill(value);
  return pose;
}

// Builds a motion program for a base address. Offsets are code offsets;
// jumps are given their target offsets with `link`.
class Program {
 public:
  explicit Program(uint32_t base = kMotionArea) : base_(base) {}

  size_t pose(uint8_t time, const Pose& values, uint32_t servoBits = 0x3FFFFFFF) {
    const size_t at = emit({time, 0, 0, 0});
    poses_.push_back({at, values, servoBits});
    return at;
  }
  size_t branch(uint8_t var, uint8_t condition, int16_t value) {
    const Bytes v = le16(value);
    return emit({op::kBranch, var, condition, v[0], v[1], 0, 0});
  }
  size_t calcConstant(uint8_t var, uint8_t operation, int16_t constant) {
    const Bytes c = le16(constant);
    return emit({op::kCalcConstant, var, operation, c[0], c[1]});
  }
  size_t calcVariable(uint8_t var, uint8_t operation, uint8_t source) {
    return emit({op::kCalcVariable, var, operation, source});
  }
  size_t loop() { return emit({op::kLoop, 0, 0}); }
  size_t jump() { return emit({op::kJump, 0, 0}); }
  size_t end() { return emit({op::kEnd}); }
  size_t here() const { return code_.size(); }
  size_t emit(const Bytes& bytes) {
    const size_t at = code_.size();
    code_.insert(code_.end(), bytes.begin(), bytes.end());
    return at;
  }
  // Points the relative offset of the instruction at `at` to `target`.
  void link(size_t at, size_t target) {
    const uint8_t code = code_[at];
    const size_t size = code == op::kBranch ? 7 : 3;
    const Bytes offset = le16(static_cast<int>(target) - static_cast<int>(at + size));
    code_[at + size - 2] = offset[0];
    code_[at + size - 1] = offset[1];
  }
  Bytes build() const {
    Bytes out = code_;
    out.push_back(op::kEnd);
    for (const auto& p : poses_) {
      const uint32_t address = base_ + static_cast<uint32_t>(out.size());
      out[p.at + 1] = static_cast<uint8_t>(address & 0xFF);
      out[p.at + 2] = static_cast<uint8_t>((address >> 8) & 0xFF);
      out[p.at + 3] = static_cast<uint8_t>(address >> 16);
      out.insert(out.end(), {0x00, 64});
      for (int16_t value : p.values) {
        const Bytes v = le16(value);
        out.insert(out.end(), v.begin(), v.end());
      }
      const Bytes bits = le32(p.servoBits);
      out.insert(out.end(), bits.begin(), bits.end());
    }
    return out;
  }
  uint32_t address(size_t offset) const { return base_ + static_cast<uint32_t>(offset); }

 private:
  struct PendingPose {
    size_t at;
    Pose values;
    uint32_t servoBits;
  };
  uint32_t base_;
  Bytes code_;
  std::vector<PendingPose> poses_;
};

// Loads the program as playback does (250-byte writes), sets the loop
// setting and starts it.
void play(Board& board, const Program& program, int16_t loops = 0) {
  const Bytes bytes = program.build();
  for (size_t at = 0; at < bytes.size(); at += 250) {
    const size_t n = std::min<size_t>(250, bytes.size() - at);
    send(board, WriteRequest().add(kMotionArea + static_cast<uint32_t>(at), Bytes(bytes.begin() + at, bytes.begin() + at + n)).payload());
  }
  send(board, WriteRequest().add(kLoopSetting, le16(loops)).payload());
  send(board, WriteRequest().add(kMotionStart, le32(kMotionArea)).payload());
}

// Runs until the motion ends; the number of cycles it took.
int runToEnd(Board& board, int limit = 100000) {
  for (int cycles = 1; cycles <= limit; ++cycles) {
    runCycles(board, 1);
    if (board.memory().u32(kMotionStart) == 0) return cycles;
  }
  return -1;
}

TEST(Interpolation, EachSliderMovesByItsType) {
  EXPECT_EQ(interpolate(0, 100, 2, 1, 4), 25);
  EXPECT_EQ(interpolate(0, 100, 2, 4, 4), 100);
  EXPECT_EQ(interpolate(100, -100, 2, 3, 4), -50);
  EXPECT_EQ(interpolate(0, 100, 1, 2, 4), 50);   // cubic: halfway at half time
  EXPECT_LT(interpolate(0, 100, 1, 1, 4), 25);   // but slower at the start
  EXPECT_EQ(interpolate(0, 100, 3, 1, 4), 100);  // switches before the transition
  EXPECT_EQ(interpolate(0, 100, 0, 1, 4), 100);
  EXPECT_EQ(interpolate(0, 100, 4, 3, 4), 0);  // switches after it
  EXPECT_EQ(interpolate(0, 100, 4, 4, 4), 100);
  EXPECT_EQ(interpolate(-32768, 32767, 2, 1, 4), -16384);  // no 16-bit overflow on the way
}

TEST(Motion, APoseReachesItsTargetInItsTime) {
  Board board;
  Program program;
  program.pose(10, uniform(1000));
  program.pose(4, uniform(-200));
  play(board, program);
  EXPECT_EQ(board.memory().u16(kOperatingState), kStateRunning);
  EXPECT_EQ(board.memory().u32(kMotionPosition), kMotionArea);
  runCycles(board, 5);
  EXPECT_EQ(board.memory().variable(0), 500);  // linear, halfway
  EXPECT_EQ(board.memory().variable(61), 500);
  runCycles(board, 5);
  EXPECT_EQ(board.memory().variable(0), 1000);
  EXPECT_EQ(board.memory().u32(kMotionPosition), kMotionArea);
  runCycles(board, 1);
  EXPECT_EQ(board.memory().u32(kMotionPosition), kMotionArea + 4);  // the second pose's code address
  EXPECT_EQ(board.memory().variable(0), 700);
  EXPECT_EQ(runToEnd(board), 4);
  EXPECT_EQ(board.memory().variable(30), -200);
  EXPECT_EQ(board.memory().u16(kOperatingState), kStateIdle);
  EXPECT_EQ(board.memory().u16(kErrorCode), kErrorNone) << "a motion that ends at its end byte is no error";
  EXPECT_EQ(board.memory().variable(kServoEnableLow), -1);
  EXPECT_EQ(board.memory().variable(kServoEnableHigh), 0x3FFF);
}

TEST(Motion, TimeRunsOnTheControlPeriod) {
  Board board;
  send(board, WriteRequest().add(kControlPeriod, le32(20000)).payload());
  Program program;
  program.pose(50, uniform(10));
  play(board, program);
  board.advance(50 * 20000 - 1);
  EXPECT_NE(board.memory().u32(kMotionStart), 0u);
  board.advance(20000);
  runCycles(board, 1);
  EXPECT_EQ(board.memory().u32(kMotionStart), 0u);
}

TEST(Motion, BranchConditions) {
  struct Case {
    uint8_t condition;
    int16_t variable, value;
    bool holds;
  };
  const Case cases[] = {
      {0, 5, 5, false},     {1, 5, 5, true},      {1, 4, 5, false},    {1, -3, -4, true},  {2, 5, 5, true},
      {2, 6, 5, false},     {3, 0x0F, 0x05, true}, {3, 0x0D, 0x06, false}, {4, 7, 7, true}, {4, 7, 8, false},
      {5, 7, 8, true},      {5, 7, 7, false},     {6, 0, 1, true},     {7, 1, 1, false},   {9, 1, 1, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(branchHolds(c.condition, c.variable, c.value), c.holds)
        << "condition " << int(c.condition) << " v=" << c.variable << " value=" << c.value;
  }
}

TEST(Motion, ABranchTakesItsLinkWhenTheConditionHolds) {
  for (const int16_t input : {int16_t{3}, int16_t{9}}) {
    Board board;
    board.memory().setVariable(200, input);
    Program program;
    const size_t test = program.branch(200, 1, 5);  // v[200] >= 5 ?
    program.calcConstant(201, 0, 111);              // no
    program.end();
    const size_t yes = program.calcConstant(201, 0, 222);
    program.link(test, yes);
    play(board, program);
    EXPECT_GT(runToEnd(board), 0);
    EXPECT_EQ(board.memory().variable(201), input >= 5 ? 222 : 111);
    EXPECT_EQ(board.memory().u32(kMotionPosition), program.address(input >= 5 ? yes : test + 7));
  }
}

TEST(Motion, Calculations) {
  int16_t v = 10;
  EXPECT_TRUE(calculate(1, v, 5));
  EXPECT_EQ(v, 15);
  EXPECT_TRUE(calculate(2, v, 20));
  EXPECT_EQ(v, -5);
  EXPECT_TRUE(calculate(3, v, 3));
  EXPECT_EQ(v, -15);
  EXPECT_TRUE(calculate(4, v, 4));
  EXPECT_EQ(v, -3);  // towards zero
  EXPECT_TRUE(calculate(4, v, 0));
  EXPECT_EQ(v, -3);  // division by zero keeps the value
  v = 32767;
  EXPECT_TRUE(calculate(1, v, 1));
  EXPECT_EQ(v, -32768);  // 16-bit wrap
  EXPECT_TRUE(calculate(3, v, 2));
  EXPECT_EQ(v, 0);
  EXPECT_FALSE(calculate(5, v, 1));
}

TEST(Motion, CalculationsWithAVariableOperand) {
  Board board;
  board.memory().setVariable(150, 6);
  board.memory().setVariable(151, 7);
  Program program;
  program.calcVariable(150, 3, 151);  // v[150] *= v[151]
  program.calcConstant(150, 2, 2);    // v[150] -= 2
  play(board, program);
  runToEnd(board);
  EXPECT_EQ(board.memory().variable(150), 40);
}

// A counter incremented in a loop body, closed by a loop junction.
int loopPasses(int16_t loopSetting, int maxCycles = 1000) {
  Board board;
  Program program;
  const size_t body = program.calcConstant(160, 1, 1);
  program.pose(1, uniform(0));
  const size_t junction = program.loop();
  program.link(junction, body);
  play(board, program, loopSetting);
  runToEnd(board, maxCycles);
  return board.memory().variable(160);
}

TEST(Motion, TheLoopSettingCountsRepeats) {
  EXPECT_EQ(loopPasses(0), 1);
  EXPECT_EQ(loopPasses(1), 2);
  EXPECT_EQ(loopPasses(3), 4);
  EXPECT_EQ(loopPasses(-5), 1);
  // -1 repeats for ever: the motion is still running after many passes.
  EXPECT_EQ(loopPasses(-1, 300), 300);
}

TEST(Motion, AnInnerLoopRepeatsInFullOnEachOuterPass) {
  Board board;
  Program program;
  const size_t outer = program.calcConstant(170, 1, 1);
  const size_t inner = program.calcConstant(171, 1, 1);
  const size_t innerJunction = program.loop();
  const size_t outerJunction = program.loop();
  program.link(innerJunction, inner);
  program.link(outerJunction, outer);
  play(board, program, 2);
  runToEnd(board);
  EXPECT_EQ(board.memory().variable(170), 3);
  EXPECT_EQ(board.memory().variable(171), 9);
}

TEST(Motion, TheStopRequestStopsWhereTheMotionIs) {
  Board board;
  Program program;
  program.pose(100, uniform(1000));
  play(board, program);
  runCycles(board, 30);
  send(board, WriteRequest().add(kStopRequest, le16(1)).payload());
  EXPECT_EQ(board.memory().u32(kMotionStart), 0u);
  EXPECT_EQ(board.memory().u16(kStopRequest), 0);
  EXPECT_EQ(board.memory().u32(kMotionPosition), kMotionArea);
  runCycles(board, 10);
  EXPECT_EQ(board.memory().variable(0), 300);  // held where it stopped
}

TEST(Motion, WritingZeroToTheStartRegisterStops) {
  Board board;
  Program program;
  program.pose(100, uniform(1000));
  play(board, program);
  runCycles(board, 10);
  send(board, WriteRequest().add(kMotionStart, le32(0)).payload());
  EXPECT_FALSE(board.motionRunning());
}

TEST(Motion, ABackwardJumpRunsAgain) {
  Board board;
  Program program;
  const size_t top = program.calcConstant(180, 1, 1);
  const size_t test = program.branch(180, 1, 5);  // leave when v[180] >= 5
  const size_t back = program.jump();
  program.link(back, top);
  const size_t out = program.end();
  program.link(test, out);
  play(board, program);
  EXPECT_GT(runToEnd(board), 0);
  EXPECT_EQ(board.memory().variable(180), 5);
}

TEST(Motion, ABadInstructionEndsTheMotionWithError8) {
  Board board;
  Program program;
  program.pose(2, uniform(10));
  const size_t bad = program.emit({0xF5});
  play(board, program);
  EXPECT_EQ(runToEnd(board), 3);
  EXPECT_EQ(board.memory().u16(kErrorCode), kErrorMotion);
  EXPECT_EQ(board.memory().u32(kErrorAddress), program.address(bad));
}

TEST(Motion, APoseRecordOutsideMemoryIsAnError) {
  Board board;
  const Bytes code = {10, 0x00, 0x00, 0x30, op::kEnd};  // pose record at 0x300000, unmapped
  board.memory().write(kMotionArea, code.data(), code.size());
  send(board, WriteRequest().add(kMotionStart, le32(kMotionArea)).payload());
  runCycles(board, 1);
  EXPECT_FALSE(board.motionRunning());
  EXPECT_EQ(board.memory().u16(kErrorCode), kErrorMotion);
}

TEST(Motion, AProgramWithoutPosesDoesNotHangTheBoard) {
  Board board;
  Program program;
  const size_t top = program.calcConstant(190, 1, 1);
  program.link(program.jump(), top);
  play(board, program);
  runCycles(board, 3);
  EXPECT_TRUE(board.motionRunning());
  EXPECT_EQ(board.memory().variable(190), 3 * MotionRunner::kInstructionBudget / 2);
}

TEST(Motion, AMotionInRomRuns) {
  Board board;
  Program program(0x012000);
  program.pose(3, uniform(77));
  const Bytes bytes = program.build();
  std::copy(bytes.begin(), bytes.end(), board.memory().flash().begin() + 0x12000);
  send(board, WriteRequest().add(kMotionStart, le32(0x12000)).payload());
  EXPECT_EQ(runToEnd(board), 4);
  EXPECT_EQ(board.memory().variable(10), 77);
}

TEST(Motion, LivePosesWaitWhileAMotionRuns) {
  Board board;
  send(board, WriteRequest().add(variableAddress(kServoPowerVariable), le16(1)).payload());
  Program program;
  program.pose(20, uniform(100));
  play(board, program);
  send(board, WriteRequest().add(kLivePose, Bytes(124, 0)).add(kLiveTime, le16(1)).payload());
  runCycles(board, 10);
  EXPECT_EQ(board.memory().variable(0), 50);
}

}  // namespace
}  // namespace boardtest
