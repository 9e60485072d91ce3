// The online session: the connect thread that keeps the board connected,
// mirrors the edited pose onto the robot, reads the board's errors and live
// state every cycle and offers to reconnect when the link fails; the board
// check at every connection; the communication menu's online and servo
// commands.
//
// Threads: the GUI thread calls the commands, startSession and endSession;
// queueLivePose may be called from any thread. The connect thread talks to
// the user through showMessage and to the main window through SessionEvents.
// Everything it shares with other threads is atomic or copied under a lock:
// the pending pose, the live snapshot, the CPU settings record and the
// board's robot name.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "board/cpu_settings.h"
#include "pose/pose_values.h"
#include "session/memory_access.h"
#include "session/session_events.h"

namespace kv {

struct EditorState;

// String numbers of the session's messages.
inline constexpr int kMsgDisconnectFailed = 40003;
inline constexpr int kMsgConnectFailed = 40005;
inline constexpr int kMsgNotOnline = 40006;
inline constexpr int kMsgReconnect = 40009;
inline constexpr int kMsgVoiceInterpolation = 40010;
inline constexpr int kMsgOtherRobot = 40254;
inline constexpr int kMsgCannotDisconnectWhilePlaying = 40303;
inline constexpr int kMsgFirmwareTooOld = 40384;
inline constexpr int kMsgMp3NeedsRevision = 40458;
inline constexpr int kMsgGyroNeedsRevision = 40459;
// The board is there but could not be opened, with the udev rule to install.
inline constexpr int kMsgBoardNotOpenable = 49002;

// Oldest firmware the editor works with: version 1.000, revision 4.
inline constexpr uint16_t kOldestFirmwareVersion = 0x0100;
inline constexpr int32_t kOldestFirmwareRevision = 4;
// Expansion devices that need a newer firmware revision.
inline constexpr uint16_t kDeviceKpMp3 = 0x0900;
inline constexpr int32_t kKpMp3Revision = 12;
inline constexpr uint16_t kDeviceKpGc = 0x0C00;
inline constexpr int32_t kKpGcRevision = 17;
// The voice output slider must switch synchronously before the transition.
inline constexpr uint8_t kVoiceInterpolationType = 3;
// The board takes no live poses while its operating state is above this.
inline constexpr int kHighestIdleState = 5;
// Transition times of the start pose: the first sending, then the second.
inline constexpr uint16_t kFirstStartPoseTime = 1;
inline constexpr uint16_t kSecondStartPoseTime = 18;

// The pose that the connect thread sends to the board's live pose area.
struct LivePose {
  uint16_t time = 0;  // transition time in steps
  std::array<int16_t, kSliderCount> values{};
  uint32_t servoMask = 0;  // bits 0..29
};

// Real-time bounds of the GUI's waits (not board pacing).
struct SessionTimeouts {
  // startSession: how long it waits for the board's settings.
  std::chrono::milliseconds connectWait{3000};
  // endSession: how long it waits for the connect thread to end.
  std::chrono::milliseconds endWait{3000};
};

class OnlineSession {
 public:
  OnlineSession(BoardLink& link, LinkState& linkState, EditorState& editor, SessionEvents& events,
                LinkTimeouts linkTimeouts = {}, SessionTimeouts timeouts = {});
  // Ends a running connect thread and joins it. Where questions of the
  // connect thread are answered by the destroying thread, call shutDown
  // first.
  ~OnlineSession();
  OnlineSession(const OnlineSession&) = delete;
  OnlineSession& operator=(const OnlineSession&) = delete;

  MemoryAccess& access() { return access_; }
  LinkState& linkState() { return linkState_; }
  EditorState& editor() { return editor_; }
  SessionEvents& events() { return events_; }

  // ---- GUI thread
  // Starts the connect thread and waits for the board's settings: 1 when the
  // board answered (the board check then shows its own messages), 0 when
  // the board could not be reached or a connect thread still runs.
  int startSession();
  // Switches servo power off when it is on, ends the session and waits for
  // the connect thread. 1 when the thread has ended; 0 when no session ran,
  // while a motion plays, or when the thread is still running (a question
  // of its own is open, or the board does not answer): a writer that needs
  // the device to itself must then not go on.
  int endSession();
  // At exit, on the thread that answers the connect thread's questions
  // (after playback has ended): switches servo power off when it is on,
  // ends the session and waits for the connect thread to end, then joins
  // it. Meanwhile it calls `serve` again and again: it must run the work
  // the thread waits for on this thread (its questions), so that the thread
  // is never joined while it waits for an answer.
  void shutDown(const std::function<void()>& serve);
  // 40027: the online command.
  void toggleOnline();
  // 40053: the servo power command.
  void toggleServoPower();
  // 40236: Space without modifiers, when AppStatus bit 0x40000 is set.
  void servoOffBySpace();
  // Makes showPose hand every shown pose to queueLivePose.
  void hookLivePose();

  // ---- any thread
  // Copies the pose into the pending pose with the given transition time
  // and marks it pending; the connect thread sends the latest one.
  void queueLivePose(const PoseValues& pose, int time);
  LivePose pendingPose() const;

  bool online() const { return linkState_.online.load(); }
  bool connected() const { return connected_.load(); }
  bool connecting() const { return connecting_.load(); }
  bool connectThreadRunning() const { return !threadFinished_.load(); }
  bool boardBusy() const { return boardBusy_.load(); }
  int posesSent() const { return posesSent_.load(); }

  LiveSnapshot liveSnapshot() const;
  // The CPU settings record: the board's values after every connection,
  // and the board's last error code and address.
  CpuSettings cpuSettings() const;
  void setCpuSettings(const CpuSettings& settings);
  // The robot name the connected board carries.
  std::u16string boardRobotName() const;

  // ---- the playback thread
  // The servo power wanted while playback owns the link: -1 none, 0 off,
  // 1 on. Taking it clears it.
  int takeServoRequest() { return servoRequest_.exchange(-1); }
  // Puts back a request that could not be sent, unless a newer one came.
  void restoreServoRequest(int on) {
    int none = -1;
    servoRequest_.compare_exchange_strong(none, on);
  }
  // Switches servo power (takes the link) and sets AppStatus bit 0x8.
  void applyServoPower(int on);
  void storeBoardError(int code, uint32_t address);
  void storeLiveSnapshot(const LiveSnapshot& snapshot);

 private:
  void runConnectThread();
  void connectCycle();
  int checkBoard();
  bool sendPendingPose();
  bool readErrorAndState();
  void reconnect();
  void finishThread();
  void joinIfFinished();
  bool servosOnWanted() const;
  bool playbackActive() const;
  void requestServoPower(int on);

  BoardLink& link_;
  LinkState& linkState_;
  EditorState& editor_;
  SessionEvents& events_;
  MemoryAccess access_;
  SessionTimeouts timeouts_;

  std::atomic<bool> connected_{false};
  std::atomic<bool> connecting_{false};
  std::atomic<bool> threadFinished_{true};
  std::atomic<bool> boardBusy_{false};
  std::atomic<int> posesSent_{0};
  std::atomic<int> servoRequest_{-1};

  std::mutex threadMutex_;  // guards thread_: starting, joining
  std::thread thread_;
  // Signalled when connecting clears or the connect thread ends.
  mutable std::mutex waitMutex_;
  std::condition_variable waitChanged_;

  mutable std::mutex poseMutex_;
  LivePose pending_;
  LivePose startPose_;  // the pose shown last, repeated as the session starts

  mutable std::mutex dataMutex_;
  LiveSnapshot snapshot_;
  CpuSettings settings_;
  std::u16string boardRobotName_;
  std::u16string projectRobotName_;  // copied when the session starts
};

}  // namespace kv
