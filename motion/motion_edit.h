// Whole-motion edits: a new motion, delete of the selected blocks with link
// repair, copy to and paste from the block clipboard. They change the data
// only; the caller records undo and repaints.
#pragma once

#include <cstdint>

#include "motion/motion.h"

namespace kv {

struct BasePoseTable;

// Where a new motion puts its blocks.
struct NewMotionPlacement {
  int32_t fontHeight = 0;      // height of the motion area's font (display settings)
  int areaHeight = 0;          // the motion area's client height; 0 or less when it has none yet
  int32_t windowHeight = 640;  // the stored main window client height, used when the area has none
};

// Replaces the motion by a start block, one pose block (current, named by
// nextPoseName) and an end block, linked start -> pose -> end. The pose takes
// the current base pose's values where the base pose is valid and has the
// slider enabled.
void newMotion(Motion& motion, const BasePoseTable& basePoses, const NewMotionPlacement& placement);

struct DeleteResult {
  int deleted = 0;              // blocks removed
  bool currentChanged = false;  // another block (or none) became current
};

// Deletes the selected blocks except the start block; with nothing selected
// the current pose, unless it is the only pose block. One pose block always
// stays. Links into deleted blocks move along the deleted blocks' own links
// (null where that would point back at their own block). Ends with nothing
// selected.
DeleteResult deleteSelectedBlocks(Motion& motion);

// Replaces the clipboard by copies of the selected blocks (never the start
// block), links kept only between copied blocks. Returns the number copied.
int copySelectedBlocks(const Motion& motion, BlockClipboard& clipboard);

// Appends copies of the clipboard blocks to the motion, selected and with
// their links among themselves; everything else is deselected. Each paste
// adds "~" to the clipboard names and moves the clipboard blocks on by a
// fifth of their size, so repeated pastes cascade. Returns the number pasted.
int pasteBlocks(Motion& motion, BlockClipboard& clipboard);

}  // namespace kv
