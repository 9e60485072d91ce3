#include "pose/show_pose.h"

#include "shell/editor_state.h"
#include "shell/undo_commands.h"

namespace kv {

void showPose(EditorState& state, const PoseValues& pose, int time, bool record) {
  MotionBlock* block = state.motion.currentBlock;
  if (!block || !block->isPose()) return;
  PoseValues shown = pose;
  for (int i = 0; i < kSliderCount; ++i)
    shown.values[i] = static_cast<int16_t>(safeRange(state.sliders.sliders[i]).clamp(shown.values[i]));
  shown.servoMask &= kServoMaskBits;
  shown.steps = (time >= 0 && time <= 65535) ? static_cast<uint16_t>(time) : block->pose.steps;
  // The block keeps its own place in a file being read.
  shown.nextIndex = block->pose.nextIndex;
  shown.branchIndex = block->pose.branchIndex;
  block->pose = shown;
  if (state.views.livePose) state.views.livePose(block->pose);
  if (record) recordUndo(state);
  notify(state.views.poseChanged);
}

const PoseValues& currentPose(const EditorState& state) {
  static const PoseValues none;
  const MotionBlock* block = state.motion.currentBlock;
  return block && block->isPose() ? block->pose : none;
}

}  // namespace kv
