// The editor's commands: numbers, menu captions and keys.
#pragma once

#include <QKeySequence>
#include <QString>
#include <vector>

namespace kv::command {

inline constexpr int kExit = 40001;
inline constexpr int kOnline = 40027;
inline constexpr int kNewMotion = 40029;
inline constexpr int kOpenMotion = 40030;
inline constexpr int kSaveMotionAs = 40031;
inline constexpr int kSaveMotion = 40032;
inline constexpr int kUndo = 40033;
inline constexpr int kRedo = 40034;
inline constexpr int kSplitPose = 40035;
inline constexpr int kDuplicatePose = 40036;
inline constexpr int kDeletePose = 40037;
inline constexpr int kPlay = 40039;
inline constexpr int kStop = 40040;
inline constexpr int kNextPose = 40041;
inline constexpr int kNextPoseByBranch = 40042;
inline constexpr int kDisplaySettings = 40043;
inline constexpr int kCopyJointValues = 40044;
inline constexpr int kPasteJointValues = 40045;
inline constexpr int kCopyLeftToRight = 40046;
inline constexpr int kCopyRightToLeft = 40047;
inline constexpr int kMirrorPose = 40048;
inline constexpr int kServosOn = 40053;
inline constexpr int kToggleDisplayInversion = 40057;
inline constexpr int kCopyBlocks = 40058;
inline constexpr int kDeleteBlocks = 40059;
inline constexpr int kCutBlocks = 40060;
inline constexpr int kApplyTimeOverride = 40067;
inline constexpr int kSelectAll = 40075;
inline constexpr int kFirstPose = 40078;
inline constexpr int kServoCorrection = 40088;
inline constexpr int kSliderSettings = 40090;
inline constexpr int kMatchBasePose = 40094;
inline constexpr int kBasePoseDialog = 40099;
inline constexpr int kCpuSettings = 40101;
inline constexpr int kModeSwitchSettings = 40104;
inline constexpr int kNewProject = 40108;
inline constexpr int kOpenProject = 40109;
inline constexpr int kVersion = 40115;
inline constexpr int kFirmwareUpdate = 40116;
inline constexpr int kImportLegacyMotion = 40117;
inline constexpr int kFirstBasePose = 40118;  // + base pose number 0..35
inline constexpr int kFirstRecentProject = 40154;  // + entry number 0..31
inline constexpr int kAddCalculation = 40218;
inline constexpr int kAddBranch = 40219;
inline constexpr int kAddLoop = 40220;
inline constexpr int kPasteBlocks = 40221;
inline constexpr int kCopyHere = 40225;
inline constexpr int kPasteHere = 40226;
inline constexpr int kBlockProperties = 40227;
inline constexpr int kAddPose = 40228;
inline constexpr int kImportMotion = 40229;
inline constexpr int kMirrorSelectedPoses = 40231;
inline constexpr int kAddEnd = 40232;
inline constexpr int kServosOffBySpace = 40236;
inline constexpr int kBatchOffset = 40239;
inline constexpr int kOffsetDialog = 40242;

// When a command may run besides normal editing (flags of CommandInfo).
// Every other command waits while a motion plays and is unavailable when no
// project could be loaded at start-up.
inline constexpr unsigned kRunsWhilePlaying = 0x1;        // playback owns the robot and the motion
inline constexpr unsigned kRunsAfterFailedStartup = 0x2;  // the editor has no project to work on

struct CommandInfo {
  int id;
  const char* caption;  // UTF-8; empty for key-only commands
  QKeySequence keys;
  QKeySequence secondKeys = {};
  unsigned flags = 0;
};

// Every command that has a caption or a key.
const std::vector<CommandInfo>& commandTable();
const CommandInfo* findCommand(int id);
// The flags of any command number, those without a table entry included.
unsigned commandFlags(int id);

// The toolbar's buttons in order, and the string numbers of their tooltips.
struct ToolbarButton {
  int command;
  int tooltipString;
};
const std::vector<ToolbarButton>& toolbarButtons();

}  // namespace kv::command
