#include "session/ui/session_controller.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QMetaObject>
#include <QPointer>

#include "motion/ui/motion_area.h"
#include "pose/ui/pose_area.h"
#include "session/ui/status_window.h"
#include "shell/messages.h"
#include "shell/ui/commands.h"
#include "shell/ui/main_window.h"

namespace kv {
namespace {
constexpr int kNotAvailableString = 49000;
// The longest a single serving of events blocks shutDown's waits.
constexpr int kServeMs = 10;
}

SessionController::SessionController(EditorState& state, MainWindow& window)
    : QObject(&window), state_(state), window_(window) {
  session_ = std::make_unique<OnlineSession>(link_, linkState_, state_, *this);
  playback_ = std::make_unique<Playback>(*session_);
  session_->hookLivePose();

  using command::Menu;
  namespace c = command;
  c::CommandRegistry& commands = window.commands();
  // The online and servo commands reach the session while a motion plays:
  // it refuses to disconnect (40303) and hands servo power to playback.
  commands.add({.id = c::kOnline,
                .caption = "オンライン",
                .flags = c::kRunsWhilePlaying,
                .place = {Menu::Link, 100},
                .checkedBy = status::kOnline},
               [this] { session_->toggleOnline(); });
  commands.add({.id = c::kServosOn,
                .caption = "サーボモータON",
                .keys = {QKeySequence("Home")},
                .flags = c::kRunsWhilePlaying,
                .place = {Menu::Link, 110},
                .checkedBy = status::kServosOn},
               [this] { session_->toggleServoPower(); });
  // Space is the window's only while the option gives it the servos; else
  // it presses the focused button as usual.
  commands.add({.id = c::kServosOffBySpace,
                .keys = {QKeySequence("Space")},
                .flags = c::kRunsWhilePlaying,
                .keysWhen = status::kSpaceServoOff},
               [this] { session_->servoOffBySpace(); });
  commands.add({.id = c::kPlay, .caption = "モーションの再生", .place = {Menu::Play, 100}},
               [this] { playback_->startPlayback(window_.loopCount(), window_.timeOverride()); });
  commands.add({.id = c::kStop,
                .caption = "モーションの停止",
                .flags = c::kRunsWhilePlaying | c::kOnlyWhilePlaying,
                .place = {Menu::Play, 110}},
               [this] { playback_->stopPlayback(); });
}

SessionController::~SessionController() { shutDown(); }

void SessionController::shutDown() {
  if (!session_) return;
  // From here on the threads' news is dropped; only the questions they wait
  // for are still answered, by the events served while waiting.
  closing_ = true;
  const auto serve = [] { QCoreApplication::processEvents(QEventLoop::AllEvents, kServeMs); };
  // Playback owns the link and keeps the session alive: it ends first.
  playback_->shutDown(serve);
  session_->shutDown(serve);
}

// The session's threads never touch a widget: their news runs on the GUI thread.
void SessionController::post(std::function<void()> job) {
  QPointer<SessionController> self(this);
  QMetaObject::invokeMethod(
      this, [self, job = std::move(job)] {
        if (self && !self->closing_) job();
      },
      Qt::QueuedConnection);
}

void SessionController::openProjectDialogs(const std::u16string&) {
  // Choosing and creating projects arrives with the project dialogs.
  post([] { showMessage(kNotAvailableString, MessageIcon::Information, MessageButtons::Ok); });
}

void SessionController::sessionChanged() { post([this] { showSessionState(); }); }

void SessionController::showSessionState() {
  window_.refreshMenuMarks();
  const bool connected = session_->connected();
  const bool sessionStarted = connected && !shownConnected_;
  shownConnected_ = connected;
  if (!connected) window_.poseArea()->setBoardValues(std::nullopt);
  if (sessionStarted && state_.status.has(status::kStatusWindow)) {
    StatusWindow::open(
        [this]() -> std::optional<StatusInput> {
          if (!session_ || !session_->connected()) return std::nullopt;
          StatusInput input;
          input.snapshot = session_->liveSnapshot();
          input.communicationError = linkState_.communicationError.load();
          input.playing = linkState_.playbackOwner.load() != 0;
          input.robotName = state_.project.modelName;
          CpuSettings settings = session_->cpuSettings();
          input.errorCode = settings.errorCode;
          input.errorAddress = settings.errorAddress;
          // The thresholds as the editor holds them: Apply changes them on
          // the board without a new connection.
          input.alarmVoltage = state_.cpuSettings.batteryAlarm;
          input.shutdownVoltage = state_.cpuSettings.batteryShutdown;
          return input;
        },
        &window_);
  }
}

void SessionController::boardSettingsRead() {
  post([this] { takeBoardSettings(state_.cpuSettings, session_->cpuSettings()); });
}

void SessionController::liveStateUpdated() {
  post([this] {
    LiveSnapshot snapshot = session_->liveSnapshot();
    std::array<int16_t, kSliderCount> values{};
    for (int i = 0; i < kSliderCount; ++i) values[i] = snapshot.boardValues[i];
    window_.poseArea()->setBoardValues(values);
  });
}

void SessionController::playbackChanged(bool playing) {
  post([this, playing] { window_.setBusy(playing); });
}

void SessionController::positionReached(int listIndex) {
  post([this, listIndex] {
    if (MotionBlock* block = showReachedBlock(state_, listIndex)) window_.motionArea()->ensureVisible(block);
  });
}

}  // namespace kv
