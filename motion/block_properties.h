// What the block property dialogs edit: the pose block dialog (pose and loop
// blocks), the branch dialog and the calculation dialog. A dialog works on a
// copy of its block; OK checks the entries, stores them into the copy and
// writes the copy back with one undo step.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "motion/motion_block.h"

namespace kv {

struct EditorState;

// The dialogs, by template number; 0 for blocks without one.
inline constexpr int kPoseBlockDialog = 167;
inline constexpr int kBranchBlockDialog = 168;
inline constexpr int kCalculationBlockDialog = 169;
// The condition detail dialogs the branch dialog opens.
inline constexpr int kThresholdDetailDialog = 160;
inline constexpr int kBitMatchDetailDialog = 161;

namespace block_property_control {
inline constexpr int kName = 1822;
inline constexpr int kX = 1823;
inline constexpr int kY = 1824;
inline constexpr int kVariable = 1650;        // tested (168) or result (169) variable
inline constexpr int kCondition = 1826;
inline constexpr int kDetails = 1827;
inline constexpr int kVariableValue = 1791;   // live value of kVariable
inline constexpr int kOperation = 1828;
inline constexpr int kConstantOperand = 1829;
inline constexpr int kVariableOperand = 1830;
inline constexpr int kSourceVariable = 1651;
inline constexpr int kSourceValue = 1792;     // live value of kSourceVariable
inline constexpr int kConstant = 1831;
inline constexpr int kSourceLabel = 1833;
inline constexpr int kSourceNumber = 1832;
inline constexpr int kSourceValueLabel = 1834;
inline constexpr int kConstantLabel = 1835;
}  // namespace block_property_control

inline constexpr int kPositionRangeMessage = 40406;  // "%s座標の値は%d～%dの範囲で設定してください"
inline constexpr int kConstantNotNumberMessage = 40413;
inline constexpr int kConstantRangeMessage = 40414;
inline constexpr int kNoDetailsMessage = 40371;
inline constexpr size_t kDialogNameLength = 30;  // characters of the name a dialog takes
inline constexpr char16_t kNoLiveValue[] = u"--------";

// The dialog that edits the block: 167, 168, 169, or 0 (start and end).
int propertyDialogFor(const MotionBlock& block);
// The dialog's title.
std::u16string propertyDialogCaption(int dialog);
// Entries of the condition list (codes 0..7) and of the operation list
// (codes 0..4).
std::vector<std::u16string> conditionTexts();
std::vector<std::u16string> operationTexts();

// The live display of a variable: "--------" without a value, eight "1"/"0"
// for bits 7..0 when `asBits` (the branch dialog's bit match), else signed
// decimal.
std::u16string liveValueText(std::optional<int16_t> value, bool asBits);

// The detail dialog of a branch condition: 160 for 1, 2, 4, 5; 161 for 3;
// else 0 after showing string 40371.
int detailDialogFor(int condition);

// The dialog's entries: texts as typed and the list and spin positions.
struct BlockPropertyEntries {
  std::u16string name;
  std::u16string x, y;
  int variable = 0;        // 168: tested variable; 169: result variable
  int condition = 0;       // 168; kNoListEntry for a code the list has no entry for
  int operation = 0;       // 169; likewise
  bool variableOperand = false;  // 169: radio 1830, else 1829
  int sourceVariable = 0;  // 169
  std::u16string constant; // 169
};

// A list position that shows no entry: the block holds a code (read from a
// file) that the list cannot show. OK keeps that code unless the user picks
// an entry.
inline constexpr int kNoListEntry = -1;

// The entries a dialog opens with.
BlockPropertyEntries entriesOf(const MotionBlock& block);

// A whole number as typed: blanks, an optional sign, digits, optionally a
// "." followed by zeros only, blanks. None for anything else. Values beyond
// the 32-bit range saturate.
std::optional<int> parseWholeNumber(std::u16string_view text);

// A signed 16-bit entry as typed: only digits, blanks, "+", "-" and "."
// reading as a whole number (else string `notNumberMessage`), within
// -32768..32767 (else `rangeMessage`). None after the warning box.
std::optional<int16_t> checkedShortEntry(std::u16string_view text, int notNumberMessage, int rangeMessage);

struct PropertyCheck {
  bool ok = true;
  int control = 0;  // the entry that failed
};

// OK of `dialog`: checks X and Y (0..2048, string 40406, X first) and for
// 169 the constant (40413 unless it reads as a whole number made of digits,
// blanks, "+", "-" and ".", 40414 outside -32768..32767, whichever radio is
// checked); the first failure is shown with the warning icon and nothing is
// stored. Else stores every entry into `copy`.
PropertyCheck storeEntries(MotionBlock& copy, int dialog, const BlockPropertyEntries& entries);

// Writes the fields the block's dialog edits from `copy` back over the
// block, keeps it on the canvas, records an undo step and repaints.
void applyBlockProperties(EditorState& state, MotionBlock& block, const MotionBlock& copy);

}  // namespace kv
