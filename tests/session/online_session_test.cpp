// The connect thread's life and the flags it shares with other threads,
// against a board whose memory is the image itself: every write is logged
// with its bytes, every read is answered at once, and opening the device or
// a question to the user can be held back to catch the thread mid-way.
#include "session/online_session.h"

#include <gtest/gtest.h>

#include <optional>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <future>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "session/memory_map.h"
#include "shell/editor_state.h"
#include "shell/pacing.h"
#include "support/scripted_answerer.h"

namespace kv {
namespace {

namespace a = board_addr;
using namespace std::chrono_literals;

// Lets threads pass only after open().
class Gate {
 public:
  void close() { std::lock_guard lock(m_); open_ = false; }
  void open() { { std::lock_guard lock(m_); open_ = true; } cv_.notify_all(); }
  void pass() { std::unique_lock lock(m_); cv_.wait(lock, [&] { return open_; }); }

 private:
  std::mutex m_;
  std::condition_variable cv_;
  bool open_ = true;
};

class EchoBoard : public BoardLink {
 public:
  struct Write {
    uint32_t address;
    std::vector<uint8_t> bytes;
  };

  EchoBoard() {
    store32(a::kNamePointer, 0x2000E0);
    std::memcpy(&image_[0x2000E0], "DemoHumanoid", 12);
    store16(a::kFirmwareVersion, 0x0100);
    store32(a::kFirmwareRevision, 20);
    store32(a::kDeviceTablePointer, a::kDeviceBanks);
    store16(a::kVoiceVariable, 62);
  }

  std::span<uint8_t> memory() override { return image_; }
  int open(int, int, int, int) override {
    ++opens;
    openGate.pass();
    return openFails ? 0 : 1;
  }
  void close() override {
    ++closes;
    if (!linkState || !linkState->linkBusy.load()) ++closesWithoutLink;
  }
  int checkAlive() override { return 1; }
  int writeInit() override { building_.clear(); return 1; }
  int writePush(int address, int length) override {
    building_.push_back({static_cast<uint32_t>(address), length});
    return 1;
  }
  int writeEnd() override { return 1; }
  int writeExec() override {
    if (failWrites) return 0;
    // One entry per request: its first address and all its blocks' bytes.
    Write write{building_.empty() ? 0 : building_.front().address, {}};
    for (const BoardBlock& block : building_) {
      write.bytes.insert(write.bytes.end(), &image_[block.address], &image_[block.address + block.length]);
    }
    std::lock_guard lock(logMutex_);
    log_.push_back(std::move(write));
    return 1;
  }
  int readInit(int, int) override { return 1; }
  int readPush(int, int) override { return 1; }
  int readEnd() override { return 16; }
  // The board's answer: the image as it is, with the operating state.
  int readExec(int) override {
    store16(a::kOperatingState, state);
    return 1;
  }

  std::vector<Write> writesTo(uint32_t address) {
    std::lock_guard lock(logMutex_);
    std::vector<Write> found;
    for (const Write& write : log_) {
      if (write.address == address) found.push_back(write);
    }
    return found;
  }

  std::atomic<uint16_t> state{2};
  std::atomic<int> opens{0};
  std::atomic<bool> failWrites{false};
  std::atomic<bool> openFails{false};
  std::atomic<int> closes{0};
  std::atomic<int> closesWithoutLink{0};
  LinkState* linkState = nullptr;  // whose link a close must hold
  Gate openGate;

 private:
  std::vector<uint8_t> image_ = std::vector<uint8_t>(0x210000);
  std::vector<BoardBlock> building_;
  std::mutex logMutex_;
  std::vector<Write> log_;
};

// Holds back the answer to one string number until released.
class HeldAnswerer : public testing::ScriptedAnswerer {
 public:
  int held = 0;
  Gate gate;
  MessageAnswer ask(const Message& message) override {
    MessageAnswer answer = ScriptedAnswerer::ask(message);
    if (message.stringId == held) gate.pass();
    return answer;
  }
};

// Carries a question from another thread to the thread that made it and
// waits there until that thread serves it, as the editor's message boxes do.
class OwnerThreadAnswerer : public MessageHandler {
 public:
  OwnerThreadAnswerer() { setMessageHandler(this); }
  ~OwnerThreadAnswerer() override { setMessageHandler(nullptr); }

  MessageAnswer ask(const Message& message) override {
    if (std::this_thread::get_id() == owner_) return answer(message);
    std::promise<MessageAnswer> reply;
    std::future<MessageAnswer> future = reply.get_future();
    {
      std::lock_guard lock(m_);
      waiting_.push_back({message, &reply});
    }
    return future.get();
  }
  // The owner thread answers the questions waiting for it.
  void serve() {
    std::vector<Waiting> now;
    {
      std::lock_guard lock(m_);
      now.swap(waiting_);
    }
    for (Waiting& w : now) w.reply->set_value(answer(w.message));
  }
  size_t waiting() {
    std::lock_guard lock(m_);
    return waiting_.size();
  }
  std::vector<int> asked() {
    std::lock_guard lock(m_);
    return asked_;
  }

 private:
  struct Waiting {
    Message message;
    std::promise<MessageAnswer>* reply;
  };
  MessageAnswer answer(const Message& message) {
    std::lock_guard lock(m_);
    asked_.push_back(message.stringId);
    return cautiousAnswer(message.buttons);
  }

  const std::thread::id owner_ = std::this_thread::get_id();
  std::mutex m_;
  std::vector<Waiting> waiting_;
  std::vector<int> asked_;
};

bool eventually(const std::function<bool()>& condition) {
  for (auto until = std::chrono::steady_clock::now() + 5s; std::chrono::steady_clock::now() < until;) {
    if (condition()) return true;
    std::this_thread::sleep_for(1ms);
  }
  return condition();
}

class OnlineSessionTest : public ::testing::Test {
 protected:
  OnlineSessionTest() {
    setPacingScale(0.01);
    editor.project.modelName = u"DemoHumanoid";
    board.linkState = &link;
  }
  ~OnlineSessionTest() override {
    answerer.gate.open();
    board.openGate.open();
    session.endSession();
    setPacingScale(1.0);
  }

  // startSession returns once the board's settings are in; the check goes on.
  bool connect() {
    return session.startSession() == 1 && eventually([&] { return session.connected(); });
  }

  EchoBoard board;
  LinkState link;
  EditorState editor;
  SessionEvents events;
  HeldAnswerer answerer;
  OnlineSession session{board, link, editor, events, LinkTimeouts{200ms, 200ms}, SessionTimeouts{100ms, 300ms}};
};

using OnlineThreads = OnlineSessionTest;

TEST_F(OnlineSessionTest, AConnectionReadsTheBoardOverTheEditorsRecordAsItIsThen) {
  // The record changed after the session was made (a file loaded, a dialog
  // applied): the board's values replace their fields, what the board does
  // not hold (servo names) stays.
  board.store32(a::kControlPeriod, 12000);
  editor.cpuSettings.controlPeriod = 777;
  editor.cpuSettings.servos[3].name = u"Neck";
  ASSERT_TRUE(connect());
  const CpuSettings read = session.cpuSettings();
  EXPECT_EQ(read.controlPeriod, 12000u);
  EXPECT_EQ(read.servos[3].name, u"Neck");
}

TEST_F(OnlineThreads, NoSecondConnectThreadWhileTheFirstStillRuns) {
  board.openGate.close();
  EXPECT_EQ(session.startSession(), 0);  // the device does not open in time
  EXPECT_TRUE(session.connectThreadRunning());
  EXPECT_FALSE(session.online());
  EXPECT_EQ(session.startSession(), 0);
  EXPECT_EQ(board.opens.load(), 1);

  board.openGate.open();
  ASSERT_TRUE(eventually([&] { return !session.connectThreadRunning(); }));
  EXPECT_FALSE(session.connected());  // a session given up on does not come alive
  ASSERT_TRUE(connect());
  EXPECT_EQ(board.opens.load(), 2);
  EXPECT_EQ(session.endSession(), 1);
  EXPECT_FALSE(session.connectThreadRunning());
}

TEST_F(OnlineThreads, EndingFailsWhileTheThreadWaitsForTheReconnectAnswer) {
  ASSERT_TRUE(connect());
  answerer.held = kMsgReconnect;
  answerer.gate.close();
  board.failWrites = true;
  ASSERT_TRUE(eventually([&] { return !answerer.shownIds().empty(); }));
  EXPECT_TRUE(link.communicationError.load());

  EXPECT_EQ(session.endSession(), 0);  // a writer must not take the device now
  EXPECT_TRUE(session.connectThreadRunning());
  answerer.gate.open();
  EXPECT_TRUE(eventually([&] { return !session.connectThreadRunning(); }));
  EXPECT_FALSE(link.communicationError.load());
  EXPECT_EQ(answerer.shownIds(), std::vector<int>{kMsgReconnect});  // not asked again after the end
}

TEST_F(OnlineThreads, StartingAgainAndAgainAsTheLastThreadEndsNeverMeetsAThreadNotJoined) {
  // Every start gives up at once and its thread ends on its own a moment
  // later, while the next starts are made: some of them come as it ends.
  struct EndCounter : SessionEvents {
    const std::thread::id caller = std::this_thread::get_id();
    std::atomic<int> threadsEnded{0};
    void sessionChanged() override {
      if (std::this_thread::get_id() != caller) ++threadsEnded;
    }
  } ended;
  board.openFails = true;
  OnlineSession quick{board, link, editor, ended, LinkTimeouts{200ms, 200ms}, SessionTimeouts{0ms, 300ms}};
  for (int call = 0; ended.threadsEnded < 1000 && call < 2'000'000; ++call) quick.startSession();
  ASSERT_TRUE(eventually([&] { return !quick.connectThreadRunning(); }));
  EXPECT_FALSE(quick.connected());
}

TEST_F(OnlineThreads, ABoardCheckGivenUpOnAsksNothingAndRefusesTheBoard) {
  editor.project.modelName = u"OtherRobot";  // the check would ask 40254
  board.openGate.close();
  EXPECT_EQ(session.startSession(), 0);  // gives up: the session is no longer wanted
  board.openGate.open();
  ASSERT_TRUE(eventually([&] { return !session.connectThreadRunning(); }));
  EXPECT_FALSE(session.connected());
  EXPECT_TRUE(answerer.shownIds().empty());
  EXPECT_TRUE(board.writesTo(a::kMotionStart).empty());
}

TEST_F(OnlineThreads, AQuestionPendingAtShutdownIsAnsweredBeforeTheThreadIsJoined) {
  OwnerThreadAnswerer gui;
  editor.project.modelName = u"OtherRobot";
  EXPECT_EQ(session.startSession(), 1);  // the board's settings are in; the check asks 40254
  ASSERT_TRUE(eventually([&] { return gui.waiting() == 1; }));

  session.shutDown([&] { gui.serve(); });
  EXPECT_FALSE(session.connectThreadRunning());
  EXPECT_FALSE(session.connected());
  EXPECT_EQ(gui.asked(), std::vector<int>{kMsgOtherRobot});  // nothing more once the session ended
  EXPECT_TRUE(board.writesTo(a::kMotionStart).empty());
}

TEST_F(OnlineThreads, TheDeviceIsClosedOnlyWhileTheLinkIsHeld) {
  board.store16(a::kFirmwareVersion, 0x00FF);  // refused by the board check
  EXPECT_EQ(session.startSession(), 1);
  ASSERT_TRUE(eventually([&] { return !session.connectThreadRunning(); }));
  EXPECT_EQ(answerer.shownIds(), std::vector<int>{kMsgFirmwareTooOld});

  board.store16(a::kFirmwareVersion, 0x0100);
  ASSERT_TRUE(connect());
  EXPECT_EQ(session.endSession(), 1);
  EXPECT_EQ(board.closes.load(), 2);
  EXPECT_EQ(board.closesWithoutLink.load(), 0);
}

TEST_F(OnlineThreads, APoseIsNeverSentHalfOldHalfNew) {
  ASSERT_TRUE(connect());
  std::atomic<bool> stop{false};
  std::thread gui([&] {
    PoseValues pose;
    for (int16_t k = 100; !stop; k = static_cast<int16_t>(k == 30000 ? 100 : k + 1)) {
      pose.values.fill(k);
      session.queueLivePose(pose, k);
    }
  });
  ASSERT_TRUE(eventually([&] { return board.writesTo(a::kLivePose).size() >= 200; }));
  stop = true;
  gui.join();

  int userPoses = 0;
  for (const auto& write : board.writesTo(a::kLivePose)) {
    ASSERT_EQ(write.bytes.size(), 2u * kSliderCount + 4 + 2);  // values, servo bits, time in one write
    const uint16_t first = static_cast<uint16_t>(write.bytes[0] | write.bytes[1] << 8);
    for (int i = 1; i < kSliderCount; ++i) {
      ASSERT_EQ(write.bytes[2 * i] | write.bytes[2 * i + 1] << 8, first) << "slider " << i;
    }
    const uint16_t time = static_cast<uint16_t>(write.bytes[128] | write.bytes[129] << 8);
    // The first two sendings repeat the latest pose with their own times.
    if (time == kFirstStartPoseTime || time == kSecondStartPoseTime) continue;
    ASSERT_EQ(time, first);
    ++userPoses;
  }
  EXPECT_GT(userPoses, 0);
}

TEST_F(OnlineThreads, APoseWaitsWhileTheBoardIsBusyAndGoesOutWhenItIsFree) {
  ASSERT_TRUE(connect());
  ASSERT_TRUE(eventually([&] { return session.posesSent() >= 2; }));
  board.state = 6;
  ASSERT_TRUE(eventually([&] { return session.boardBusy(); }));
  PoseValues pose;
  pose.values.fill(1234);
  session.queueLivePose(pose, 40);
  // The pose of 1234s: nothing of it goes out while the board is busy.
  const auto ourPose = [&]() -> std::optional<std::vector<uint8_t>> {
    for (const auto& write : board.writesTo(a::kLivePose))
      if ((write.bytes[0] | write.bytes[1] << 8) == 1234) return write.bytes;
    return std::nullopt;
  };
  std::this_thread::sleep_for(50ms);
  EXPECT_FALSE(ourPose());

  board.state = 5;
  ASSERT_TRUE(eventually([&] { return ourPose().has_value(); }));
  const std::vector<uint8_t> sent = *ourPose();
  EXPECT_EQ(sent[128] | sent[129] << 8, 40);
}

using OnlineCommands = OnlineSessionTest;

TEST_F(OnlineCommands, ServoCommandsOfflineWhilePlayingAndBySpace) {
  editor.status.set(status::kServosOn, true);
  session.toggleServoPower();
  EXPECT_EQ(answerer.shownIds(), std::vector<int>{kMsgNotOnline});
  EXPECT_FALSE(editor.status.has(status::kServosOn));

  ASSERT_TRUE(connect());
  editor.status.set(status::kServosOn, true);
  // While a motion plays the playback thread carries the change out; three
  // presses leave it switched once.
  editor.playing = true;
  link.playbackOwner = kPlaybackOwnerPlaying;
  for (int press = 0; press < 3; ++press) session.toggleServoPower();
  EXPECT_TRUE(board.writesTo(a::kServoPower).empty());
  EXPECT_EQ(session.takeServoRequest(), 0);
  EXPECT_EQ(session.endSession(), 0);
  editor.playing = false;
  link.playbackOwner = 0;

  session.servoOffBySpace();  // without its display option Space does nothing
  EXPECT_TRUE(board.writesTo(a::kServoPower).empty());
  editor.status.set(status::kSpaceServoOff, true);
  session.servoOffBySpace();
  ASSERT_EQ(board.writesTo(a::kServoPower).size(), 1u);
  EXPECT_EQ(board.writesTo(a::kServoPower).back().bytes[0], 0);
  EXPECT_FALSE(editor.status.has(status::kServosOn));
}

// A board the system lists but does not let this user open.
class DeniedBoard : public EchoBoard {
 public:
  int open(int, int, int, int) override { return 0; }
  bool openDenied() override { return true; }
};

TEST(OnlineDenied, ABoardThatCannotBeOpenedIsReportedWithTheUdevRule) {
  DeniedBoard board;
  LinkState link;
  EditorState editor;
  SessionEvents events;
  testing::ScriptedAnswerer answerer;
  OnlineSession session{board, link, editor, events, LinkTimeouts{200ms, 200ms}, SessionTimeouts{100ms, 300ms}};
  session.toggleOnline();
  EXPECT_EQ(answerer.shownIds(), std::vector<int>{kMsgBoardNotOpenable});
  EXPECT_FALSE(session.connected());
}

}  // namespace
}  // namespace kv
