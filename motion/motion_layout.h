// The geometry of the motion area's flowchart: block captions and sizes,
// the connectors between blocks, what lies under a point, and the edits the
// mouse makes (moving with the grid, rubber-band marks, transition times).
// All in canvas coordinates (pixels, 0..2048).
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "motion/motion.h"

namespace kv {

inline constexpr int kTimeTabWidth = 15;    // the time tab at a pose block's right side
inline constexpr int kCanvasMargin = 15;    // scrollable space beyond the lowest and rightmost block
inline constexpr int kMinTabSteps = 1;      // transition times the mouse and wheel give
inline constexpr int kMaxTabSteps = 239;

// The second display line of a block.
std::u16string blockCaption(const MotionBlock& block);

// Rebuilds every caption, measures every block and moves blocks back inside
// the canvas. True when any block's rectangle changed.
bool layoutBlocks(Motion& motion, const BlockMeasurer& measurer);
// Moves a block, keeping its size, so that its corners lie within 0..2048.
// True when it moved.
bool keepInsideCanvas(MotionBlock& block);

struct AreaSize {
  int width = 0;
  int height = 0;
  bool operator==(const AreaSize&) const = default;
};

// The scrollable extent: the farthest block corner plus the margin, at
// least the client size.
AreaSize canvasExtent(const Motion& motion, AreaSize client);
// A scroll origin kept within 0 .. extent - client.
int clampScrollOrigin(int origin, int extent, int client);

// Length of a pose block's time bar: `steps` of 239 as a share of the
// caption width, never longer than that width.
int timeBarLength(int steps, int captionWidth);

// Links a block has: none for end blocks, two for branch and loop blocks.
int linkCount(const MotionBlock& block);

struct AreaRect {
  int left = 0, top = 0, right = 0, bottom = 0;
  bool contains(Point p) const { return p.x >= left && p.x <= right && p.y >= top && p.y <= bottom; }
  bool intersects(const AreaRect& o) const {
    return left <= o.right && right >= o.left && top <= o.bottom && bottom >= o.top;
  }
  bool operator==(const AreaRect&) const = default;
};
inline AreaRect blockRect(const MotionBlock& b) { return {b.left, b.top, b.right, b.bottom}; }

enum class ArrowDirection { None, Left, Right, Down };

// Route types: 0 no connector (source and target overlap), 1 target to the
// left, 2 to the right, 3 straight down, 4 round the right side back left,
// 5 round the left side back right.
struct LinkRoute {
  int type = 0;
  std::array<Point, 4> points{};  // exit on the block's edge, two corners, arrow tip at the target
  Point handle;                   // middle of the side leg
  int offset = 0;                 // side leg distance actually used
  ArrowDirection arrow = ArrowDirection::None;
  bool open = false;              // no target: every point is the stub on the lower edge

  Point exit() const { return points[0]; }
  Point tip() const { return points[3]; }
};

// Route of one link of `source`: to its target block; while the link is
// held without a target, to its free end (dragX, dragY); an open link is a
// stub on the block's lower edge (link 1's ten pixels left of and above
// link 0's).
LinkRoute routeLink(const MotionBlock& source, int link);

// Side-leg distance for a leg held at `cursor`, with the route type it had
// when grabbed.
int legOffsetAt(const MotionBlock& source, int link, int routeType, Point cursor);

enum HitCode : int {
  HitNothing = 0,
  HitBlock = 3,
  HitTimeUp = 6,
  HitTimeDown = 7,
  HitNextLeg = 9,
  HitBranchLeg = 10,
  HitNextEnd = 11,
  HitBranchEnd = 12,
};

struct AreaHit {
  int code = HitNothing;
  int index = -1;                // list position of the block
  MotionBlock* block = nullptr;
  int link() const { return code == HitBranchLeg || code == HitBranchEnd ? kBranchLink : kNextLink; }
};

// What lies at `p`: blocks in list order, the first match wins; for each,
// its connector handles, then a pose block's time tab, then its rectangle.
AreaHit hitTest(const Motion& motion, Point p);

// The first block in list order whose rectangle contains `p`; null for none.
MotionBlock* blockAtPoint(const Motion& motion, Point p);
// The block a dragged link end at `p` connects to: as blockAtPoint, but
// never the link's own block or the start block.
MotionBlock* linkDropTarget(const Motion& motion, const MotionBlock* source, Point p);

// Rounds down to a multiple of `step`; a step of 0 or less leaves it alone.
int snapToGrid(int value, int step);

// Moves every selected block by the cursor's movement from `from` to `to`.
// With `snap` the blocks first go down to the grid and the movement is
// measured on the grid. Blocks stay inside the canvas. A movement of zero
// (on the grid, with `snap`) changes nothing. True when any block moved.
bool dragSelectedBlocks(Motion& motion, Point from, Point to, bool snap, int gridX, int gridY);

// Marks exactly the blocks that meet the band (corners in any order) as
// inside it. True when any mark changed.
bool markRubberBand(Motion& motion, Point anchor, Point corner);
// Blocks inside the band become selected; the marks are cleared.
void takeRubberBand(Motion& motion);

// A transition time moved by `delta` and kept within 1..239.
int steppedTime(int steps, int delta);
// Steps added per time-tab tick or wheel notch: 1, 5 with Ctrl, 10 with Shift.
int timeStepAmount(bool ctrl, bool shift);
// Adds `delta` to the time of every selected pose block. True when any changed.
bool addToSelectedTimes(Motion& motion, int delta);

}  // namespace kv
