#include "motion/motion_edit.h"

#include <gtest/gtest.h>

#include <cstdint>

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
void select(MotionBlock* block) { block->flags |= block_flag::kSelected; }

std::vector<const MotionBlock*> listOf(const Motion& motion) {
  std::vector<const MotionBlock*> list;
  for (const auto& block : motion.blocks) list.push_back(block.get());
  return list;
}

bool noneSelected(const Motion& motion) {
  for (const auto& block : motion.blocks)
    if (block->selected()) return false;
  return true;
}

TEST(NewMotion, BuildsStartPoseAndEndLinkedInOrder) {
  BasePoseTable bases;
  bases.current = 1;
  bases.entries[1].valid = true;
  bases.entries[1].values.fill(70);
  bases.entries[1].servoMask = kServoMaskBits;
  bases.entries[1].sliderEnabled[3] = bases.entries[1].sliderEnabled[40] = true;

  Motion motion;
  add(motion, KindPose, u"old");
  motion.file = "old.txt";
  newMotion(motion, bases, NewMotionPlacement{-12, 500, 640});

  ASSERT_EQ(motion.count(), 3);
  const MotionBlock& start = *motion.blocks[0];
  const MotionBlock& pose = *motion.blocks[1];
  const MotionBlock& end = *motion.blocks[2];
  EXPECT_EQ(start.kind, KindStart);
  EXPECT_EQ(pose.kind, KindPose);
  EXPECT_EQ(end.kind, KindEnd);
  EXPECT_EQ(start.link[0], &pose);
  EXPECT_EQ(pose.link[0], &end);
  EXPECT_EQ(end.link[0], nullptr);
  EXPECT_EQ(motion.currentBlock, &pose);

  EXPECT_EQ((Point{start.left, start.top}), (Point{50, 10}));
  EXPECT_EQ((Point{pose.left, pose.top}), (Point{50, 36 + 10}));
  EXPECT_EQ((Point{end.left, end.top}), (Point{50, 500 - 36}));
  EXPECT_EQ(end.routeOffset, (std::array<int32_t, 2>{16, 46}));
  EXPECT_EQ(pose.routeOffset, (std::array<int32_t, 2>{6, 6}));
  EXPECT_EQ(pose.name, u"POSE 0");
  EXPECT_EQ(end.name, u"   END   ");
  EXPECT_EQ(pose.pose.steps, 50);
  EXPECT_EQ(pose.pose.values[3], 70);
  EXPECT_EQ(pose.pose.values[40], 70);
  EXPECT_EQ(pose.pose.values[4], 0);
  EXPECT_EQ(pose.pose.servoMask, 1u << 3);
  EXPECT_EQ(motion.file, "old.txt");  // the caller decides about the file
}

TEST(NewMotion, IgnoresAnInvalidBasePoseAndFallsBackToTheWindowHeight) {
  BasePoseTable bases;
  bases.entries[0].values.fill(70);
  bases.entries[0].sliderEnabled.fill(true);  // but not valid
  Motion motion;
  newMotion(motion, bases, NewMotionPlacement{7, 0, 640});
  EXPECT_EQ(motion.blocks[1]->pose.values, (std::array<int16_t, kSliderCount>{}));
  EXPECT_EQ(motion.blocks[1]->top, 31);
  EXPECT_EQ(motion.blocks[2]->top, 640 - 66 - 36);

  // Absurd metrics from settings files keep the blocks on the canvas.
  newMotion(motion, bases, NewMotionPlacement{INT32_MIN, 0, 10});
  EXPECT_EQ(motion.blocks[1]->top, kMotionAreaExtent);
  EXPECT_EQ(motion.blocks[2]->top, 0);
}

TEST(DeleteBlocks, WithNothingSelectedDeletesTheEditedPoseUnlessItIsTheOnlyOne) {
  Motion motion;
  MotionBlock* start = add(motion, KindStart);
  MotionBlock* first = add(motion, KindPose, u"POSE 0");
  MotionBlock* second = add(motion, KindPose, u"POSE 1");
  MotionBlock* end = add(motion, KindEnd);
  link(start, first);
  link(first, second);
  link(second, end);
  motion.currentBlock = second;

  DeleteResult result = deleteSelectedBlocks(motion);
  EXPECT_EQ(result.deleted, 1);
  EXPECT_TRUE(result.currentChanged);
  EXPECT_EQ(listOf(motion), (std::vector<const MotionBlock*>{start, first, end}));
  EXPECT_EQ(first->link[0], end);
  // The end block leads to no pose: the last pose block becomes current.
  EXPECT_EQ(motion.currentBlock, first);
  EXPECT_TRUE(noneSelected(motion));

  result = deleteSelectedBlocks(motion);
  EXPECT_EQ(result.deleted, 0);
  EXPECT_FALSE(result.currentChanged);
  EXPECT_EQ(motion.count(), 3);
  EXPECT_EQ(motion.currentBlock, first);
}

TEST(DeleteBlocks, SelectAllKeepsStartAndEditedPoseWithLinksRedirected) {
  Motion motion;
  MotionBlock* start = add(motion, KindStart);
  MotionBlock* first = add(motion, KindPose);
  MotionBlock* calc = add(motion, KindCalcConstant);
  MotionBlock* edited = add(motion, KindPose);
  MotionBlock* end = add(motion, KindEnd);
  link(start, first);
  link(first, calc);
  link(calc, edited);
  link(edited, end);
  motion.currentBlock = edited;
  selectAll(motion);

  DeleteResult result = deleteSelectedBlocks(motion);
  EXPECT_EQ(result.deleted, 3);
  EXPECT_FALSE(result.currentChanged);
  EXPECT_EQ(listOf(motion), (std::vector<const MotionBlock*>{start, edited}));
  EXPECT_EQ(start->link[0], edited);  // along first -> calc -> edited
  EXPECT_EQ(edited->link[0], nullptr);
  EXPECT_EQ(motion.currentBlock, edited);
  EXPECT_TRUE(noneSelected(motion));
}

TEST(DeleteBlocks, LinksFollowTheDeletedBlocksOwnLinksButNeverBackToThemselves) {
  Motion motion;
  MotionBlock* start = add(motion, KindStart);
  MotionBlock* pose = add(motion, KindPose);
  MotionBlock* back = add(motion, KindCalcConstant);
  MotionBlock* branch = add(motion, KindBranch);
  MotionBlock* loop = add(motion, KindLoop);
  MotionBlock* other = add(motion, KindPose);
  MotionBlock* end = add(motion, KindEnd);
  link(start, pose);
  link(pose, back);
  link(back, pose);  // deleting `back` would give pose a link to itself
  link(branch, loop);
  link(branch, loop, kBranchLink);
  link(loop, end);
  link(loop, other, kBranchLink);
  motion.currentBlock = pose;
  motion.propertyBlock = loop;
  select(back);
  select(loop);

  EXPECT_EQ(deleteSelectedBlocks(motion).deleted, 2);
  EXPECT_EQ(pose->link[0], nullptr);
  // Each link moves along the deleted block's link of the same kind.
  EXPECT_EQ(branch->link[kNextLink], end);
  EXPECT_EQ(branch->link[kBranchLink], other);
  EXPECT_EQ(motion.propertyBlock, nullptr);
  EXPECT_EQ(motion.currentBlock, pose);
}

TEST(DeleteBlocks, NewCurrentIsFoundFromTheDeletedCurrentsNextBlockEvenWhenThatGoesToo) {
  // The current pose, the block after it and the pose after that are all
  // deleted; the search must start from the first surviving block of that
  // flow, never from a freed one.
  Motion motion;
  MotionBlock* start = add(motion, KindStart);
  MotionBlock* current = add(motion, KindPose);
  MotionBlock* calc = add(motion, KindCalcConstant);
  MotionBlock* gone = add(motion, KindPose);
  MotionBlock* reached = add(motion, KindPose);
  MotionBlock* lastPose = add(motion, KindPose);
  link(start, current);
  link(current, calc);
  link(calc, gone);
  link(gone, reached);
  motion.currentBlock = current;
  select(current);
  select(calc);
  select(gone);

  DeleteResult result = deleteSelectedBlocks(motion);
  EXPECT_EQ(result.deleted, 3);
  EXPECT_TRUE(result.currentChanged);
  EXPECT_EQ(listOf(motion), (std::vector<const MotionBlock*>{start, reached, lastPose}));
  EXPECT_EQ(motion.currentBlock, reached);
  EXPECT_EQ(start->link[0], reached);
}

struct CopyFixture : ::testing::Test {
  Motion motion;
  BlockClipboard clipboard;
  MotionBlock* start = add(motion, KindStart);
  MotionBlock* pose = add(motion, KindPose, u"A", {100, 100});
  MotionBlock* branch = add(motion, KindBranch, u"IF", {100, 200});
  MotionBlock* outside = add(motion, KindPose, u"C", {100, 300});
  MotionBlock* end = add(motion, KindEnd, u"   END   ", {100, 400});

  void SetUp() override {
    link(start, pose);
    link(pose, branch);
    link(branch, outside);
    link(branch, start, kBranchLink);
    link(end, pose, kBranchLink);
    motion.currentBlock = pose;
    measureBlocks(motion, FixedMetricsMeasurer(8, 12));
    for (MotionBlock* b : {start, pose, branch, end}) select(b);
  }
};

TEST_F(CopyFixture, CopyKeepsOnlyLinksBetweenCopiedBlocks) {
  ASSERT_EQ(copySelectedBlocks(motion, clipboard), 3);
  EXPECT_EQ(clipboard.motionBlockCount, 5);
  const MotionBlock& a = *clipboard.blocks[0];
  const MotionBlock& b = *clipboard.blocks[1];
  const MotionBlock& e = *clipboard.blocks[2];
  EXPECT_EQ(a.name, u"A");
  EXPECT_EQ(a.link[0], &b);
  EXPECT_EQ(b.link[kNextLink], nullptr);    // to an unselected block
  EXPECT_EQ(b.link[kBranchLink], nullptr);  // to the start block, never copied
  EXPECT_EQ(e.link[kBranchLink], &a);
  // The motion is untouched.
  EXPECT_EQ(branch->link[kBranchLink], start);

  // A new copy replaces the clipboard.
  deselectAll(motion);
  select(outside);
  EXPECT_EQ(copySelectedBlocks(motion, clipboard), 1);
  EXPECT_EQ(clipboard.blocks[0]->name, u"C");
}

TEST_F(CopyFixture, RepeatedPastesCascadeAndGrowTheNames) {
  copySelectedBlocks(motion, clipboard);
  const int width = pose->right - pose->left;
  const int height = pose->bottom - pose->top;
  ASSERT_EQ(width, 31);
  ASSERT_EQ(height, 40);

  for (int paste = 1; paste <= 3; ++paste) {
    size_t before = motion.blocks.size();
    ASSERT_EQ(pasteBlocks(motion, clipboard), 3);
    for (size_t i = 0; i < before; ++i) EXPECT_FALSE(motion.blocks[i]->selected());
    MotionBlock* a = motion.blocks[before].get();
    MotionBlock* b = motion.blocks[before + 1].get();
    MotionBlock* e = motion.blocks[before + 2].get();
    EXPECT_EQ(a->name, u"A" + std::u16string(paste, u'~'));
    EXPECT_EQ(b->name, u"IF" + std::u16string(paste, u'~'));
    EXPECT_EQ(e->name, u"   END   ");
    EXPECT_EQ(a->left, 100 + paste * (width / 5));
    EXPECT_EQ(a->top, 100 + paste * (height / 5));
    EXPECT_EQ(a->right - a->left, width);
    EXPECT_TRUE(a->selected() && b->selected() && e->selected());
    // Links lead to the new copies, inside the motion.
    EXPECT_EQ(a->link[0], b);
    EXPECT_EQ(b->link[0], nullptr);
    EXPECT_EQ(e->link[kBranchLink], a);
  }
  EXPECT_EQ(motion.count(), 5 + 9);
}

TEST_F(CopyFixture, PasteStopsGrowingANameAtThirtyOneUnits) {
  pose->name = std::u16string(30, u'x');
  copySelectedBlocks(motion, clipboard);
  pasteBlocks(motion, clipboard);
  EXPECT_EQ(motion.blocks[5]->name, std::u16string(30, u'x') + u"~");
  pasteBlocks(motion, clipboard);
  EXPECT_EQ(motion.blocks[8]->name, std::u16string(30, u'x') + u"~");
}

}  // namespace
}  // namespace kv
