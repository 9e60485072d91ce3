#include "rom/compiled_motion.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <vector>

namespace kv {
namespace {

using Bytes = std::vector<uint8_t>;
constexpr uint32_t kRamBase = 0x201A00;

// A motion built block by block; links are set by the test.
struct Chart {
  Motion motion;

  MotionBlock* add(int kind) {
    motion.blocks.push_back(std::make_unique<MotionBlock>());
    MotionBlock* block = motion.blocks.back().get();
    block->kind = kind;
    return block;
  }
  MotionBlock* pose(uint16_t steps = 50) {
    MotionBlock* block = add(KindPose);
    block->pose.steps = steps;
    return block;
  }
  MotionBlock* calcConstant(int amount = 1) {
    MotionBlock* block = add(KindCalcConstant);
    block->operation = OpAdd;
    block->constant = static_cast<int16_t>(amount);
    return block;
  }
  // Links each block's next link to the block after it.
  static void chain(std::initializer_list<MotionBlock*> blocks) {
    MotionBlock* previous = nullptr;
    for (MotionBlock* block : blocks) {
      if (previous) previous->link[kNextLink] = block;
      previous = block;
    }
  }
  CompiledMotion compile(uint32_t base = kRamBase, int overridePercent = 100) const {
    return compileMotion(base, motion, kPoseHeaderByte, overridePercent);
  }
};

Bytes code(const CompiledMotion& compiled, size_t length) {
  return Bytes(compiled.bytes.begin(), compiled.bytes.begin() + static_cast<std::ptrdiff_t>(length));
}

uint32_t read24(const Bytes& bytes, size_t at) { return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16; }

// The code offset a 16-bit relative offset at `at` leads to.
int64_t jumpTarget(const Bytes& bytes, size_t at) {
  int16_t relative = static_cast<int16_t>(bytes[at] | bytes[at + 1] << 8);
  return static_cast<int64_t>(at) + 2 + relative;
}

// ---- Layout -------------------------------------------------------------

TEST(CompileMotionLayout, StartPoseEndIsPoseInstructionTwoEndMarkersAndOneRecord) {
  Chart chart;
  MotionBlock* start = chart.add(KindStart);
  MotionBlock* pose = chart.pose(50);
  MotionBlock* end = chart.add(KindEnd);
  Chart::chain({start, pose, end});
  pose->pose.values[0] = 0x1234;
  pose->pose.values[1] = -2;
  pose->pose.values[61] = -32768;
  pose->pose.servoMask = 0x3FFFFFFF;

  CompiledMotion compiled = chart.compile();
  ASSERT_TRUE(compiled.ok);
  Bytes expected = {50, 0x06, 0x1A, 0x20, 0xFF, 0xFF, 0x00, 64, 0x34, 0x12, 0xFE, 0xFF};
  expected.resize(6 + 2 + 2 * 61, 0);
  expected.insert(expected.end(), {0x00, 0x80, 0xFF, 0xFF, 0xFF, 0x3F});
  EXPECT_EQ(compiled.bytes, expected);
  EXPECT_EQ(compiled.bytes.size(), 6 + kPoseRecordSize);
  EXPECT_EQ(compiled.blockOffsets, (std::vector<uint32_t>{0, 0, 4}));
  EXPECT_EQ(compiled.error, CompileError::None);
}

TEST(CompileMotionLayout, EmptyListIsOneEndMarker) {
  Chart chart;
  CompiledMotion compiled = chart.compile();
  ASSERT_TRUE(compiled.ok);
  EXPECT_EQ(compiled.bytes, Bytes{0xFF});
  EXPECT_TRUE(compiled.blockOffsets.empty());
}

TEST(CompileMotionLayout, TimeByteIsStepsScaledByOverrideWithin1To239) {
  struct Case {
    uint16_t steps;
    int overridePercent;
    uint8_t time;
  };
  const Case cases[] = {{0, 100, 1},     {500, 100, 239}, {100, 50, 50}, {239, 100, 239}, {240, 100, 239}, {1, 50, 1},
                        {119, 200, 238}, {199, 50, 99},   {100, 0, 1},   {100, -50, 1},   {65535, 1000, 239}};
  for (const Case& c : cases) {
    Chart chart;
    MotionBlock* start = chart.add(KindStart);
    Chart::chain({start, chart.pose(c.steps), chart.add(KindEnd)});
    CompiledMotion compiled = chart.compile(kRamBase, c.overridePercent);
    ASSERT_TRUE(compiled.ok);
    EXPECT_EQ(compiled.bytes[0], c.time) << c.steps << " steps at " << c.overridePercent << " %";
  }
}

TEST(CompileMotionLayout, NextLinkToFollowingBlockFallsThroughOtherwiseJumps) {
  Chart chart;
  MotionBlock* start = chart.add(KindStart);
  MotionBlock* a = chart.pose(10);
  MotionBlock* b = chart.pose(20);
  MotionBlock* c = chart.pose(30);
  MotionBlock* end = chart.add(KindEnd);
  Chart::chain({start, a, c, end});
  b->link[kNextLink] = c;
  end->link[kNextLink] = a;  // an end block ends the motion whatever it links to

  CompiledMotion compiled = chart.compile(0x000100);
  ASSERT_TRUE(compiled.ok);
  // a@0 jumps to c@11 (from 7: +4); b@7 and c@11 fall through; end@15.
  EXPECT_EQ(code(compiled, 17), (Bytes{10, 17, 1, 0, 0xFE, 0x04, 0x00,  //
                                       20, 147, 1, 0,                   //
                                       30, 0x15, 2, 0,                  //
                                       0xFF, 0xFF}));
  EXPECT_EQ(compiled.bytes.size(), 17 + 3 * kPoseRecordSize);
  EXPECT_EQ(compiled.blockOffsets, (std::vector<uint32_t>{0, 0, 7, 11, 15}));
}

TEST(CompileMotionLayout, BackwardNextLinkJumpsWithNegativeOffset) {
  Chart chart;
  MotionBlock* start = chart.add(KindStart);
  MotionBlock* first = chart.pose();
  MotionBlock* second = chart.pose();
  Chart::chain({start, first, second, second});  // second repeats itself
  CompiledMotion compiled = chart.compile();
  ASSERT_TRUE(compiled.ok);
  EXPECT_EQ(Bytes(compiled.bytes.begin() + 8, compiled.bytes.begin() + 12), (Bytes{0xFE, 0xF9, 0xFF, 0xFF}));
}

TEST(CompileMotionLayout, TwoBaseAddressesDifferOnlyInPoseAddresses) {
  Chart chart;
  MotionBlock* start = chart.add(KindStart);
  MotionBlock* a = chart.pose(10);
  MotionBlock* loop = chart.add(KindLoop);
  MotionBlock* b = chart.pose(20);
  MotionBlock* end = chart.add(KindEnd);
  Chart::chain({start, a, loop, b, end});
  loop->link[kBranchLink] = a;
  a->pose.values[5] = 777;
  b->pose.values[6] = -777;

  CompiledMotion ram = chart.compile(kRamBase);
  CompiledMotion rom = chart.compile(0x0008F2);
  ASSERT_TRUE(ram.ok);
  ASSERT_TRUE(rom.ok);
  ASSERT_EQ(ram.bytes.size(), rom.bytes.size());
  EXPECT_EQ(ram.blockOffsets, rom.blockOffsets);

  const size_t records = ram.bytes.size() - 2 * kPoseRecordSize;
  const size_t addressAt[] = {ram.blockOffsets[1] + 1, ram.blockOffsets[3] + 1};
  Bytes patched = rom.bytes;
  for (size_t k = 0; k < 2; ++k) {
    EXPECT_EQ(read24(ram.bytes, addressAt[k]), kRamBase + records + k * kPoseRecordSize);
    EXPECT_EQ(read24(rom.bytes, addressAt[k]), 0x0008F2 + records + k * kPoseRecordSize);
    for (size_t i = 0; i < 3; ++i) patched[addressAt[k] + i] = ram.bytes[addressAt[k] + i];
  }
  EXPECT_EQ(patched, ram.bytes);
}

// ---- Instructions -------------------------------------------------------

TEST(CompileMotionInstructions, BranchJumpsToItsTargetOrToTheFirstEndMarker) {
  Chart chart;
  MotionBlock* start = chart.add(KindStart);
  MotionBlock* branch = chart.add(KindBranch);
  MotionBlock* no = chart.pose(11);
  MotionBlock* yes = chart.pose(22);
  MotionBlock* end = chart.add(KindEnd);
  Chart::chain({start, branch, no, end});
  yes->link[kNextLink] = end;
  branch->link[kBranchLink] = yes;
  branch->testVar = 12;
  branch->condition = CondEqual;
  branch->testValue = -300;

  CompiledMotion compiled = chart.compile(0);
  ASSERT_TRUE(compiled.ok);
  // branch@0 -> yes@14; no@7 jumps to end@18; yes falls through to end.
  EXPECT_EQ(code(compiled, 20), (Bytes{0xFC, 12, CondEqual, 0xD4, 0xFE, 0x07, 0x00,  //
                                       11, 20, 0, 0, 0xFE, 0x04, 0x00,               //
                                       22, 150, 0, 0,                                //
                                       0xFF, 0xFF}));
  EXPECT_EQ(compiled.blockOffsets, (std::vector<uint32_t>{0, 0, 7, 14, 18}));

  branch->link[kBranchLink] = nullptr;  // open: the end block's marker at 18
  compiled = chart.compile(0);
  ASSERT_TRUE(compiled.ok);
  EXPECT_EQ(jumpTarget(compiled.bytes, 5), 18);
}

TEST(CompileMotionInstructions, OpenBranchTakesTheFirstEndMarkerInCodeOrder) {
  // An earlier block's marker, even though it lies before the branch.
  Chart chart;
  MotionBlock* start = chart.add(KindStart);
  MotionBlock* pose = chart.pose();
  chart.add(KindBranch);
  Chart::chain({start, pose});
  CompiledMotion compiled = chart.compile();
  ASSERT_TRUE(compiled.ok);
  EXPECT_EQ(code(compiled, 14), (Bytes{50, 14, 0x1A, 0x20, 0xFF, 0xFC, 0, 0, 0, 0, 0xF8, 0xFF, 0xFF, 0xFF}));

  // No block ends the motion: the closing marker.
  Chart loopBack;
  MotionBlock* s = loopBack.add(KindStart);
  MotionBlock* b = loopBack.add(KindBranch);
  MotionBlock* p = loopBack.pose();
  Chart::chain({s, b, p, b});
  compiled = loopBack.compile();
  ASSERT_TRUE(compiled.ok);
  EXPECT_EQ(code(compiled, 15), (Bytes{0xFC, 0, 0, 0, 0, 0x07, 0x00, 50, 15, 0x1A, 0x20, 0xFE, 0xF2, 0xFF, 0xFF}));
}

TEST(CompileMotionInstructions, LoopJumpsToItsBranchTarget) {
  Chart chart;
  MotionBlock* start = chart.add(KindStart);
  MotionBlock* pose = chart.pose(40);
  MotionBlock* loop = chart.add(KindLoop);
  MotionBlock* end = chart.add(KindEnd);
  Chart::chain({start, pose, loop, end});
  loop->link[kBranchLink] = pose;
  CompiledMotion compiled = chart.compile();
  ASSERT_TRUE(compiled.ok);
  EXPECT_EQ(code(compiled, 9), (Bytes{40, 9, 0x1A, 0x20, 0xFD, 0xF9, 0xFF, 0xFF, 0xFF}));
}

TEST(CompileMotionInstructions, CalculationsCarryTheirOperands) {
  Chart chart;
  MotionBlock* start = chart.add(KindStart);
  MotionBlock* byConstant = chart.add(KindCalcConstant);
  byConstant->resultVar = 7;
  byConstant->operation = OpSubtract;
  byConstant->constant = -2;
  MotionBlock* byVariable = chart.add(KindCalcVariable);
  byVariable->resultVar = 255;
  byVariable->operation = OpDivide;
  byVariable->sourceVar = 9;
  MotionBlock* end = chart.add(KindEnd);
  Chart::chain({start, byConstant, byVariable, end});

  CompiledMotion compiled = chart.compile();
  ASSERT_TRUE(compiled.ok);
  EXPECT_EQ(compiled.bytes, (Bytes{0xFB, 7, OpSubtract, 0xFE, 0xFF, 0xFA, 255, OpDivide, 9, 0xFF, 0xFF}));
  EXPECT_EQ(compiled.blockOffsets, (std::vector<uint32_t>{0, 0, 5, 9}));
}

// ---- Blocks without code, links outside the list ------------------------

TEST(CompileMotionFlow, BlocksWithoutCodeGetTheirOwnOffsetsAndJumps) {
  // Two end markers next to each other: each end block has its own offset.
  Chart ends;
  MotionBlock* start = ends.add(KindStart);
  MotionBlock* pose = ends.pose();
  ends.add(KindEnd);
  MotionBlock* last = ends.add(KindEnd);
  Chart::chain({start, pose, last});
  CompiledMotion compiled = ends.compile();
  ASSERT_TRUE(compiled.ok);
  EXPECT_EQ(code(compiled, 10), (Bytes{50, 10, 0x1A, 0x20, 0xFE, 0x01, 0x00, 0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(compiled.blockOffsets, (std::vector<uint32_t>{0, 0, 7, 8}));

  // A start block that is not first, behind end markers: its jump is its own.
  Chart stray;
  MotionBlock* s = stray.add(KindStart);
  MotionBlock* p = stray.pose();
  stray.add(KindEnd);
  MotionBlock* second = stray.add(KindStart);
  Chart::chain({s, p});
  second->link[kNextLink] = p;
  compiled = stray.compile();
  ASSERT_TRUE(compiled.ok);
  EXPECT_EQ(code(compiled, 10), (Bytes{50, 10, 0x1A, 0x20, 0xFF, 0xFF, 0xFE, 0xF7, 0xFF, 0xFF}));
  EXPECT_EQ(compiled.blockOffsets, (std::vector<uint32_t>{0, 0, 5, 6}));
}

TEST(CompileMotionFlow, LinksToBlocksOutsideTheListAreOpen) {
  MotionBlock outsider;
  Chart chart;
  MotionBlock* start = chart.add(KindStart);
  MotionBlock* pose = chart.pose();
  MotionBlock* loop = chart.add(KindLoop);
  Chart::chain({start, pose, loop});
  pose->link[kNextLink] = &outsider;
  loop->link[kNextLink] = &outsider;
  loop->link[kBranchLink] = &outsider;
  CompiledMotion compiled = chart.compile();
  ASSERT_TRUE(compiled.ok);
  EXPECT_EQ(code(compiled, 10), (Bytes{50, 10, 0x1A, 0x20, 0xFF, 0xFD, 0xFC, 0xFF, 0xFF, 0xFF}));
}

TEST(CompileMotionFlow, MoreThan256BlocksJumpToTheRightBlocks) {
  Chart chart;
  chart.add(KindStart);
  for (int i = 1; i < 299; ++i) chart.pose(static_cast<uint16_t>(i % 200));
  chart.add(KindEnd);
  auto& blocks = chart.motion.blocks;
  blocks[260]->kind = KindLoop;
  blocks[270]->kind = KindBranch;
  for (size_t i = 0; i + 1 < blocks.size(); ++i) blocks[i]->link[kNextLink] = blocks[i + 1].get();
  blocks[280]->link[kNextLink] = blocks[290].get();
  blocks[298]->link[kNextLink] = blocks[1].get();
  blocks[260]->link[kBranchLink] = blocks[5].get();
  blocks[270]->link[kBranchLink] = blocks[265].get();

  std::vector<const MotionBlock*> list;
  for (const auto& block : blocks) list.push_back(block.get());
  CompiledMotion compiled = compileMotion(kRamBase, list, kPoseHeaderByte, 100);
  ASSERT_TRUE(compiled.ok);
  const auto& at = compiled.blockOffsets;
  ASSERT_EQ(at.size(), 300u);
  const Bytes& bytes = compiled.bytes;

  EXPECT_EQ(bytes[at[280] + 4], 0xFE);
  EXPECT_EQ(jumpTarget(bytes, at[280] + 5), at[290]);
  EXPECT_EQ(bytes[at[298] + 4], 0xFE);
  EXPECT_EQ(jumpTarget(bytes, at[298] + 5), at[1]);
  EXPECT_EQ(bytes[at[260]], 0xFD);
  EXPECT_EQ(jumpTarget(bytes, at[260] + 1), at[5]);
  EXPECT_EQ(bytes[at[270]], 0xFC);
  EXPECT_EQ(jumpTarget(bytes, at[270] + 5), at[265]);
  EXPECT_EQ(at[299], at[298] + 7);
  EXPECT_EQ(bytes[at[299]], 0xFF);

  const size_t poses = 296;
  ASSERT_EQ(bytes.size(), at[299] + 2 + poses * kPoseRecordSize);
  EXPECT_EQ(read24(bytes, at[298] + 1), kRamBase + bytes.size() - kPoseRecordSize);
}

// ---- Limits -------------------------------------------------------------

// start, the given calculation blocks, then `poses` poses of which the last
// jumps back to the first calculation.
Chart backwardJump(int calculations, int poses) {
  Chart chart;
  MotionBlock* previous = chart.add(KindStart);
  MotionBlock* first = nullptr;
  for (int i = 0; i < calculations + poses; ++i) {
    MotionBlock* block = i < calculations ? chart.calcConstant() : chart.pose();
    if (!first) first = block;
    previous->link[kNextLink] = block;
    previous = block;
  }
  previous->link[kNextLink] = first;
  return chart;
}

TEST(CompileMotionLimits, JumpsBeyondSigned16BitsAreRefused) {
  // 5 + 8190 × 4 + 3 bytes back: exactly -32768.
  Chart farthest = backwardJump(1, 8190);
  CompiledMotion compiled = farthest.compile(0);
  ASSERT_TRUE(compiled.ok);
  EXPECT_EQ(Bytes(compiled.bytes.begin() + 32765, compiled.bytes.begin() + 32769), (Bytes{0xFE, 0x00, 0x80, 0xFF}));

  // One byte farther.
  Chart tooFar = backwardJump(2, 8189);
  compiled = tooFar.compile(0);
  EXPECT_FALSE(compiled.ok);
  EXPECT_EQ(compiled.error, CompileError::JumpTooFar);
  EXPECT_EQ(compiled.errorBlock, 2 + 8189);
  EXPECT_TRUE(compiled.bytes.empty());
  EXPECT_TRUE(compiled.blockOffsets.empty());
  EXPECT_FALSE(compileErrorText(compiled.error).empty());

  // Forward as well.
  Chart forward;
  MotionBlock* start = forward.add(KindStart);
  for (int i = 0; i < 8200; ++i) forward.pose();
  start->link[kNextLink] = forward.add(KindEnd);
  compiled = forward.compile(0);
  EXPECT_EQ(compiled.error, CompileError::JumpTooFar);
  EXPECT_EQ(compiled.errorBlock, 0);
}

TEST(CompileMotionLimits, CodeOf64KiBIsRefused) {
  // 16383 poses fill 65532 bytes; each end block adds a marker.
  auto build = [](int endBlocks) {
    Chart chart;
    MotionBlock* previous = chart.add(KindStart);
    for (int i = 0; i < 16383; ++i) {
      MotionBlock* pose = chart.pose();
      previous->link[kNextLink] = pose;
      previous = pose;
    }
    previous->link[kNextLink] = chart.add(KindEnd);
    for (int i = 1; i < endBlocks; ++i) chart.add(KindEnd);
    return chart;
  };

  Chart fits = build(3);
  CompiledMotion compiled = fits.compile(0);
  ASSERT_TRUE(compiled.ok);
  EXPECT_EQ(compiled.blockOffsets.back(), 65534u);
  EXPECT_EQ(compiled.bytes.size(), 65536u + 16383 * kPoseRecordSize);
  EXPECT_EQ(compiled.bytes[65535], 0xFF);

  Chart tooLarge = build(4);
  compiled = tooLarge.compile(0);
  EXPECT_FALSE(compiled.ok);
  EXPECT_EQ(compiled.error, CompileError::CodeTooLarge);
  EXPECT_TRUE(compiled.bytes.empty());
}

TEST(CompileMotionLimits, PoseAddressesAbove24BitsAreRefused) {
  Chart chart;
  MotionBlock* start = chart.add(KindStart);
  Chart::chain({start, chart.pose(), chart.add(KindEnd)});

  CompiledMotion compiled = chart.compile(0xFFFFFF - 6);
  ASSERT_TRUE(compiled.ok);
  EXPECT_EQ(read24(compiled.bytes, 1), 0xFFFFFFu);

  for (uint32_t base : {0xFFFFFFu - 5, 0xFFFFFFFFu}) {
    compiled = chart.compile(base);
    EXPECT_FALSE(compiled.ok) << base;
    EXPECT_EQ(compiled.error, CompileError::PoseAddressTooHigh);
    EXPECT_EQ(compiled.errorBlock, 1);
    EXPECT_TRUE(compiled.bytes.empty());
  }

  // Without poses the base address appears nowhere.
  Chart noPoses;
  Chart::chain({noPoses.add(KindStart), noPoses.calcConstant(), noPoses.add(KindEnd)});
  EXPECT_TRUE(noPoses.compile(0xFFFFFFFF).ok);
}

}  // namespace
}  // namespace kv
