#include "shell/undo_commands.h"

#include "motion/motion_edit.h"
#include "pose/show_pose.h"
#include "shell/editor_state.h"

namespace kv {

namespace {

// The current block of a replaced motion is shown like any other pose, so
// the robot follows it too, at the pace it was last moved.
void showCurrentBlock(EditorState& state) {
  if (const MotionBlock* block = state.motion.currentBlock; block && block->isPose())
    showPose(state, block->pose, kKeepLiveTime, false);
  else
    notify(state.views.poseChanged);
}

void motionReplaced(EditorState& state) {
  showCurrentBlock(state);
  notify(state.views.motionChanged);
  notify(state.views.undoChanged);
}

}  // namespace

void recordUndo(EditorState& state) {
  state.undo.record(state.motion);
  setStatus(state, status::kModified, true);
  notify(state.views.undoChanged);
}

void resetUndo(EditorState& state) {
  state.undo.reset(state.motion);
  setStatus(state, status::kModified, false);
  notify(state.views.undoChanged);
}

bool undo(EditorState& state) {
  if (!state.undo.undo(state.motion)) return false;
  motionReplaced(state);
  return true;
}

bool redo(EditorState& state) {
  if (!state.undo.redo(state.motion)) return false;
  motionReplaced(state);
  return true;
}

void newMotion(EditorState& state, int motionAreaHeight) {
  NewMotionPlacement placement;
  placement.fontHeight = state.display.motionAreaFont.height;
  placement.areaHeight = motionAreaHeight;
  placement.windowHeight = state.sliders.clientHeight;
  newMotion(state.motion, state.basePoses, placement);
  state.motion.file.clear();
  resetUndo(state);
  showCurrentBlock(state);
  notify(state.views.motionChanged);
}

}  // namespace kv
