// Which block the board is at, told from its position register, how the
// editor shows it, and the loop value the board is sent.
#include "session/playback.h"

#include <gtest/gtest.h>

#include <memory>

#include "rom/compiled_motion.h"
#include "shell/editor_state.h"

namespace kv {
namespace {

namespace a = board_addr;

MotionBlock* append(Motion& motion, int kind) {
  motion.blocks.push_back(std::make_unique<MotionBlock>());
  motion.blocks.back()->kind = kind;
  return motion.blocks.back().get();
}

PositionTable tableFor(const Motion& motion) {
  const CompiledMotion compiled = compileMotion(a::kMotionArea, motion, kPoseHeaderByte, 100);
  std::vector<int> kinds;
  for (const auto& block : motion.blocks) kinds.push_back(block->kind);
  return PositionTable(a::kMotionArea, compiled.blockOffsets, kinds);
}

TEST(PlaybackPositions, ThePoseAfterTheStartBlockAndPosesAfterEndBlocksAreFound) {
  // 0 start -> 1 pose -> 2 pose (open: 0xFF) | 3 end (0xFF) | 4 pose -> 5 end
  Motion motion;
  MotionBlock* start = append(motion, KindStart);
  MotionBlock* first = append(motion, KindPose);
  MotionBlock* second = append(motion, KindPose);
  append(motion, KindEnd);
  MotionBlock* third = append(motion, KindPose);
  MotionBlock* last = append(motion, KindEnd);
  start->link[kNextLink] = first;
  first->link[kNextLink] = second;
  third->link[kNextLink] = last;
  const PositionTable table = tableFor(motion);

  // The start block has no code: the board's start address is the first pose.
  EXPECT_EQ(table.poseAt(a::kMotionArea + 0), 1);
  EXPECT_EQ(table.poseAt(a::kMotionArea + 4), 2);
  EXPECT_EQ(table.poseAt(a::kMotionArea + 8), -1);  // the open link's end marker
  EXPECT_EQ(table.poseAt(a::kMotionArea + 9), -1);  // the end block's own marker
  EXPECT_EQ(table.poseAt(a::kMotionArea + 10), 4);
  EXPECT_EQ(table.poseAt(a::kMotionArea + 14), -1);
  EXPECT_EQ(table.poseAt(0), -1);
}

TEST(PlaybackPositions, AReachedBlockIsShownWithoutBeingSentToTheRobot) {
  EditorState state;
  MotionBlock* start = append(state.motion, KindStart);
  MotionBlock* first = append(state.motion, KindPose);
  MotionBlock* second = append(state.motion, KindPose);
  start->link[kNextLink] = first;
  first->link[kNextLink] = second;
  second->pose.values[0] = 300;
  int sent = 0;
  state.views.livePose = [&](auto&&...) { ++sent; };

  EXPECT_EQ(showReachedBlock(state, 2), second);
  EXPECT_EQ(state.motion.currentBlock, second);
  EXPECT_EQ(sent, 0);
  EXPECT_TRUE(state.views.livePose);  // the user's own poses still go out
}

TEST(PlaybackLoop, ValuesBelowMinusOneAreSentAsThree) {
  EXPECT_EQ(loopValueSent(kLoopControlAbsent), 3);
  EXPECT_EQ(loopValueSent(-32768), 3);
  EXPECT_EQ(loopValueSent(-1), -1);
  EXPECT_EQ(loopValueSent(0), 0);
  EXPECT_EQ(loopValueSent(7), 7);
}

}  // namespace
}  // namespace kv
