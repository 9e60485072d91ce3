#include "motion/motion_commands.h"

#include <algorithm>
#include <unordered_set>

#include "motion/motion_edit.h"
#include "pose/show_pose.h"
#include "shell/editor_state.h"
#include "shell/folders.h"
#include "shell/messages.h"
#include "shell/text_encoding.h"
#include "shell/undo_commands.h"

namespace kv {
namespace fs = std::filesystem;

namespace {

constexpr int kImportCascade = 12;

// The current pose after a read: the first pose block of the list, unless
// the walk along next links from the start block reaches another pose first.
// Blocks passed on a walk that reaches no pose stay selected.
MotionBlock* chooseCurrentBlock(Motion& motion) {
  auto firstPose = std::find_if(motion.blocks.begin(), motion.blocks.end(),
                                [](const auto& block) { return block->isPose(); });
  MotionBlock* current = firstPose == motion.blocks.end() ? nullptr : firstPose->get();
  for (MotionBlock* block = motion.first(); block != nullptr; block = block->link[kNextLink]) {
    if (block->isPose()) {
      deselectAll(motion);
      current = block;
      break;
    }
    if (block->selected()) break;  // a loop of non-pose blocks
    block->flags |= block_flag::kSelected | block_flag::kNeedsRepaint;
  }
  return current;
}

// Removes `dropped` from the list and opens every link to it.
void dropBlock(BlockList& blocks, const MotionBlock* dropped) {
  for (auto& block : blocks)
    for (MotionBlock*& link : block->link)
      if (link == dropped) link = nullptr;
  std::erase_if(blocks, [&](const auto& block) { return block.get() == dropped; });
}

}  // namespace

MotionFileContext motionFileContext(const EditorState& state, const VoiceSettings& voice) {
  const MotionBlock* first = state.motion.first();
  return MotionFileContext{
      .sliders = state.sliders,
      .basePoses = state.basePoses,
      .statusBits = state.status.bits(),
      .fontHeight = state.display.motionAreaFont.height,
      .motionAreaDrawn = first != nullptr && first->right != first->left,
      .voice = voice,
  };
}

bool loadMotionFile(EditorState& state, const fs::path& path, const MotionFileOptions& options) {
  MotionFileRead read = readMotionFile(path, motionFileContext(state, options.voice));
  if (!reportMotionFileStatus(read.status)) return false;

  Motion& motion = state.motion;
  motion.file = path;
  motion.blocks = std::move(read.blocks);
  motion.currentBlock = nullptr;
  motion.propertyBlock = nullptr;
  int time = -1;
  if (motion.blocks.empty()) {
    NewMotionPlacement placement;
    placement.fontHeight = state.display.motionAreaFont.height;
    placement.areaHeight = options.motionAreaHeight;
    placement.windowHeight = state.sliders.clientHeight;
    newMotion(motion, state.basePoses, placement);
  } else {
    motion.currentBlock = chooseCurrentBlock(motion);
    if (motion.currentBlock) time = motion.currentBlock->pose.steps;
  }
  if (motion.currentBlock)
    showPose(state, motion.currentBlock->pose, time, false);
  else
    notify(state.views.poseChanged);
  resetUndo(state);
  notify(state.views.motionChanged);
  return true;
}

bool openMotionCommand(EditorState& state, MotionFileChooser& chooser, const MotionFileOptions& options) {
  std::optional<fs::path> chosen = chooser.chooseOpen(kOpenMotionTitle, projectFolder(state.project));
  if (!chosen) return false;
  return loadMotionFile(state, *chosen, options);
}

bool saveMotionCommand(EditorState& state, MotionFileChooser& chooser, bool askName,
                       const MotionFileOptions& options) {
  fs::path path = state.motion.file;
  if (askName || path.empty()) {
    std::optional<fs::path> chosen = chooser.chooseSave(kSaveMotionTitle, projectFolder(state.project), path);
    if (!chosen) return false;
    path = *chosen;
  }
  bool written = writeMotionFile(path, state.motion.blocks, motionFileContext(state, options.voice));
  state.motion.file = path;
  if (!written) {
    showMessage(kSaveFailedMessage, MessageIcon::Warning, MessageButtons::Ok, {fromPath(path)});
    return false;
  }
  resetUndo(state);
  return true;
}

bool importMotionFile(EditorState& state, const fs::path& path, Point offset, const MotionFileOptions& options) {
  MotionFileRead read = readMotionFile(path, motionFileContext(state, options.voice));
  if (!reportMotionFileStatus(read.status)) return false;
  BlockList& blocks = read.blocks;
  if (!blocks.empty() && blocks.front()->kind == KindStart) dropBlock(blocks, blocks.front().get());
  auto end = std::find_if(blocks.begin(), blocks.end(), [](const auto& block) { return block->kind == KindEnd; });
  if (end != blocks.end()) dropBlock(blocks, end->get());
  if (blocks.empty()) return false;

  Motion& motion = state.motion;
  deselectAll(motion);
  for (auto& block : blocks) {
    block->left += offset.x;
    block->top += offset.y;
    block->flags |= block_flag::kSelected | block_flag::kNeedsRepaint;
    motion.blocks.push_back(std::move(block));
  }
  recordUndo(state);
  notify(state.views.motionChanged);
  return true;
}

Point importMotionCommand(EditorState& state, MotionFileChooser& chooser, Point rightClickPoint,
                          const MotionFileOptions& options) {
  rightClickPoint.x += kImportCascade;
  rightClickPoint.y += kImportCascade;
  std::optional<fs::path> chosen = chooser.chooseOpen(kImportMotionTitle, projectFolder(state.project));
  if (chosen) importMotionFile(state, *chosen, rightClickPoint, options);
  return rightClickPoint;
}

}  // namespace kv
