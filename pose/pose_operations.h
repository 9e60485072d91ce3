// Whole-pose edits of the pose menu and toolbar: the joint-value clipboard,
// copying one side of the body onto the other, and mirroring the current
// pose or the selected pose blocks of the motion.
#pragma once

#include <array>
#include <cstdint>

#include "pose/pose_values.h"

namespace kv {

struct EditorState;

// One slider's copied value and servo-enable bit, or empty.
struct JointClipboardEntry {
  bool filled = false;
  int16_t value = 0;
  bool servo = false;
  bool operator==(const JointClipboardEntry&) const = default;
};

// Lives for the whole run.
struct JointClipboard {
  std::array<JointClipboardEntry, kSliderCount> entries{};
};

// Fills every entry from the current pose (when the pose area is created).
void fillJointClipboard(EditorState& state);

// Copies the selected enabled sliders (all sliders when none is) to the
// clipboard; every other entry becomes empty.
void copyJointValues(EditorState& state);
// Pastes the clipboard into the selected enabled sliders, or into every
// enabled slider when no selected one has an entry; shown with undo.
void pasteJointValues(EditorState& state);
// Copies left values onto their right partners (`toRight`) or right values
// onto their left partners; shown with undo.
void copySide(EditorState& state, bool toRight);
// Mirrors the current pose: pairs swap, centre sliders reflect about the
// active base pose; shown with undo.
void mirrorPose(EditorState& state);
// Mirrors every selected pose block of the motion, recorded as one undo
// state.
void mirrorSelectedPoses(EditorState& state);

}  // namespace kv
