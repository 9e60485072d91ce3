// The editor's commands: their numbers, and the one registry through which
// every command is known, shown and run.
//
// How a command comes to be: the subsystem that carries it out registers it
// once, in its own ui code, with one call
//
//   window.commands().add({.id = command::kMirrorPose,
//                          .caption = "鏡像反転",
//                          .keys = {QKeySequence("Ctrl+F")},
//                          .place = {Menu::Pose, 300}},
//                         [&state] { mirrorPose(state); });
//
// That call gives the command its QAction (caption, keys, toolbar icon), puts
// it into its main menu at its rank, and makes it a job of the window's one
// dispatcher (MainWindow::runCommand), which a menu item, a key, a toolbar
// button and a pop-up menu all reach. The flags say when it may run besides
// normal editing; everything else that decides whether it is enabled, checked
// or holds its keys is part of the registration too (enabledWhen, checkedBy,
// keysWhen), so setBusy and refreshMenuMarks treat every command alike.
// Numbered runs of commands (base poses, recent projects) register with
// addRange. Registering a number again replaces the earlier registration:
// the window registers the commands whose subsystem has not arrived yet as
// placeholders that tell the user so, and the subsystem's own registration
// takes their place.
#pragma once

#include <QKeySequence>
#include <QList>
#include <QString>
#include <cstdint>
#include <functional>
#include <map>
#include <vector>

class QAction;
class QWidget;

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
inline constexpr int kRecentProjectCount = 32;
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

// When a command may run besides normal editing (flags of CommandSpec).
// Every other command waits while a motion plays, runs offline and is
// unavailable when no project could be loaded at start-up.
inline constexpr unsigned kRunsWhilePlaying = 0x1;        // playback owns the robot and the motion
inline constexpr unsigned kRunsAfterFailedStartup = 0x2;  // the editor has no project to work on
inline constexpr unsigned kOnlyWhilePlaying = 0x4;        // greyed and refused while nothing plays (Stop)
inline constexpr unsigned kNeedsBoard = 0x8;              // offline it says string 40006 instead of running

// The main menu's menus, in menu-bar order.
enum class Menu { None, File, Edit, Pose, Motion, Play, Link, Settings, Help };

// Where a command shows in the main menu: items are sorted by rank, and a
// line separates ranks of different hundreds.
struct MenuPlace {
  Menu menu = Menu::None;
  int rank = 0;
};

struct CommandSpec {
  int id = 0;
  const char* caption = "";  // UTF-8; empty for key-only and toolbar-only commands
  QList<QKeySequence> keys = {};
  unsigned flags = 0;
  MenuPlace place = {};
  // Checked while this status bit is set (a check item and a pressed toolbar button).
  uint32_t checkedBy = 0;
  // The keys are taken only while this status bit is set; until then they
  // reach the focused control.
  uint32_t keysWhen = 0;
  // A further condition for being enabled besides the flags (undo possible).
  std::function<bool()> enabledWhen = {};
};

class CommandRegistry {
 public:
  using Job = std::function<void()>;
  struct Command {
    CommandSpec spec;
    Job job;
    QAction* action = nullptr;
  };

  // Actions are made children of `window`, which takes their keys;
  // triggering one calls `dispatch` with the command number.
  CommandRegistry(QWidget* window, std::function<void(int id)> dispatch);

  // Registers a command (see the top of this file) and returns its action.
  QAction* add(CommandSpec spec, Job job);
  // Registers the numbered commands first + n for n = 0 .. count - 1. They
  // have no action of their own: their menus are filled when shown.
  void addRange(int first, int count, unsigned flags, std::function<void(int n)> job);

  const Command* find(int id) const;
  // Whether the number (a single command or one of a range) is registered.
  bool registered(int id) const;
  unsigned flags(int id) const;
  // Runs the command's job, ignoring its flags; false when none is registered.
  bool runJob(int id) const;
  // The command's action; a toolbar button gets one before its command is
  // registered (caption-less and greyed until then).
  QAction* action(int id);
  const std::map<int, Command>& commands() const { return commands_; }

  // Told of every registration, after the action is set up (the window
  // places it into its menu).
  std::function<void(const Command&)> added;

 private:
  struct Range {
    int first;
    int count;
    unsigned flags;
    std::function<void(int)> job;
  };
  const Range* findRange(int id) const;

  QWidget* window_;
  std::function<void(int)> dispatch_;
  std::map<int, Command> commands_;
  std::vector<Range> ranges_;
};

// The toolbar's buttons in order, and the string numbers of their tooltips.
struct ToolbarButton {
  int command;
  int tooltipString;
};
const std::vector<ToolbarButton>& toolbarButtons();

}  // namespace kv::command
