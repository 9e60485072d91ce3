#include "motion/block_editing.h"

#include "motion/motion_layout.h"

#include <algorithm>
#include <cstdint>

#include "motion/motion_edit.h"
#include "pose/show_pose.h"
#include "shell/editor_state.h"
#include "shell/string_table.h"
#include "shell/undo_commands.h"

namespace kv {

namespace {

constexpr int kCalculationNameString = 40423;  // " CALCULATION "
constexpr int kBranchNameString = 40426;       // "IF"
constexpr int kLoopNameString = 40415;         // "BREAK POINT"
constexpr int kEndNameString = 40435;          // "   END   "

constexpr int kBelowGap = 20;       // a new block below another
constexpr int kColumnGap = 32;      // a new column right of a block
constexpr int kColumnTop = 10;

void markRepaint(MotionBlock* block) {
  if (block) block->flags |= block_flag::kNeedsRepaint;
}

int clampToCanvas(int64_t value) { return static_cast<int>(std::clamp<int64_t>(value, 0, kMotionAreaExtent)); }

bool anyCopyableSelected(const Motion& motion) {
  return std::any_of(motion.blocks.begin(), motion.blocks.end(),
                     [](const auto& block) { return block->selected() && block->kind != KindStart; });
}

// The edited motion changed: one undo step, and the motion area repaints.
void motionEdited(EditorState& state) {
  recordUndo(state);
  notify(state.views.motionChanged);
}

// Split (40035) and duplicate (40036): a copy of the current pose placed
// after it in the flow.
MotionBlock* insertPoseCopy(EditorState& state, bool split) {
  Motion& motion = state.motion;
  MotionBlock* pose = motion.currentBlock;
  if (!pose || !pose->isPose()) return nullptr;
  deselectAll(motion);

  Point at{pose->left, pose->bottom + kBelowGap};
  if (pose->top - pose->bottom + kMotionAreaExtent < at.y) at = Point{pose->right + kColumnGap, kColumnTop};

  MotionBlock copy = *pose;
  MotionBlock* next = pose->link[kNextLink];
  if (next && next->kind != KindEnd) {
    // Only a pose has values and a time to share: next to a calculation,
    // branch or loop block the split pose would be averaged with zeros.
    if (split && next->isPose()) {
      for (int n = 0; n < kSliderCount; ++n)
        copy.pose.values[n] = static_cast<int16_t>((int{pose->pose.values[n]} + int{next->pose.values[n]}) / 2);
      uint16_t time = next->pose.steps;
      next->pose.steps = static_cast<uint16_t>(time / 2);
      copy.pose.steps = static_cast<uint16_t>(time < 2 ? 1 : time / 2);
      markRepaint(next);
    }
    at = Point{pose->left + ((pose->right - pose->left) / 4) * 3, pose->top + (next->top - pose->top) / 2};
  }

  MotionBlock* made = createBlock(motion, KindPose, &copy, at, state.basePoses);
  made->flags = block_flag::kNeedsRepaint;
  made->link[kNextLink] = pose->link[kNextLink];
  pose->link[kNextLink] = made;
  markRepaint(pose);
  made->name = nextPoseName(motion);
  keepInsideCanvas(*made);
  makeCurrent(state, made);
  motionEdited(state);
  return made;
}

MotionBlock* lastEndBlock(const Motion& motion) {
  for (auto it = motion.blocks.rbegin(); it != motion.blocks.rend(); ++it)
    if ((*it)->kind == KindEnd) return it->get();
  return nullptr;
}

// A new loop block leads back to the first pose of the flow on "NO" when it
// was added at the flow's end, and to the last end block on "YES".
void linkLoopBlock(Motion& motion, MotionBlock* loop) {
  loop->link[kBranchLink] = lastEndBlock(motion);
  MotionBlock* start = motion.first();
  MotionBlock* next = loop->link[kNextLink];
  if (start && start->kind == KindStart && start->link[kNextLink] && (!next || next->kind == KindEnd)) {
    auto from = std::find_if(motion.blocks.begin(), motion.blocks.end(),
                             [&](const auto& block) { return block.get() == start->link[kNextLink]; });
    auto pose = std::find_if(from, motion.blocks.end(), [](const auto& block) { return block->isPose(); });
    if (pose != motion.blocks.end()) loop->link[kNextLink] = pose->get();
  }
  for (auto& target : loop->link)
    if (target == loop) target = nullptr;
}

}  // namespace

MotionBlock* makeCurrent(EditorState& state, MotionBlock* block) {
  if (!block || !block->isPose()) return nullptr;
  Motion& motion = state.motion;
  markRepaint(motion.currentBlock);
  motion.currentBlock = block;
  markRepaint(block);
  showPose(state, block->pose, block->pose.steps, false);
  notify(state.views.motionChanged);
  return block;
}

MotionBlock* selectCurrent(EditorState& state, int index) {
  const Motion& motion = state.motion;
  if (index < 0 || motion.blocks.empty()) return nullptr;
  return makeCurrent(state, blockAt(motion, std::min(index, motion.count() - 1)));
}

MotionBlock* stepToNextPose(EditorState& state, bool preferBranch) {
  const Motion& motion = state.motion;
  MotionBlock* block = motion.currentBlock;
  if (!block) return nullptr;
  for (int step = 0; step < motion.count(); ++step) {
    MotionBlock* branch = preferBranch ? block->link[kBranchLink] : nullptr;
    block = branch ? branch : block->link[kNextLink];
    if (!block) return nullptr;
    if (block->isPose()) return makeCurrent(state, block);
  }
  return nullptr;
}

MotionBlock* selectFirstPose(EditorState& state) {
  const Motion& motion = state.motion;
  MotionBlock* block = motion.first();
  if (!block || block->kind != KindStart) return nullptr;
  // A flow that circles through non-pose blocks never reaches a pose.
  for (int step = 0; block && step <= motion.count(); ++step) {
    if (block->isPose()) return selectCurrent(state, blockIndex(motion, block));
    block = block->link[kNextLink];
  }
  return nullptr;
}

MotionBlock* addPoseBlock(EditorState& state, Point rightClickPoint, Point scrollOrigin) {
  Motion& motion = state.motion;
  Point at{clampToCanvas(int64_t{rightClickPoint.x} + scrollOrigin.x),
           clampToCanvas(int64_t{rightClickPoint.y} + scrollOrigin.y)};
  MotionBlock* block = createBlock(motion, KindPose, nullptr, at, state.basePoses);
  block->pose.steps = kNewPoseSteps;
  block->name = nextPoseName(motion);
  markRepaint(block);
  keepInsideCanvas(*block);
  makeCurrent(state, block);
  motionEdited(state);
  return block;
}

MotionBlock* addFlowBlock(EditorState& state, int kind) {
  int nameString = 0;
  switch (kind) {
    case KindCalcConstant: nameString = kCalculationNameString; break;
    case KindBranch: nameString = kBranchNameString; break;
    case KindLoop: nameString = kLoopNameString; break;
    case KindEnd: nameString = kEndNameString; break;
    default: return nullptr;
  }
  Motion& motion = state.motion;
  MotionBlock* block = createBlock(motion, kind, nullptr, placeNewBlock(motion), state.basePoses);
  if (kind != KindCalcConstant) block->routeOffset = {16, 46};
  block->name = loadUiString(nameString);
  block->operation = OpAssign;
  block->resultVar = 0;
  block->constant = 0;
  block->condition = CondUndefined;
  insertAfterCurrent(motion, block);
  // An end block has no outgoing link: one taken over from the flow would
  // be drawn nowhere and could never be edited.
  if (kind == KindEnd) block->link[kNextLink] = nullptr;
  if (kind == KindLoop) linkLoopBlock(motion, block);
  markRepaint(block);
  keepInsideCanvas(*block);
  motionEdited(state);
  return block;
}

int copyBlocksCommand(EditorState& state) {
  if (state.playing) return 0;
  return copySelectedBlocks(state.motion, state.clipboard);
}

int cutBlocksCommand(EditorState& state) {
  // Delete would take the edited pose when nothing is selected, though
  // nothing was copied.
  if (state.playing || !anyCopyableSelected(state.motion)) return 0;
  copySelectedBlocks(state.motion, state.clipboard);
  return deleteBlocksCommand(state);
}

int pasteBlocksCommand(EditorState& state, bool byShortcut) {
  if (byShortcut && state.playing) return 0;
  Motion& motion = state.motion;
  const size_t before = motion.blocks.size();
  int pasted = pasteBlocks(motion, state.clipboard);
  for (size_t i = before; i < motion.blocks.size(); ++i) keepInsideCanvas(*motion.blocks[i]);
  if (pasted > 0)
    motionEdited(state);
  else
    notify(state.views.motionChanged);  // the selection was cleared
  return pasted;
}

int deleteBlocksCommand(EditorState& state) {
  Motion& motion = state.motion;
  DeleteResult result = deleteSelectedBlocks(motion);
  if (result.deleted == 0) {
    notify(state.views.motionChanged);
    return 0;
  }
  if (result.currentChanged && motion.currentBlock)
    showPose(state, motion.currentBlock->pose, motion.currentBlock->pose.steps, false);
  motionEdited(state);
  return result.deleted;
}

bool selectAllBlocksCommand(EditorState& state) {
  if (state.playing) return false;
  bool changed = selectAll(state.motion);
  notify(state.views.motionChanged);
  return changed;
}

MotionBlock* splitPose(EditorState& state) { return insertPoseCopy(state, true); }

MotionBlock* duplicatePose(EditorState& state) { return insertPoseCopy(state, false); }

int overriddenSteps(int steps, int percent) {
  int64_t k = std::clamp(percent, kOverrideMin, kOverrideMax);
  int64_t time = int64_t{steps} * k / 100;
  return static_cast<int>(std::clamp<int64_t>(time, kPoseStepsMin, kPoseStepsMax));
}

bool applyTimeOverride(EditorState& state, int percent) {
  if (state.playing) return false;
  for (auto& block : state.motion.blocks) {
    if (!block->isPose()) continue;
    block->pose.steps = static_cast<uint16_t>(overriddenSteps(block->pose.steps, percent));
    markRepaint(block.get());
  }
  motionEdited(state);
  notify(state.views.poseChanged);  // the pose area shows the current pose's time
  return true;
}

bool holdsBlock(const Motion& motion, const MotionBlock* block) {
  return block && std::any_of(motion.blocks.begin(), motion.blocks.end(),
                              [block](const auto& b) { return b.get() == block; });
}

bool stepHeldTime(EditorState& state, MotionBlock& block, int delta) {
  const int steps = steppedTime(block.pose.steps, delta);
  if (steps == block.pose.steps) return false;
  block.pose.steps = static_cast<uint16_t>(steps);
  markRepaint(&block);
  motionEdited(state);
  if (&block == state.motion.currentBlock) notify(state.views.poseChanged);  // the pose area shows its time
  return true;
}

bool wheelSelectedTimes(EditorState& state, int notches, bool ctrl, bool shift) {
  Motion& motion = state.motion;
  if (notches == 0 || !addToSelectedTimes(motion, notches * timeStepAmount(ctrl, shift))) return false;
  motionEdited(state);
  if (motion.currentBlock && motion.currentBlock->selected()) notify(state.views.poseChanged);
  return true;
}

bool finishBlockMove(EditorState& state, bool moved) {
  if (moved) motionEdited(state);
  return moved;
}

HeldLink holdLink(Motion& motion, MotionBlock& block, int link, Point at) {
  deselectAll(motion);
  HeldLink hold{&block, link, routeLink(block, link).type, block.link[link], block.routeOffset[link]};
  block.flags |= (link == kBranchLink ? block_flag::kDraggingBranch : block_flag::kDraggingNext) |
                 block_flag::kNeedsRepaint;
  block.dragX = at.x;
  block.dragY = at.y;
  return hold;
}

bool releaseLink(EditorState& state, const HeldLink& hold) {
  if (!holdsBlock(state.motion, hold.block)) return false;
  MotionBlock& block = *hold.block;
  block.flags = (block.flags & ~(block_flag::kDraggingNext | block_flag::kDraggingBranch)) | block_flag::kNeedsRepaint;
  // A press that changed nothing leaves no undo step.
  if (block.link[hold.link] == hold.targetBefore && block.routeOffset[hold.link] == hold.offsetBefore) return false;
  motionEdited(state);
  return true;
}

MotionBlock* blockForProperties(const Motion& motion, Point rightClickPoint, Point scrollOrigin) {
  int64_t x = int64_t{rightClickPoint.x} + scrollOrigin.x;
  int64_t y = int64_t{rightClickPoint.y} + scrollOrigin.y;
  for (const auto& block : motion.blocks)
    if (x >= block->left && x <= block->right && y >= block->top && y <= block->bottom) return block.get();
  for (const auto& block : motion.blocks)
    if (block->selected()) return block.get();
  return nullptr;
}

}  // namespace kv
