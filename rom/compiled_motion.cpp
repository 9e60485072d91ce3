#include "rom/compiled_motion.h"

#include <algorithm>
#include <cassert>
#include <limits>
#include <utility>

namespace kv {
namespace {

// Jump target "none": the first end marker of the code section.
constexpr int kFirstEndMarker = -1;

// A 16-bit relative offset waiting for its target's code offset.
struct JumpFixup {
  uint32_t position;  // first of the two offset bytes
  uint32_t after;     // offset of the byte that follows the jump instruction
  int target;         // list index, or kFirstEndMarker
  int block;          // the block that holds the jump
};

// A 24-bit pose address waiting for its pose record.
struct PoseFixup {
  uint32_t position;  // first of the three address bytes
  int block;
};

// List index of every block, looked up by pointer.
class BlockIndex {
 public:
  explicit BlockIndex(std::span<const MotionBlock* const> blocks) : blocks_(blocks) {
    sorted_.reserve(blocks.size());
    for (size_t i = 0; i < blocks.size(); ++i) sorted_.emplace_back(blocks[i], static_cast<int>(i));
    std::sort(sorted_.begin(), sorted_.end());
  }

  // -1 for an open link or a block outside the list. The common case, a link
  // to the following block, needs no search.
  int find(const MotionBlock* target, size_t from) const {
    if (target == nullptr) return -1;
    if (from + 1 < blocks_.size() && blocks_[from + 1] == target) return static_cast<int>(from + 1);
    auto it = std::lower_bound(sorted_.begin(), sorted_.end(), std::pair<const MotionBlock*, int>(target, -1));
    return it != sorted_.end() && it->first == target ? it->second : -1;
  }

 private:
  std::span<const MotionBlock* const> blocks_;
  std::vector<std::pair<const MotionBlock*, int>> sorted_;
};

size_t instructionSize(int kind) {
  switch (kind) {
    case KindPose: return 4;
    case KindBranch: return 7;
    case KindCalcConstant: return 5;
    case KindCalcVariable: return 4;
    case KindLoop: return 3;
    default: return 0;  // start, end
  }
}

uint8_t poseTime(int steps, int overridePercent) {
  int64_t time = static_cast<int64_t>(steps) * overridePercent / 100;
  return static_cast<uint8_t>(std::clamp<int64_t>(time, kMinPoseTime, kMaxPoseTime));
}

void put16(std::vector<uint8_t>& out, uint16_t value) {
  out.push_back(static_cast<uint8_t>(value));
  out.push_back(static_cast<uint8_t>(value >> 8));
}

void write16(uint8_t* at, uint16_t value) {
  at[0] = static_cast<uint8_t>(value);
  at[1] = static_cast<uint8_t>(value >> 8);
}

void write24(uint8_t* at, uint32_t value) {
  at[0] = static_cast<uint8_t>(value);
  at[1] = static_cast<uint8_t>(value >> 8);
  at[2] = static_cast<uint8_t>(value >> 16);
}

void write32(uint8_t* at, uint32_t value) {
  write16(at, static_cast<uint16_t>(value));
  write16(at + 2, static_cast<uint16_t>(value >> 16));
}

static_assert(2 + 2 * kSliderCount + 4 == kPoseRecordSize);

CompiledMotion refuse(CompileError error, int block) {
  CompiledMotion result;
  result.error = error;
  result.errorBlock = block;
  return result;
}

}  // namespace

CompiledMotion compileMotion(uint32_t baseAddress, std::span<const MotionBlock* const> blocks, uint8_t poseHeader,
                             int timeOverridePercent) {
  const size_t count = blocks.size();
  const BlockIndex index(blocks);

  size_t poseCount = 0;
  for (const MotionBlock* block : blocks) {
    assert(block != nullptr);
    if (block->kind == KindPose) ++poseCount;
  }

  CompiledMotion result;
  std::vector<uint8_t>& out = result.bytes;
  out.reserve(count * (instructionSize(KindBranch) + 3) + 1 + poseCount * kPoseRecordSize);
  result.blockOffsets.reserve(count);
  std::vector<JumpFixup> jumps;
  std::vector<PoseFixup> poses;
  poses.reserve(poseCount);
  int64_t firstEndMarker = -1;

  // Code section. Every placeholder is recorded where it is emitted, so the
  // fix-up never has to read the emitted bytes back.
  for (size_t i = 0; i < count; ++i) {
    const MotionBlock& block = *blocks[i];
    const int self = static_cast<int>(i);
    result.blockOffsets.push_back(static_cast<uint32_t>(out.size()));

    switch (block.kind) {
      case KindPose:
        out.push_back(poseTime(block.pose.steps, timeOverridePercent));
        poses.push_back({static_cast<uint32_t>(out.size()), self});
        out.insert(out.end(), 3, 0);
        break;
      case KindBranch:
        out.push_back(motion_op::kBranch);
        out.push_back(block.testVar);
        out.push_back(block.condition);
        put16(out, static_cast<uint16_t>(block.testValue));
        break;
      case KindCalcConstant:
        out.push_back(motion_op::kCalcConstant);
        out.push_back(block.resultVar);
        out.push_back(block.operation);
        put16(out, static_cast<uint16_t>(block.constant));
        break;
      case KindCalcVariable:
        out.push_back(motion_op::kCalcVariable);
        out.push_back(block.resultVar);
        out.push_back(block.operation);
        out.push_back(block.sourceVar);
        break;
      case KindLoop: out.push_back(motion_op::kLoop); break;
      default: break;  // start and end blocks have no instruction
    }
    if (block.kind == KindBranch || block.kind == KindLoop) {
      int target = index.find(block.link[kBranchLink], i);
      uint32_t position = static_cast<uint32_t>(out.size());
      jumps.push_back({position, position + 2, target < 0 ? kFirstEndMarker : target, self});
      out.insert(out.end(), 2, 0);
    }

    int next = block.kind == KindEnd ? -1 : index.find(block.link[kNextLink], i);
    if (next < 0) {
      if (firstEndMarker < 0) firstEndMarker = static_cast<int64_t>(out.size());
      out.push_back(motion_op::kEnd);
    } else if (next != self + 1) {
      out.push_back(motion_op::kJump);
      uint32_t position = static_cast<uint32_t>(out.size());
      jumps.push_back({position, position + 2, next, self});
      out.insert(out.end(), 2, 0);
    }
  }

  const size_t closingMarker = out.size();
  if (firstEndMarker < 0) firstEndMarker = static_cast<int64_t>(closingMarker);
  out.push_back(motion_op::kEnd);
  if (closingMarker > kMaxCodeOffset) {
    auto beyond = std::find_if(result.blockOffsets.begin(), result.blockOffsets.end(),
                               [](uint32_t offset) { return offset > kMaxCodeOffset; });
    int block = beyond == result.blockOffsets.end() ? static_cast<int>(count) - 1
                                                    : static_cast<int>(beyond - result.blockOffsets.begin());
    return refuse(CompileError::CodeTooLarge, block);
  }

  for (const JumpFixup& jump : jumps) {
    int64_t target = jump.target == kFirstEndMarker ? firstEndMarker : result.blockOffsets[jump.target];
    int64_t relative = target - static_cast<int64_t>(jump.after);
    if (relative < std::numeric_limits<int16_t>::min() || relative > std::numeric_limits<int16_t>::max())
      return refuse(CompileError::JumpTooFar, jump.block);
    write16(out.data() + jump.position, static_cast<uint16_t>(relative));
  }

  // Pose section, in list order behind the closing marker.
  for (const PoseFixup& pose : poses) {
    uint64_t address = static_cast<uint64_t>(baseAddress) + out.size();
    if (address > kMaxPoseAddress) return refuse(CompileError::PoseAddressTooHigh, pose.block);
    write24(out.data() + pose.position, static_cast<uint32_t>(address));

    const PoseValues& values = blocks[pose.block]->pose;
    size_t at = out.size();
    out.resize(at + kPoseRecordSize);
    uint8_t* record = out.data() + at;
    record[0] = 0x00;
    record[1] = poseHeader;
    for (size_t n = 0; n < values.values.size(); ++n)
      write16(record + 2 + 2 * n, static_cast<uint16_t>(values.values[n]));
    write32(record + 2 + 2 * values.values.size(), values.servoMask);
  }

  result.ok = true;
  return result;
}

CompiledMotion compileMotion(uint32_t baseAddress, const Motion& motion, uint8_t poseHeader, int timeOverridePercent) {
  std::vector<const MotionBlock*> blocks;
  blocks.reserve(motion.blocks.size());
  for (const auto& block : motion.blocks) blocks.push_back(block.get());
  return compileMotion(baseAddress, blocks, poseHeader, timeOverridePercent);
}

std::u16string compileErrorText(CompileError error) {
  switch (error) {
    case CompileError::None: return u"";
    case CompileError::CodeTooLarge: return u"The motion's code is 64 KiB or larger.";
    case CompileError::JumpTooFar: return u"A jump of the motion reaches more than 32 KiB away.";
    case CompileError::PoseAddressTooHigh: return u"A pose of the motion would lie above address 0xFFFFFF.";
  }
  return u"";
}

}  // namespace kv
