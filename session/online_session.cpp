#include "session/online_session.h"

#include <algorithm>

#include "pose/show_pose.h"
#include "session/memory_map.h"
#include "shell/editor_state.h"
#include "shell/messages.h"
#include "shell/pacing.h"

namespace kv {

namespace a = board_addr;

namespace {

constexpr int kCycleMs = 32;
constexpr int kAfterPoseMs = 48;
constexpr int kReopenMs = 100;
constexpr int kAfterCheckMs = 32;
constexpr int kStartPoseSendings = 2;
// How often shutDown looks at the thread between serving the caller's work.
constexpr std::chrono::milliseconds kServePeriod{5};

LivePose livePoseOf(const PoseValues& pose, int time) {
  LivePose live;
  live.time = static_cast<uint16_t>(std::clamp(time, 0, 0xFFFF));
  live.values = pose.values;
  live.servoMask = pose.servoMask & kServoMaskBits;
  return live;
}

bool openBoard(BoardLink& link) {
  return link.open(a::kVendorId, a::kProductId, a::kLowestVersion, a::kHighestVersion) == 1;
}

}  // namespace

OnlineSession::OnlineSession(BoardLink& link, LinkState& linkState, EditorState& editor, SessionEvents& events,
                             LinkTimeouts linkTimeouts, SessionTimeouts timeouts)
    : link_(link),
      linkState_(linkState),
      editor_(editor),
      events_(events),
      access_(link, linkState, linkTimeouts),
      timeouts_(timeouts) {}

OnlineSession::~OnlineSession() {
  linkState_.online = false;
  std::lock_guard lock(threadMutex_);
  if (thread_.joinable()) thread_.join();
}

// ---------------------------------------------------------------- GUI thread

int OnlineSession::startSession() {
  {
    // Starting is one step under the thread lock: a thread seen finished is
    // joined and replaced, one still running refuses the start. Nothing else
    // gives thread_ a thread, so it cannot become joinable in between.
    std::lock_guard threadLock(threadMutex_);
    if (linkState_.online.load() || !threadFinished_.load()) return 0;
    if (thread_.joinable()) thread_.join();

    // What the thread needs of the GUI's state is copied here, on the thread
    // that owns it.
    {
      std::lock_guard lock(poseMutex_);
      startPose_ = livePoseOf(currentPose(editor_), kFirstStartPoseTime);
    }
    {
      // The board's settings are read over the record as it is now, so what
      // the board does not hold (servo names) survives the connection.
      std::lock_guard lock(dataMutex_);
      projectRobotName_ = editor_.project.modelName;
      settings_ = editor_.cpuSettings;
    }
    // The thread counts as running before it starts, so the wait below never
    // sees a stale state.
    {
      std::lock_guard lock(waitMutex_);
      threadFinished_ = false;
      connecting_ = true;
    }
    connected_ = false;
    linkState_.online = true;
    editor_.status.set(status::kOnline, true);
    thread_ = std::thread(&OnlineSession::runConnectThread, this);
  }

  std::unique_lock lock(waitMutex_);
  waitChanged_.wait_for(lock, timeouts_.connectWait, [&] { return !connecting_.load() || threadFinished_.load(); });
  if (!connecting_.load()) return 1;
  lock.unlock();
  // The board was not found, or did not answer in time: the thread ends.
  editor_.status.set(status::kOnline, false);
  linkState_.online = false;
  events_.sessionChanged();
  return 0;
}

int OnlineSession::endSession() {
  if (threadFinished_.load() && !linkState_.online.load()) {
    joinIfFinished();
    return 0;
  }
  // A session never ends in the middle of playback.
  if (linkState_.playbackOwnsLink() || editor_.playing.load()) return 0;
  if (editor_.status.has(status::kServosOn)) access_.setServoPower(0);
  linkState_.online = false;

  std::unique_lock lock(waitMutex_);
  if (!waitChanged_.wait_for(lock, timeouts_.endWait, [&] { return threadFinished_.load(); })) return 0;
  lock.unlock();
  joinIfFinished();
  return 1;
}

void OnlineSession::shutDown(const std::function<void()>& serve) {
  if (connected_.load() && editor_.status.has(status::kServosOn) && !playbackActive()) access_.setServoPower(0);
  linkState_.online = false;
  std::unique_lock lock(waitMutex_);
  while (!waitChanged_.wait_for(lock, kServePeriod, [&] { return threadFinished_.load(); })) {
    lock.unlock();
    // The thread may wait for an answer from this thread; past its question
    // it sees the session ended and stops.
    serve();
    linkState_.online = false;
    lock.lock();
  }
  lock.unlock();
  joinIfFinished();
}

void OnlineSession::toggleOnline() {
  if (linkState_.playbackOwnsLink() || editor_.playing.load()) {
    showMessage(kMsgCannotDisconnectWhilePlaying, MessageIcon::Warning, MessageButtons::Ok);
    events_.sessionChanged();  // the menu check goes back
    return;
  }
  if (connected_.load()) {
    if (!endSession()) showMessage(kMsgDisconnectFailed, MessageIcon::Error, MessageButtons::Ok);
  } else if (!startSession()) {
    showMessage(link_.openDenied() ? kMsgBoardNotOpenable : kMsgConnectFailed, MessageIcon::Error, MessageButtons::Ok);
  }
  events_.sessionChanged();
}

bool OnlineSession::servosOnWanted() const {
  const int request = servoRequest_.load();
  return request >= 0 ? request == 1 : editor_.status.has(status::kServosOn);
}

bool OnlineSession::playbackActive() const { return linkState_.playbackOwnsLink() || editor_.playing.load(); }

void OnlineSession::requestServoPower(int on) {
  servoRequest_ = on;
  // Playback may have ended between the check and the request: then the
  // request is taken back and carried out here. The exchange makes sure
  // that exactly one side carries it out.
  if (!playbackActive()) {
    const int request = takeServoRequest();
    if (request >= 0) applyServoPower(request);
  }
}

void OnlineSession::applyServoPower(int on) {
  if (on) {
    if (access_.setServoPower(1)) editor_.status.set(status::kServosOn, true);
  } else {
    access_.setServoPower(0);
    editor_.status.set(status::kServosOn, false);
  }
  events_.sessionChanged();
}

void OnlineSession::toggleServoPower() {
  if (!connected_.load()) {
    showMessage(kMsgNotOnline, MessageIcon::Error, MessageButtons::Ok);
    editor_.status.set(status::kServosOn, false);
    events_.sessionChanged();
    return;
  }
  const int wanted = servosOnWanted() ? 0 : 1;
  if (playbackActive()) {
    requestServoPower(wanted);
    return;
  }
  applyServoPower(wanted);
}

void OnlineSession::servoOffBySpace() {
  if (!editor_.status.has(status::kSpaceServoOff)) return;
  if (!connected_.load()) {
    editor_.status.set(status::kServosOn, false);
    events_.sessionChanged();
    return;
  }
  if (playbackActive()) {
    requestServoPower(0);
    return;
  }
  applyServoPower(0);
}

void OnlineSession::hookLivePose() {
  editor_.views.livePose = [this](const PoseValues& pose, int time) { queueLivePose(pose, time); };
}

// ---------------------------------------------------------------- any thread

void OnlineSession::queueLivePose(const PoseValues& pose, int time) {
  const LivePose live = livePoseOf(pose, time);
  std::lock_guard lock(poseMutex_);
  pending_ = live;
  // The pose repeated at the start of a session is the one shown last, so a
  // pose changed in the first cycles is not replaced by an older one.
  startPose_.values = live.values;
  startPose_.servoMask = live.servoMask;
  linkState_.posePending = true;
}

LivePose OnlineSession::pendingPose() const {
  std::lock_guard lock(poseMutex_);
  return pending_;
}

LiveSnapshot OnlineSession::liveSnapshot() const {
  std::lock_guard lock(dataMutex_);
  return snapshot_;
}

CpuSettings OnlineSession::cpuSettings() const {
  std::lock_guard lock(dataMutex_);
  return settings_;
}

void OnlineSession::setCpuSettings(const CpuSettings& settings) {
  std::lock_guard lock(dataMutex_);
  settings_ = settings;
}

std::u16string OnlineSession::boardRobotName() const {
  std::lock_guard lock(dataMutex_);
  return boardRobotName_;
}

void OnlineSession::storeBoardError(int code, uint32_t address) {
  std::lock_guard lock(dataMutex_);
  settings_.errorCode = static_cast<uint16_t>(code);
  settings_.errorAddress = address;
}

void OnlineSession::storeLiveSnapshot(const LiveSnapshot& snapshot) {
  std::lock_guard lock(dataMutex_);
  snapshot_ = snapshot;
}

// ---------------------------------------------------------------- connect thread

void OnlineSession::joinIfFinished() {
  std::lock_guard lock(threadMutex_);
  if (threadFinished_.load() && thread_.joinable()) thread_.join();
}

void OnlineSession::finishThread() {
  {
    std::lock_guard lock(waitMutex_);
    threadFinished_ = true;
  }
  waitChanged_.notify_all();
}

void OnlineSession::runConnectThread() {
  // Every way out of the thread marks it finished, as its very last step.
  struct Finish {
    OnlineSession* session;
    ~Finish() { session->finishThread(); }
  } finish{this};

  // The link is held from before the device opens until the board check is
  // done, so no other thread's transaction runs into the check. A refused
  // board is closed under the same hold: the next holder of the link must
  // not find the device closing beneath it.
  bool accepted = false;
  {
    LinkHold hold;
    if (access_.takeLinkOffline(hold) == 1 && linkState_.online.load() && openBoard(link_)) {
      linkState_.communicationError = false;
      accepted = checkBoard() == 1;
      if (!accepted) link_.close();
    }
  }
  if (!accepted) {
    // Not opened: connecting stays set, so startSession reports the failure.
    editor_.status.set(status::kOnline, false);
    linkState_.online = false;
    linkState_.communicationError = false;
    events_.sessionChanged();
    return;
  }

  posesSent_ = 0;
  boardBusy_ = true;
  connected_ = true;
  events_.sessionChanged();

  while (linkState_.online.load()) connectCycle();

  {
    LinkHold hold;
    access_.takeLinkOffline(hold);
    link_.close();
  }
  editor_.status.set(status::kServosOn | status::kOnline, false);
  connected_ = false;
  events_.sessionChanged();
  linkState_.communicationError = false;
}

void OnlineSession::connectCycle() {
  // The pose shown when the session started goes out first, quickly, then
  // once more at the pose area's pace.
  const int sent = posesSent_.load();
  if (sent < kStartPoseSendings) {
    std::lock_guard lock(poseMutex_);
    pending_ = startPose_;
    pending_.time = sent == 0 ? kFirstStartPoseTime : kSecondStartPoseTime;
    linkState_.posePending = true;
  }

  {
    // The connect thread never waits for the link: another user holds it,
    // this cycle is skipped.
    LinkHold hold(linkState_);
    if (hold) {
      bool failed = false;
      if (linkState_.posePending.load() && !boardBusy_.load()) {
        failed = !sendPendingPose();
        sleepMs(kAfterPoseMs);
      }
      failed = !readErrorAndState() || failed;
      // A write that failed in another thread (playback, a dialog) is link
      // trouble as well: until it is dealt with every other user is refused.
      if (failed || linkState_.communicationError.load()) {
        linkState_.communicationError = true;
        reconnect();
      }
    }
  }
  sleepMs(kCycleMs);
  if (linkState_.playbackOwnsLink()) linkState_.online = true;
}

bool OnlineSession::sendPendingPose() {
  LivePose pose;
  {
    // Copied and marked sent in one step: a pose queued after this is sent
    // in the next cycle, and no pose is ever sent half old, half new.
    std::lock_guard lock(poseMutex_);
    pose = pending_;
    linkState_.posePending = false;
  }
  for (int i = 0; i < kSliderCount; ++i) {
    link_.store16(a::kLivePose + 2 * static_cast<uint32_t>(i), static_cast<uint16_t>(pose.values[i]));
  }
  link_.store32(a::kLiveServoBits, pose.servoMask);
  link_.store16(a::kLiveTime, pose.time);
  ++posesSent_;
  return access_.writeBlocks({{a::kLivePose, 2 * kSliderCount}, {a::kLiveServoBits, 4}, {a::kLiveTime, 2}}) == 1;
}

bool OnlineSession::readErrorAndState() {
  uint32_t errorAddress = cpuSettings().errorAddress;
  const int code = access_.readBoardError(&errorAddress);
  if (code != -1) storeBoardError(code, errorAddress);

  LiveSnapshot snapshot = liveSnapshot();
  const int state = access_.readLiveState(snapshot);
  if (state >= 1) {
    boardBusy_ = state > kHighestIdleState;
    storeLiveSnapshot(snapshot);
  }
  events_.liveStateUpdated();
  return code != -1;
}

void OnlineSession::reconnect() {
  while (linkState_.online.load()) {
    const MessageAnswer answer = showMessage(kMsgReconnect, MessageIcon::Error, MessageButtons::YesNo);
    // The session may have been ended while the question was open.
    if (!linkState_.online.load()) return;
    if (answer != MessageAnswer::Yes) {
      linkState_.online = false;
      return;
    }
    link_.close();
    sleepMs(kReopenMs);
    if (!openBoard(link_)) continue;
    linkState_.communicationError = false;
    sleepMs(kReopenMs);
    boardBusy_ = true;
    linkState_.posePending = true;
    if (!checkBoard()) linkState_.online = false;
    return;
  }
}

int OnlineSession::checkBoard() {
  // The check stops as soon as the session is no longer wanted (startSession
  // gave up, the user disconnected, the editor is closing): nothing more is
  // asked or shown, and the board is refused.
  const auto ended = [&] { return !linkState_.online.load(); };
  CpuSettings board = cpuSettings();
  std::u16string name;
  if (!access_.readBoardSettings(board, &name) || ended()) return 0;
  std::u16string projectName;
  {
    std::lock_guard lock(dataMutex_);
    settings_ = board;
    boardRobotName_ = name;
    projectName = projectRobotName_;
  }
  {
    std::lock_guard lock(waitMutex_);
    connecting_ = false;
  }
  waitChanged_.notify_all();
  events_.boardSettingsRead();

  if (name != projectName) {
    const MessageAnswer answer = showMessage(kMsgOtherRobot, MessageIcon::Warning, MessageButtons::YesNoCancel);
    if (ended()) return 0;
    if (answer == MessageAnswer::Yes) {
      events_.openProjectDialogs(name);
      return 0;
    }
    if (answer != MessageAnswer::No) return 0;
  }

  const uint16_t version = board.firmwareVersion;
  const int32_t revision = board.firmwareRevision;
  if (version < kOldestFirmwareVersion ||
      (version == kOldestFirmwareVersion && revision < kOldestFirmwareRevision)) {
    showMessage(kMsgFirmwareTooOld, MessageIcon::Warning, MessageButtons::Ok,
                {firmwareVersionNumber(version), static_cast<int>(revision),
                 firmwareVersionNumber(kOldestFirmwareVersion), static_cast<int>(kOldestFirmwareRevision)});
    return 0;
  }

  const auto hasDevice = [&](uint16_t type) {
    return std::any_of(board.devices.begin(), board.devices.end(),
                       [&](const DeviceEntry& device) { return device.used && device.type == type; });
  };
  if (!ended() && revision < kKpMp3Revision && hasDevice(kDeviceKpMp3)) {
    showMessage(kMsgMp3NeedsRevision, MessageIcon::Warning, MessageButtons::Ok);
  }
  if (!ended() && revision < kKpGcRevision && hasDevice(kDeviceKpGc)) {
    showMessage(kMsgGyroNeedsRevision, MessageIcon::Warning, MessageButtons::Ok);
  }
  if (!ended() && board.voiceVariable < kSliderCount &&
      board.interpolation[board.voiceVariable] != kVoiceInterpolationType) {
    showMessage(kMsgVoiceInterpolation, MessageIcon::Warning, MessageButtons::Ok,
                {static_cast<int>(board.voiceVariable)});
  }
  if (ended()) return 0;

  // No motion left running or half started from before.
  link_.store32(a::kMotionStart, 0);
  link_.store32(a::kMotionRegister2, 0);
  link_.store32(a::kMotionRegister3, 0);
  if (!access_.writeBlocks({{a::kMotionStart, 4}, {a::kMotionRegister2, 4}, {a::kMotionRegister3, 4}})) return 0;
  sleepMs(kAfterCheckMs);
  return 1;
}

}  // namespace kv
