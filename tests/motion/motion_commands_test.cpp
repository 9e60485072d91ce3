#include "motion/motion_commands.h"

#include <gtest/gtest.h>

#include "pose/show_pose.h"
#include "shell/editor_state.h"
#include "shell/text_format.h"
#include "shell/undo_commands.h"
#include "support/scripted_answerer.h"
#include "support/temp_dir.h"

namespace kv {
namespace {

using testing::ScriptedAnswerer;
using testing::TempDir;
using testing::utf16File;
using testing::writeBytes;

class CannedChooser : public MotionFileChooser {
 public:
  std::optional<std::filesystem::path> answer;
  std::vector<int> titles;
  std::vector<std::filesystem::path> folders;
  std::vector<std::filesystem::path> proposed;

  std::optional<std::filesystem::path> chooseOpen(int title, const std::filesystem::path& folder) override {
    titles.push_back(title);
    folders.push_back(folder);
    return answer;
  }
  std::optional<std::filesystem::path> chooseSave(int title, const std::filesystem::path& folder,
                                                  const std::filesystem::path& name) override {
    titles.push_back(title);
    folders.push_back(folder);
    proposed.push_back(name);
    return answer;
  }
};

std::u16string blockLine(std::u16string_view name, int left, int top, int next, int branch) {
  return formatted(u"\r\n_MOTION_INFO:[[%s]]-[%d]-[%d]-[6]-[6]-[%d]-[%d]\r\n", {name, left, top, next, branch});
}

std::u16string poseLine(int steps) {
  return formatted(u"_POSE:[%d]-[0x0005]-[[]]-[1]\r\n", {steps});
}

class MotionFileCommands : public ::testing::Test {
 protected:
  MotionFileCommands() {
    for (PoseSlider& s : state.sliders.sliders) {
      s.lowerLimit = -30000;
      s.upperLimit = 30000;
    }
    state.project.projectFolder = dir.path();
    state.display.motionAreaFont.height = -12;
    state.views.poseChanged = [this] { ++poseChanges; };
    newMotion(state, 400);
  }

  std::filesystem::path file(const std::string& name, std::u16string_view body) {
    writeBytes(dir / name,
               utf16File(u"_MOTION_FORMAT:[ POSEDEF_V1R4 ]\r\n_ENABLE_AXIS:[1]\r\n" + std::u16string(body)));
    return dir / name;
  }

  void markModified() {
    state.motion.currentBlock->pose.steps = 99;
    recordUndo(state);
  }

  bool modified() const { return state.status.has(status::kModified); }

  std::vector<bool> selection() const {
    std::vector<bool> out;
    for (const auto& block : state.motion.blocks) out.push_back(block->selected());
    return out;
  }

  std::vector<std::u16string> names() const {
    std::vector<std::u16string> out;
    for (const auto& block : state.motion.blocks) out.push_back(block->name);
    return out;
  }

  TempDir dir;
  EditorState state;
  CannedChooser chooser;
  ScriptedAnswerer answers;
  int poseChanges = 0;
};

TEST_F(MotionFileCommands, RefusedOrCancelledOpenLeavesTheMotion) {
  markModified();
  const MotionBlock* before = state.motion.first();
  EXPECT_FALSE(openMotionCommand(state, chooser));
  EXPECT_EQ(chooser.titles, std::vector<int>{40065});
  EXPECT_EQ(chooser.folders, std::vector<std::filesystem::path>{dir.path()});

  writeBytes(dir / "bad.txt", utf16File(u"_ENABLE_AXIS:[1]\r\n_MOTION_FORMAT:[ POSEDEF_V1R4 ]\r\n" +
                                        blockLine(u"S", 50, 10, -1, -1) + u"_STARTMOT:\r\n"));
  EXPECT_FALSE(loadMotionFile(state, dir / "bad.txt"));
  EXPECT_FALSE(loadMotionFile(state, dir / "absent.txt"));
  EXPECT_EQ(answers.shownIds(), std::vector<int>{40066});
  EXPECT_EQ(state.motion.first(), before);
  EXPECT_TRUE(state.motion.file.empty());
  EXPECT_TRUE(modified());
  EXPECT_TRUE(state.undo.canUndo());
}

TEST_F(MotionFileCommands, OpenMakesTheFirstPoseOfTheFlowCurrent) {
  markModified();
  // "A" comes first in the list, but the flow reaches "B" first.
  chooser.answer = file("m.txt", blockLine(u"S", 50, 10, 2, -1) + u"_STARTMOT:\r\n" + blockLine(u"A", 50, 60, 3, -1) +
                                     poseLine(11) + blockLine(u"IF", 50, 110, 3, 1) + u"_MIF:[1]-[0]-[0]\r\n" +
                                     blockLine(u"B", 50, 160, -1, -1) + poseLine(77));
  ASSERT_TRUE(openMotionCommand(state, chooser));
  EXPECT_EQ(names(), (std::vector<std::u16string>{u"S", u"A", u"IF", u"B"}));
  ASSERT_NE(state.motion.currentBlock, nullptr);
  EXPECT_EQ(state.motion.currentBlock->name, u"B");
  EXPECT_EQ(currentPose(state).steps, 77);
  EXPECT_EQ(selection(), (std::vector<bool>{false, false, false, false}));
  EXPECT_EQ(state.motion.file, dir / "m.txt");
  EXPECT_FALSE(modified());
  EXPECT_FALSE(state.undo.canUndo());
  EXPECT_GT(poseChanges, 0);

  // A flow that reaches no pose: its blocks stay selected, the first pose is current.
  ASSERT_TRUE(loadMotionFile(state, file("loop.txt", blockLine(u"S", 50, 10, 1, -1) + u"_STARTMOT:\r\n" +
                                                         blockLine(u"C1", 50, 60, 2, -1) + u"_VARCON:[0]-[1]-[2]\r\n" +
                                                         blockLine(u"C2", 50, 110, 1, -1) + u"_VARCON:[0]-[1]-[2]\r\n" +
                                                         blockLine(u"A", 200, 60, -1, -1) + poseLine(12))));
  EXPECT_EQ(state.motion.currentBlock->name, u"A");
  EXPECT_EQ(selection(), (std::vector<bool>{true, true, true, false}));

  // No blocks at all: a new motion under the file's name.
  ASSERT_TRUE(loadMotionFile(state, file("empty.txt", u"")));
  EXPECT_EQ(state.motion.count(), 3);
  EXPECT_TRUE(state.motion.currentBlock && state.motion.currentBlock->isPose());
  EXPECT_EQ(state.motion.file, dir / "empty.txt");
}

TEST_F(MotionFileCommands, SaveAsksForANameOnlyWhenNeeded) {
  markModified();
  // No file yet: Save asks; cancelling changes nothing.
  EXPECT_FALSE(saveMotionCommand(state, chooser, false));
  EXPECT_EQ(chooser.titles, std::vector<int>{40064});
  EXPECT_TRUE(chooser.proposed.at(0).empty());
  EXPECT_TRUE(modified());
  EXPECT_TRUE(state.motion.file.empty());

  chooser.answer = dir / "a.txt";
  ASSERT_TRUE(saveMotionCommand(state, chooser, false));
  EXPECT_EQ(state.motion.file, dir / "a.txt");
  EXPECT_FALSE(modified());
  EXPECT_FALSE(state.undo.canUndo());

  // The file is known now: Save writes without asking, Save As proposes it.
  markModified();
  chooser.answer.reset();
  ASSERT_TRUE(saveMotionCommand(state, chooser, false));
  EXPECT_EQ(chooser.titles.size(), 2u);
  EXPECT_FALSE(modified());
  EXPECT_FALSE(saveMotionCommand(state, chooser, true));
  EXPECT_EQ(chooser.proposed.at(2), dir / "a.txt");
  EXPECT_TRUE(answers.shownIds().empty());
}

TEST_F(MotionFileCommands, FailedSaveIsReportedAndKeepsTheModifiedMark) {
  markModified();
  chooser.answer = dir / "no such folder" / "m.txt";
  EXPECT_FALSE(saveMotionCommand(state, chooser, true));
  ASSERT_EQ(answers.shownIds(), std::vector<int>{49001});
  EXPECT_EQ(answers.shown()[0].icon, MessageIcon::Warning);
  EXPECT_TRUE(modified());
  EXPECT_TRUE(state.undo.canUndo());
  EXPECT_EQ(state.motion.file, dir / "no such folder" / "m.txt");
}

TEST_F(MotionFileCommands, ImportAddsTheFileBlocksSelectedAtTheRightClickPoint) {
  state.motion.currentBlock->flags |= block_flag::kSelected;
  const int count = state.motion.count();
  const std::filesystem::path path =
      file("add.txt", blockLine(u"S", 50, 10, 1, -1) + u"_STARTMOT:\r\n" + blockLine(u"A", 10, 20, 2, -1) +
                          poseLine(5) + blockLine(u"IF", 30, 40, 3, 1) + u"_MIF:[1]-[0]-[0]\r\n" +
                          blockLine(u"E", 50, 90, -1, -1) + u"_ENDMOT:\r\n" + blockLine(u"E2", 90, 90, -1, -1) +
                          u"_ENDMOT:\r\n" + blockLine(u"L", 70, 70, 0, 4) + u"_OLDLOOP:\r\n");

  // Cancelled: the point moves on all the same.
  EXPECT_EQ(importMotionCommand(state, chooser, {100, 200}), (Point{112, 212}));
  EXPECT_EQ(chooser.titles, std::vector<int>{40430});
  EXPECT_EQ(state.motion.count(), count);

  chooser.answer = path;
  ASSERT_EQ(importMotionCommand(state, chooser, {100, 200}), (Point{112, 212}));
  ASSERT_EQ(state.motion.count(), count + 4);
  const MotionBlock* a = state.motion.blocks[count].get();
  const MotionBlock* branch = state.motion.blocks[count + 1].get();
  const MotionBlock* end2 = state.motion.blocks[count + 2].get();
  const MotionBlock* loop = state.motion.blocks[count + 3].get();
  EXPECT_EQ((Point{a->left, a->top}), (Point{122, 232}));
  EXPECT_EQ(a->link[kNextLink], branch);
  EXPECT_EQ(branch->link[kNextLink], nullptr);  // led to the dropped end block
  EXPECT_EQ(branch->link[kBranchLink], a);
  EXPECT_EQ(loop->link[kNextLink], nullptr);  // led to the dropped start block
  EXPECT_EQ(loop->link[kBranchLink], end2);
  EXPECT_EQ(selection(), (std::vector<bool>{false, false, false, true, true, true, true}));
  EXPECT_TRUE(modified());
  EXPECT_EQ(state.undo.stateCount(), 2u);

  // A refused file adds nothing.
  writeBytes(dir / "bad.txt", utf16File(u"_MOTION_FORMAT:[ OTHER ]\r\n"));
  EXPECT_FALSE(importMotionFile(state, dir / "bad.txt", {0, 0}));
  EXPECT_EQ(answers.shownIds(), std::vector<int>{40131});
  EXPECT_EQ(state.motion.count(), count + 4);
}

}  // namespace
}  // namespace kv
