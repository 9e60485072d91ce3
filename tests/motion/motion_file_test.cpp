#include "motion/motion_file.h"

#include <gtest/gtest.h>

#include <unordered_map>

#include "motion/motion.h"
#include "pose/base_poses.h"
#include "pose/slider_table.h"
#include "shell/app_status.h"
#include "shell/text_encoding.h"
#include "shell/text_format.h"
#include "support/scripted_answerer.h"
#include "support/temp_dir.h"

namespace kv {
namespace {

using testing::ScriptedAnswerer;
using testing::TempDir;
using testing::readBytes;
using testing::utf16File;
using testing::writeBytes;

struct Project {
  SliderTable sliders;
  BasePoseTable basePoses;
  VoiceTable voices;

  Project() {
    for (PoseSlider& s : sliders.sliders) {
      s.lowerLimit = -30000;
      s.upperLimit = 30000;
    }
    BasePose& base = basePoses.entries[0];
    base.valid = true;
    base.sliderEnabled.fill(true);
    for (int i = 0; i < kSliderCount; ++i) base.values[i] = static_cast<int16_t>(100 + i);
  }

  MotionFileContext context(uint32_t bits = 0, VoiceSettings voice = {}) const {
    return MotionFileContext{.sliders = sliders, .basePoses = basePoses, .statusBits = bits, .fontHeight = -12,
                             .voice = voice};
  }
};

std::u16string v1r4(std::u16string_view body, std::u16string_view axes = u"62") {
  return formatted(u"_MOTION_FORMAT:[ POSEDEF_V1R4 ]\r\n_ENABLE_AXIS:[%s]\r\n", {axes}) + std::u16string(body);
}

std::u16string blockLine(std::u16string_view name, int left, int top, int next, int branch) {
  return formatted(u"\r\n_MOTION_INFO:[[%s]]-[%d]-[%d]-[6]-[6]-[%d]-[%d]\r\n", {name, left, top, next, branch});
}

std::u16string poseLine(std::u16string_view values, std::u16string_view voice = u"", int steps = 50) {
  return formatted(u"_POSE:[%d]-[%s]-[[%s]]-[111000000000000000000000000001]\r\n", {steps, values, voice});
}

MotionFileRead readText(const TempDir& dir, std::u16string_view text, const MotionFileContext& context) {
  writeBytes(dir / "m.txt", utf16File(text));
  return readMotionFile(dir / "m.txt", context);
}

const MotionBlock* named(const BlockList& blocks, std::u16string_view name) {
  for (const auto& block : blocks)
    if (block->name == name) return block.get();
  return nullptr;
}

std::u16string fileText(const std::filesystem::path& path) {
  std::string bytes = readBytes(path);
  std::u16string text;
  for (size_t i = 2; i + 1 < bytes.size(); i += 2)
    text.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                         (static_cast<unsigned char>(bytes[i + 1]) << 8)));
  return text;
}

TEST(MotionFile, FormatLineDecidesBeforeAnyBlockIsRead) {
  TempDir dir;
  Project project;
  ScriptedAnswerer answers;
  const std::u16string blocks = blockLine(u"S", 50, 10, 1, -1) + u"_STARTMOT:\r\n" + blockLine(u"E", 50, 60, -1, -1) +
                                u"_ENDMOT:\r\n";

  // The format line must be the first line.
  MotionFileRead late =
      readText(dir, u"_ENABLE_AXIS:[62]\r\n_MOTION_FORMAT:[ POSEDEF_V1R4 ]\r\n" + blocks, project.context());
  EXPECT_EQ(late.status, MotionFileStatus::NoFormat);
  EXPECT_TRUE(late.blocks.empty());
  EXPECT_FALSE(reportMotionFileStatus(late.status));

  MotionFileRead unknown = readText(dir, u"_MOTION_FORMAT:[ POSEDEF_V2R0 ]\r\n" + blocks, project.context());
  EXPECT_EQ(unknown.status, MotionFileStatus::Unsupported);
  EXPECT_FALSE(reportMotionFileStatus(unknown.status));

  ASSERT_EQ(answers.shownIds(), (std::vector<int>{40066, 40131}));
  EXPECT_EQ(answers.shown()[1].icon, MessageIcon::Warning);

  // Blanks inside the brackets do not matter.
  MotionFileRead tight = readText(dir, u"_MOTION_FORMAT:[POSEDEF_V1R4]\r\n" + blocks, project.context());
  EXPECT_EQ(tight.status, MotionFileStatus::Read);
  EXPECT_EQ(tight.blocks.size(), 2u);

  EXPECT_EQ(readMotionFile(dir / "absent.txt", project.context()).status, MotionFileStatus::CannotOpen);
  EXPECT_EQ(answers.shownIds().size(), 2u);
}

// One line per block with every field the file keeps; links as list positions.
std::vector<std::string> snapshot(const BlockList& blocks) {
  std::unordered_map<const MotionBlock*, int> position{{nullptr, -1}};
  for (size_t i = 0; i < blocks.size(); ++i) position[blocks[i].get()] = static_cast<int>(i);
  std::vector<std::string> lines;
  for (const auto& b : blocks) {
    std::string line = utf16ToUtf8(b->name);
    for (int v : {b->kind, b->left, b->top, b->routeOffset[0], b->routeOffset[1], position.at(b->link[0]),
                  position.at(b->link[1]), int{b->condition}, int{b->testVar}, int{b->testValue},
                  int{b->operation}, int{b->resultVar}, int{b->constant}, int{b->sourceVar}})
      line += " " + std::to_string(v);
    if (b->isPose()) {
      line += " " + std::to_string(b->pose.steps) + " " + utf16ToUtf8(b->pose.voiceFile) + " " +
              std::to_string(b->pose.servoMask);
      for (int16_t v : b->pose.values) line += " " + std::to_string(v);
    }
    lines.push_back(line);
  }
  return lines;
}

// Every kind and field, names and voice files holding key texts included,
// and codes outside the condition and operation tables come back as written.
TEST(MotionFile, WriteThenReadGivesTheSameBlocks) {
  TempDir dir;
  Project project;
  project.sliders.sliders[5].behaviourFlags = kSliderDisabled;
  project.voices.files[0] = u"hello.wav";
  project.voices.files[1] = u"_MOTION_INFO:.wav";
  project.voices.used[0] = project.voices.used[1] = true;
  const VoiceSettings voice{.voiceSlider = 61, .voices = &project.voices};

  BlockList blocks;
  auto add = [&](int kind, std::u16string name, int left, int top) {
    blocks.push_back(std::make_unique<MotionBlock>());
    MotionBlock* block = blocks.back().get();
    block->kind = kind;
    block->name = std::move(name);
    block->left = left;
    block->top = top;
    if (blocks.size() > 1) blocks[blocks.size() - 2]->link[kNextLink] = block;
    return block;
  };
  add(KindStart, u"", 50, 10);
  MotionBlock* pose0 = add(KindPose, u"POSE 0", 50, 58);
  MotionBlock* branch = add(KindBranch, u"x_POSE:y", 50, 120);
  MotionBlock* calc = add(KindCalcConstant, u"_MOTION_INFO:", 50, 180);
  MotionBlock* calcVar = add(KindCalcVariable, u"右腕を上げる", 200, 180);
  MotionBlock* loop = add(KindLoop, u"BREAK POINT 0", 200, 240);
  MotionBlock* pose1 = add(KindPose, u"_STARTMOT:", 350, 58);
  add(KindEnd, u"   END   ", 50, 2000);
  branch->link[kBranchLink] = loop;
  calcVar->link[kNextLink] = nullptr;  // an open link
  loop->link[kBranchLink] = pose0;
  loop->routeOffset = {16, 46};
  pose0->pose.steps = 70;
  for (int i = 0; i < kSliderCount; ++i) pose0->pose.values[i] = static_cast<int16_t>(i * 977 - 30000);
  pose0->pose.values[1] = -1;
  pose0->pose.values[5] = 1234;
  pose0->pose.values[61] = 1;  // the voice slider carries slot 0 + 1
  pose0->pose.voiceFile = u"hello.wav";
  pose0->pose.servoMask = 0x2AAAAAAA;
  pose1->pose.steps = 0;
  pose1->pose.values[61] = 2;
  pose1->pose.voiceFile = u"_MOTION_INFO:.wav";
  pose1->pose.servoMask = kServoMaskBits;
  branch->condition = 9;
  branch->testVar = 200;
  branch->testValue = -1234;
  calc->operation = 7;
  calc->resultVar = 255;
  calc->constant = -32768;
  calcVar->operation = OpDivide;
  calcVar->sourceVar = 254;

  ScriptedAnswerer answers;
  ASSERT_TRUE(writeMotionFile(dir / "m.txt", blocks, project.context(0, voice)));
  const std::u16string text = fileText(dir / "m.txt");
  EXPECT_EQ(text.find(u"_MOTION_FORMAT:[ POSEDEF_V1R4 ]\r\n_ENABLE_AXIS:[62]\r\n\r\n"
                      u"_MOTION_INFO:[[]]-[50]-[10]-[6]-[6]-[1]-[-1]\r\n_STARTMOT:\r\n\r\n"
                      u"_MOTION_INFO:[[POSE 0]]-[50]-[58]-[6]-[6]-[2]-[-1]\r\n_POSE:[70]-[0x8ad0,0xffff,"),
            0u);
  EXPECT_NE(text.find(u",0X04d2,"), std::u16string::npos);  // slider 5 is disabled
  EXPECT_NE(text.find(u"-[[hello.wav]]-[010101010101010101010101010101]\r\n"), std::u16string::npos);
  EXPECT_NE(text.find(u"_MIF:[9]-[200]-[-1234]\r\n"), std::u16string::npos);

  MotionFileRead read = readMotionFile(dir / "m.txt", project.context(0, voice));
  ASSERT_EQ(read.status, MotionFileStatus::Read);
  EXPECT_TRUE(answers.shownIds().empty());
  EXPECT_EQ(snapshot(read.blocks), snapshot(blocks));
  EXPECT_EQ(read.blocks[1]->pose.nextIndex, 2);  // indices name list positions after reading
}

// A second start block is dropped only after every link was resolved in file
// order, so the links after it still reach their own blocks.
TEST(MotionFile, SecondStartBlockIsDroppedAfterLinksAreResolved) {
  TempDir dir;
  Project project;
  MotionFileRead read = readText(dir,
                                 v1r4(blockLine(u"S", 50, 10, 1, -1) + u"_STARTMOT:\r\n" +         // 0
                                      blockLine(u"A", 50, 60, 3, -1) + poseLine(u"0x0001") +       // 1
                                      blockLine(u"S2", 50, 110, 1, -1) + u"_STARTMOT:\r\n" +       // 2
                                      blockLine(u"D", 50, 160, 4, -1) + poseLine(u"0x0002") +      // 3
                                      blockLine(u"E", 50, 210, -1, -1) + u"_ENDMOT:\r\n" +         // 4
                                      blockLine(u"IF", 200, 60, 4, 2) + u"_MIF:[1]-[2]-[3]\r\n"),  // 5
                                 project.context());
  ASSERT_EQ(read.blocks.size(), 5u);
  EXPECT_EQ(named(read.blocks, u"S2"), nullptr);
  const MotionBlock* a = named(read.blocks, u"A");
  const MotionBlock* d = named(read.blocks, u"D");
  const MotionBlock* e = named(read.blocks, u"E");
  const MotionBlock* branch = named(read.blocks, u"IF");
  ASSERT_TRUE(a && d && e && branch);
  EXPECT_EQ(read.blocks[0]->name, u"S");
  EXPECT_EQ(read.blocks[0]->link[kNextLink], a);
  EXPECT_EQ(a->link[kNextLink], d);
  EXPECT_EQ(d->link[kNextLink], e);
  EXPECT_EQ(branch->link[kNextLink], e);
  EXPECT_EQ(branch->link[kBranchLink], nullptr);  // it led to the dropped start block
  EXPECT_EQ(a->pose.nextIndex, 2);                // indices name list positions now
}

// The start block's record moves to the front; the other blocks keep their
// contents and their links.
TEST(MotionFile, StartBlockMovesToTheFrontWithItsLinks) {
  TempDir dir;
  Project project;
  MotionFileRead read = readText(dir,
                                 v1r4(blockLine(u"P0", 50, 60, 2, -1) + poseLine(u"0x0007,0x0008", u"", 33) +
                                          blockLine(u"S", 50, 10, 0, -1) + u"_STARTMOT:\r\n" +
                                          blockLine(u"E", 50, 210, -1, -1) + u"_ENDMOT:\r\n" +
                                          blockLine(u"X", 200, 60, 0, -1) + u"_VARCON:[1]-[5]-[-2]\r\n",
                                      u"2"),
                                 project.context());
  ASSERT_EQ(read.blocks.size(), 4u);
  const MotionBlock& start = *read.blocks[0];
  const MotionBlock& pose = *read.blocks[1];
  EXPECT_EQ(start.name + u"," + pose.name + u"," + read.blocks[2]->name + u"," + read.blocks[3]->name, u"S,P0,E,X");
  EXPECT_EQ(start.kind, KindStart);
  EXPECT_EQ(start.link[kNextLink], &pose);
  EXPECT_EQ(pose.kind, KindPose);
  EXPECT_EQ(pose.top, 60);
  EXPECT_EQ(pose.pose.steps, 33);
  EXPECT_EQ(pose.pose.values[1], 8);
  EXPECT_EQ(pose.link[kNextLink], read.blocks[2].get());
  EXPECT_EQ(read.blocks[3]->link[kNextLink], &pose);
}

TEST(MotionFile, LinksOutsideTheListOrToTheBlockItselfAreOpen) {
  TempDir dir;
  Project project;
  MotionFileRead read = readText(dir,
                                 v1r4(blockLine(u"S", 50, 10, 1, -1) + u"_STARTMOT:\r\n" +
                                      blockLine(u"IF", 50, 60, -5, 99) + u"_MIF:[1]-[2]-[3]\r\n" +
                                      blockLine(u"L", 50, 110, 2, 3) + u"_OLDLOOP:\r\n" +
                                      blockLine(u"P", 50, 160, 70000, 1) + poseLine(u"0x0000") +
                                      u"\r\n_MOTION_INFO:[[M]]-[50]-[210]\r\n_OLDLOOP:\r\n"),
                                 project.context());
  ASSERT_EQ(read.blocks.size(), 5u);
  // Missing index fields are open links, not links to the first block.
  EXPECT_EQ(read.blocks[4]->link, (std::array<MotionBlock*, 2>{nullptr, nullptr}));
  EXPECT_EQ(read.blocks[1]->link, (std::array<MotionBlock*, 2>{nullptr, nullptr}));
  EXPECT_EQ(read.blocks[2]->link[kNextLink], nullptr);
  EXPECT_EQ(read.blocks[2]->link[kBranchLink], read.blocks[3].get());
  // 70000 does not wrap round to a position in the list.
  EXPECT_EQ(read.blocks[3]->link[kNextLink], nullptr);
  EXPECT_EQ(read.blocks[3]->link[kBranchLink], read.blocks[1].get());
}

// Key texts inside string fields are part of a name or a voice file, never keys.
TEST(MotionFile, KeyTextsInsideNamesDoNotChangeTheLine) {
  TempDir dir;
  Project project;
  MotionFileRead read = readText(dir,
                                 v1r4(blockLine(u"_STARTMOT:", 50, 10, 1, -1) +  // no kind line: a pose
                                      blockLine(u"x_POSE:y", 50, 60, 2, -1) +    // likewise
                                      blockLine(u"S", 50, 110, 0, -1) + u"_STARTMOT:\r\n" +
                                      blockLine(u"P", 50, 160, -1, -1) + poseLine(u"0x0001", u"_MOTION_INFO:x") +
                                      blockLine(u"_ENDMOT:", 50, 210, -1, -1)),
                                 project.context());
  ASSERT_EQ(read.blocks.size(), 5u);
  EXPECT_EQ(read.blocks[0]->name, u"S");
  EXPECT_EQ(read.blocks[0]->link[kNextLink], named(read.blocks, u"_STARTMOT:"));
  for (std::u16string_view name : {u"_STARTMOT:", u"x_POSE:y", u"_ENDMOT:"}) {
    const MotionBlock* block = named(read.blocks, name);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(block->kind, KindPose);
    EXPECT_EQ(block->pose.steps, 0);
  }
  EXPECT_EQ(named(read.blocks, u"P")->pose.values[0], 1);
}

TEST(MotionFile, FileWithoutStartBlockGetsOneAndItsBlocksMoveDown) {
  TempDir dir;
  Project project;
  MotionFileRead read =
      readText(dir, v1r4(blockLine(u"A", 50, 58, 1, -1) + poseLine(u"0x0000") + blockLine(u"E", 70, 200, -1, -1) +
                         u"_ENDMOT:\r\n"),
               project.context());
  ASSERT_EQ(read.blocks.size(), 3u);
  const MotionBlock& start = *read.blocks[0];
  EXPECT_EQ(start.kind, KindStart);
  EXPECT_EQ((Point{start.left, start.top}), (Point{50, 10}));
  EXPECT_EQ(start.link[kNextLink], read.blocks[1].get());
  EXPECT_EQ(read.blocks[1]->top, 58 + 12 + 25);
  EXPECT_EQ(read.blocks[2]->top, 200 + 12 + 25);

  MotionFileRead empty = readText(dir, v1r4(u""), project.context());
  EXPECT_EQ(empty.status, MotionFileStatus::Read);
  EXPECT_TRUE(empty.blocks.empty());
}

// "0X": the slider was disabled when the file was saved.
TEST(MotionFile, ValuesOfSlidersDisabledAtSavingFollowTheChosenSetting) {
  TempDir dir;
  Project project;
  project.sliders.sliders[1].lowerLimit = -100;
  project.sliders.sliders[1].upperLimit = 100;
  project.sliders.sliders[3].behaviourFlags = kSliderDisabled;  // disabled now as well
  const std::u16string text =
      v1r4(blockLine(u"S", 50, 10, 1, -1) + u"_STARTMOT:\r\n" + blockLine(u"A", 50, 60, 2, -1) +
               poseLine(u"0X0010,0x8000,0X0020,0X0030") + blockLine(u"B", 50, 110, -1, -1) +
               poseLine(u"0X0011,0x7fff,0x0021,0X0031"),
           u"4");
  struct Case {
    uint32_t bits;
    std::vector<MessageAnswer> script;
    std::vector<int> asked;
    bool replaced;
  };
  const uint32_t ask = status::kUnknownAxisAsk, keep = status::kUnknownAxisKeep;
  for (const Case& c : {Case{ask, {MessageAnswer::Yes}, {40220}, true},
                        Case{ask, {MessageAnswer::No}, {40220}, false},
                        Case{keep, {}, {}, false},
                        Case{ask | keep, {}, {}, true},
                        Case{0, {}, {}, true}}) {
    SCOPED_TRACE(c.bits);
    ScriptedAnswerer answers;
    for (MessageAnswer a : c.script) answers.answerNext(a);
    MotionFileRead read = readText(dir, text, project.context(c.bits));
    ASSERT_EQ(read.blocks.size(), 3u);
    EXPECT_EQ(answers.shownIds(), c.asked);
    const PoseValues& a = read.blocks[1]->pose;
    const PoseValues& b = read.blocks[2]->pose;
    EXPECT_EQ(a.values[0], c.replaced ? 100 : 0x10);
    EXPECT_EQ(a.values[2], c.replaced ? 102 : 0x20);
    EXPECT_EQ(b.values[0], c.replaced ? 100 : 0x11);
    EXPECT_EQ(b.values[2], 0x21);
    // Disabled now: the digits as they are, whatever the setting.
    EXPECT_EQ(a.values[3], 0x30);
    EXPECT_EQ(b.values[3], 0x31);
    // 0x8000 is -32768, then clamped like every value.
    EXPECT_EQ(a.values[1], -100);
    EXPECT_EQ(b.values[1], 100);
    if (!c.asked.empty()) {
      EXPECT_EQ(answers.shown()[0].buttons, MessageButtons::YesNo);
    }
  }
}

TEST(MotionFile, VoiceFilesAreCheckedAndNumbered) {
  TempDir dir;
  Project project;
  project.voices.files[3] = u"used.wav";
  project.voices.used[3] = true;
  project.voices.files[4] = u"unused.wav";
  project.voices.used[4] = false;
  project.voices.files[5] = u"unused.wav";  // a second, also unused entry: one warning
  const std::u16string text =
      v1r4(blockLine(u"S", 50, 10, 1, -1) + u"_STARTMOT:\r\n" + blockLine(u"A", 50, 60, -1, -1) +
           poseLine(u"0x0000", u"used.wav") + blockLine(u"B", 50, 110, -1, -1) + poseLine(u"0x0000", u"unused.wav") +
           blockLine(u"C", 50, 160, -1, -1) + poseLine(u"0x0000", u"Used.wav") + blockLine(u"D", 50, 210, -1, -1) +
           poseLine(u"0x0000", u""),
           u"62");
  const VoiceSettings voice{.voiceSlider = 0, .voices = &project.voices};
  {
    ScriptedAnswerer answers;
    MotionFileRead read = readText(dir, text, project.context(0, voice));
    ASSERT_EQ(read.blocks.size(), 5u);
    ASSERT_EQ(answers.shownIds(), (std::vector<int>{40219, 40218}));
    EXPECT_NE(answers.shown()[0].text.find(u"'unused.wav'"), std::u16string::npos);
    EXPECT_NE(answers.shown()[1].text.find(u"'Used.wav'"), std::u16string::npos);  // names match case-sensitively
    EXPECT_EQ(read.blocks[1]->pose.voiceFile, u"used.wav");
    EXPECT_EQ(read.blocks[1]->pose.values[0], 4);
    EXPECT_EQ(read.blocks[2]->pose.values[0], 5);
    EXPECT_EQ(read.blocks[3]->pose.values[0], 0);
  }
  {
    ScriptedAnswerer answers;
    readText(dir, text, project.context(status::kCollectVoiceWarnings, voice));
    EXPECT_EQ(answers.shownIds(), (std::vector<int>{40218}));
  }
}

// Until the project's voice table is loaded, a motion keeps the voice texts
// of its poses through opening and saving, in both formats.
TEST(MotionFile, VoiceTextsAreKeptWithoutAVoiceTable) {
  TempDir dir;
  Project project;
  ScriptedAnswerer answers;
  MotionFileRead read =
      readText(dir,
               v1r4(blockLine(u"S", 50, 10, 1, -1) + u"_STARTMOT:\r\n" + blockLine(u"A", 50, 60, 2, -1) +
                    poseLine(u"0x0000", u"voice\\hello 1.wav") + blockLine(u"B", 50, 110, -1, -1) +
                    poseLine(u"0x0000", u"")),
               project.context());
  ASSERT_EQ(read.blocks.size(), 3u);
  EXPECT_EQ(read.blocks[1]->pose.voiceFile, u"voice\\hello 1.wav");
  EXPECT_EQ(read.blocks[1]->pose.values[61], 0);  // no voice slider is numbered
  ASSERT_TRUE(writeMotionFile(dir / "saved.txt", read.blocks, project.context()));
  const std::u16string saved = fileText(dir / "saved.txt");
  EXPECT_NE(saved.find(u"]-[[voice\\hello 1.wav]]-[111"), std::u16string::npos);
  EXPECT_NE(saved.find(u"]-[[]]-[111"), std::u16string::npos);

  writeBytes(dir / "old.txt", utf16File(u"_MOTION_FORMAT:[ POSEDEF_WORD_N ]\r\n_ENABLE_AXIS:[1]\r\n"
                                        u"_POSE:[30]-[0x0001]-[-1]-[-1]-[[wave.wav]]-[11]\r\n"));
  MotionFileRead older = readMotionFile(dir / "old.txt", project.context());
  ASSERT_EQ(older.blocks.size(), 3u);
  EXPECT_EQ(older.blocks[2]->pose.voiceFile, u"wave.wav");
  EXPECT_TRUE(answers.shown().empty());
}

std::u16string wordNPose(int next, int brk) {
  return formatted(u"_POSE:[30]-[0x0001,0x0002]-[%d]-[%d]-[[]]-[11]\r\n", {next, brk});
}

TEST(MotionFileWordN, PosesBecomeAFlowWithBreakPoints) {
  TempDir dir;
  Project project;
  MotionFileRead read = readText(dir,
                                 u"_MOTION_FORMAT:[ POSEDEF_WORD_N ]\r\n_ENABLE_AXIS:[2]\r\n" + wordNPose(1, -1) +
                                     wordNPose(2, 3) + wordNPose(3, -1) + wordNPose(-1, -1) + wordNPose(7, 0),
                                 project.context());
  ASSERT_EQ(read.status, MotionFileStatus::Read);
  const BlockList& blocks = read.blocks;
  ASSERT_EQ(blocks.size(), 9u);
  const MotionBlock* start = blocks[0].get();
  const MotionBlock* end = blocks[1].get();
  EXPECT_EQ(start->kind, KindStart);
  EXPECT_EQ(end->kind, KindEnd);
  const MotionBlock* pose[5];
  for (int i = 0; i < 5; ++i) {
    pose[i] = named(blocks, formatted(u"POSE %d", {i}));
    ASSERT_NE(pose[i], nullptr);
    EXPECT_EQ(pose[i]->pose.steps, 30);
    EXPECT_EQ(pose[i]->pose.values[1], 2);
    EXPECT_EQ(pose[i]->pose.servoMask, 3u);
  }
  const MotionBlock* loop0 = named(blocks, u"BREAK POINT 0");
  const MotionBlock* loop1 = named(blocks, u"BREAK POINT 1");
  ASSERT_TRUE(loop0 && loop1);
  EXPECT_EQ(loop0->kind, KindLoop);

  EXPECT_EQ(start->link[kNextLink], pose[0]);
  EXPECT_EQ(pose[0]->link[kNextLink], pose[1]);
  EXPECT_EQ(pose[0]->link[kBranchLink], end);
  EXPECT_EQ(pose[1]->link[kNextLink], loop0);
  EXPECT_EQ(loop0->link[kNextLink], pose[2]);
  EXPECT_EQ(loop0->link[kBranchLink], pose[3]);
  EXPECT_EQ(pose[3]->link[kNextLink], end);
  EXPECT_EQ(pose[4]->link[kNextLink], loop1);
  EXPECT_EQ(loop1->link[kNextLink], nullptr);  // pose 7 does not exist
  EXPECT_EQ(loop1->link[kBranchLink], pose[0]);

  // Rows 56 apart from 10 + 56 * 2 / 3; a break point takes the row below its pose.
  EXPECT_EQ(pose[0]->top, 47);
  EXPECT_EQ(pose[1]->top, 103);
  EXPECT_EQ(loop0->top, 159);
  EXPECT_EQ(pose[2]->top, 215);
  EXPECT_EQ(loop1->top, 383);
  EXPECT_EQ(end->top, 439);
  EXPECT_EQ(end->left, 50);
  EXPECT_EQ(loop0->routeOffset, (std::array<int32_t, 2>{16, 46}));
  EXPECT_EQ(loop1->routeOffset, (std::array<int32_t, 2>{25, 55}));
}

}  // namespace
}  // namespace kv
