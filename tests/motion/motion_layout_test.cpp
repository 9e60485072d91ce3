#include "motion/motion_layout.h"

#include <gtest/gtest.h>

namespace kv {
namespace {

// Appends a block with the given rectangle.
MotionBlock* place(Motion& motion, int kind, int left, int top, int right, int bottom) {
  auto block = std::make_unique<MotionBlock>();
  block->kind = kind;
  block->left = left;
  block->top = top;
  block->right = right;
  block->bottom = bottom;
  return motion.blocks.emplace_back(std::move(block)).get();
}

std::array<Point, 4> pts(Point a, Point b, Point c, Point d) { return {a, b, c, d}; }

TEST(BlockCaption, EveryKindAndGuardedCodes) {
  MotionBlock b;
  b.kind = KindPose;
  b.pose.steps = 7;
  EXPECT_EQ(blockCaption(b), u"007step");

  b.kind = KindBranch;
  b.testVar = 3;
  b.testValue = -10;
  const std::pair<int, std::u16string> branches[] = {
      {CondUndefined, u"NO SETTING"}, {CondAtOrAbove, u"v[3] > -10"}, {CondNotEqual, u"v[3] != -10"},
      {CondAlways, u"TRUE"},          {CondNever, u"FALSE"},          {200, u"v[3] ? -10"}};
  for (const auto& [condition, caption] : branches) {
    b.condition = static_cast<uint8_t>(condition);
    EXPECT_EQ(blockCaption(b), caption) << condition;
  }

  b.kind = KindCalcConstant;
  b.resultVar = 255;
  b.operation = OpSubtract;
  b.constant = -32768;
  EXPECT_EQ(blockCaption(b), u"v[255] -= -32768");
  b.kind = KindCalcVariable;
  b.operation = OpDivide;
  b.sourceVar = 9;
  EXPECT_EQ(blockCaption(b), u"v[255] /= v[9]");
  b.operation = 5;  // beyond the table
  EXPECT_EQ(blockCaption(b), u"v[255] ? v[9]");

  b.kind = KindLoop;
  EXPECT_EQ(blockCaption(b), u"<<loop>>");
  b.kind = KindStart;
  EXPECT_EQ(blockCaption(b), u" START ");
  b.kind = KindEnd;
  EXPECT_EQ(blockCaption(b), u"   END   ");
  b.kind = 99;
  EXPECT_EQ(blockCaption(b), u"");
}

TEST(LayoutBlocks, SizesFromCaptionsAndKeepsBlocksInsideTheCanvas) {
  Motion motion;
  MotionBlock* pose = place(motion, KindPose, 2040, 2030, 0, 0);
  pose->name = u"AB";
  MotionBlock* end = place(motion, KindEnd, -5, 10, 0, 0);
  FixedMetricsMeasurer measurer(8, 12);

  EXPECT_TRUE(layoutBlocks(motion, measurer));
  EXPECT_EQ(pose->caption, u"050step");
  // 7 caption units × 8 + 8, plus the time tab; two rows of 12 + 8.
  EXPECT_EQ(pose->right, 2048);
  EXPECT_EQ(pose->left, 2048 - (7 * 8 + 8 + 15));
  EXPECT_EQ(pose->bottom, 2048);
  EXPECT_EQ(pose->top, 2048 - 40);
  EXPECT_EQ(end->left, 0);
  EXPECT_EQ(end->bottom - end->top, 20);  // one row

  // Nothing changed: no full repaint needed.
  EXPECT_FALSE(layoutBlocks(motion, measurer));
  pose->pose.steps = 1000;  // one more digit
  EXPECT_TRUE(layoutBlocks(motion, measurer));
  EXPECT_EQ(pose->right, 2048);
}

TEST(CanvasExtent, FarthestCornerPlusMarginAtLeastTheClient) {
  Motion motion;
  place(motion, KindPose, 100, 100, 300, 500);
  EXPECT_EQ(canvasExtent(motion, {200, 200}), (AreaSize{315, 515}));
  EXPECT_EQ(canvasExtent(motion, {400, 600}), (AreaSize{400, 600}));
  EXPECT_EQ(clampScrollOrigin(500, 515, 200), 315);
  EXPECT_EQ(clampScrollOrigin(-3, 515, 200), 0);
  EXPECT_EQ(clampScrollOrigin(10, 100, 200), 0);
}

// The bar used to be (steps / 239) × width in integers: nothing below 239.
TEST(TimeBar, ShareOfTheCaptionWidthNeverLonger) {
  EXPECT_EQ(timeBarLength(50, 100), 20);
  EXPECT_EQ(timeBarLength(1, 239), 1);
  EXPECT_EQ(timeBarLength(239, 100), 100);
  EXPECT_EQ(timeBarLength(65535, 100), 100);
  EXPECT_EQ(timeBarLength(0, 100), 0);
  EXPECT_EQ(timeBarLength(50, 0), 0);
}

// Source S at (100,100)-(160,130): w 60, h 30, exit (140, 120) for link 0.
struct RouteFixture {
  Motion motion;
  MotionBlock* s = place(motion, KindPose, 100, 100, 160, 130);
  MotionBlock* t = place(motion, KindPose, 0, 0, 30, 30);
  void moveTarget(int left, int top) {
    t->right = left + 30;
    t->bottom = top + 30;
    t->left = left;
    t->top = top;
  }
  LinkRoute route(int link = kNextLink) { return routeLink(*s, link); }
};

TEST(Routing, TargetSidesGiveTheFiveTypes) {
  RouteFixture f;
  f.s->link[kNextLink] = f.t;

  f.moveTarget(300, 200);  // right: entry (310, 210)
  LinkRoute r = f.route();
  EXPECT_EQ(r.type, 2);
  EXPECT_EQ(r.points, pts({160, 120}, {166, 120}, {166, 210}, {300, 210}));
  EXPECT_EQ(r.handle, (Point{166, 165}));
  EXPECT_EQ(r.arrow, ArrowDirection::Right);

  f.moveTarget(10, 40);  // left
  r = f.route();
  EXPECT_EQ(r.type, 1);
  EXPECT_EQ(r.points, pts({100, 120}, {94, 120}, {94, 50}, {40, 50}));
  EXPECT_EQ(r.arrow, ArrowDirection::Left);

  f.moveTarget(125, 300);  // below, pose: straight down
  r = f.route();
  EXPECT_EQ(r.type, 3);
  EXPECT_EQ(r.points, pts({140, 130}, {140, 136}, {135, 136}, {135, 300}));
  EXPECT_EQ(r.handle, (Point{137, 136}));

  f.moveTarget(140, 20);  // above, centre right of the source's: round the left side
  r = f.route();
  EXPECT_EQ(r.type, 5);
  EXPECT_EQ(r.points, pts({100, 120}, {94, 120}, {94, 30}, {140, 30}));
  f.moveTarget(75, 20);  // above, centre left of the source's: round the right side
  r = f.route();
  EXPECT_EQ(r.type, 4);
  EXPECT_EQ(r.points, pts({160, 120}, {166, 120}, {166, 30}, {105, 30}));

  f.moveTarget(120, 110);  // overlapping: no connector
  EXPECT_EQ(f.route().type, 0);
}

TEST(Routing, OffsetsAdjustToTheGapAndTheTargetsEdges) {
  RouteFixture f;
  f.s->link[kNextLink] = f.t;
  f.s->routeOffset[kNextLink] = 500;
  f.moveTarget(200, 300);  // right, gap 40
  EXPECT_EQ(f.route().offset, 40);
  f.moveTarget(125, 150);  // below, gap 20
  EXPECT_EQ(f.route().offset, 20);

  f.s->routeOffset[kNextLink] = 0;
  f.s->right = 120;  // narrow source, wide target above reaching right to 200
  f.t->left = 60;
  f.t->right = 200;
  f.t->top = 0;
  f.t->bottom = 30;
  // Centre 130 is right of 110: type 5, leg out to T.left.
  LinkRoute r = f.route();
  EXPECT_EQ(r.type, 5);
  EXPECT_EQ(r.offset, 40);
  EXPECT_EQ(r.points[1].x, 60);
  f.t->left = 20;  // centre 110: not right of 110, type 4, leg out to T.right
  r = f.route();
  EXPECT_EQ(r.type, 4);
  EXPECT_EQ(r.offset, 80);
  EXPECT_EQ(r.points[1].x, 200);
}

TEST(Routing, BranchAndLoopBlocksGoRoundTheSideToATargetBelow) {
  RouteFixture f;
  f.moveTarget(140, 300);
  for (int kind : {KindBranch, KindLoop}) {
    f.s->kind = kind;
    f.s->link[kBranchLink] = f.t;
    LinkRoute r = f.route(kBranchLink);
    EXPECT_EQ(r.type, 5) << kind;
    // Link 1 leaves 10 pixels above link 0.
    EXPECT_EQ(r.exit(), (Point{100, 110}));
  }
  f.moveTarget(70, 300);
  EXPECT_EQ(f.route(kBranchLink).type, 4);
}

TEST(Routing, HeldLinkFollowsItsFreeEndAndAnOpenLinkIsAStub) {
  RouteFixture f;
  f.s->flags |= block_flag::kDraggingNext;
  const std::pair<Point, int> ends[] = {{{200, 50}, 2}, {{50, 300}, 1}, {{130, 50}, 5},
                                        {{131, 50}, 4}, {{120, 200}, 3}, {{120, 115}, 0}};
  for (const auto& [p, type] : ends) {
    f.s->dragX = p.x;
    f.s->dragY = p.y;
    LinkRoute r = f.route();
    EXPECT_EQ(r.type, type) << p.x << "," << p.y;
    if (type != 0) {
      EXPECT_EQ(r.tip(), p);
    }
  }

  f.s->flags = 0;
  f.s->kind = KindBranch;
  LinkRoute open = f.route(kNextLink);
  EXPECT_EQ(open.type, 3);
  EXPECT_EQ(open.tip(), (Point{140, 130}));
  EXPECT_EQ(open.exit(), open.tip());
  EXPECT_TRUE(open.open);
  // The branch link's stub sits 10 pixels left of and above it.
  EXPECT_EQ(f.route(kBranchLink).tip(), (Point{130, 120}));
  EXPECT_EQ(hitTest(f.motion, Point{130, 120}).code, HitBranchEnd);
  EXPECT_EQ(hitTest(f.motion, Point{140, 130}).code, HitNextEnd);
}

TEST(HitTest, HandlesTimeTabRectangleInListOrder) {
  Motion motion;
  MotionBlock* s = place(motion, KindPose, 100, 100, 160, 140);
  MotionBlock* t = place(motion, KindPose, 300, 200, 360, 240);
  s->link[kNextLink] = t;
  const LinkRoute r = routeLink(*s, kNextLink);
  ASSERT_EQ(r.type, 2);

  auto code = [&](int x, int y) { return hitTest(motion, Point{x, y}).code; };
  EXPECT_EQ(code(r.tip().x + 3, r.tip().y - 3), HitNextEnd);
  EXPECT_EQ(code(r.tip().x - 4, r.tip().y), HitNothing);
  // The exit marker reaches 4 pixels up and left, 3 down and right.
  EXPECT_EQ(code(r.exit().x - 4, r.exit().y - 4), HitNextEnd);
  EXPECT_EQ(code(r.exit().x + 4, r.exit().y), HitNothing);
  EXPECT_EQ(code(r.handle.x, r.handle.y + 3), HitNextLeg);
  // Time tab: x from right - 15 to right, two quarters below the middle (120).
  EXPECT_EQ(code(150, 120), HitTimeUp);
  EXPECT_EQ(code(150, 129), HitTimeUp);
  EXPECT_EQ(code(150, 130), HitTimeDown);
  EXPECT_EQ(code(144, 130), HitBlock);
  EXPECT_EQ(code(150, 119), HitBlock);
  EXPECT_EQ(code(100, 100), HitBlock);
  EXPECT_EQ(code(99, 100), HitNothing);
  AreaHit hit = hitTest(motion, Point{330, 220});
  EXPECT_EQ(hit.code, HitBlock);
  EXPECT_EQ(hit.index, 1);
  EXPECT_EQ(hit.block, t);

  // An earlier block wins over a later one lying on top of it.
  MotionBlock* later = place(motion, KindCalcConstant, 90, 90, 200, 200);
  EXPECT_EQ(hitTest(motion, Point{150, 135}).code, HitTimeDown);
  EXPECT_EQ(hitTest(motion, Point{190, 190}).block, later);
  // Branch links answer with their own codes.
  MotionBlock* far = place(motion, KindEnd, 600, 600, 660, 620);
  later->kind = KindBranch;
  later->link[kBranchLink] = far;
  EXPECT_EQ(hitTest(motion, routeLink(*later, kBranchLink).tip()).code, HitBranchEnd);
  EXPECT_EQ(hitTest(motion, Point{}).code, HitNothing);
}

TEST(LinkDrop, NeverTheOwnBlockOrTheStartBlock) {
  Motion motion;
  MotionBlock* start = place(motion, KindStart, 0, 0, 100, 100);
  MotionBlock* s = place(motion, KindPose, 0, 0, 100, 100);
  MotionBlock* t = place(motion, KindEnd, 50, 50, 150, 150);
  EXPECT_EQ(linkDropTarget(motion, s, Point{10, 10}), nullptr);
  EXPECT_EQ(linkDropTarget(motion, s, Point{60, 60}), t);
  EXPECT_EQ(linkDropTarget(motion, t, Point{60, 60}), s);
  EXPECT_EQ(blockAtPoint(motion, Point{10, 10}), start);
  EXPECT_EQ(linkDropTarget(motion, s, Point{200, 10}), nullptr);
}

TEST(LegDrag, OffsetFollowsTheCursorWithinTheGap) {
  Motion motion;
  MotionBlock* s = place(motion, KindPose, 100, 100, 160, 140);
  MotionBlock* t = place(motion, KindPose, 300, 200, 360, 240);
  s->link[kNextLink] = t;
  EXPECT_EQ(legOffsetAt(*s, kNextLink, 2, Point{200, 0}), 40);
  EXPECT_EQ(legOffsetAt(*s, kNextLink, 2, Point{900, 0}), 140);  // up to T.left
  EXPECT_EQ(legOffsetAt(*s, kNextLink, 2, Point{0, 0}), 0);
  EXPECT_EQ(legOffsetAt(*s, kNextLink, 3, Point{0, 170}), 30);
  EXPECT_EQ(legOffsetAt(*s, kNextLink, 4, Point{150, 0}), 0);  // negative becomes 0
  EXPECT_EQ(legOffsetAt(*s, kNextLink, 5, Point{60, 0}), 40);
  // A target above the source gives an empty span for type 3: still in range.
  t->top = 10;
  t->bottom = 40;
  EXPECT_EQ(legOffsetAt(*s, kNextLink, 3, Point{0, 500}), 0);
}

TEST(Grid, ZeroStepMeansNoSnapping) {
  EXPECT_EQ(snapToGrid(37, 10), 30);
  EXPECT_EQ(snapToGrid(-3, 10), -10);
  EXPECT_EQ(snapToGrid(37, 0), 37);
  EXPECT_EQ(snapToGrid(37, -4), 37);

  Motion motion;
  MotionBlock* b = place(motion, KindPose, 33, 47, 93, 87);
  b->flags = block_flag::kSelected;
  // A grid of 0 in both directions moves freely, without dividing by it.
  EXPECT_TRUE(dragSelectedBlocks(motion, Point{0, 0}, Point{5, 6}, true, 0, 0));
  EXPECT_EQ(blockRect(*b), (AreaRect{38, 53, 98, 93}));
}

TEST(DragBlocks, SnapsToTheGridAndStaysInsideTheCanvas) {
  Motion motion;
  MotionBlock* b = place(motion, KindPose, 33, 47, 93, 87);
  MotionBlock* other = place(motion, KindPose, 500, 500, 560, 540);
  b->flags = block_flag::kSelected;

  // A Shift+click, or a movement inside one grid cell, leaves the blocks
  // where they are, off the grid.
  EXPECT_FALSE(dragSelectedBlocks(motion, Point{19, 12}, Point{19, 12}, true, 10, 10));
  EXPECT_FALSE(dragSelectedBlocks(motion, Point{19, 12}, Point{17, 15}, true, 10, 10));
  EXPECT_EQ(blockRect(*b), (AreaRect{33, 47, 93, 87}));

  // Snapped: the block first goes down to (30, 40), then the movement from
  // 19 to 38 counts as two grid steps across (10 to 30) and none down.
  EXPECT_TRUE(dragSelectedBlocks(motion, Point{19, 12}, Point{38, 18}, true, 10, 10));
  EXPECT_EQ(blockRect(*b), (AreaRect{50, 40, 110, 80}));
  EXPECT_TRUE(b->flags & block_flag::kNeedsRepaint);
  EXPECT_EQ(blockRect(*other), (AreaRect{500, 500, 560, 540}));

  // Past the right and bottom edges: right and bottom stay at 2048.
  EXPECT_TRUE(dragSelectedBlocks(motion, Point{0, 0}, Point{5000, 5000}, false, 10, 10));
  EXPECT_EQ(blockRect(*b), (AreaRect{1988, 2008, 2048, 2048}));
  EXPECT_FALSE(dragSelectedBlocks(motion, Point{0, 0}, Point{10, 10}, false, 10, 10));
  // Past the left and top edges: 0.
  EXPECT_TRUE(dragSelectedBlocks(motion, Point{5000, 5000}, Point{0, 0}, false, 10, 10));
  EXPECT_EQ(blockRect(*b), (AreaRect{0, 0, 60, 40}));
}

}  // namespace
}  // namespace kv
