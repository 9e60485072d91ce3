#include "motion/block_properties.h"

#include <gtest/gtest.h>

#include "shell/editor_state.h"
#include "shell/undo_commands.h"
#include "support/scripted_answerer.h"

namespace kv {
namespace {

using testing::ScriptedAnswerer;

MotionBlock blockOf(int kind) {
  MotionBlock block;
  block.kind = kind;
  block.name = u"block";
  block.left = 100;
  block.top = 200;
  block.right = 180;
  block.bottom = 240;
  return block;
}

TEST(BlockProperties, PositionMustBeANumberIn0To2048XFirst) {
  ScriptedAnswerer answers;
  MotionBlock block = blockOf(KindPose);
  BlockPropertyEntries entries = entriesOf(block);
  entries.x = u"2048";
  entries.y = u" 0 ";
  EXPECT_TRUE(storeEntries(block, kPoseBlockDialog, entries).ok);
  EXPECT_EQ((std::pair{block.left, block.top}), (std::pair{2048, 0}));

  entries.y = u"-1";
  for (const char16_t* bad : {u"-1", u"2049", u"", u"12a"}) {
    MotionBlock copy = blockOf(KindPose);
    entries.x = bad;
    PropertyCheck check = storeEntries(copy, kPoseBlockDialog, entries);
    EXPECT_EQ(check.control, block_property_control::kX);
    EXPECT_EQ(copy.left, 100);  // nothing stored
  }
  entries.x = u"5";
  EXPECT_EQ(storeEntries(block, kPoseBlockDialog, entries).control, block_property_control::kY);
  std::vector<Message> shown = answers.shown();
  ASSERT_EQ(shown.size(), 5u);
  EXPECT_EQ(shown[0].text, u"X座標の値は0～2048の範囲で設定してください");
  EXPECT_EQ(shown[0].icon, MessageIcon::Warning);
  EXPECT_EQ(shown[4].text, u"Y座標の値は0～2048の範囲で設定してください");
}

TEST(BlockProperties, ConstantMustBeAWholeNumberWithinSixteenBits) {
  ScriptedAnswerer answers;
  struct Case {
    const char16_t* text;
    int message;  // 0: accepted as `value`
    int value;
  };
  for (Case c : {Case{u"+12", 0, 12}, Case{u" -32768 ", 0, -32768}, Case{u"12.0", 0, 12},
                 Case{u"1e3", kConstantNotNumberMessage, 0}, Case{u"1.5", kConstantNotNumberMessage, 0},
                 Case{u"-", kConstantNotNumberMessage, 0}, Case{u"1-2", kConstantNotNumberMessage, 0},
                 Case{u"40000", kConstantRangeMessage, 0}, Case{u"99999999999", kConstantRangeMessage, 0}}) {
    MotionBlock copy = blockOf(KindCalcConstant);
    copy.constant = 5;
    BlockPropertyEntries entries = entriesOf(copy);
    entries.constant = c.text;
    entries.variableOperand = true;  // checked whichever operand is chosen
    size_t before = answers.shownIds().size();
    PropertyCheck check = storeEntries(copy, kCalculationBlockDialog, entries);
    EXPECT_EQ(check.ok, c.message == 0) << c.value;
    if (c.message == 0) {
      EXPECT_EQ(copy.constant, c.value);
    } else {
      EXPECT_EQ(answers.shownIds().size(), before + 1);
      EXPECT_EQ(answers.shownIds().back(), c.message);
      EXPECT_EQ(copy.kind, KindCalcConstant);
    }
  }
}

TEST(BlockProperties, StoringAndApplyingTouchOnlyTheDialogsFields) {
  EditorState state;
  state.motion.blocks.push_back(std::make_unique<MotionBlock>(blockOf(KindCalcConstant)));
  MotionBlock* block = state.motion.first();
  block->constant = 77;
  resetUndo(state);

  MotionBlock copy = *block;
  BlockPropertyEntries entries = entriesOf(copy);
  EXPECT_EQ(entries.constant, u"77");
  entries.name = u"123456789012345678901234567890XYZ";
  entries.x = u"2048";
  entries.variableOperand = true;
  entries.sourceVariable = 300;
  entries.operation = OpDivide;
  ASSERT_TRUE(storeEntries(copy, kCalculationBlockDialog, entries).ok);
  copy.pose.steps = 7;  // not the dialog's to change
  block->right = 190;   // measured again by a paint while the dialog was open
  applyBlockProperties(state, *block, copy);

  EXPECT_EQ(block->name, u"123456789012345678901234567890");
  EXPECT_EQ(block->kind, KindCalcVariable);
  EXPECT_EQ(block->constant, 77);  // kept while the operand is a variable
  EXPECT_EQ(block->sourceVar, 255);
  EXPECT_EQ(block->operation, OpDivide);
  EXPECT_EQ((std::pair{block->left, block->right}), (std::pair{2048 - 90, 2048}));  // at the edge, not beyond
  EXPECT_EQ(block->pose.steps, kNewPoseSteps);
  EXPECT_TRUE(state.status.has(status::kModified));
  ASSERT_TRUE(undo(state));
  EXPECT_EQ(state.motion.first()->name, u"block");
}

TEST(BlockProperties, CodesTheListsCannotShowSurviveOkUnlessAnotherIsPicked) {
  MotionBlock branch = blockOf(KindBranch);
  branch.condition = 9;  // as read from a file
  BlockPropertyEntries entries = entriesOf(branch);
  EXPECT_EQ(entries.condition, kNoListEntry);
  ASSERT_TRUE(storeEntries(branch, kBranchBlockDialog, entries).ok);
  EXPECT_EQ(branch.condition, 9);
  entries.condition = CondEqual;
  ASSERT_TRUE(storeEntries(branch, kBranchBlockDialog, entries).ok);
  EXPECT_EQ(branch.condition, CondEqual);

  MotionBlock calculation = blockOf(KindCalcConstant);
  calculation.operation = 200;
  entries = entriesOf(calculation);
  EXPECT_EQ(entries.operation, kNoListEntry);
  ASSERT_TRUE(storeEntries(calculation, kCalculationBlockDialog, entries).ok);
  EXPECT_EQ(calculation.operation, 200);
}

TEST(BlockProperties, DialogsListsLiveValuesAndDetails) {
  EXPECT_EQ(propertyDialogFor(blockOf(KindLoop)), kPoseBlockDialog);
  EXPECT_EQ(propertyDialogFor(blockOf(KindCalcVariable)), kCalculationBlockDialog);
  EXPECT_EQ(propertyDialogFor(blockOf(KindEnd)), 0);
  EXPECT_EQ(conditionTexts().at(7), u"常に非成立");
  EXPECT_EQ(operationTexts().size(), 5u);

  EXPECT_EQ(liveValueText(std::nullopt, true), u"--------");
  EXPECT_EQ(liveValueText(-5, false), u"-5");
  EXPECT_EQ(liveValueText(0x1A5, true), u"10100101");

  ScriptedAnswerer answers;
  for (int c : {1, 2, 4, 5}) EXPECT_EQ(detailDialogFor(c), kThresholdDetailDialog);
  EXPECT_EQ(detailDialogFor(3), kBitMatchDetailDialog);
  for (int c : {0, 6, 7}) EXPECT_EQ(detailDialogFor(c), 0);
  EXPECT_EQ(answers.shownIds(), std::vector<int>(3, kNoDetailsMessage));
}

}  // namespace
}  // namespace kv
