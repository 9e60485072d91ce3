#include "board/ui/board_command_set.h"

#include <QMetaObject>

#include "board/cpu_settings_form.h"
#include "board/device_values.h"
#include "board/servo_correction.h"
#include "board/ui/cpu_settings_dialog.h"
#include "pose/base_poses.h"
#include "session/online_session.h"
#include "shell/editor_state.h"
#include "shell/messages.h"
#include "shell/ui/commands.h"
#include "shell/ui/main_window.h"

namespace kv {
void addBoardCommands(MainWindow& window, EditorState& state, OnlineSession& session) {
  using command::Menu;
  namespace c = command;
  c::CommandRegistry& commands = window.commands();
  commands.add({.id = c::kServoCorrection, .caption = "サーボ位置補正", .flags = c::kNeedsBoard, .place = {Menu::Link, 120}},
               [&state, &session] { servoPositionCorrection(state, session); });
  commands.add({.id = c::kCpuSettings, .caption = "CPUの設定...", .place = {Menu::Settings, 100}},
               [&window, &state, &session] {
                 BoardDeviceValues deviceValues(session.access());
                 CpuSettingsActions actions;
                 actions.deviceValues = &deviceValues;
                 actions.sendToRam = [&session](const CpuSettings& settings) {
                   return session.access().applySettingsToRam(settings);
                 };
                 // The button posts the servo command: it runs once the click is done.
                 actions.toggleServos = [&window] {
                   QMetaObject::invokeMethod(
                       &window, [&window] { window.runCommand(command::kServosOn); }, Qt::QueuedConnection);
                 };
                 CpuSettingsDialog dialog(state, std::move(actions), &window);
                 dialog.exec();
               });
}

}  // namespace kv
