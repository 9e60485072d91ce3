// showPose: the one way to change the current pose.
#pragma once

#include "pose/pose_values.h"

namespace kv {

struct EditorState;

// Transition times of the robot's live pose: the pose area passes the first,
// the pose operations the second.
inline constexpr int kPoseAreaTime = 18;
inline constexpr int kPoseOperationTime = 36;
// Keeps the live pose's time as it was.
inline constexpr int kKeepLiveTime = -1;

// Clamps every value to its slider's limits, keeps only servo bits of
// sliders 0..29 and stores the values and servo bits in the current pose
// block; the block's own transition time is never changed here. `liveTime`
// becomes the time the robot takes to the pose unless it is outside
// 0..65535 (kKeepLiveTime), which keeps the previous one. Hands the pose and
// that time to the live output, records an undo state when asked, and tells
// the views.
void showPose(EditorState& state, const PoseValues& pose, int liveTime, bool recordUndo);

// The current pose: the pose part of the current pose block (a zero pose
// when the motion has none yet).
const PoseValues& currentPose(const EditorState& state);

}  // namespace kv
