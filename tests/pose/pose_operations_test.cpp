#include "pose/pose_operations.h"

#include <gtest/gtest.h>

#include <memory>

#include "pose/base_poses.h"
#include "pose/show_pose.h"
#include "shell/editor_state.h"

namespace kv {
namespace {

// Sliders 0..9 with limits -1000..1000; 2 is right of 3 (left), 20 right of
// 40 (left, no servo output), 5 is a centre slider. One pose block is edited.
struct Editor {
  EditorState state;
  int posesShown = 0;
  int motionsShown = 0;
  std::vector<PoseValues> sent;
  std::vector<int> sentTimes;  // the robot's transition time to each sent pose
  Editor() {
    for (PoseSlider& s : state.sliders.sliders) {
      s.lowerLimit = -1000;
      s.upperLimit = 1000;
    }
    setSliderPair(state.sliders, 2, 3, true);
    setSliderPair(state.sliders, 20, 40, true);
    setSliderUnpaired(state.sliders, 5, PairCentre);
    current = addPose();
    state.motion.currentBlock = current;
    state.views.poseChanged = [this] { ++posesShown; };
    state.views.motionChanged = [this] { ++motionsShown; };
    state.views.livePose = [this](const PoseValues& pose, int time) {
      sent.push_back(pose);
      sentTimes.push_back(time);
    };
  }
  MotionBlock* addPose() {
    state.motion.blocks.push_back(std::make_unique<MotionBlock>());
    return state.motion.blocks.back().get();
  }
  PoseSlider& slider(int i) { return state.sliders.sliders[i]; }
  void select(std::initializer_list<int> sliders) {
    for (int i : sliders) slider(i).displayFlags |= kSliderSelected;
  }
  void activateBase(int slider, int16_t value, bool enabled = true) {
    BasePose& base = state.basePoses.entries[0];
    base.valid = true;
    base.sliderEnabled[slider] = enabled;
    base.values[slider] = value;
  }
  PoseValues& pose() { return current->pose; }
  MotionBlock* current;
};

TEST(JointClipboard, CopyWithoutSelectionThenPasteIntoTwoSelectedSliders) {
  Editor editor;
  editor.pose().steps = 100;
  for (int i = 0; i < kSliderCount; ++i) editor.pose().values[i] = static_cast<int16_t>(i);
  editor.pose().values[7] = -1;
  editor.pose().servoMask = 1u << 7;
  copyJointValues(editor.state);
  EXPECT_EQ(editor.state.jointClipboard.entries[7], (JointClipboardEntry{true, -1, true}));

  editor.pose().values = {};
  editor.pose().servoMask = 0;
  editor.select({7, 9});
  pasteJointValues(editor.state);
  EXPECT_EQ(editor.pose().values[7], -1);
  EXPECT_EQ(editor.pose().values[9], 9);
  EXPECT_EQ(editor.pose().values[8], 0);
  EXPECT_EQ(editor.pose().servoMask, 1u << 7);
  // The robot moves there at the operations' pace; the block keeps its time.
  EXPECT_EQ(editor.pose().steps, 100);
  EXPECT_EQ(editor.sentTimes, std::vector<int>{kPoseOperationTime});
  EXPECT_TRUE(editor.state.status.has(status::kModified));
}

TEST(JointClipboard, CopyOfSelectedEnabledSlidersEmptiesTheRestAndPasteFallsBackToThem) {
  Editor editor;
  editor.pose().values[1] = 100;
  editor.pose().values[2] = 200;
  editor.pose().values[3] = 300;
  editor.slider(2).behaviourFlags |= kSliderDisabled;
  editor.select({1, 2});
  copyJointValues(editor.state);
  const auto& entries = editor.state.jointClipboard.entries;
  EXPECT_TRUE(entries[1].filled);
  EXPECT_FALSE(entries[2].filled);  // disabled
  EXPECT_FALSE(entries[3].filled);

  // The selected slider 3 has nothing to take: every enabled slider with an
  // entry gets its value.
  for (PoseSlider& s : editor.state.sliders.sliders) s.displayFlags = 0;
  editor.select({3});
  editor.pose().values = {};
  pasteJointValues(editor.state);
  EXPECT_EQ(editor.pose().values[1], 100);
  EXPECT_EQ(editor.pose().values[3], 0);
}

TEST(CopySide, LeftToRightWithOnlyTheLeftSelectedChangesTheRightPartner) {
  Editor editor;
  editor.pose().values[3] = 150;  // left
  editor.pose().values[2] = -7;   // right
  editor.pose().values[40] = 60;  // left
  editor.pose().values[20] = 0;
  editor.pose().servoMask = 1u << 3;
  editor.select({3});
  copySide(editor.state, true);
  EXPECT_EQ(editor.pose().values[2], -150);  // same sign inversion: negated
  EXPECT_EQ(editor.pose().values[3], 150);
  EXPECT_EQ(editor.pose().servoMask, (1u << 3) | (1u << 2));
  EXPECT_EQ(editor.pose().values[20], 0);  // not selected, partner not selected

  editor.slider(2).behaviourFlags |= kSignInverted;
  for (PoseSlider& s : editor.state.sliders.sliders) s.displayFlags = 0;
  copySide(editor.state, false);  // no selection: every pair, right onto left
  EXPECT_EQ(editor.pose().values[3], -150);
  EXPECT_EQ(editor.pose().values[40], 0);
}

TEST(MirrorPose, PairsSwapAndNegateOnlyWithTheSameSignInversion) {
  Editor editor;
  editor.pose().values[2] = 100;
  editor.pose().values[3] = -30;
  editor.pose().values[20] = 5;
  editor.pose().values[40] = 6;
  editor.pose().servoMask = 1u << 2;
  editor.slider(40).behaviourFlags |= kSignInverted;
  mirrorPose(editor.state);
  EXPECT_EQ(editor.pose().values[2], 30);
  EXPECT_EQ(editor.pose().values[3], -100);
  EXPECT_EQ(editor.pose().servoMask, 1u << 3);
  EXPECT_EQ(editor.pose().values[20], 6);  // exactly one inverted: plain swap
  EXPECT_EQ(editor.pose().values[40], 5);

  editor.slider(20).behaviourFlags |= kSignInverted;  // both inverted
  mirrorPose(editor.state);
  EXPECT_EQ(editor.pose().values[20], -5);
  EXPECT_EQ(editor.pose().values[40], -6);
}

TEST(MirrorPose, CentreSliderReflectsAboutTheActiveBasePoseClampedToItsLimits) {
  Editor editor;
  editor.pose().values[5] = 300;
  mirrorPose(editor.state);
  EXPECT_EQ(editor.pose().values[5], 300);  // no base pose active

  editor.activateBase(5, 100);
  mirrorPose(editor.state);
  EXPECT_EQ(editor.pose().values[5], -100);

  // 2 × 30000 + 10000 would keep only its low 16 bits without clamping.
  editor.slider(5).lowerLimit = -32768;
  editor.slider(5).upperLimit = 32767;
  editor.activateBase(5, 30000);
  editor.pose().values[5] = -10000;
  mirrorPose(editor.state);
  EXPECT_EQ(editor.pose().values[5], 32767);
}

TEST(MirrorPose, MirroringTwiceRestoresThePose) {
  Editor editor;
  editor.activateBase(5, -40);
  editor.slider(40).behaviourFlags |= kSignInverted;
  for (int i = 0; i < kSliderCount; ++i) editor.pose().values[i] = static_cast<int16_t>(13 * i - 400);
  editor.pose().servoMask = 0x2AAAAAAA;
  const PoseValues before = editor.pose();
  mirrorPose(editor.state);
  EXPECT_NE(editor.pose().values, before.values);
  mirrorPose(editor.state);
  EXPECT_EQ(editor.pose().values, before.values);
  EXPECT_EQ(editor.pose().servoMask, before.servoMask);
}

TEST(MirrorSelectedPoses, MirrorsSelectedPoseBlocksWithClampingAndReloadsTheShownPose) {
  Editor editor;
  MotionBlock* other = editor.addPose();
  MotionBlock* unselected = editor.addPose();
  editor.current->flags |= block_flag::kSelected;
  other->flags |= block_flag::kSelected;
  editor.slider(3).behaviourFlags |= kSliderDisabled;  // disabled sliders count here
  editor.slider(2).upperLimit = 500;
  editor.activateBase(5, 700);
  editor.current->pose.values[2] = 10;
  editor.current->pose.values[3] = -900;
  editor.current->pose.values[5] = 0;
  other->pose.values[3] = -32768;
  unselected->pose.values[2] = 77;

  mirrorSelectedPoses(editor.state);
  EXPECT_EQ(editor.current->pose.values[2], 500);  // 900 clamped to its own limit
  EXPECT_EQ(editor.current->pose.values[3], -10);
  EXPECT_EQ(editor.current->pose.values[5], 1000);  // 1400 clamped
  EXPECT_EQ(other->pose.values[2], 500);            // 32768 does not wrap to -32768
  EXPECT_EQ(unselected->pose.values[2], 77);
  EXPECT_TRUE(editor.state.status.has(status::kModified));
  EXPECT_EQ(editor.motionsShown, 1);
  EXPECT_EQ(editor.posesShown, 1);
  ASSERT_EQ(editor.sent.size(), 1u);
  EXPECT_EQ(editor.sent[0], editor.current->pose);
  EXPECT_EQ(editor.sentTimes, std::vector<int>{kPoseOperationTime});
}

TEST(MirrorSelectedPoses, CentreNeedsTheSliderInTheBasePoseAndOnlySelectedSlidersCount) {
  Editor editor;
  MotionBlock* block = editor.addPose();
  block->flags |= block_flag::kSelected;
  editor.activateBase(5, 100, false);
  block->pose.values[5] = 30;
  block->pose.values[2] = 1;
  block->pose.values[3] = 2;
  block->pose.values[20] = 3;
  editor.select({3, 5});
  mirrorSelectedPoses(editor.state);
  EXPECT_EQ(block->pose.values[5], 30);
  EXPECT_EQ(block->pose.values[2], -2);
  EXPECT_EQ(block->pose.values[20], 3);
  EXPECT_TRUE(editor.sent.empty());  // the shown block was not mirrored

  // Nothing selected in the motion: nothing recorded.
  block->flags = 0;
  editor.state.status.set(status::kModified, false);
  mirrorSelectedPoses(editor.state);
  EXPECT_FALSE(editor.state.status.has(status::kModified));
}

}  // namespace
}  // namespace kv
