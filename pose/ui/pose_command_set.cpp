#include "pose/ui/pose_command_set.h"

#include "pose/base_poses.h"
#include "pose/pose_edit.h"
#include "pose/pose_operations.h"
#include "pose/ui/base_pose_dialog.h"
#include "pose/ui/pose_area.h"
#include "pose/ui/slider_settings_dialog.h"
#include "shell/folders.h"
#include "shell/project.h"
#include "shell/ui/main_window.h"

namespace kv {

void addPoseCommands(MainWindow& window, EditorState& state) {
  using command::Menu;
  namespace c = command;
  c::CommandRegistry& commands = window.commands();
  MainWindow* w = &window;
  EditorState* s = &state;

  commands.add({.id = c::kCopyJointValues, .caption = "関節値のコピー", .place = {Menu::Pose, 100}},
               [s] { copyJointValues(*s); });
  commands.add({.id = c::kPasteJointValues, .caption = "関節値の貼り付け", .place = {Menu::Pose, 110}},
               [s] { pasteJointValues(*s); });
  commands.add({.id = c::kCopyLeftToRight, .caption = "左半身を右半身へコピー", .place = {Menu::Pose, 120}},
               [s] { copySide(*s, true); });
  commands.add({.id = c::kCopyRightToLeft, .caption = "右半身を左半身へコピー", .place = {Menu::Pose, 130}},
               [s] { copySide(*s, false); });
  commands.add(
      {.id = c::kMirrorPose, .caption = "鏡像反転", .keys = {QKeySequence("Ctrl+F")}, .place = {Menu::Pose, 140}},
      [s] { mirrorPose(*s); });
  // The toolbar's base pose button matches the sliders to the current base pose.
  commands.add({.id = c::kMatchBasePose}, [s] { applyBasePose(*s, -1); });
  commands.addRange(kFirstBasePoseCommand, kBasePoseCount, 0, [s](int n) {
    chooseBasePoseCommand(*s, kFirstBasePoseCommand + n, settingsFileToWrite(s->project, kBasePoseFileName));
  });
  commands.add({.id = c::kBasePoseDialog, .caption = "基準ポーズの登録...", .place = {Menu::Pose, 210}}, [w, s] {
    openBasePoseDialog(w, *s, settingsFileToWrite(s->project, kBasePoseFileName), [w] { w->poseArea()->markLayoutDirty(); });
  });
  commands.add({.id = c::kToggleDisplayInversion, .caption = "ポーズスライダの表示反転", .place = {Menu::Pose, 300}},
               [w, s] {
                 toggleDisplayInversion(s->sliders);
                 w->poseArea()->markLayoutDirty();
               });
  commands.add({.id = c::kSliderSettings, .caption = "ポーズスライダのプロパティ...", .place = {Menu::Pose, 310}},
               [w, s] {
                 openSliderSettings(w, s->sliders, settingsFileToWrite(s->project, kAxisDefinitionFileName),
                                    [w] { w->poseArea()->markLayoutDirty(); });
               });
}

}  // namespace kv
