#include "motion/ui/motion_command_set.h"

#include "motion/block_editing.h"
#include "motion/motion_commands.h"
#include "motion/ui/block_property_dialogs.h"
#include "motion/ui/motion_area.h"
#include "motion/ui/motion_file_dialogs.h"
#include "pose/pose_operations.h"
#include "pose/ui/pose_area.h"
#include "shell/ui/main_window.h"
#include "shell/undo_commands.h"

namespace kv {

void addMotionCommands(MainWindow& window, EditorState& state) {
  using command::Menu;
  namespace c = command;
  c::CommandRegistry& commands = window.commands();
  MainWindow* w = &window;
  EditorState* s = &state;

  // Motion files.
  commands.add({.id = c::kNewMotion, .caption = "新規(&N)", .keys = {QKeySequence("Ctrl+N")}, .place = {Menu::File, 100}},
               [w, s] {
                 if (w->askSaveChanges() == MessageAnswer::Cancel) return;
                 newMotion(*s, w->motionArea()->clientHeight());
                 w->motionReplaced();
               });
  commands.add(
      {.id = c::kOpenMotion, .caption = "開く(&O)...", .keys = {QKeySequence("Ctrl+O")}, .place = {Menu::File, 110}},
      [w, s] {
        if (w->askSaveChanges() == MessageAnswer::Cancel) return;
        MotionFileDialogs dialogs(w);
        if (openMotionCommand(*s, dialogs, w->motionFileOptions())) w->motionReplaced();
      });
  commands.add(
      {.id = c::kSaveMotion, .caption = "上書き保存(&S)", .keys = {QKeySequence("Ctrl+S")}, .place = {Menu::File, 120}},
      [w] { w->saveMotion(false); });
  commands.add({.id = c::kSaveMotionAs, .caption = "名前を付けて保存(&A)...", .place = {Menu::File, 130}},
               [w] { w->saveMotion(true); });
  commands.add({.id = c::kImportMotion, .caption = "モーションファイルのインポート", .place = {Menu::File, 200}}, [w, s] {
    MotionFileDialogs dialogs(w);
    MotionArea* area = w->motionArea();
    area->setRightClickCanvasPoint(
        importMotionCommand(*s, dialogs, area->rightClickCanvasPoint(), w->motionFileOptions()));
    notify(s->views.motionChanged);
    w->poseArea()->refresh();
  });

  // Adding blocks where the motion area was right-clicked.
  commands.add({.id = c::kAddPose, .caption = "ポーズブロックの追加", .place = {Menu::Motion, 100}}, [w, s] {
    addPoseBlock(*s, w->motionArea()->rightClickPoint(), w->motionArea()->rightClickOrigin());
  });
  commands.add({.id = c::kAddCalculation, .caption = "演算ブロックの追加", .place = {Menu::Motion, 110}},
               [s] { addFlowBlock(*s, KindCalcConstant); });
  commands.add({.id = c::kAddBranch, .caption = "分岐ブロックの追加", .place = {Menu::Motion, 120}},
               [s] { addFlowBlock(*s, KindBranch); });
  commands.add({.id = c::kAddLoop, .caption = "ループブロックの追加", .place = {Menu::Motion, 130}},
               [s] { addFlowBlock(*s, KindLoop); });
  commands.add({.id = c::kAddEnd, .caption = "エンドブロックの追加", .place = {Menu::Motion, 140}},
               [s] { addFlowBlock(*s, KindEnd); });

  // The selected blocks.
  commands.add({.id = c::kCutBlocks,
                .caption = "選択したブロックを切り取り",
                .keys = {QKeySequence("Ctrl+X")},
                .place = {Menu::Edit, 200}},
               [s] { cutBlocksCommand(*s); });
  commands.add({.id = c::kCopyBlocks, .caption = "選択したブロックをコピー", .place = {Menu::Edit, 210}},
               [s] { copyBlocksCommand(*s); });
  commands.add({.id = c::kPasteBlocks, .caption = "コピーしたブロックを貼り付け", .place = {Menu::Edit, 220}},
               [s] { pasteBlocksCommand(*s, false); });
  commands.add({.id = c::kDeleteBlocks, .caption = "選択したブロックを削除", .place = {Menu::Edit, 230}},
               [s] { deleteBlocksCommand(*s); });
  commands.add({.id = c::kBlockProperties, .caption = "ブロックのプロパティ...", .place = {Menu::Edit, 300}}, [w, s] {
    if (MotionBlock* block =
            blockForProperties(s->motion, w->motionArea()->rightClickPoint(), w->motionArea()->rightClickOrigin()))
      openBlockProperties(w, *s, *block);
  });

  // The current pose.
  commands.add({.id = c::kSplitPose,
                .caption = "編集中のポーズの分割",
                .keys = {QKeySequence("Ins")},
                .place = {Menu::Motion, 200}},
               [w, s] { w->motionArea()->ensureVisible(splitPose(*s)); });
  commands.add({.id = c::kDuplicatePose,
                .caption = "編集中のポーズの複製",
                .keys = {QKeySequence("Shift+Ins")},
                .place = {Menu::Motion, 210}},
               [w, s] { w->motionArea()->ensureVisible(duplicatePose(*s)); });
  commands.add({.id = c::kDeletePose,
                .caption = "編集中のポーズの削除",
                .keys = {QKeySequence("Del")},
                .place = {Menu::Motion, 220}},
               [s] { deleteBlocksCommand(*s); });
  commands.add({.id = c::kMirrorSelectedPoses, .caption = "選択したポーズを全て鏡像反転", .place = {Menu::Motion, 300}},
               [s] { mirrorSelectedPoses(*s); });
  commands.add({.id = c::kApplyTimeOverride, .caption = "再生時間オーバーライドの反映", .place = {Menu::Motion, 310}},
               [w, s] {
                 if (applyTimeOverride(*s, w->timeOverride())) w->setTimeOverride(100);
               });

  // Stepping through the flow.
  commands.add({.id = c::kNextPose,
                .caption = "次のポーズへ進む",
                .keys = {QKeySequence("Ctrl+Space")},
                .place = {Menu::Play, 200}},
               [w, s] { w->motionArea()->ensureVisible(stepToNextPose(*s, false)); });
  commands.add({.id = c::kNextPoseByBranch,
                .caption = "次のポーズへ進む(分岐)",
                .keys = {QKeySequence("Shift+Space")},
                .place = {Menu::Play, 210}},
               [w, s] { w->motionArea()->ensureVisible(stepToNextPose(*s, true)); });
  commands.add({.id = c::kFirstPose,
                .keys = {QKeySequence("Ctrl+0"),
                         QKeySequence(QKeyCombination(Qt::ControlModifier | Qt::KeypadModifier, Qt::Key_0))}},
               [w, s] { w->motionArea()->ensureVisible(selectFirstPose(*s)); });
}

}  // namespace kv
