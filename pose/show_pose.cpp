#include "pose/show_pose.h"

#include "shell/editor_state.h"
#include "shell/undo_commands.h"

namespace kv {

void showPose(EditorState& state, const PoseValues& pose, int liveTime, bool record) {
  MotionBlock* block = state.motion.currentBlock;
  if (!block || !block->isPose()) return;
  PoseValues shown = pose;
  for (int i = 0; i < kSliderCount; ++i)
    shown.values[i] = static_cast<int16_t>(safeRange(state.sliders.sliders[i]).clamp(shown.values[i]));
  shown.servoMask &= kServoMaskBits;
  // The block keeps its own time and its own place in a file being read:
  // only the user's edit of the time changes it, never the pace at which the
  // robot is moved to the pose.
  shown.steps = block->pose.steps;
  shown.nextIndex = block->pose.nextIndex;
  shown.branchIndex = block->pose.branchIndex;
  block->pose = shown;
  if (liveTime >= 0 && liveTime <= 65535) state.liveTime = liveTime;
  if (state.views.livePose) state.views.livePose(block->pose, state.liveTime);
  if (record) recordUndo(state);
  notify(state.views.poseChanged);
}

const PoseValues& currentPose(const EditorState& state) {
  static const PoseValues none;
  const MotionBlock* block = state.motion.currentBlock;
  return block && block->isPose() ? block->pose : none;
}

}  // namespace kv
