#include "board/ui/board_command_set.h"

#include <QMetaObject>

#include "board/cpu_settings_form.h"
#include "board/servo_correction.h"
#include "board/ui/cpu_settings_dialog.h"
#include "pose/base_poses.h"
#include "session/online_session.h"
#include "shell/editor_state.h"
#include "shell/messages.h"
#include "shell/ui/commands.h"
#include "shell/ui/main_window.h"

namespace kv {
namespace {

constexpr int kMsgConfirmCorrection = 40036;
constexpr int kMsgServosGoOff = 40067;
constexpr int kMsgNoBasePose = 40141;

}  // namespace

void correctServoPositions(EditorState& state, OnlineSession& session) {
  if (!basePoseActive(state.basePoses)) {
    showMessage(kMsgNoBasePose, MessageIcon::Error, MessageButtons::Ok);
    return;
  }
  if (showMessage(kMsgConfirmCorrection, MessageIcon::Question, MessageButtons::YesNo) != MessageAnswer::Yes) return;

  CorrectionValues board{};
  CorrectionValues base{};
  const LiveSnapshot snapshot = session.liveSnapshot();
  for (int i = 0; i < kCorrectionVariableCount; ++i) {
    board[static_cast<size_t>(i)] = snapshot.boardValues[static_cast<size_t>(i)];
    base[static_cast<size_t>(i)] = basePoseValue(state.basePoses, state.basePoses.current, i);
  }
  CpuSettings corrected = state.cpuSettings;
  correctServoBases(corrected, board, base);

  // The robot must not move while its bases change.
  const bool servosWereOn = state.status.has(status::kServosOn);
  if (servosWereOn) {
    showMessage(kMsgServosGoOff, MessageIcon::Warning, MessageButtons::Ok);
    if (!session.access().setServoPower(0)) return;
    setStatus(state, status::kServosOn, false);
  }
  applyBasePose(state, -1);
  // The record changes only with the board: a failed write leaves both as they were.
  if (session.access().applySettingsToRam(corrected)) {
    state.cpuSettings = corrected;
    showMessage(kMsgAppliedToRam, MessageIcon::None, MessageButtons::Ok);
  } else {
    showMessage(kMsgApplyToRamFailed, MessageIcon::Warning, MessageButtons::Ok);
  }
  if (servosWereOn && session.access().setServoPower(1)) setStatus(state, status::kServosOn, true);
}

void addBoardCommands(MainWindow& window, EditorState& state, OnlineSession& session) {
  using command::Menu;
  namespace c = command;
  c::CommandRegistry& commands = window.commands();
  commands.add({.id = c::kServoCorrection, .caption = "サーボ位置補正", .flags = c::kNeedsBoard, .place = {Menu::Link, 120}},
               [&state, &session] { correctServoPositions(state, session); });
  commands.add({.id = c::kCpuSettings, .caption = "CPUの設定...", .place = {Menu::Settings, 100}},
               [&window, &state, &session] {
                 CpuSettingsActions actions;
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
