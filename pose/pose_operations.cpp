#include "pose/pose_operations.h"

#include <algorithm>

#include "pose/base_poses.h"
#include "pose/show_pose.h"
#include "shell/editor_state.h"
#include "shell/undo_commands.h"

namespace kv {
namespace {

using SliderSet = std::array<bool, kSliderCount>;

bool isSide(const PoseSlider& s) { return s.pairAttribute == PairRight || s.pairAttribute == PairLeft; }
bool signInverted(const PoseSlider& s) { return s.behaviourFlags & kSignInverted; }
bool servoSlider(int i) { return i >= 0 && i < kServoSliderCount; }
bool servoBit(const PoseValues& pose, int i) { return servoSlider(i) && (pose.servoMask >> i) & 1u; }

void setServoBit(PoseValues& pose, int i, bool on) {
  if (!servoSlider(i)) return;
  if (on)
    pose.servoMask |= 1u << i;
  else
    pose.servoMask &= ~(1u << i);
}

// Values are computed wide and kept within the slider's limits, so neither
// 2 × base − value nor the negation of −32768 can wrap around.
int16_t fit(const PoseSlider& slider, int value) { return static_cast<int16_t>(safeRange(slider).clamp(value)); }

// The partner of a right or left slider, or -1.
int sidePartner(const SliderTable& table, int i) {
  const PoseSlider& s = table.sliders[i];
  return isSide(s) && validPartner(i, s.pairPartner) ? s.pairPartner : -1;
}

// When no slider qualifies, all do.
SliderSet orAll(SliderSet set) {
  if (std::none_of(set.begin(), set.end(), [](bool b) { return b; })) set.fill(true);
  return set;
}

// Mirrors `pose` on the qualifying sliders: a pair swaps values and servo
// bits (negating both when their sign inversion is the same); a centre
// slider reflects about the active base pose. `needBaseEnabled` also asks the
// base pose to define the centre slider.
void mirrorValues(PoseValues& pose, const SliderTable& table, const BasePoseTable& bases, const SliderSet& qualifies,
                  bool needBaseEnabled) {
  const bool active = basePoseActive(bases);
  SliderSet done{};
  for (int i = 0; i < kSliderCount; ++i) {
    if (!qualifies[i] || done[i]) continue;
    const PoseSlider& s = table.sliders[i];
    if (s.pairAttribute == PairCentre) {
      done[i] = true;
      if (!active || !s.enabled()) continue;
      if (needBaseEnabled && !basePoseEnabled(bases, bases.current, i)) continue;
      pose.values[i] = fit(s, 2 * basePoseValue(bases, bases.current, i) - pose.values[i]);
      continue;
    }
    int p = sidePartner(table, i);
    if (p < 0 || done[p]) continue;
    const PoseSlider& partner = table.sliders[p];
    int sValue = pose.values[p];
    int pValue = pose.values[i];
    if (signInverted(s) == signInverted(partner)) {
      sValue = -sValue;
      pValue = -pValue;
    }
    pose.values[i] = fit(s, sValue);
    pose.values[p] = fit(partner, pValue);
    if (servoSlider(i) && servoSlider(p)) {
      bool sBit = servoBit(pose, i);
      setServoBit(pose, i, servoBit(pose, p));
      setServoBit(pose, p, sBit);
    }
    done[i] = done[p] = true;
  }
}

}  // namespace

void fillJointClipboard(EditorState& state) {
  const PoseValues& pose = currentPose(state);
  for (int i = 0; i < kSliderCount; ++i) state.jointClipboard.entries[i] = {true, pose.values[i], servoBit(pose, i)};
}

void copyJointValues(EditorState& state) {
  const SliderTable& table = state.sliders;
  SliderSet copied{};
  for (int i = 0; i < kSliderCount; ++i) copied[i] = table.sliders[i].selected() && table.sliders[i].enabled();
  copied = orAll(copied);
  const PoseValues& pose = currentPose(state);
  for (int i = 0; i < kSliderCount; ++i)
    state.jointClipboard.entries[i] =
        copied[i] ? JointClipboardEntry{true, pose.values[i], servoBit(pose, i)} : JointClipboardEntry{};
}

void pasteJointValues(EditorState& state) {
  const SliderTable& table = state.sliders;
  const JointClipboard& clip = state.jointClipboard;
  SliderSet target{};
  for (int i = 0; i < kSliderCount; ++i)
    target[i] = table.sliders[i].selected() && table.sliders[i].enabled() && clip.entries[i].filled;
  // No selected slider can take a value: paste wherever one fits.
  if (std::none_of(target.begin(), target.end(), [](bool b) { return b; }))
    for (int i = 0; i < kSliderCount; ++i) target[i] = table.sliders[i].enabled() && clip.entries[i].filled;
  PoseValues pose = currentPose(state);
  for (int i = 0; i < kSliderCount; ++i) {
    if (!target[i]) continue;
    pose.values[i] = clip.entries[i].value;
    setServoBit(pose, i, clip.entries[i].servo);
  }
  showPose(state, pose, kPoseOperationTime, true);
}

void copySide(EditorState& state, bool toRight) {
  const SliderTable& table = state.sliders;
  SliderSet qualifies{};
  for (int i = 0; i < kSliderCount; ++i) {
    int p = sidePartner(table, i);
    qualifies[i] = table.sliders[i].selected() || (p >= 0 && table.sliders[p].selected());
  }
  qualifies = orAll(qualifies);
  const int target = toRight ? PairRight : PairLeft;
  PoseValues pose = currentPose(state);
  SliderSet done{};
  for (int i = 0; i < kSliderCount; ++i) {
    if (!qualifies[i] || done[i] || table.sliders[i].pairAttribute != target) continue;
    int p = sidePartner(table, i);
    if (p < 0) continue;
    int value = pose.values[p];
    if (signInverted(table.sliders[i]) == signInverted(table.sliders[p])) value = -value;
    pose.values[i] = fit(table.sliders[i], value);
    if (servoSlider(i) && servoSlider(p)) setServoBit(pose, i, servoBit(pose, p));
    done[i] = done[p] = true;
  }
  showPose(state, pose, kPoseOperationTime, true);
}

void mirrorPose(EditorState& state) {
  const SliderTable& table = state.sliders;
  SliderSet qualifies{};
  for (int i = 0; i < kSliderCount; ++i) qualifies[i] = table.sliders[i].selected() && table.sliders[i].enabled();
  qualifies = orAll(qualifies);
  PoseValues pose = currentPose(state);
  mirrorValues(pose, table, state.basePoses, qualifies, false);
  showPose(state, pose, kPoseOperationTime, true);
}

void mirrorSelectedPoses(EditorState& state) {
  const SliderTable& table = state.sliders;
  SliderSet qualifies{};
  for (int i = 0; i < kSliderCount; ++i) qualifies[i] = table.sliders[i].selected();
  qualifies = orAll(qualifies);
  bool mirrored = false;
  bool currentMirrored = false;
  for (const auto& block : state.motion.blocks) {
    if (!block->isPose() || !block->selected()) continue;
    mirrorValues(block->pose, table, state.basePoses, qualifies, true);
    mirrored = true;
    if (block.get() == state.motion.currentBlock) currentMirrored = true;
  }
  if (!mirrored) return;
  recordUndo(state);
  notify(state.views.motionChanged);
  // The pose area and the robot show the current block: bring both up to date.
  if (currentMirrored)
    showPose(state, state.motion.currentBlock->pose, kPoseOperationTime, false);
  else
    notify(state.views.poseChanged);
}

}  // namespace kv
