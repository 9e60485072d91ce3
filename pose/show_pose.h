// showPose: the one way to change the current pose.
#pragma once

#include "pose/pose_values.h"

namespace kv {

struct EditorState;

// Time the pose area passes, and the time pose operations pass.
inline constexpr int kPoseAreaTime = 18;
inline constexpr int kPoseOperationTime = 36;

// Clamps every value to its slider's limits, keeps only servo bits of
// sliders 0..29, stores the pose in the current pose block (its time becomes
// `time` unless that is above 65535; -1 keeps the block's time), hands it to
// the live output, records an undo state when asked, and tells the views.
void showPose(EditorState& state, const PoseValues& pose, int time, bool recordUndo);

// The current pose: the pose part of the current pose block (a zero pose
// when the motion has none yet).
const PoseValues& currentPose(const EditorState& state);

}  // namespace kv
