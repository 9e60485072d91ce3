#include "motion/block_editing.h"

#include <gtest/gtest.h>

#include "shell/editor_state.h"
#include "shell/undo_commands.h"

namespace kv {
namespace {

class BlockEditing : public ::testing::Test {
 protected:
  // start -> POSE 0 -> end, POSE 0 current, as the only undo state.
  BlockEditing() {
    for (PoseSlider& s : state.sliders.sliders) {
      s.lowerLimit = -32768;
      s.upperLimit = 32767;
    }
    state.views.livePose = [this](const PoseValues&, int time) { sentTimes.push_back(time); };
    start = add(KindStart, u" START ", 50, 10);
    pose0 = add(KindPose, u"POSE 0", 50, 50);
    end = add(KindEnd, u"   END   ", 50, 400);
    start->link[kNextLink] = pose0;
    pose0->link[kNextLink] = end;
    state.motion.currentBlock = pose0;
    resetUndo(state);
  }

  // A block at (x, y), 100 × 40, as a paint leaves it; linked after `from`.
  MotionBlock* add(int kind, std::u16string name, int x, int y, MotionBlock* from = nullptr) {
    MotionBlock* block = createBlock(state.motion, kind, nullptr, Point{x, y}, state.basePoses);
    block->name = std::move(name);
    block->right = x + 100;
    block->bottom = y + 40;
    if (from) {
      block->link[kNextLink] = from->link[kNextLink];
      from->link[kNextLink] = block;
    }
    return block;
  }

  size_t undoStates() const { return state.undo.stateCount(); }
  MotionBlock* current() const { return state.motion.currentBlock; }

  EditorState state;
  MotionBlock* start;
  MotionBlock* pose0;
  MotionBlock* end;
  std::vector<int> sentTimes;
};

TEST_F(BlockEditing, SplitTakesTruncatedMeansAndSharesTheNextPosesTime) {
  MotionBlock* pose1 = add(KindPose, u"POSE 1", 50, 150, pose0);
  pose0->pose.values[0] = -3;
  pose0->pose.values[1] = 5;
  pose0->pose.values[2] = pose1->pose.values[2] = 32767;
  pose1->pose.values[1] = 6;
  pose1->pose.steps = 1;

  MotionBlock* made = splitPose(state);
  ASSERT_NE(made, nullptr);
  EXPECT_EQ(made->pose.values[0], -1);
  EXPECT_EQ(made->pose.values[1], 5);
  EXPECT_EQ(made->pose.values[2], 32767);
  EXPECT_EQ(made->pose.steps, 1);
  EXPECT_EQ(pose1->pose.steps, 0);
  EXPECT_EQ(pose0->link[kNextLink], made);
  EXPECT_EQ(made->link[kNextLink], pose1);
  EXPECT_EQ(made->name, u"POSE 2");
  EXPECT_EQ((Point{made->left, made->top}), (Point{125, 100}));  // between the two poses
  EXPECT_EQ(current(), made);
  EXPECT_EQ(sentTimes, std::vector<int>{1});  // loaded into the pose area and sent on
  EXPECT_EQ(undoStates(), 2u);

  pose1->pose.steps = 7;
  splitPose(state);
  EXPECT_EQ(current()->pose.steps, 3);
  EXPECT_EQ(pose1->pose.steps, 3);
}

TEST_F(BlockEditing, SplitNextToANonPoseBlockDuplicatesInsteadOfAveragingWithZeros) {
  pose0->pose.values.fill(400);
  pose0->pose.steps = 30;
  for (int kind : {KindCalcConstant, KindBranch, KindLoop}) {
    MotionBlock* other = add(kind, u"X", 50, 150);
    other->pose.steps = 40;
    pose0->link[kNextLink] = other;
    state.motion.currentBlock = pose0;
    MotionBlock* made = splitPose(state);
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(made->pose.values, pose0->pose.values) << kind;
    EXPECT_EQ(made->pose.steps, 30);
    EXPECT_EQ(other->pose.steps, 40);
    EXPECT_EQ(made->link[kNextLink], other);
  }
}

TEST_F(BlockEditing, SplitBeforeTheEndIsADuplicateAndANewColumnStaysOnTheCanvas) {
  pose0->pose.values[4] = 123;
  pose0->pose.voiceFile = u"hello.wav";
  MotionBlock* made = splitPose(state);
  EXPECT_EQ(made->pose, pose0->pose);
  EXPECT_EQ((Point{made->left, made->top}), (Point{50, 90 + 20}));  // below the pose
  EXPECT_EQ(made->link[kNextLink], end);

  made->left = 1900;
  made->right = 2000;
  made->top = 2000;
  made->bottom = 2040;
  MotionBlock* twin = duplicatePose(state);
  EXPECT_EQ((Point{twin->right, twin->top}), (Point{2048, 10}));  // column at x 2032, pulled back

  state.motion.currentBlock = nullptr;
  EXPECT_EQ(splitPose(state), nullptr);
  EXPECT_EQ(undoStates(), 3u);
}

TEST_F(BlockEditing, TimeOverrideKeepsEveryPoseWithin1To239) {
  EXPECT_EQ(overriddenSteps(200, 150), 239);
  EXPECT_EQ(overriddenSteps(50, 1), 1);
  EXPECT_EQ(overriddenSteps(3, 999), 29);
  MotionBlock* calc = add(KindCalcConstant, u"C", 200, 50);
  pose0->pose.steps = 200;
  state.playing = true;
  EXPECT_FALSE(applyTimeOverride(state, 50));
  state.playing = false;
  EXPECT_TRUE(applyTimeOverride(state, 50));
  EXPECT_EQ(pose0->pose.steps, 100);
  EXPECT_EQ(calc->pose.steps, kNewPoseSteps);
  EXPECT_EQ(undoStates(), 2u);
}

TEST_F(BlockEditing, ALoopAfterTheLastPoseLeadsBackToTheFirstPoseAndOnToTheEnd) {
  MotionBlock* loop = addFlowBlock(state, KindLoop);
  EXPECT_EQ(loop->name, u"BREAK POINT");
  EXPECT_EQ(pose0->link[kNextLink], loop);
  EXPECT_EQ(loop->link[kNextLink], pose0);  // "NO" back to the first pose
  EXPECT_EQ(loop->link[kBranchLink], end);  // "YES" to the end
  EXPECT_EQ(loop->routeOffset, (std::array<int32_t, 2>{16, 46}));
  EXPECT_EQ((Point{loop->left, loop->top}), (Point{50, 110}));
}

TEST_F(BlockEditing, AddedBlocksAreNamedAndLinkedAfterTheEditedPose) {
  MotionBlock* calc = addFlowBlock(state, KindCalcConstant);
  MotionBlock* branch = addFlowBlock(state, KindBranch);
  EXPECT_EQ(calc->name, u" CALCULATION ");
  EXPECT_EQ(branch->name, u"IF");
  EXPECT_EQ(pose0->link[kNextLink], calc);
  EXPECT_EQ(calc->link[kNextLink], branch);
  EXPECT_EQ(branch->link[kNextLink], end);
  // An end block takes no hidden outgoing link from the flow.
  MotionBlock* end2 = addFlowBlock(state, KindEnd);
  EXPECT_EQ(branch->link[kNextLink], end2);
  EXPECT_EQ(end2->link[kNextLink], nullptr);
  EXPECT_EQ(undoStates(), 4u);

  MotionBlock* pose = addPoseBlock(state, Point{30, 40}, Point{100, 200});
  EXPECT_EQ((Point{pose->left, pose->top}), (Point{130, 240}));  // canvas point of the click
  EXPECT_EQ(pose->name, u"POSE 1");
  EXPECT_EQ(pose->link[kNextLink], nullptr);
  EXPECT_EQ(current(), pose);
}

TEST_F(BlockEditing, StepAndFirstPoseFollowTheFlow) {
  MotionBlock* calc = add(KindCalcConstant, u"C", 50, 100, pose0);
  MotionBlock* branch = add(KindBranch, u"IF", 50, 150, calc);
  MotionBlock* pose1 = add(KindPose, u"POSE 1", 50, 200, branch);
  MotionBlock* pose2 = add(KindPose, u"POSE 2", 200, 200);
  branch->link[kBranchLink] = pose2;
  pose1->pose.steps = 11;

  EXPECT_EQ(stepToNextPose(state, false), pose1);
  EXPECT_EQ(sentTimes, std::vector<int>{11});
  EXPECT_EQ(stepToNextPose(state, false), nullptr);  // the end block has no way on
  EXPECT_EQ(current(), pose1);
  makeCurrent(state, pose0);
  EXPECT_EQ(stepToNextPose(state, true), pose2);

  start->link[kNextLink] = calc;
  EXPECT_EQ(selectFirstPose(state), pose1);
  EXPECT_EQ(undoStates(), 1u);  // moving the current pose is no edit

  // A circle of non-pose blocks ends both walks.
  branch->link[kNextLink] = calc;
  branch->link[kBranchLink] = nullptr;
  EXPECT_EQ(selectFirstPose(state), nullptr);
  makeCurrent(state, pose0);
  EXPECT_EQ(stepToNextPose(state, false), nullptr);

  EXPECT_EQ(selectCurrent(state, 99), pose2);  // beyond the list: the last block
  EXPECT_EQ(selectCurrent(state, 0), nullptr);
}

TEST_F(BlockEditing, ClipboardCommandsAndDeleteRecordUndo) {
  MotionBlock* calc = add(KindCalcConstant, u"C", 50, 100, pose0);
  MotionBlock* pose1 = add(KindPose, u"POSE 1", 50, 150, calc);
  // Cut with nothing selected would delete the edited pose without copying it.
  EXPECT_EQ(cutBlocksCommand(state), 0);
  EXPECT_EQ(state.motion.count(), 5);

  calc->flags |= block_flag::kSelected;
  pose1->flags |= block_flag::kSelected;
  EXPECT_EQ(copyBlocksCommand(state), 2);
  EXPECT_EQ(undoStates(), 1u);
  EXPECT_EQ(cutBlocksCommand(state), 2);
  EXPECT_EQ(pose0->link[kNextLink], end);
  EXPECT_EQ(pasteBlocksCommand(state, false), 2);
  EXPECT_EQ(state.motion.blocks.back()->name, u"POSE 1~");
  EXPECT_EQ(deleteBlocksCommand(state), 2);
  EXPECT_EQ(undoStates(), 4u);

  // Nothing selected: the edited pose goes, the next pose is loaded.
  MotionBlock* pose2 = add(KindPose, u"POSE 2", 50, 150, pose0);
  EXPECT_EQ(deleteBlocksCommand(state), 1);
  EXPECT_EQ(current(), pose2);
  EXPECT_EQ(sentTimes.size(), 1u);

  // While playing: copy, cut, Ctrl+V and Ctrl+A do nothing.
  state.playing = true;
  pose2->flags |= block_flag::kSelected;
  EXPECT_EQ(copyBlocksCommand(state), 0);
  EXPECT_EQ(cutBlocksCommand(state), 0);
  EXPECT_EQ(pasteBlocksCommand(state, true), 0);
  EXPECT_FALSE(selectAllBlocksCommand(state));
  EXPECT_EQ(state.clipboard.blocks.size(), 2u);
  EXPECT_EQ(state.motion.count(), 3);
}

TEST_F(BlockEditing, PropertiesOpenForTheBlockUnderTheRightClickElseTheFirstSelected) {
  MotionBlock* calc = add(KindCalcConstant, u"C", 300, 300);
  EXPECT_EQ(blockForProperties(state.motion, Point{10, 20}, Point{290, 290}), calc);
  EXPECT_EQ(blockForProperties(state.motion, Point{150, 90}, Point{}), pose0);  // edges count
  EXPECT_EQ(blockForProperties(state.motion, Point{1000, 1000}, Point{}), nullptr);
  calc->flags |= block_flag::kSelected;
  EXPECT_EQ(blockForProperties(state.motion, Point{1000, 1000}, Point{}), calc);
}

TEST_F(BlockEditing, HeldTimeTabAndWheelRecordAStepOnlyForAChange) {
  int poseShown = 0;
  state.views.poseChanged = [&] { ++poseShown; };
  pose0->pose.steps = 2;
  EXPECT_TRUE(stepHeldTime(state, *pose0, -1));
  EXPECT_EQ(pose0->pose.steps, 1);
  EXPECT_FALSE(stepHeldTime(state, *pose0, -1));  // held at 1: no further step
  EXPECT_EQ(undoStates(), 2u);
  EXPECT_EQ(poseShown, 1);  // the pose area shows the current pose's time
  EXPECT_TRUE(state.status.has(status::kModified));

  MotionBlock* pose1 = add(KindPose, u"POSE 1", 300, 50);
  pose1->pose.steps = 239;
  pose1->flags |= block_flag::kSelected;
  EXPECT_FALSE(wheelSelectedTimes(state, 2, false, true));  // already at 239
  EXPECT_FALSE(wheelSelectedTimes(state, 0, false, false));
  EXPECT_TRUE(wheelSelectedTimes(state, -1, true, false));
  EXPECT_EQ(pose1->pose.steps, 234);
  EXPECT_EQ(undoStates(), 3u);
  EXPECT_EQ(poseShown, 1);  // the current pose is not selected

  EXPECT_FALSE(finishBlockMove(state, false));
  EXPECT_EQ(undoStates(), 3u);
}

TEST_F(BlockEditing, AHeldLinkRecordsAStepOnlyWhenItChanged) {
  pose0->flags |= block_flag::kSelected;
  HeldLink hold = holdLink(state.motion, *pose0, kNextLink, Point{200, 300});
  EXPECT_FALSE(pose0->selected());
  EXPECT_TRUE(pose0->flags & block_flag::kDraggingNext);
  EXPECT_EQ(hold.targetBefore, end);
  EXPECT_FALSE(releaseLink(state, hold));  // let go where it was
  EXPECT_FALSE(pose0->flags & block_flag::kDraggingNext);
  EXPECT_EQ(undoStates(), 1u);

  hold = holdLink(state.motion, *pose0, kNextLink, Point{200, 300});
  pose0->routeOffset[kNextLink] += 4;
  EXPECT_TRUE(releaseLink(state, hold));
  EXPECT_EQ(undoStates(), 2u);
  EXPECT_TRUE(state.status.has(status::kModified));
}

TEST_F(BlockEditing, AHoldEndsWithItsBlock) {
  MotionBlock* pose1 = add(KindPose, u"POSE 1", 300, 50);
  EXPECT_TRUE(holdsBlock(state.motion, pose1));
  HeldLink hold = holdLink(state.motion, *pose1, kNextLink, Point{0, 0});
  pose1->flags |= block_flag::kSelected;
  deleteBlocksCommand(state);  // Del while the mouse holds the link
  EXPECT_FALSE(holdsBlock(state.motion, pose1));
  const size_t states = undoStates();
  EXPECT_FALSE(releaseLink(state, hold));
  EXPECT_EQ(undoStates(), states);
}

}  // namespace
}  // namespace kv
