#include "motion/block_properties.h"

#include <algorithm>
#include <climits>

#include "motion/block_editing.h"
#include "motion/motion_layout.h"
#include "motion/variable_source.h"
#include "shell/editor_state.h"
#include "shell/messages.h"
#include "shell/string_table.h"
#include "shell/text_format.h"
#include "shell/undo_commands.h"

namespace kv {

namespace {

constexpr int kConditionStrings[kBranchConditionCount] = {40183, 40184, 40204, 40212, 40365, 40366, 40367, 40368};
constexpr int kFirstOperationString = 40408;
constexpr int kConstantMin = -32768;
constexpr int kConstantMax = 32767;

bool isBlank(char16_t c) { return c == u' ' || c == u'\t'; }
bool isDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

std::u16string takeName(std::u16string_view name) {
  size_t length = std::min(name.size(), kDialogNameLength);
  // Never keep half of a surrogate pair.
  if (length > 0 && length < name.size() && name[length - 1] >= 0xD800 && name[length - 1] <= 0xDBFF) --length;
  return std::u16string(name.substr(0, length));
}

// X or Y as typed, or none (after the message) when it is no number in
// 0..2048.
std::optional<int> checkedCoordinate(std::u16string_view text, const char16_t* axis) {
  std::optional<int> value = parseWholeNumber(text);
  if (value && *value >= 0 && *value <= kMotionAreaExtent) return value;
  showMessage(kPositionRangeMessage, MessageIcon::Warning, MessageButtons::Ok, {axis, 0, kMotionAreaExtent});
  return std::nullopt;
}

std::optional<int16_t> checkedConstant(std::u16string_view text) {
  return checkedShortEntry(text, kConstantNotNumberMessage, kConstantRangeMessage);
}

uint8_t byteIn(int value, int highest) { return static_cast<uint8_t>(std::clamp(value, 0, highest)); }

int listEntry(uint8_t code, int entries) { return code < entries ? code : kNoListEntry; }

// A list's code: the entry picked, or the code kept when no entry is.
void storeListCode(uint8_t& code, int entry, int entries) {
  if (entry >= 0 && entry < entries) code = static_cast<uint8_t>(entry);
}

}  // namespace

int propertyDialogFor(const MotionBlock& block) {
  switch (block.kind) {
    case KindPose:
    case KindLoop: return kPoseBlockDialog;
    case KindBranch: return kBranchBlockDialog;
    case KindCalcConstant:
    case KindCalcVariable: return kCalculationBlockDialog;
    default: return 0;
  }
}

std::u16string propertyDialogCaption(int dialog) {
  switch (dialog) {
    case kPoseBlockDialog: return u"ポーズブロックのプロパティ";
    case kBranchBlockDialog: return u"分岐ブロックのプロパティ";
    case kCalculationBlockDialog: return u"演算ブロックのプロパティ";
    default: return {};
  }
}

std::vector<std::u16string> conditionTexts() {
  std::vector<std::u16string> texts;
  for (int id : kConditionStrings) texts.push_back(loadUiString(id));
  return texts;
}

std::vector<std::u16string> operationTexts() {
  std::vector<std::u16string> texts;
  for (int n = 0; n < kCalcOperationCount; ++n) texts.push_back(loadUiString(kFirstOperationString + n));
  return texts;
}

std::u16string liveValueText(std::optional<int16_t> value, bool asBits) {
  if (!value) return kNoLiveValue;
  if (!asBits) return formatted(u"%d", {int{*value}});
  std::u16string bits;
  for (int bit = 7; bit >= 0; --bit) bits += (*value >> bit) & 1 ? u'1' : u'0';
  return bits;
}

int detailDialogFor(int condition) {
  switch (condition) {
    case CondAtOrAbove:
    case CondAtOrBelow:
    case CondEqual:
    case CondNotEqual: return kThresholdDetailDialog;
    case CondBitMatch: return kBitMatchDetailDialog;
    default:
      showMessage(kNoDetailsMessage, MessageIcon::Warning, MessageButtons::Ok);
      return 0;
  }
}

BlockPropertyEntries entriesOf(const MotionBlock& block) {
  BlockPropertyEntries entries;
  entries.name = block.name;
  entries.x = formatted(u"%d", {block.left});
  entries.y = formatted(u"%d", {block.top});
  entries.variable = block.kind == KindBranch ? block.testVar : block.resultVar;
  entries.condition = listEntry(block.condition, kBranchConditionCount);
  entries.operation = listEntry(block.operation, kCalcOperationCount);
  entries.variableOperand = block.kind == KindCalcVariable;
  entries.sourceVariable = block.sourceVar;
  entries.constant = formatted(u"%d", {int{block.constant}});
  return entries;
}

std::optional<int> parseWholeNumber(std::u16string_view text) {
  size_t i = 0;
  while (i < text.size() && isBlank(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) negative = text[i++] == u'-';
  size_t digitsFrom = i;
  long long value = 0;
  for (; i < text.size() && isDigit(text[i]); ++i) value = std::min(value * 10 + (text[i] - u'0'), 1LL << 32);
  if (i == digitsFrom) return std::nullopt;
  if (i < text.size() && text[i] == u'.') {
    for (++i; i < text.size() && text[i] == u'0'; ++i) {
    }
  }
  while (i < text.size() && isBlank(text[i])) ++i;
  if (i != text.size()) return std::nullopt;
  if (negative) value = -value;
  return static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX));
}

std::optional<int16_t> checkedShortEntry(std::u16string_view text, int notNumberMessage, int rangeMessage) {
  bool allowed = std::all_of(text.begin(), text.end(), [](char16_t c) {
    return isDigit(c) || isBlank(c) || c == u'+' || c == u'-' || c == u'.';
  });
  // A text of allowed characters that is no number ("", "-", "1-2") would
  // silently become some other value.
  std::optional<int> value = allowed ? parseWholeNumber(text) : std::nullopt;
  if (!value) {
    showMessage(notNumberMessage, MessageIcon::Warning, MessageButtons::Ok);
    return std::nullopt;
  }
  if (*value < kConstantMin || *value > kConstantMax) {
    showMessage(rangeMessage, MessageIcon::Warning, MessageButtons::Ok);
    return std::nullopt;
  }
  return static_cast<int16_t>(*value);
}

PropertyCheck storeEntries(MotionBlock& copy, int dialog, const BlockPropertyEntries& entries) {
  std::optional<int> x = checkedCoordinate(entries.x, u"X");
  if (!x) return {false, block_property_control::kX};
  std::optional<int> y = checkedCoordinate(entries.y, u"Y");
  if (!y) return {false, block_property_control::kY};
  std::optional<int16_t> constant;
  if (dialog == kCalculationBlockDialog) {
    constant = checkedConstant(entries.constant);
    if (!constant) return {false, block_property_control::kConstant};
  }

  copy.left = *x;
  copy.top = *y;
  copy.name = takeName(entries.name);
  if (dialog == kBranchBlockDialog) {
    copy.testVar = byteIn(entries.variable, kBoardVariableCount - 1);
    storeListCode(copy.condition, entries.condition, kBranchConditionCount);
  } else if (dialog == kCalculationBlockDialog) {
    copy.constant = *constant;
    copy.kind = entries.variableOperand ? KindCalcVariable : KindCalcConstant;
    copy.resultVar = byteIn(entries.variable, kBoardVariableCount - 1);
    copy.sourceVar = byteIn(entries.sourceVariable, kBoardVariableCount - 1);
    storeListCode(copy.operation, entries.operation, kCalcOperationCount);
  }
  return {};
}

void applyBlockProperties(EditorState& state, MotionBlock& block, const MotionBlock& copy) {
  const int dialog = propertyDialogFor(block);
  // Only what the dialog edits: the block's size and caption have been
  // measured again by paints while the dialog was open.
  block.name = copy.name;
  block.right += copy.left - block.left;
  block.bottom += copy.top - block.top;
  block.left = copy.left;
  block.top = copy.top;
  keepInsideCanvas(block);
  if (dialog == kBranchBlockDialog) {
    block.testVar = copy.testVar;
    block.condition = copy.condition;
    block.testValue = copy.testValue;
  } else if (dialog == kCalculationBlockDialog) {
    block.kind = copy.kind;
    block.constant = copy.constant;
    block.resultVar = copy.resultVar;
    block.sourceVar = copy.sourceVar;
    block.operation = copy.operation;
  }
  block.flags |= block_flag::kNeedsRepaint;
  recordUndo(state);
  notify(state.views.motionChanged);
}

}  // namespace kv
