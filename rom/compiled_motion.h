// The compiled motion: the byte program the board runs for one motion,
// laid out for the board address where its first byte will lie. Playback
// compiles the edited motion for board RAM; the ROM image compiles every
// motion of the mode-switch items for its own ROM offset.
//
// Layout: the code section (each block's instruction and flow bytes, in list
// order), one closing 0xFF, then a 130-byte pose record for every pose block.
// Numbers are little-endian; jumps are signed 16-bit offsets from the byte
// after the jump instruction; pose instructions hold 24-bit absolute
// addresses of their pose records.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "motion/motion.h"
#include "motion/motion_block.h"

namespace kv {

// Instruction bytes of the board's motion program.
namespace motion_op {
inline constexpr uint8_t kEnd = 0xFF;
inline constexpr uint8_t kJump = 0xFE;
inline constexpr uint8_t kLoop = 0xFD;
inline constexpr uint8_t kBranch = 0xFC;
inline constexpr uint8_t kCalcConstant = 0xFB;
inline constexpr uint8_t kCalcVariable = 0xFA;
}  // namespace motion_op

inline constexpr uint8_t kPoseHeaderByte = 64;  // what both callers pass
inline constexpr size_t kPoseRecordSize = 130;  // 0x00, header, 62 values, servo mask
inline constexpr uint8_t kMinPoseTime = 1;
inline constexpr uint8_t kMaxPoseTime = 239;
inline constexpr uint32_t kMaxCodeOffset = 0xFFFF;     // the board holds code offsets in 16 bits
inline constexpr uint32_t kMaxPoseAddress = 0xFFFFFF;  // pose addresses are 24-bit

enum class CompileError {
  None,
  CodeTooLarge,        // the code section reaches 65,536 bytes
  JumpTooFar,          // a jump's relative offset is outside -32768..32767
  PoseAddressTooHigh,  // a pose record would lie above 0xFFFFFF
};

struct CompiledMotion {
  bool ok = false;
  CompileError error = CompileError::None;
  int errorBlock = -1;                 // list index of the block that broke a limit, -1 for none
  std::vector<uint8_t> bytes;          // empty when refused
  std::vector<uint32_t> blockOffsets;  // code offset of every block in list order; empty when refused
};

// Compiles the blocks (list order, start block first, no null entries) for
// the board address baseAddress. A link to a block outside the list counts
// as open. A motion that breaks one of the board's limits is refused: ok is
// false, error says which limit and no bytes are returned.
CompiledMotion compileMotion(uint32_t baseAddress, std::span<const MotionBlock* const> blocks, uint8_t poseHeader,
                             int timeOverridePercent);
CompiledMotion compileMotion(uint32_t baseAddress, const Motion& motion, uint8_t poseHeader, int timeOverridePercent);

// A short English description of a refusal, for logs and diagnostics.
std::u16string compileErrorText(CompileError error);

}  // namespace kv
