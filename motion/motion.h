// The edited motion: its blocks in list order (the start block first), the
// current pose block, and the shared operations on it. Operations only
// change the data; the caller records undo and refreshes the views.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "motion/motion_block.h"

namespace kv {

struct BasePoseTable;

struct Point {
  int x = 0;
  int y = 0;
  bool operator==(const Point&) const = default;
};

struct Motion {
  std::vector<std::unique_ptr<MotionBlock>> blocks;  // list order = file order
  MotionBlock* currentBlock = nullptr;               // the pose block shown in the pose area
  MotionBlock* propertyBlock = nullptr;              // the block whose property dialog is open
  std::filesystem::path file;                        // empty until saved or opened

  int count() const { return static_cast<int>(blocks.size()); }
  MotionBlock* first() const { return blocks.empty() ? nullptr : blocks.front().get(); }
  MotionBlock* last() const { return blocks.empty() ? nullptr : blocks.back().get(); }
};

// Copied blocks; survives New and Open.
struct BlockClipboard {
  std::vector<std::unique_ptr<MotionBlock>> blocks;
  int motionBlockCount = 0;  // blocks of the motion when copied
};

// Sets a block's lower-right corner from its texts. The motion area measures
// with its font; tests use fixed metrics.
class BlockMeasurer {
 public:
  virtual ~BlockMeasurer() = default;
  virtual void measure(MotionBlock& block) const = 0;
};

// Every character `charWidth` wide and every line `lineHeight` high, sized
// by the motion area's rule: the wider of name and caption + 8 (+ 15 for the
// time tab of a pose), two lines of height + 8 (one for start and end
// blocks). Lets placement run without a window.
class FixedMetricsMeasurer : public BlockMeasurer {
 public:
  explicit FixedMetricsMeasurer(int charWidth = 8, int lineHeight = 12)
      : charWidth_(charWidth), lineHeight_(lineHeight) {}
  void measure(MotionBlock& block) const override;

 private:
  int charWidth_;
  int lineHeight_;
};

// Measures every block of the motion.
void measureBlocks(Motion& motion, const BlockMeasurer& measurer);

// Allocates a block of `kind` and appends it to the list. With a `source`
// every field is copied; without one it gets the values and servo bits of the
// current base pose's enabled sliders and 50 steps. Self-links are cleared,
// both route offsets become 6, and `position` (when given) moves the block,
// keeping its size.
MotionBlock* createBlock(Motion& motion, int kind, const MotionBlock* source, std::optional<Point> position,
                         const BasePoseTable& basePoses);
// Links a block of the list into the flow after the current pose block;
// false (nothing linked) when the current block is not a pose block or the
// search for a place reaches the block itself.
bool insertAfterCurrent(Motion& motion, MotionBlock* block);
// Where a block added into the flow after the current block goes.
Point placeNewBlock(const Motion& motion);
// The smallest number n >= 0 that no pose block's name carries after "POSE".
int nextPoseNumber(const Motion& motion);
std::u16string nextPoseName(const Motion& motion);
// Both return true when any block changed (and was marked for repaint).
bool deselectAll(Motion& motion);
bool selectAll(Motion& motion);
// 0-based list position; 0 when the block is not in the list.
int blockIndex(const Motion& motion, const MotionBlock* block);
// The block at a list position; null outside the list.
MotionBlock* blockAt(const Motion& motion, int index);
// Frees every block; the motion's file path stays.
void freeMotion(Motion& motion);
void freeClipboard(BlockClipboard& clipboard);

}  // namespace kv
