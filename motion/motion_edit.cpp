#include "motion/motion_edit.h"

#include <algorithm>
#include <cstdlib>
#include <unordered_map>
#include <vector>

#include "pose/base_poses.h"
#include "shell/string_table.h"

namespace kv {

namespace {

constexpr int kEndNameString = 40435;  // "   END   "
constexpr size_t kMaxBlockName = kBlockNameFieldSize - 1;

int clampToArea(int64_t value) { return static_cast<int>(std::clamp<int64_t>(value, 0, kMotionAreaExtent)); }

MotionBlock* lastPoseBlock(const Motion& motion) {
  for (auto it = motion.blocks.rbegin(); it != motion.blocks.rend(); ++it)
    if ((*it)->isPose()) return it->get();
  return nullptr;
}

}  // namespace

void newMotion(Motion& motion, const BasePoseTable& basePoses, const NewMotionPlacement& placement) {
  freeMotion(motion);

  auto pose = std::make_unique<MotionBlock>();
  pose->kind = KindPose;
  if (basePoses.current >= 0 && basePoses.current < kBasePoseCount) {
    const BasePose& base = basePoses.entries[basePoses.current];
    for (int n = 0; base.valid && n < kSliderCount; ++n) {
      if (!base.sliderEnabled[n]) continue;
      pose->pose.values[n] = base.values[n];
      if (n < kServoSliderCount) pose->pose.servoMask |= base.servoMask & (1u << n);
    }
  }
  pose->pose.steps = kNewPoseSteps;
  pose->pose.nextIndex = pose->pose.branchIndex = -1;
  pose->left = 50;
  // Below the start block, one text row pitch down; a wild font height from
  // the settings file must not put the block off the canvas.
  pose->top = clampToArea(std::abs(3 * static_cast<int64_t>(placement.fontHeight)) + 10);
  pose->right = pose->left;
  pose->bottom = pose->top;
  pose->routeOffset = {6, 6};

  auto start = std::make_unique<MotionBlock>();
  start->kind = KindStart;
  start->left = start->right = 50;
  start->top = start->bottom = 10;
  start->routeOffset = {6, 0};
  start->link[kNextLink] = pose.get();

  motion.blocks.push_back(std::move(start));
  motion.currentBlock = motion.blocks.emplace_back(std::move(pose)).get();
  motion.currentBlock->name = nextPoseName(motion);

  int64_t areaHeight = placement.areaHeight > 0 ? placement.areaHeight : int64_t{placement.windowHeight} - 66;
  MotionBlock* end = createBlock(motion, KindEnd, nullptr, Point{50, clampToArea(areaHeight - 36)}, basePoses);
  end->routeOffset = {16, 46};
  end->name = loadUiString(kEndNameString);
  insertAfterCurrent(motion, end);
}

DeleteResult deleteSelectedBlocks(Motion& motion) {
  DeleteResult result;
  auto& list = motion.blocks;
  MotionBlock* current = motion.currentBlock;

  bool allPosesSelected = true;
  bool anySelected = false;
  bool otherPose = false;
  for (const auto& block : list) {
    anySelected |= block->selected();
    if (!block->isPose()) continue;
    allPosesSelected &= block->selected();
    otherPose |= block.get() != current;
  }
  if (allPosesSelected) {
    // One pose always stays: the current one, or the last when none is current.
    MotionBlock* keep = current && current->isPose() ? current : lastPoseBlock(motion);
    if (keep) keep->flags &= ~block_flag::kSelected;
  } else if (!anySelected) {
    if (!otherPose || !current) return result;
    current->flags |= block_flag::kSelected;
  }

  std::vector<bool> gone(list.size(), false);
  MotionBlock* resume = nullptr;  // where the search for a new current block starts
  for (size_t i = 0; i < list.size(); ++i) {
    MotionBlock* doomed = list[i].get();
    if (!doomed->selected() || doomed->kind == KindStart) continue;
    gone[i] = true;
    for (auto& target : doomed->link)
      if (target == doomed) target = nullptr;
    for (size_t j = 0; j < list.size(); ++j) {
      if (gone[j]) continue;
      MotionBlock* remaining = list[j].get();
      for (int l = 0; l < 2; ++l) {
        if (remaining->link[l] != doomed) continue;
        MotionBlock* onward = doomed->link[l];
        remaining->link[l] = onward == remaining ? nullptr : onward;
      }
    }
    if (doomed == motion.currentBlock) {
      resume = doomed->link[kNextLink];
      motion.currentBlock = nullptr;
      result.currentChanged = true;
    } else if (resume == doomed) {
      // The remembered block goes too: follow its next link like every
      // other link into it, so no freed block is ever used.
      resume = doomed->link[kNextLink];
    }
    if (motion.propertyBlock == doomed) motion.propertyBlock = nullptr;
    ++result.deleted;
  }

  size_t kept = 0;
  for (size_t i = 0; i < list.size(); ++i)
    if (!gone[i]) list[kept++] = std::move(list[i]);
  list.resize(kept);

  if (!motion.currentBlock) {
    MotionBlock* block = resume;
    for (int step = 0; block && !block->isPose() && step <= motion.count(); ++step) block = block->link[kNextLink];
    motion.currentBlock = block && block->isPose() ? block : lastPoseBlock(motion);
    if (motion.currentBlock) motion.currentBlock->flags |= block_flag::kNeedsRepaint;
  }
  deselectAll(motion);
  return result;
}

int copySelectedBlocks(const Motion& motion, BlockClipboard& clipboard) {
  freeClipboard(clipboard);
  clipboard.motionBlockCount = motion.count();
  std::unordered_map<const MotionBlock*, MotionBlock*> copyOf;
  for (const auto& block : motion.blocks) {
    if (!block->selected() || block->kind == KindStart) continue;
    auto copy = std::make_unique<MotionBlock>(*block);
    copyOf[block.get()] = copy.get();
    clipboard.blocks.push_back(std::move(copy));
  }
  // Only links between copied blocks survive; the start block is never
  // copied, so a link to it is cleared like any other link leaving the set.
  for (auto& copy : clipboard.blocks) {
    for (auto& target : copy->link) {
      auto found = target ? copyOf.find(target) : copyOf.end();
      target = found == copyOf.end() ? nullptr : found->second;
    }
  }
  return static_cast<int>(clipboard.blocks.size());
}

int pasteBlocks(Motion& motion, BlockClipboard& clipboard) {
  deselectAll(motion);
  std::unordered_map<const MotionBlock*, MotionBlock*> pastedAs;
  const size_t firstPasted = motion.blocks.size();
  for (auto& held : clipboard.blocks) {
    MotionBlock& block = *held;
    if (block.kind == KindStart) continue;
    if (block.kind != KindEnd && block.name.size() < kMaxBlockName) block.name += u'~';
    int dx = (block.right - block.left) / 5;
    int dy = (block.bottom - block.top) / 5;
    block.left += dx;
    block.right += dx;
    block.top += dy;
    block.bottom += dy;
    auto copy = std::make_unique<MotionBlock>(block);
    pastedAs[&block] = copy.get();
    motion.blocks.push_back(std::move(copy));
  }
  for (size_t i = firstPasted; i < motion.blocks.size(); ++i) {
    MotionBlock* pasted = motion.blocks[i].get();
    for (auto& target : pasted->link) {
      auto found = target ? pastedAs.find(target) : pastedAs.end();
      target = found == pastedAs.end() || found->second == pasted ? nullptr : found->second;
    }
  }
  return static_cast<int>(motion.blocks.size() - firstPasted);
}

}  // namespace kv
