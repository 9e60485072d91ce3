#include "motion/motion_layout.h"

#include <algorithm>
#include <cstdlib>

#include "shell/string_table.h"
#include "shell/text_format.h"

namespace kv {

namespace {

constexpr int kStartCaptionString = 40428;  // " START "
constexpr int kEndCaptionString = 40435;    // "   END   "
constexpr int kLinkStagger = 10;            // link 1 leaves 10 pixels left of and above link 0
constexpr int kHandleReach = 3;

constexpr std::array<const char16_t*, kBranchConditionCount> kConditionOperators = {
    u"", u">", u"<", u"&", u"=", u"!=", u"", u""};
constexpr std::array<const char16_t*, kCalcOperationCount> kOperationOperators = {u"=", u"+=", u"-=", u"*=", u"/="};

// Codes from a damaged file show as "?" rather than reading past a table.
const char16_t* conditionOperator(int code) {
  return code >= 0 && code < kBranchConditionCount ? kConditionOperators[code] : u"?";
}
const char16_t* operationOperator(int code) {
  return code >= 0 && code < kCalcOperationCount ? kOperationOperators[code] : u"?";
}

uint32_t heldFlag(int link) { return link == kBranchLink ? block_flag::kDraggingBranch : block_flag::kDraggingNext; }

// Limits `value` to the span between `a` and `b`, whichever is larger.
int clampBetween(int value, int a, int b) { return std::clamp(value, std::min(a, b), std::max(a, b)); }

int floorDiv(int value, int step) {
  int q = value / step;
  return (value % step != 0 && (value < 0) != (step < 0)) ? q - 1 : q;
}

bool near(Point p, Point at, int low, int high) {
  return p.x - at.x >= low && p.x - at.x <= high && p.y - at.y >= low && p.y - at.y <= high;
}

Point midpoint(Point a, Point b) { return {(a.x + b.x) / 2, (a.y + b.y) / 2}; }

int centreX(const AreaRect& r) { return (r.left + r.right) / 2; }

struct RouteTarget {
  AreaRect edges;  // a free end or an open link is a rectangle of one point
  Point entry;
  int type = 0;
};

RouteTarget routeTarget(const MotionBlock& s, int link) {
  const AreaRect source = blockRect(s);
  RouteTarget target;
  if (const MotionBlock* t = s.link[link]) {
    target.edges = blockRect(*t);
    const AreaRect& e = target.edges;
    target.entry = {e.left + (e.right - e.left) / 3, e.top + (e.bottom - e.top) / 3};
    const bool aroundSide = s.kind == KindBranch || s.kind == KindLoop;
    if (source.right < e.left)
      target.type = 2;
    else if (source.left > e.right)
      target.type = 1;
    else if (source.top > e.bottom)
      target.type = centreX(e) > centreX(source) ? 5 : 4;
    else if (source.bottom >= e.top)
      target.type = 0;
    else if (aroundSide)
      target.type = centreX(e) > centreX(source) ? 5 : 4;
    else
      target.type = 3;
  } else if (s.flags & heldFlag(link)) {
    const Point p{s.dragX, s.dragY};
    target.edges = {p.x, p.y, p.x, p.y};
    target.entry = p;
    if (source.right < p.x)
      target.type = 2;
    else if (source.left > p.x)
      target.type = 1;
    else if (p.y < source.top)
      target.type = p.x <= centreX(source) ? 5 : 4;
    else if (p.y > source.bottom)
      target.type = 3;
    else
      target.type = 0;
  }
  return target;
}

}  // namespace

std::u16string blockCaption(const MotionBlock& b) {
  switch (b.kind) {
    case KindPose:
      return formatted(u"%03dstep", {static_cast<int>(b.pose.steps)});
    case KindBranch:
      switch (b.condition) {
        case CondUndefined:
          return u"NO SETTING";
        case CondAlways:
          return u"TRUE";
        case CondNever:
          return u"FALSE";
        default:
          return formatted(u"v[%d] %s %d", {static_cast<int>(b.testVar), conditionOperator(b.condition),
                                             static_cast<int>(b.testValue)});
      }
    case KindCalcConstant:
      return formatted(u"v[%d] %s %d", {static_cast<int>(b.resultVar), operationOperator(b.operation),
                                         static_cast<int>(b.constant)});
    case KindCalcVariable:
      return formatted(u"v[%d] %s v[%d]", {static_cast<int>(b.resultVar), operationOperator(b.operation),
                                            static_cast<int>(b.sourceVar)});
    case KindLoop:
      return u"<<loop>>";
    case KindStart:
      return loadUiString(kStartCaptionString);
    case KindEnd:
      return loadUiString(kEndCaptionString);
    default:
      return {};
  }
}

bool keepInsideCanvas(MotionBlock& b) {
  const AreaRect before = blockRect(b);
  const int width = std::clamp(b.right - b.left, 0, kMotionAreaExtent);
  const int height = std::clamp(b.bottom - b.top, 0, kMotionAreaExtent);
  b.left = std::clamp(b.left, 0, kMotionAreaExtent - width);
  b.top = std::clamp(b.top, 0, kMotionAreaExtent - height);
  b.right = b.left + width;
  b.bottom = b.top + height;
  return blockRect(b) != before;
}

bool layoutBlocks(Motion& motion, const BlockMeasurer& measurer) {
  bool changed = false;
  for (auto& block : motion.blocks) {
    const AreaRect before = blockRect(*block);
    block->caption = blockCaption(*block);
    measurer.measure(*block);
    keepInsideCanvas(*block);
    changed |= blockRect(*block) != before;
  }
  return changed;
}

AreaSize canvasExtent(const Motion& motion, AreaSize client) {
  AreaSize extent{std::max(client.width, 0), std::max(client.height, 0)};
  for (const auto& block : motion.blocks) {
    extent.width = std::max(extent.width, block->right + kCanvasMargin);
    extent.height = std::max(extent.height, block->bottom + kCanvasMargin);
  }
  return extent;
}

int clampScrollOrigin(int origin, int extent, int client) { return std::clamp(origin, 0, std::max(0, extent - client)); }

int timeBarLength(int steps, int captionWidth) {
  if (captionWidth <= 0 || steps <= 0) return 0;
  const int64_t length = static_cast<int64_t>(steps) * captionWidth / kMaxTabSteps;
  return static_cast<int>(std::min<int64_t>(length, captionWidth));
}

int linkCount(const MotionBlock& b) {
  if (b.kind == KindEnd) return 0;
  return b.kind == KindBranch || b.kind == KindLoop ? 2 : 1;
}

LinkRoute routeLink(const MotionBlock& s, int link) {
  LinkRoute route;
  const int w = s.right - s.left;
  const int h = s.bottom - s.top;
  const int exitX = s.left + 2 * (w / 3) - kLinkStagger * link;
  const int exitY = s.top + 2 * (h / 3) - kLinkStagger * link;

  if (!s.link[link] && !(s.flags & heldFlag(link))) {
    // An open link: a stub whose end can be grabbed, on the lower edge for
    // link 0; link 1's sits 10 pixels left of and above it, so the two
    // labelled stubs of a branch do not cover each other.
    const Point stub{exitX, s.bottom - kLinkStagger * link};
    route.type = 3;
    route.open = true;
    route.points = {stub, stub, stub, stub};
    route.handle = stub;
    route.arrow = ArrowDirection::Down;
    return route;
  }

  const RouteTarget target = routeTarget(s, link);
  const AreaRect& t = target.edges;
  const Point entry = target.entry;
  int c = s.routeOffset[link];
  switch (target.type) {
    case 1:
      c = std::min(c, std::abs(t.right - s.left));
      break;
    case 2:
      c = std::min(c, std::abs(s.right - t.left));
      break;
    case 3:
      c = std::min(c, std::abs(t.top - s.bottom));
      break;
    case 4:
      if (s.right + c < t.right) c = t.right - s.right;
      break;
    case 5:
      if (s.left - c > t.left) c = s.left - t.left;
      break;
    default:
      return route;
  }
  c = std::max(c, 0);
  route.type = target.type;
  route.offset = c;
  switch (target.type) {
    case 1:
      route.points = {Point{s.left, exitY}, Point{s.left - c, exitY}, Point{s.left - c, entry.y}, Point{t.right, entry.y}};
      route.arrow = ArrowDirection::Left;
      break;
    case 2:
      route.points = {Point{s.right, exitY}, Point{s.right + c, exitY}, Point{s.right + c, entry.y}, Point{t.left, entry.y}};
      route.arrow = ArrowDirection::Right;
      break;
    case 3:
      route.points = {Point{exitX, s.bottom}, Point{exitX, s.bottom + c}, Point{entry.x, s.bottom + c}, Point{entry.x, t.top}};
      route.arrow = ArrowDirection::Down;
      break;
    case 4:
      route.points = {Point{s.right, exitY}, Point{s.right + c, exitY}, Point{s.right + c, entry.y}, Point{t.right, entry.y}};
      route.arrow = ArrowDirection::Left;
      break;
    case 5:
      route.points = {Point{s.left, exitY}, Point{s.left - c, exitY}, Point{s.left - c, entry.y}, Point{t.left, entry.y}};
      route.arrow = ArrowDirection::Right;
      break;
  }
  route.handle = midpoint(route.points[1], route.points[2]);
  return route;
}

int legOffsetAt(const MotionBlock& s, int link, int routeType, Point cursor) {
  const AreaRect t = routeTarget(s, link).edges;
  int offset = 0;
  switch (routeType) {
    case 1:
      offset = s.left - clampBetween(cursor.x, t.right, s.left);
      break;
    case 2:
      offset = clampBetween(cursor.x, s.right, t.left) - s.right;
      break;
    case 3:
      offset = clampBetween(cursor.y, s.bottom, t.top) - s.bottom;
      break;
    case 4:
      offset = cursor.x - s.right;
      break;
    case 5:
      offset = s.left - cursor.x;
      break;
    default:
      return s.routeOffset[link];
  }
  return std::max(offset, 0);
}

AreaHit hitTest(const Motion& motion, Point p) {
  for (int i = 0; i < motion.count(); ++i) {
    MotionBlock* b = motion.blocks[i].get();
    for (int link = 0; link < linkCount(*b); ++link) {
      const LinkRoute route = routeLink(*b, link);
      if (route.type == 0) continue;
      if (near(p, route.tip(), -kHandleReach, kHandleReach) || near(p, route.exit(), -4, 3))
        return {link == kBranchLink ? HitBranchEnd : HitNextEnd, i, b};
      if (near(p, route.handle, -kHandleReach, kHandleReach))
        return {link == kBranchLink ? HitBranchLeg : HitNextLeg, i, b};
    }
    if (b->isPose() && p.x >= b->right - kTimeTabWidth && p.x <= b->right) {
      const int h = b->bottom - b->top;
      const int middle = b->top + h / 2;
      if (p.y >= middle && p.y < middle + h / 4) return {HitTimeUp, i, b};
      if (p.y >= middle + h / 4 && p.y <= middle + h / 2) return {HitTimeDown, i, b};
    }
    if (blockRect(*b).contains(p)) return {HitBlock, i, b};
  }
  return {};
}

MotionBlock* blockAtPoint(const Motion& motion, Point p) {
  for (const auto& block : motion.blocks)
    if (blockRect(*block).contains(p)) return block.get();
  return nullptr;
}

MotionBlock* linkDropTarget(const Motion& motion, const MotionBlock* source, Point p) {
  for (const auto& block : motion.blocks) {
    if (block.get() == source || block->kind == KindStart) continue;
    if (blockRect(*block).contains(p)) return block.get();
  }
  return nullptr;
}

int snapToGrid(int value, int step) { return step > 0 ? floorDiv(value, step) * step : value; }

bool dragSelectedBlocks(Motion& motion, Point from, Point to, bool snap, int gridX, int gridY) {
  int dx = to.x - from.x;
  int dy = to.y - from.y;
  if (snap) {
    dx = snapToGrid(to.x, gridX) - snapToGrid(from.x, gridX);
    dy = snapToGrid(to.y, gridY) - snapToGrid(from.y, gridY);
  }
  // Blocks go onto the grid only when they move: a Shift+click leaves them.
  if (dx == 0 && dy == 0) return false;
  bool moved = false;
  for (auto& block : motion.blocks) {
    MotionBlock& b = *block;
    if (!b.selected()) continue;
    const int left = b.left, top = b.top;
    const int width = b.right - b.left, height = b.bottom - b.top;
    if (snap) {
      b.left = snapToGrid(b.left, gridX);
      b.top = snapToGrid(b.top, gridY);
    }
    b.left = std::max(b.left + dx, 0);
    b.top = std::max(b.top + dy, 0);
    b.right = b.left + width;
    b.bottom = b.top + height;
    keepInsideCanvas(b);
    if (b.left != left || b.top != top) {
      b.flags |= block_flag::kNeedsRepaint;
      moved = true;
    }
  }
  return moved;
}

bool markRubberBand(Motion& motion, Point anchor, Point corner) {
  const AreaRect band{std::min(anchor.x, corner.x), std::min(anchor.y, corner.y), std::max(anchor.x, corner.x),
                      std::max(anchor.y, corner.y)};
  bool changed = false;
  for (auto& block : motion.blocks) {
    const bool inside = band.intersects(blockRect(*block));
    const bool was = block->flags & block_flag::kInRubberBand;
    if (inside == was) continue;
    block->flags ^= block_flag::kInRubberBand;
    block->flags |= block_flag::kNeedsRepaint;
    changed = true;
  }
  return changed;
}

void takeRubberBand(Motion& motion) {
  for (auto& block : motion.blocks) {
    if (!(block->flags & block_flag::kInRubberBand)) continue;
    block->flags &= ~block_flag::kInRubberBand;
    block->flags |= block_flag::kSelected | block_flag::kNeedsRepaint;
  }
}

int steppedTime(int steps, int delta) {
  return static_cast<int>(std::clamp<int64_t>(static_cast<int64_t>(steps) + delta, kMinTabSteps, kMaxTabSteps));
}

int timeStepAmount(bool ctrl, bool shift) { return shift ? 10 : ctrl ? 5 : 1; }

bool addToSelectedTimes(Motion& motion, int delta) {
  bool changed = false;
  for (auto& block : motion.blocks) {
    if (!block->isPose() || !block->selected()) continue;
    const int steps = steppedTime(block->pose.steps, delta);
    if (steps == block->pose.steps) continue;
    block->pose.steps = static_cast<uint16_t>(steps);
    block->flags |= block_flag::kNeedsRepaint;
    changed = true;
  }
  return changed;
}

}  // namespace kv
