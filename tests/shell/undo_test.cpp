#include "shell/undo.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "motion/motion_edit.h"
#include "pose/base_poses.h"
#include "shell/editor_state.h"
#include "shell/undo_commands.h"

namespace kv {
namespace {

const BasePoseTable kNoBasePoses{};

// What undo must bring back, links and the current block as list positions.
struct BlockView {
  std::u16string name;
  int kind;
  int left, top, right, bottom;
  int next, branch;
  bool selected;
  int steps;
  int firstValue;
  bool operator==(const BlockView&) const = default;
};

struct MotionView {
  std::vector<BlockView> blocks;
  int current;
  bool operator==(const MotionView&) const = default;
};

int positionOf(const Motion& motion, const MotionBlock* block) {
  for (int i = 0; i < motion.count(); ++i)
    if (motion.blocks[i].get() == block) return i;
  return -1;
}

MotionView viewOf(const Motion& motion) {
  MotionView view;
  for (const auto& b : motion.blocks)
    view.blocks.push_back({b->name, b->kind, b->left, b->top, b->right, b->bottom, positionOf(motion, b->link[0]),
                           positionOf(motion, b->link[1]), b->selected(), b->pose.steps, b->pose.values[0]});
  view.current = positionOf(motion, motion.currentBlock);
  return view;
}

// start -> POSE 0 -> ... -> POSE n-2 -> end
Motion chain(int poses) {
  Motion motion;
  MotionBlock* previous = createBlock(motion, KindStart, nullptr, Point{50, 10}, kNoBasePoses);
  for (int i = 0; i < poses; ++i) {
    MotionBlock* pose = createBlock(motion, KindPose, nullptr, Point{50, 60 + 50 * i}, kNoBasePoses);
    pose->name = nextPoseName(motion);
    previous->link[kNextLink] = pose;
    previous = pose;
  }
  previous->link[kNextLink] = createBlock(motion, KindEnd, nullptr, Point{50, 2000}, kNoBasePoses);
  motion.currentBlock = motion.blocks[1].get();
  return motion;
}

TEST(UndoChain, NothingToUndoRightAfterReset) {
  Motion motion = chain(2);
  UndoChain undo;
  EXPECT_FALSE(undo.canUndo());
  EXPECT_FALSE(undo.undo(motion));
  undo.reset(motion);
  EXPECT_EQ(undo.stateCount(), 1u);
  EXPECT_FALSE(undo.canUndo());
  EXPECT_FALSE(undo.canRedo());
  const MotionBlock* before = motion.blocks[1].get();
  EXPECT_FALSE(undo.undo(motion));
  EXPECT_FALSE(undo.redo(motion));
  EXPECT_EQ(motion.blocks[1].get(), before);
}

TEST(UndoChain, UndoAndRedoRestoreLinksPositionsSelectionAndCurrentBlock) {
  Motion motion = chain(3);
  UndoChain undo;
  undo.reset(motion);
  MotionView original = viewOf(motion);

  // Delete the current pose: links, current block and positions change.
  motion.blocks[2]->left = 400;
  deleteSelectedBlocks(motion);
  undo.record(motion);
  MotionView afterDelete = viewOf(motion);
  ASSERT_NE(afterDelete, original);

  // Select and move a block.
  motion.blocks[1]->flags |= block_flag::kSelected | block_flag::kNeedsRepaint;
  motion.blocks[1]->top = 999;
  undo.record(motion);
  MotionView afterMove = viewOf(motion);

  ASSERT_TRUE(undo.undo(motion));
  EXPECT_EQ(viewOf(motion), afterDelete);
  ASSERT_TRUE(undo.undo(motion));
  EXPECT_EQ(viewOf(motion), original);
  EXPECT_FALSE(undo.canUndo());
  EXPECT_TRUE(undo.canRedo());
  // The rebuilt blocks are the motion's own and need a repaint.
  EXPECT_EQ(motion.currentBlock, motion.blocks[1].get());
  EXPECT_TRUE(motion.blocks[1]->flags & block_flag::kNeedsRepaint);

  ASSERT_TRUE(undo.redo(motion));
  ASSERT_TRUE(undo.redo(motion));
  EXPECT_EQ(viewOf(motion), afterMove);
  EXPECT_FALSE(undo.canRedo());
}

TEST(UndoChain, AnEditAfterUndoDiscardsTheRedoStates) {
  Motion motion = chain(2);
  UndoChain undo;
  undo.reset(motion);
  motion.blocks[1]->pose.values[0] = 10;
  undo.record(motion);
  motion.blocks[1]->pose.values[0] = 20;
  undo.record(motion);
  ASSERT_TRUE(undo.undo(motion));
  ASSERT_TRUE(undo.undo(motion));
  motion.blocks[1]->pose.values[0] = 30;
  undo.record(motion);
  EXPECT_EQ(undo.stateCount(), 2u);
  EXPECT_FALSE(undo.canRedo());
  ASSERT_TRUE(undo.undo(motion));
  EXPECT_EQ(motion.blocks[1]->pose.values[0], 0);
  ASSERT_TRUE(undo.redo(motion));
  EXPECT_EQ(motion.blocks[1]->pose.values[0], 30);
}

TEST(UndoChain, StatesShareTheBlocksAnEditLeftAlone) {
  Motion motion = chain(254);
  ASSERT_EQ(motion.count(), 256);
  UndoChain undo;
  undo.reset(motion);
  EXPECT_EQ(undo.usage().blocks, 256u);

  // Transient marks and the caption change nothing that is stored.
  motion.blocks[7]->flags |= block_flag::kNeedsRepaint | block_flag::kInRubberBand;
  motion.blocks[7]->caption = u"050step";
  motion.blocks[7]->dragX = 5;
  undo.record(motion);
  EXPECT_EQ(undo.usage().blocks, 256u);

  for (int i = 0; i < 100; ++i) {
    motion.blocks[100]->pose.values[3] = static_cast<int16_t>(i + 1);
    undo.record(motion);
  }
  UndoChain::Usage usage = undo.usage();
  EXPECT_EQ(usage.states, 102u);
  EXPECT_EQ(usage.blocks, 256u + 100u);
  EXPECT_EQ(usage.groups, 8u + 100u);

  // Selection is part of the state.
  motion.blocks[0]->flags |= block_flag::kSelected;
  undo.record(motion);
  EXPECT_EQ(undo.usage().blocks, 256u + 101u);

  ASSERT_TRUE(undo.undo(motion));
  EXPECT_FALSE(motion.blocks[0]->selected());
  EXPECT_EQ(motion.blocks[100]->pose.values[3], 100);
  EXPECT_EQ(motion.blocks[100]->link[0], motion.blocks[101].get());
}

TEST(UndoChain, LinksAreStoredAsPositionsSoAMovedTargetIsStoredAnew) {
  // Removing a block shifts the positions after it: the blocks that link
  // past it must not reuse their old stored links.
  Motion motion = chain(4);
  UndoChain undo;
  undo.reset(motion);
  motion.currentBlock = motion.blocks[2].get();
  deleteSelectedBlocks(motion);
  undo.record(motion);
  MotionView shortened = viewOf(motion);
  undo.undo(motion);
  undo.redo(motion);
  EXPECT_EQ(viewOf(motion), shortened);
  EXPECT_EQ(motion.blocks[1]->link[0], motion.blocks[2].get());
}

struct EditorUndo : ::testing::Test {
  EditorState state;
  std::vector<std::string> calls;
  std::vector<std::pair<int, int>> robot;  // first value and time of each live pose

  void SetUp() override {
    state.views.livePose = [this](const PoseValues& pose, int time) { robot.emplace_back(pose.values[0], time); };
    state.views.poseChanged = [this] { calls.push_back("pose"); };
    state.views.motionChanged = [this] { calls.push_back("motion"); };
    state.views.undoChanged = [this] { calls.push_back("undo"); };
    state.views.statusChanged = [this](uint32_t before, uint32_t after) {
      if ((before ^ after) & status::kModified) calls.push_back(after & status::kModified ? "modified" : "saved");
    };
    state.sliders.clientHeight = 700;
    state.display.motionAreaFont.height = -12;
    state.motion.file = "walk.txt";
    newMotion(state, 0);
    calls.clear();
    robot.clear();
  }
};

TEST_F(EditorUndo, NewMotionIsTheOnlyStateWithoutAFile) {
  EXPECT_TRUE(state.motion.file.empty());
  EXPECT_EQ(state.motion.count(), 3);
  EXPECT_EQ(state.motion.blocks[2]->top, 700 - 66 - 36);
  EXPECT_EQ(state.undo.stateCount(), 1u);
  EXPECT_FALSE(state.status.has(status::kModified));
  EXPECT_FALSE(undo(state));
  EXPECT_TRUE(calls.empty());
}

TEST_F(EditorUndo, RecordMarksModifiedOnceAndUndoLeavesTheMark) {
  state.motion.currentBlock->pose.steps = 80;
  recordUndo(state);
  EXPECT_EQ(calls, (std::vector<std::string>{"modified", "undo"}));
  state.motion.currentBlock->pose.steps = 90;
  recordUndo(state);
  EXPECT_EQ(calls, (std::vector<std::string>{"modified", "undo", "undo"}));
  calls.clear();

  ASSERT_TRUE(undo(state));
  EXPECT_EQ(state.motion.currentBlock->pose.steps, 80);
  EXPECT_EQ(state.motion.currentBlock, state.motion.blocks[1].get());
  EXPECT_TRUE(state.status.has(status::kModified));
  EXPECT_EQ(calls, (std::vector<std::string>{"pose", "motion", "undo"}));
  calls.clear();

  ASSERT_TRUE(redo(state));
  EXPECT_EQ(state.motion.currentBlock->pose.steps, 90);
  EXPECT_FALSE(redo(state));
  calls.clear();

  // Saving resets the chain: nothing left to undo, the mark goes.
  resetUndo(state);
  EXPECT_FALSE(state.undo.canUndo());
  EXPECT_FALSE(state.status.has(status::kModified));
  EXPECT_EQ(calls, (std::vector<std::string>{"saved", "undo"}));
}

TEST_F(EditorUndo, UndoRedoAndNewMoveTheRobotToTheShownPoseAtTheLastPace) {
  for (PoseSlider& s : state.sliders.sliders) s.upperLimit = 1000;
  PoseValues pose = currentPose(state);
  pose.values[0] = 10;
  showPose(state, pose, kPoseAreaTime, true);
  pose.values[0] = 20;
  showPose(state, pose, kPoseOperationTime, true);
  robot.clear();

  ASSERT_TRUE(undo(state));
  ASSERT_TRUE(redo(state));
  newMotion(state, 0);
  // New takes its values from the base pose: none here.
  EXPECT_EQ(robot, (std::vector<std::pair<int, int>>{
                       {10, kPoseOperationTime}, {20, kPoseOperationTime}, {0, kPoseOperationTime}}));
  EXPECT_EQ(state.motion.currentBlock->pose.steps, 50);
}

}  // namespace
}  // namespace kv
