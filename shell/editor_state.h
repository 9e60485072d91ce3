// The state of one running editor: the open project and the program-wide
// lists. One instance is owned by the application; tests make their own.
#pragma once

#include <atomic>
#include <filesystem>
#include <functional>
#include <vector>

#include "board/cpu_settings.h"
#include "display/display_settings.h"
#include "motion/motion.h"
#include "pose/base_poses.h"
#include "pose/pose_operations.h"
#include "pose/show_pose.h"
#include "pose/slider_table.h"
#include "shell/app_status.h"
#include "shell/project.h"
#include "shell/undo.h"

namespace kv {

// What the windows do when the data they show changes; unset in tests.
struct EditorViews {
  std::function<void()> poseChanged;      // the current pose or the current block changed
  std::function<void()> motionChanged;    // blocks, links or selection changed
  std::function<void()> undoChanged;      // undo / redo availability changed
  // The status word was written through setStatus (the bits before and
  // after; equal when nothing changed): the title mark and the menu marks.
  std::function<void(uint32_t before, uint32_t after)> statusChanged;
  // The online session sends the pose to the robot, moving there in the
  // given transition time (steps).
  std::function<void(const PoseValues&, int time)> livePose;
};

inline void notify(const std::function<void()>& view) {
  if (view) view();
}

struct EditorState {
  std::filesystem::path programFolder;
  ProjectRecord project;
  std::vector<RecentProject> recentProjects;
  AppStatus status;
  DisplaySettings display;
  SliderTable sliders;
  BasePoseTable basePoses;
  // The board's configuration: loaded from the ROM settings file, replaced
  // by the board's own at every connection (the session hands it over on
  // the GUI thread), edited by the CPU settings dialog.
  CpuSettings cpuSettings;
  JointClipboard jointClipboard;
  Motion motion;
  BlockClipboard clipboard;
  UndoChain undo;
  EditorViews views;
  // The transition time of the robot's live pose: the time of the last
  // showPose that gave one. Apart from every block's own time.
  int liveTime = kPoseAreaTime;
  // A motion is playing on the board: commands that edit the motion or use
  // the link wait (playback sets and clears it).
  std::atomic<bool> playing{false};
  // Start-up could not load the project: the project dialogs run instead.
  bool startupFailed = false;
};

// Sets or clears bits of the status word and tells the window, which shows
// the modified mark in the title and refreshes the menu marks. The one way
// the GUI thread changes the status word; the session's threads set their
// bits in the atomic word themselves and report through their own events.
void setStatus(EditorState& state, uint32_t bits, bool on);

}  // namespace kv
