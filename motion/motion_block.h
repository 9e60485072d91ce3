// The blocks of a motion's flowchart: pose blocks with a transition time and
// 62 slider values, calculation and branch blocks on the board's variables,
// loop junctions, the start block and end blocks.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "pose/pose_values.h"

namespace kv {

enum BlockKind : int32_t {
  KindPose = 0,
  KindBranch = 1,
  KindCalcConstant = 2,  // calculation with a constant operand
  KindCalcVariable = 3,  // calculation with a variable operand
  KindLoop = 4,
  KindStart = 5,
  KindEnd = 6,
};

// Links: 0 the next block, 1 the branch target (branch and loop blocks).
inline constexpr int kNextLink = 0;
inline constexpr int kBranchLink = 1;

// Block flags.
namespace block_flag {
inline constexpr uint32_t kSelected = 0x1;
inline constexpr uint32_t kNeedsRepaint = 0x2;
inline constexpr uint32_t kDraggingNext = 0x4;
inline constexpr uint32_t kDraggingBranch = 0x8;
inline constexpr uint32_t kInRubberBand = 0x10;
}  // namespace block_flag

// Calculation operations.
enum CalcOperation : uint8_t { OpAssign = 0, OpAdd = 1, OpSubtract = 2, OpMultiply = 3, OpDivide = 4 };
inline constexpr int kCalcOperationCount = 5;

// Branch conditions.
enum BranchCondition : uint8_t {
  CondUndefined = 0,
  CondAtOrAbove = 1,
  CondAtOrBelow = 2,
  CondBitMatch = 3,
  CondEqual = 4,
  CondNotEqual = 5,
  CondAlways = 6,
  CondNever = 7,
};
inline constexpr int kBranchConditionCount = 8;

inline constexpr size_t kBlockNameFieldSize = 32;  // at most 31 units
inline constexpr int kMotionAreaExtent = 2048;    // block corners stay within 0..2048

struct MotionBlock {
  std::u16string name;
  std::u16string caption;  // second display line, rebuilt on every paint; never saved
  PoseValues pose;         // steps, values, file link indices, voice file, servo mask
  uint32_t flags = 0;
  int32_t left = 0, top = 0, right = 0, bottom = 0;
  int32_t dragX = 0, dragY = 0;
  std::array<int32_t, 2> routeOffset{6, 6};
  std::array<MotionBlock*, 2> link{nullptr, nullptr};
  int32_t kind = KindPose;
  uint8_t resultVar = 0;
  uint8_t sourceVar = 0;
  uint8_t operation = OpAssign;
  int16_t constant = 0;
  uint8_t condition = CondUndefined;
  uint8_t testVar = 0;
  int16_t testValue = 0;

  bool isPose() const { return kind == KindPose; }
  bool selected() const { return flags & block_flag::kSelected; }
};

}  // namespace kv
