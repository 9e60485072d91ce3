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

// Shared operations (see motion.cpp for the rules each follows).
MotionBlock* createBlock(Motion& motion, int kind, const MotionBlock* source, std::optional<Point> position,
                         const BasePoseTable& basePoses);
void insertAfterCurrent(Motion& motion, MotionBlock* block);
Point placeNewBlock(const Motion& motion);
int nextPoseNumber(const Motion& motion);
std::u16string nextPoseName(const Motion& motion);
void deselectAll(Motion& motion);
void selectAll(Motion& motion);
int blockIndex(const Motion& motion, const MotionBlock* block);
MotionBlock* blockAt(const Motion& motion, int index);
void freeMotion(Motion& motion);
void freeClipboard(BlockClipboard& clipboard);

}  // namespace kv
