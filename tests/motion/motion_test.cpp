#include "motion/motion.h"

#include <gtest/gtest.h>

#include "pose/base_poses.h"

namespace kv {
namespace {

const BasePoseTable kNoBasePoses{};

MotionBlock* add(Motion& motion, int kind, std::u16string name = u"", Point at = {}) {
  MotionBlock* block = createBlock(motion, kind, nullptr, at, kNoBasePoses);
  block->name = std::move(name);
  return block;
}

void link(MotionBlock* from, MotionBlock* to, int which = kNextLink) { from->link[which] = to; }

TEST(CreateBlock, TakesEnabledSlidersOfTheCurrentBasePoseAndAppends) {
  BasePoseTable bases;
  bases.current = 2;
  BasePose& base = bases.entries[2];
  base.values.fill(111);
  base.servoMask = 0xFFFFFFFF;
  base.sliderEnabled[0] = base.sliderEnabled[29] = base.sliderEnabled[30] = base.sliderEnabled[61] = true;
  bases.entries[0].values.fill(-5);  // not current: never used

  Motion motion;
  add(motion, KindStart);
  MotionBlock* block = createBlock(motion, KindPose, nullptr, Point{40, 70}, bases);
  ASSERT_EQ(motion.count(), 2);
  EXPECT_EQ(motion.last(), block);
  EXPECT_EQ(block->pose.values[0], 111);
  EXPECT_EQ(block->pose.values[1], 0);
  EXPECT_EQ(block->pose.values[29], 111);
  EXPECT_EQ(block->pose.values[30], 111);
  EXPECT_EQ(block->pose.values[61], 111);
  // Servo bits only for enabled sliders below 30.
  EXPECT_EQ(block->pose.servoMask, (1u << 0) | (1u << 29));
  EXPECT_EQ(block->pose.steps, 50);
  EXPECT_EQ(block->routeOffset, (std::array<int32_t, 2>{6, 6}));
  EXPECT_EQ(block->left, 40);
  EXPECT_EQ(block->top, 70);
  EXPECT_EQ(block->link[0], nullptr);

  // A base pose number outside the table leaves the values at zero.
  bases.current = 36;
  MotionBlock* plain = createBlock(motion, KindPose, nullptr, std::nullopt, bases);
  EXPECT_EQ(plain->pose.values, (std::array<int16_t, kSliderCount>{}));
  EXPECT_EQ(plain->pose.servoMask, 0u);
}

TEST(CreateBlock, CopiesASourceButNotItsSelfLinkAndKeepsItsSize) {
  Motion motion;
  MotionBlock* other = add(motion, KindEnd);
  MotionBlock source;
  source.name = u"Wave";
  source.pose.steps = 17;
  source.pose.values[5] = -300;
  source.pose.voiceFile = u"hello.wav";
  source.left = 100;
  source.top = 200;
  source.right = 180;
  source.bottom = 240;
  source.routeOffset = {16, 46};
  source.link = {&source, other};
  source.flags = block_flag::kSelected;

  MotionBlock* copy = createBlock(motion, KindLoop, &source, Point{10, 20}, kNoBasePoses);
  EXPECT_EQ(copy->name, u"Wave");
  EXPECT_EQ(copy->pose.steps, 17);
  EXPECT_EQ(copy->pose.values[5], -300);
  EXPECT_EQ(copy->pose.voiceFile, u"hello.wav");
  EXPECT_EQ(copy->kind, KindLoop);
  EXPECT_EQ(copy->routeOffset, (std::array<int32_t, 2>{6, 6}));
  EXPECT_EQ(copy->link[0], nullptr);
  EXPECT_EQ(copy->link[1], other);
  EXPECT_EQ(copy->flags, block_flag::kSelected);
  EXPECT_EQ((std::array<int, 4>{copy->left, copy->top, copy->right, copy->bottom}),
            (std::array<int, 4>{10, 20, 90, 60}));
}

TEST(InsertAfterCurrent, LinksIntoTheFlowAfterTheCurrentPose) {
  Motion motion;
  MotionBlock* start = add(motion, KindStart);
  MotionBlock* pose = add(motion, KindPose);
  MotionBlock* end = add(motion, KindEnd);
  link(start, pose);
  link(pose, end);
  motion.currentBlock = pose;

  MotionBlock* calc = add(motion, KindCalcConstant);
  EXPECT_TRUE(insertAfterCurrent(motion, calc));
  EXPECT_EQ(pose->link[0], calc);
  EXPECT_EQ(calc->link[0], end);

  // The pose now leads to a calculation, so the search moves on in list
  // order to the first block that leads to a pose or end block, passing
  // over the end block, which has no next link to give.
  MotionBlock* branch = add(motion, KindBranch);
  EXPECT_TRUE(insertAfterCurrent(motion, branch));
  EXPECT_EQ(pose->link[0], calc);
  EXPECT_EQ(calc->link[0], branch);
  EXPECT_EQ(branch->link[0], end);
}

TEST(InsertAfterCurrent, LeavesTheBlockUnlinkedWhenThereIsNoPlace) {
  Motion motion;
  MotionBlock* start = add(motion, KindStart);
  MotionBlock* calc = add(motion, KindCalcConstant);
  MotionBlock* pose = add(motion, KindPose);
  link(start, calc);
  link(calc, pose);

  // The current block is not a pose block.
  motion.currentBlock = calc;
  MotionBlock* first = add(motion, KindEnd);
  EXPECT_FALSE(insertAfterCurrent(motion, first));
  EXPECT_EQ(first->link[0], nullptr);
  EXPECT_EQ(calc->link[0], pose);

  // Every block from the current one on leads to a non-pose block, so the
  // search reaches the new block itself.
  MotionBlock* loop = add(motion, KindLoop);
  link(pose, loop);
  motion.currentBlock = pose;
  link(loop, calc);
  MotionBlock* second = add(motion, KindCalcVariable);
  EXPECT_FALSE(insertAfterCurrent(motion, second));
  EXPECT_EQ(second->link[0], nullptr);
  EXPECT_EQ(pose->link[0], loop);

  // A block outside the list is never linked into it.
  MotionBlock outside;
  link(loop, pose);
  EXPECT_FALSE(insertAfterCurrent(motion, &outside));
  EXPECT_EQ(pose->link[0], loop);
}

TEST(PlaceNewBlock, GoesBelowTheCurrentBlockOrHalfwayToTheNextPose) {
  FixedMetricsMeasurer measurer(8, 12);
  Motion motion;
  MotionBlock* pose = add(motion, KindPose, u"POSE 0", {100, 100});
  MotionBlock* end = add(motion, KindEnd, u"END", {100, 400});
  link(pose, end);
  motion.currentBlock = pose;
  measureBlocks(motion, measurer);
  // 6 units * 8 + 8 + 15 wide, (12 + 8) * 2 high.
  ASSERT_EQ(pose->right, 171);
  ASSERT_EQ(pose->bottom, 140);

  // The next block is an end block: straight below.
  EXPECT_EQ(placeNewBlock(motion), (Point{100, 160}));

  // Too low for another block: a new column.
  pose->top = 2000;
  pose->bottom = 2040;
  EXPECT_EQ(placeNewBlock(motion), (Point{171 + 32, 10}));

  // Through a calculation to the next pose: between the two.
  pose->top = 100;
  pose->bottom = 140;
  MotionBlock* calc = add(motion, KindCalcConstant, u"c", {300, 300});
  MotionBlock* next = add(motion, KindPose, u"POSE 1", {100, 301});
  link(pose, calc);
  link(calc, next);
  EXPECT_EQ(placeNewBlock(motion), (Point{100 + (71 / 4) * 3, 100 + 201 / 2}));

  // A chain of non-pose blocks that loops: the steps run out on a block of it.
  MotionBlock* loop = add(motion, KindLoop, u"l", {100, 500});
  link(calc, loop);
  link(loop, calc);
  EXPECT_EQ(placeNewBlock(motion), (Point{100 + (71 / 4) * 3, 100 + (300 - 100) / 2}));

  // An open link keeps the point below.
  link(calc, nullptr);
  EXPECT_EQ(placeNewBlock(motion), (Point{100, 160}));
}

TEST(NextPoseName, TakesTheSmallestNumberNoPoseNameCarries) {
  Motion motion;
  EXPECT_EQ(nextPoseName(motion), u"POSE 0");
  add(motion, KindPose, u"POSE 0");
  add(motion, KindPose, u"my POSE   1 copy");  // blanks before the number are skipped
  add(motion, KindCalcConstant, u"POSE 2");     // not a pose block
  add(motion, KindPose, u"POSE -3");            // negative: ignored
  add(motion, KindPose, u"POSE 99999999999");   // saturates, far beyond the count
  EXPECT_EQ(nextPoseNumber(motion), 2);
  EXPECT_EQ(nextPoseName(motion), u"POSE 2");

  add(motion, KindPose, u"POSE 2");
  add(motion, KindPose, u"POSE 3");
  add(motion, KindPose, u"POSE");  // no number reads as 0
  EXPECT_EQ(nextPoseNumber(motion), 4);
}

TEST(Selection, SelectAndDeselectMarkOnlyChangedBlocksForRepaint) {
  Motion motion;
  MotionBlock* a = add(motion, KindPose);
  MotionBlock* b = add(motion, KindPose);
  MotionBlock* c = add(motion, KindBranch);
  a->flags = block_flag::kSelected;
  c->flags = block_flag::kDraggingBranch | block_flag::kInRubberBand;

  EXPECT_TRUE(deselectAll(motion));
  EXPECT_EQ(a->flags, block_flag::kNeedsRepaint);
  EXPECT_EQ(b->flags, 0u);
  EXPECT_EQ(c->flags, block_flag::kInRubberBand | block_flag::kNeedsRepaint);
  EXPECT_FALSE(deselectAll(motion));

  a->flags = block_flag::kSelected;
  b->flags = 0;
  EXPECT_TRUE(selectAll(motion));
  EXPECT_EQ(a->flags, block_flag::kSelected);
  EXPECT_EQ(b->flags, block_flag::kSelected | block_flag::kNeedsRepaint);
  EXPECT_FALSE(selectAll(motion));
}

}  // namespace
}  // namespace kv
