#include "pose/base_poses.h"

#include <gtest/gtest.h>

#include <memory>

#include "pose/show_pose.h"
#include "shell/editor_state.h"
#include "support/scripted_answerer.h"
#include "support/temp_dir.h"

namespace kv {
namespace {

using testing::ScriptedAnswerer;
using testing::TempDir;
using testing::utf16File;
using testing::writeBytes;

BasePose makeEntry(std::u16string name, std::initializer_list<std::pair<int, int16_t>> values, uint32_t servoMask) {
  BasePose entry;
  entry.name = std::move(name);
  entry.valid = true;
  entry.servoMask = servoMask;
  for (auto [slider, value] : values) {
    entry.sliderEnabled[slider] = true;
    entry.values[slider] = value;
  }
  return entry;
}

// An editor with wide slider limits and one pose block being edited.
struct Editor {
  EditorState state;
  int livePoses = 0;
  Editor() {
    for (PoseSlider& s : state.sliders.sliders) {
      s.lowerLimit = -2000;
      s.upperLimit = 2000;
    }
    auto block = std::make_unique<MotionBlock>();
    state.motion.currentBlock = block.get();
    state.motion.blocks.push_back(std::move(block));
    state.views.livePose = [this](const PoseValues&, int) { ++livePoses; };
  }
  PoseValues& pose() { return state.motion.currentBlock->pose; }
};

TEST(BasePoseFile, ReadsEntriesAndAssignsValuesToEnabledSlidersInOrder) {
  TempDir dir;
  writeBytes(dir / "defpos.ini", utf16File(u"MAINDEFPOS_NUM:[1]\r\n\r\n"
                                           u"DEFPOS:[[直立]]\r\n"
                                           u"AXISENABLE:[0,2]\r\n"
                                           u"SERVOENABLE:[101]\r\n"
                                           u"DEFPOS_VALUE:[0x0010,0x0020,0x0030]\r\n\r\n"
                                           u"DEFPOS:[[empty]]\r\n"
                                           u"AXISENABLE:[]\r\n"
                                           u"DEFPOS_VALUE:[]\r\n\r\n"
                                           u"DEFPOS:[[wide]]\r\n"
                                           u"AXISENABLE:[61,62,-1,x,5]\r\n"
                                           u"DEFPOS_VALUE:[0xffff,0x8000]\r\n"));
  BasePoseTable table;
  table.entries[5] = makeEntry(u"stale", {{1, 1}}, 1);
  ASSERT_TRUE(loadBasePoses(dir / "defpos.ini", table));

  EXPECT_EQ(table.current, 1);
  EXPECT_EQ(validBasePoseCount(table), 3);
  const BasePose& first = table.entries[0];
  EXPECT_EQ(first.name, u"直立");
  EXPECT_EQ(first.values[0], 16);
  EXPECT_EQ(first.values[2], 32);
  EXPECT_EQ(first.values[1], 0);  // the third value is dropped, not given to slider 1
  EXPECT_TRUE(first.sliderEnabled[0] && first.sliderEnabled[2] && !first.sliderEnabled[1]);
  EXPECT_EQ(first.servoMask, 0b101u);
  // An empty list enables nothing (it is not slider 0).
  EXPECT_EQ(std::count(table.entries[1].sliderEnabled.begin(), table.entries[1].sliderEnabled.end(), true), 0);
  // Out-of-range and non-numeric items are skipped; values keep their 16-bit pattern.
  const BasePose& wide = table.entries[2];
  EXPECT_EQ(std::count(wide.sliderEnabled.begin(), wide.sliderEnabled.end(), true), 2);
  EXPECT_EQ(wide.values[5], -1);
  EXPECT_EQ(wide.values[61], -32768);
  EXPECT_EQ(table.entries[5], BasePose{});  // cleared before reading

  EXPECT_FALSE(loadBasePoses(dir / "missing.ini", table));
  EXPECT_EQ(validBasePoseCount(table), 0);
}

TEST(BasePoseFile, CurrentNumberOutsideTheTableReadsAsZero) {
  TempDir dir;
  for (const char16_t* number : {u"36", u"40", u"-1"}) {
    writeBytes(dir / "defpos.ini", utf16File(u"MAINDEFPOS_NUM:[" + std::u16string(number) + u"]\r\n"));
    BasePoseTable table;
    table.current = 7;
    ASSERT_TRUE(loadBasePoses(dir / "defpos.ini", table));
    EXPECT_EQ(table.current, 0);
  }
}

TEST(BasePoseFile, LinesOfAnIgnoredThirtySeventhEntryDoNotTouchTheThirtySixth) {
  std::u16string text = u"AXISENABLE:[3]\r\nDEFPOS_VALUE:[0x0099]\r\n";  // before any entry: ignored
  for (int n = 0; n < 37; ++n) {
    text += u"DEFPOS:[[p" + std::u16string(1, static_cast<char16_t>(u'A' + n % 26)) + u"]]\r\n";
    text += n < 36 ? u"AXISENABLE:[1]\r\nSERVOENABLE:[01]\r\nDEFPOS_VALUE:[0x0007]\r\n"
                   : u"AXISENABLE:[4]\r\nSERVOENABLE:[11111]\r\nDEFPOS_VALUE:[0x0055]\r\n";
  }
  TempDir dir;
  writeBytes(dir / "defpos.ini", utf16File(text));
  BasePoseTable table;
  ASSERT_TRUE(loadBasePoses(dir / "defpos.ini", table));
  EXPECT_EQ(validBasePoseCount(table), 36);
  EXPECT_FALSE(table.entries[0].sliderEnabled[3]);
  const BasePose& last = table.entries[35];
  EXPECT_FALSE(last.sliderEnabled[4]);
  EXPECT_EQ(last.values[1], 7);
  EXPECT_EQ(last.servoMask, 0b10u);
}

TEST(BasePoseFile, WritesTheExactFormatAndReadsItBack) {
  TempDir dir;
  BasePoseTable table;
  table.current = 1;
  table.entries[0] = makeEntry(u"Stand", {{0, 16}, {2, -1}, {40, 0x1234}}, 0b101);
  table.entries[1] = makeEntry(u"Empty", {}, 0);
  table.entries[3] = makeEntry(u"after a gap", {{1, 1}}, 0);  // not reached
  ASSERT_TRUE(saveBasePoses(dir / "medit_defpos.ini", table));
  EXPECT_EQ(testing::readBytes(dir / "medit_defpos.ini"),
            utf16File(u"MAINDEFPOS_NUM:[1]\r\n\r\n"
                      u"DEFPOS:[[Stand]]\r\n"
                      u"AXISENABLE:[0,2,40]\r\n"
                      u"SERVOENABLE:[101000000000000000000000000000]\r\n"
                      u"DEFPOS_VALUE:[0x0010,0xffff,0x1234]\r\n"
                      u"\r\n"
                      u"DEFPOS:[[Empty]]\r\n"
                      u"AXISENABLE:[]\r\n"
                      u"SERVOENABLE:[000000000000000000000000000000]\r\n"
                      u"DEFPOS_VALUE:[]\r\n"
                      u"\r\n"));
  BasePoseTable read;
  ASSERT_TRUE(loadBasePoses(dir / "medit_defpos.ini", read));
  table.entries[3] = BasePose{};
  EXPECT_EQ(read.entries, table.entries);
  EXPECT_EQ(read.current, 1);
}

TEST(ApplyBasePose, SetsEnabledSlidersZeroesTheRestAndTakesServoBitsOfEnabledOnes) {
  Editor editor;
  editor.state.basePoses.entries[0] = makeEntry(u"a", {}, 0);
  editor.state.basePoses.entries[1] = makeEntry(u"b", {{0, 100}, {1, -50}}, 0b01);
  editor.pose().values[5] = -300;
  editor.pose().servoMask = 0b110;
  ASSERT_TRUE(applyBasePose(editor.state, 1));
  EXPECT_EQ(editor.state.basePoses.current, 1);
  EXPECT_EQ(editor.pose().values[1], -50);
  EXPECT_EQ(editor.pose().values[5], 0);
  EXPECT_EQ(editor.pose().servoMask, 0b101u);  // bit 1 from the base pose, bit 2 kept
  EXPECT_EQ(editor.livePoses, 1);

  editor.pose().values[0] = 5;
  ASSERT_TRUE(applyBasePose(editor.state, -1));  // the current one again
  EXPECT_EQ(editor.pose().values[0], 100);
}

TEST(ApplyBasePose, InvalidOrOutOfRangeEntriesChangeNothingAndSendNothing) {
  Editor editor;
  editor.state.basePoses.entries[0] = makeEntry(u"a", {{0, 100}}, 0);
  editor.pose().values[3] = 250;
  for (int n : {1, 35, 36, -2}) EXPECT_FALSE(applyBasePose(editor.state, n)) << n;
  editor.state.basePoses.current = 4;  // names no valid entry
  EXPECT_FALSE(applyBasePose(editor.state, -1));
  EXPECT_EQ(editor.pose().values[3], 250);
  EXPECT_EQ(editor.livePoses, 0);
  EXPECT_FALSE(editor.state.status.has(status::kModified));
}

TEST(ApplyBasePose, SelectedOnlyOptionLimitsTheChangeToTheSelectedSliders) {
  Editor editor;
  editor.state.basePoses.entries[0] = makeEntry(u"a", {{0, 10}, {1, 20}, {2, 30}}, 0b111);
  editor.state.sliders.sliders[0].displayFlags |= kSliderSelected;
  editor.state.sliders.sliders[2].displayFlags |= kSliderSelected;
  editor.state.status.set(status::kBasePoseSelectedOnly, true);
  ASSERT_TRUE(applyBasePose(editor.state, 0));
  EXPECT_EQ(editor.pose().values[0], 10);
  EXPECT_EQ(editor.pose().values[1], 0);
  EXPECT_EQ(editor.pose().values[2], 30);
  EXPECT_EQ(editor.pose().servoMask, 0b101u);
}

TEST(BasePoseMenu, ListsValidEntriesAndChoosingOneKeepsTheNumberInTheFile) {
  TempDir dir;
  Editor editor;
  EXPECT_EQ(basePoseMenu(editor.state.basePoses),
            (std::vector<BasePoseMenuItem>{{0, u"(基準ポーズが登録されていません)", false, false}}));
  editor.state.basePoses.entries[0] = makeEntry(u"a", {{0, 1}}, 0);
  editor.state.basePoses.entries[1] = makeEntry(u"b", {{0, 2}}, 0);
  EXPECT_FALSE(chooseBasePoseCommand(editor.state, 40120, dir / "medit_defpos.ini"));  // no entry 2
  ASSERT_TRUE(chooseBasePoseCommand(editor.state, 40119, dir / "medit_defpos.ini"));
  EXPECT_EQ(basePoseMenu(editor.state.basePoses),
            (std::vector<BasePoseMenuItem>{{40118, u"a", false, true}, {40119, u"b", true, true}}));
  BasePoseTable saved;
  ASSERT_TRUE(loadBasePoses(dir / "medit_defpos.ini", saved));
  EXPECT_EQ(saved.current, 1);
}

BasePoseTable lettered(int count, int current) {
  BasePoseTable table;
  for (int n = 0; n < count; ++n) table.entries[n] = makeEntry(std::u16string(1, char16_t(u'a' + n)), {}, 0);
  table.current = current;
  return table;
}

TEST(BasePoseWorkingCopy, RegisterInsertsBeforeTheSelectionOrAppendsAndWarnsWhenFull) {
  ScriptedAnswerer answers;
  SliderTable sliders;
  PoseValues pose;
  pose.values[50] = -3;
  BasePoseTable work = lettered(2, 1);
  EXPECT_EQ(registerBasePose(work, u"end", -1, sliders, pose), 2);
  EXPECT_EQ(registerBasePose(work, u"mid", 1, sliders, pose), 1);
  EXPECT_EQ(work.entries[1].name, u"mid");
  EXPECT_EQ(work.entries[1].values[50], -3);
  EXPECT_EQ(work.entries[3].name, u"end");
  EXPECT_EQ(work.entries[work.current].name, u"b");  // the current number follows its pose

  work = lettered(kBasePoseCount, 0);
  EXPECT_EQ(registerBasePose(work, u"one too many", 0, sliders, pose), -1);
  EXPECT_EQ(answers.shownIds(), std::vector<int>{40140});
  EXPECT_EQ(answers.shown()[0].icon, MessageIcon::Warning);
  EXPECT_EQ(work.entries, lettered(kBasePoseCount, 0).entries);
}

TEST(BasePoseWorkingCopy, DeletingKeepsTheCurrentPoseAndApplyAsksFirst) {
  ScriptedAnswerer answers;
  TempDir dir;
  BasePoseTable table = lettered(4, 3);
  BasePoseTable work = table;
  EXPECT_EQ(deleteBasePoses(work, {0, 2, 9}), 2);
  EXPECT_EQ(validBasePoseCount(work), 2);
  EXPECT_EQ(work.entries[3], BasePose{});

  answers.answerNext(MessageAnswer::No);
  EXPECT_FALSE(applyBasePoseTable(table, work, dir / "medit_defpos.ini"));
  EXPECT_EQ(validBasePoseCount(table), 4);
  EXPECT_FALSE(std::filesystem::exists(dir / "medit_defpos.ini"));
  answers.answerNext(MessageAnswer::Yes);
  ASSERT_TRUE(applyBasePoseTable(table, work, dir / "medit_defpos.ini"));
  EXPECT_EQ(table.entries[table.current].name, u"d");
  EXPECT_TRUE(std::filesystem::exists(dir / "medit_defpos.ini"));
}

}  // namespace
}  // namespace kv
