#include "motion/motion.h"

#include <algorithm>
#include <vector>

#include "pose/base_poses.h"
#include "shell/string_table.h"
#include "shell/text_format.h"
#include "shell/textfile.h"

namespace kv {

namespace {

constexpr int kPoseNameString = 40425;  // "POSE"

std::u16string poseWord() {
  std::u16string word = loadUiString(kPoseNameString);
  // An empty word would match every name and never give a free number.
  return word.empty() ? std::u16string(u"POSE") : word;
}

}  // namespace

void FixedMetricsMeasurer::measure(MotionBlock& block) const {
  size_t units = std::max(block.name.size(), block.caption.size());
  int width = static_cast<int>(std::min<size_t>(units, kMotionAreaExtent)) * charWidth_ + 8;
  if (block.isPose()) width += 15;
  int height = (lineHeight_ + 8) * 2;
  if (block.kind == KindStart || block.kind == KindEnd) height /= 2;
  block.right = block.left + width;
  block.bottom = block.top + height;
}

void measureBlocks(Motion& motion, const BlockMeasurer& measurer) {
  for (auto& block : motion.blocks) measurer.measure(*block);
}

MotionBlock* createBlock(Motion& motion, int kind, const MotionBlock* source, std::optional<Point> position,
                         const BasePoseTable& basePoses) {
  auto block = std::make_unique<MotionBlock>();
  if (source) {
    *block = *source;
  } else if (basePoses.current >= 0 && basePoses.current < kBasePoseCount) {
    const BasePose& base = basePoses.entries[basePoses.current];
    for (int n = 0; n < kSliderCount; ++n) {
      if (!base.sliderEnabled[n]) continue;
      block->pose.values[n] = base.values[n];
      if (n < kServoSliderCount) block->pose.servoMask |= base.servoMask & (1u << n);
    }
  }
  for (auto& target : block->link) {
    // A source's link to itself would make the copy point back at the source.
    if (target == block.get() || (source && target == source)) target = nullptr;
  }
  block->kind = kind;
  block->routeOffset = {6, 6};
  if (position) {
    int width = block->right - block->left;
    int height = block->bottom - block->top;
    block->left = position->x;
    block->top = position->y;
    block->right = block->left + std::max(width, 0);
    block->bottom = block->top + std::max(height, 0);
  }
  MotionBlock* made = block.get();
  motion.blocks.push_back(std::move(block));
  return made;
}

bool insertAfterCurrent(Motion& motion, MotionBlock* block) {
  MotionBlock* current = motion.currentBlock;
  if (!current || !current->isPose() || !block) return false;
  auto& list = motion.blocks;
  auto at = std::find_if(list.begin(), list.end(), [&](const auto& b) { return b.get() == current; });
  for (; at != list.end(); ++at) {
    MotionBlock* candidate = at->get();
    if (candidate == block) return false;
    // An end block has no next link; giving it one would hide the new
    // block behind the end of the flow.
    if (candidate->kind == KindEnd) continue;
    MotionBlock* next = candidate->link[kNextLink];
    if (next && next->kind != KindPose && next->kind != KindEnd) continue;
    // The block must be one of the list, or the new link would lead outside it.
    if (blockAt(motion, blockIndex(motion, block)) != block) return false;
    block->link[kNextLink] = next == block ? nullptr : next;
    candidate->link[kNextLink] = block;
    return true;
  }
  return false;
}

Point placeNewBlock(const Motion& motion) {
  const MotionBlock* current = motion.currentBlock;
  if (!current) return Point{10, 10};
  Point point{current->left, current->bottom + 20};
  if (point.y > kMotionAreaExtent - (current->bottom - current->top)) point = Point{current->right + 32, 10};
  const MotionBlock* reached = current;
  for (int step = 0; step < motion.count(); ++step) {
    reached = reached->link[kNextLink];
    if (!reached || reached->kind == KindEnd) return point;
    if (reached->isPose()) break;
  }
  // Between the current block and the pose it leads to.
  return Point{current->left + ((current->right - current->left) / 4) * 3,
               current->top + (reached->top - current->top) / 2};
}

int nextPoseNumber(const Motion& motion) {
  const std::u16string word = poseWord();
  // Only numbers up to the block count can be the smallest free one.
  std::vector<bool> used(motion.blocks.size() + 1, false);
  for (const auto& block : motion.blocks) {
    if (!block->isPose()) continue;
    size_t at = block->name.find(word);
    if (at == std::u16string::npos) continue;
    int number = parseDecimal(std::u16string_view(block->name).substr(at + word.size()));
    if (number >= 0 && static_cast<size_t>(number) < used.size()) used[number] = true;
  }
  return static_cast<int>(std::find(used.begin(), used.end(), false) - used.begin());
}

std::u16string nextPoseName(const Motion& motion) {
  return formatted(u"%s %d", {poseWord(), nextPoseNumber(motion)});
}

bool deselectAll(Motion& motion) {
  constexpr uint32_t kCleared = block_flag::kSelected | block_flag::kDraggingNext | block_flag::kDraggingBranch;
  bool changed = false;
  for (auto& block : motion.blocks) {
    if (!(block->flags & kCleared)) continue;
    block->flags = (block->flags & ~kCleared) | block_flag::kNeedsRepaint;
    changed = true;
  }
  return changed;
}

bool selectAll(Motion& motion) {
  bool changed = false;
  for (auto& block : motion.blocks) {
    if (block->selected()) continue;
    block->flags |= block_flag::kSelected | block_flag::kNeedsRepaint;
    changed = true;
  }
  return changed;
}

int blockIndex(const Motion& motion, const MotionBlock* block) {
  for (size_t i = 0; i < motion.blocks.size(); ++i)
    if (motion.blocks[i].get() == block) return static_cast<int>(i);
  return 0;
}

MotionBlock* blockAt(const Motion& motion, int index) {
  if (index < 0 || index >= motion.count()) return nullptr;
  return motion.blocks[index].get();
}

void freeMotion(Motion& motion) {
  motion.currentBlock = nullptr;
  motion.propertyBlock = nullptr;
  motion.blocks.clear();
}

void freeClipboard(BlockClipboard& clipboard) { clipboard.blocks.clear(); }

}  // namespace kv
