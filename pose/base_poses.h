// Base poses: up to 36 named reference poses of the robot, one of them
// current, kept in "medit_defpos.ini".
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "pose/pose_values.h"
#include "pose/slider_table.h"

namespace kv {

struct EditorState;

inline constexpr int kBasePoseCount = 36;
inline constexpr size_t kBasePoseNameFieldSize = 128;  // at most 127 units

// Menu commands choosing base pose n are kFirstBasePoseCommand + n.
inline constexpr int kFirstBasePoseCommand = 40118;
inline constexpr int kLastBasePoseCommand = kFirstBasePoseCommand + kBasePoseCount - 1;

struct BasePose {
  std::u16string name;
  std::array<int16_t, kSliderCount> values{};
  uint32_t servoMask = 0;
  bool valid = false;
  std::array<bool, kSliderCount> sliderEnabled{};
  bool operator==(const BasePose&) const = default;
};

// Valid entries come first; the first invalid entry ends the list. Invalid
// entries are kept blank.
struct BasePoseTable {
  std::array<BasePose, kBasePoseCount> entries{};
  int current = 0;  // 0..35; in the dialog's working copy -1 once the current pose was deleted
};

// Reads the base pose file. The table is cleared first in any case; false
// when the file cannot be opened.
bool loadBasePoses(const std::filesystem::path& file, BasePoseTable& table);
// Writes the current number and the valid entries; false when the file
// cannot be written.
bool saveBasePoses(const std::filesystem::path& file, const BasePoseTable& table);

// Read access; an entry or slider out of range, or an invalid entry, gives
// 0 / false.
int16_t basePoseValue(const BasePoseTable& table, int n, int slider);
bool basePoseEnabled(const BasePoseTable& table, int n, int slider);
uint32_t basePoseServoMask(const BasePoseTable& table, int n);

// A base pose is active when the current entry is valid.
bool basePoseActive(const BasePoseTable& table);
// The number of valid entries (they come first).
int validBasePoseCount(const BasePoseTable& table);

// Makes base pose n (0..35) current and matches the current pose to it;
// n = -1 matches it to the current base pose. The pose is shown as one change
// with undo. Does nothing, returning false, for n outside -1..35 and for an
// entry that is not valid (that would zero every slider of the robot).
bool applyBasePose(EditorState& state, int n);

// One item of a base pose selection menu. With no valid entry the menu is a
// single disabled item (string 40103) with command 0.
struct BasePoseMenuItem {
  int command = 0;
  std::u16string name;
  bool checked = false;
  bool enabled = true;
  bool operator==(const BasePoseMenuItem&) const = default;
};
std::vector<BasePoseMenuItem> basePoseMenu(const BasePoseTable& table);

// A base pose menu command: applies that base pose and writes the table to
// `saveFile` so the current number is kept. False for other commands.
bool chooseBasePoseCommand(EditorState& state, int command, const std::filesystem::path& saveFile);

// The base pose dialog's operations on its working copy. List rows are entry
// numbers (the list shows the valid entries in order).

// Inserts a new entry made from the current pose before row `selected`, or
// after the last valid entry when `selected` is -1. Warns with 40139 (empty
// name) or 40140 (table full). Returns the new entry's number, or -1.
int registerBasePose(BasePoseTable& work, std::u16string_view name, int selected, const SliderTable& sliders,
                     const PoseValues& pose);
// Refills row `selected` (keeping its name) from the current pose after
// question 40273 answered Yes. False when nothing was replaced.
bool replaceBasePose(BasePoseTable& work, int selected, const SliderTable& sliders, const PoseValues& pose);
// Removes the given rows, moving the following entries up. Returns how many
// were removed.
int deleteBasePoses(BasePoseTable& work, const std::vector<int>& rows);
// After question 40106 answered Yes: the working copy replaces the table,
// a current pose that is gone becomes the first valid entry (in both), and
// the table is written to `saveFile`. False when not applied.
bool applyBasePoseTable(BasePoseTable& table, BasePoseTable& work, const std::filesystem::path& saveFile);

}  // namespace kv
