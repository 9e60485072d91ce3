// The block commands of the motion menu, the motion area's popup menu, their
// keys and the time-override button. Each works on the editor state; what it
// needs from the windows (the right-click point, the scroll origin, the
// override value) comes in as parameters. Commands that change the motion
// record an undo step and tell the views; commands that change the current
// block return it, and the motion area scrolls it into view.
#pragma once

#include "motion/motion.h"

namespace kv {

struct EditorState;

// ---- current block ------------------------------------------------------

// Makes a pose block current and loads it into the pose area with its own
// time (which also sends it to the robot while online). Non-pose blocks are
// refused. Returns the block, or null when it was refused.
MotionBlock* makeCurrent(EditorState& state, MotionBlock* block);
// Makes the block at list position `index` current; a position beyond the
// list takes the last block. Nothing happens when that block is no pose.
MotionBlock* selectCurrent(EditorState& state, int index);

// 40041 (along next links) and 40042 (`preferBranch`: along branch links
// where a block has one): follows links from the current block to the next
// pose block and makes it current. Null when an open link is met first.
MotionBlock* stepToNextPose(EditorState& state, bool preferBranch);
// Ctrl+0: the first pose reached from the start block along next links.
MotionBlock* selectFirstPose(EditorState& state);

// ---- adding blocks ------------------------------------------------------

// 40228: a pose block at the right-click point (motion-area client
// coordinates; `scrollOrigin` turns them into canvas coordinates), with the
// current base pose and 50 steps, not linked into the flow. It becomes
// current.
MotionBlock* addPoseBlock(EditorState& state, Point rightClickPoint, Point scrollOrigin);
// 40218 (KindCalcConstant), 40219 (KindBranch), 40220 (KindLoop) and 40232
// (KindEnd): a block below the current pose, linked into the flow after it.
// Null for any other kind.
MotionBlock* addFlowBlock(EditorState& state, int kind);

// ---- clipboard and delete -------------------------------------------------

// 40058, and Ctrl+C over the motion area: the selected blocks to the block
// clipboard. Does nothing while a motion plays. Returns the number copied.
int copyBlocksCommand(EditorState& state);
// 40060: copy, then delete the copied blocks. Does nothing while a motion
// plays (the blocks would be lost) or when nothing is selected.
int cutBlocksCommand(EditorState& state);
// 40221, and Ctrl+V over the motion area (`byShortcut`, which does nothing
// while a motion plays): the clipboard's blocks come in selected.
int pasteBlocksCommand(EditorState& state, bool byShortcut);
// 40059, 40037 (Del): the selected blocks, or the edited pose when nothing
// is selected and another pose exists. Returns the number deleted.
int deleteBlocksCommand(EditorState& state);
// Ctrl+A over the motion area. Does nothing while a motion plays.
bool selectAllBlocksCommand(EditorState& state);

// ---- the edited pose --------------------------------------------------------

// 40035: a new pose after the current one, halfway to the next pose block
// (values are the truncated means, the next pose's time is shared out).
// Next to anything but a pose block it duplicates. Returns the new current
// block, null without a current pose.
MotionBlock* splitPose(EditorState& state);
// 40036: an exact copy of the current pose inserted after it.
MotionBlock* duplicatePose(EditorState& state);

// ---- whole motion -----------------------------------------------------------

inline constexpr int kOverrideMin = 1;
inline constexpr int kOverrideMax = 999;
inline constexpr int kOverrideNeutral = 100;  // the spin's value after applying
inline constexpr int kPoseStepsMin = 1;
inline constexpr int kPoseStepsMax = 239;

// The time a pose gets from an override of `percent`: steps × percent / 100,
// kept within 1..239.
int overriddenSteps(int steps, int percent);
// 40067: every pose block's time by the override (percent, 1..999). False
// while a motion plays (the command is disabled then); on true the caller
// sets the spin back to 100.
bool applyTimeOverride(EditorState& state, int percent);

// ---- the motion area's mouse --------------------------------------------------
// The motion area turns presses, moves, timer ticks and wheel turns into
// these calls; they decide whether the motion changed and record its undo
// step.

// True while `block` is a block of the motion. A hold on a block ends when a
// key or menu command deletes the block or undo replaces the blocks.
bool holdsBlock(const Motion& motion, const MotionBlock* block);

// One tick of a held time tab: the block's time moved by `delta` and kept
// within 1..239. An undo step when it changed; true then.
bool stepHeldTime(EditorState& state, MotionBlock& block, int delta);

// Wheel notches over the motion area: the time of every selected pose by
// notches × 1 (5 with Ctrl, 10 with Shift). One undo step when any changed;
// true then.
bool wheelSelectedTimes(EditorState& state, int notches, bool ctrl, bool shift);

// The release of a drag of the selected blocks: one undo step when any block
// moved during the drag; true then.
bool finishBlockMove(EditorState& state, bool moved);

// A link held by its side leg or its free end, and how it was at the press.
struct HeldLink {
  MotionBlock* block = nullptr;
  int link = kNextLink;
  int routeType = 0;  // the route when the link was grabbed; the side leg follows it
  MotionBlock* targetBefore = nullptr;
  int32_t offsetBefore = 0;
};
// A press on a link's side leg or end at `at`: every block is deselected and
// the link is marked held, its free end at `at`.
HeldLink holdLink(Motion& motion, MotionBlock& block, int link, Point at);
// The release of a held link: the held mark is cleared; one undo step when
// the target or the side leg changed since the press; true then.
bool releaseLink(EditorState& state, const HeldLink& hold);

// ---- properties -------------------------------------------------------------

// 40227: the block whose properties open: the first block in list order
// under the right-click point (client point plus scroll origin), or when
// none is there the first selected block. Null when there is neither.
MotionBlock* blockForProperties(const Motion& motion, Point rightClickPoint, Point scrollOrigin);

}  // namespace kv
