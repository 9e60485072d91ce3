// The online session and playback end to end: the editor's session through
// the link library against the virtual board running in-process, in a
// private virtual-board folder. The board runs faster than real time and
// the editor's protocol sleeps are scaled down to match.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "board/servo_correction.h"
#include "board_server.h"
#include "rom/compiled_motion.h"
#include "session/memory_map.h"
#include "session/online_session.h"
#include "session/playback.h"
#include "shell/editor_state.h"
#include "shell/pacing.h"
#include "support/scripted_answerer.h"
#include "support/temp_dir.h"

namespace kv {
namespace {

namespace a = board_addr;
using namespace std::chrono_literals;

bool eventually(const std::function<bool()>& condition, std::chrono::milliseconds limit = 10s) {
  for (auto until = std::chrono::steady_clock::now() + limit; std::chrono::steady_clock::now() < until;) {
    if (condition()) return true;
    std::this_thread::sleep_for(1ms);
  }
  return condition();
}

// The link library, with one write request that can be made to fail: the
// first one whose first block starts at `failWriteAt`.
class FlakyLink : public BoardLink {
 public:
  std::atomic<uint32_t> failWriteAt{0};

  std::span<uint8_t> memory() override { return real_.memory(); }
  int open(int v, int p, int lo, int hi) override { return real_.open(v, p, lo, hi); }
  void close() override { real_.close(); }
  int checkAlive() override { return real_.checkAlive(); }
  int writeInit() override {
    first_.reset();
    return real_.writeInit();
  }
  int writePush(int address, int length) override {
    if (!first_) first_ = static_cast<uint32_t>(address);
    return real_.writePush(address, length);
  }
  int writeEnd() override { return real_.writeEnd(); }
  int writeExec() override {
    uint32_t target = first_.value_or(0);
    if (target != 0 && failWriteAt.compare_exchange_strong(target, 0)) return 0;
    return real_.writeExec();
  }
  int readInit(int offset, int tag) override { return real_.readInit(offset, tag); }
  int readPush(int address, int length) override { return real_.readPush(address, length); }
  int readEnd() override { return real_.readEnd(); }
  int readExec(int tag) override { return real_.readExec(tag); }

 private:
  TavBoardLink real_;
  std::optional<uint32_t> first_;
};

class Recorder : public SessionEvents {
 public:
  void openProjectDialogs(const std::u16string& name) override {
    std::lock_guard lock(m_);
    projectRequests_.push_back(name);
  }
  void positionReached(int index) override {
    std::lock_guard lock(m_);
    positions_.push_back(index);
  }
  void liveStateUpdated() override { ++liveUpdates; }
  std::vector<int> positions() {
    std::lock_guard lock(m_);
    return positions_;
  }
  std::atomic<int> liveUpdates{0};
  std::vector<std::u16string> projectRequests() {
    std::lock_guard lock(m_);
    return projectRequests_;
  }

 private:
  std::mutex m_;
  std::vector<int> positions_;
  std::vector<std::u16string> projectRequests_;
};

// Runs a hook with each message's number before answering it. The hook is
// set by the test's thread and run by the session's threads.
class HookedAnswerer : public testing::ScriptedAnswerer {
 public:
  void setBefore(std::function<void(int)> hook) {
    std::lock_guard lock(hookMutex_);
    before_ = std::move(hook);
  }
  MessageAnswer ask(const Message& message) override {
    std::function<void(int)> hook;
    {
      std::lock_guard lock(hookMutex_);
      hook = before_;
    }
    if (hook) hook(message.stringId);
    return ScriptedAnswerer::ask(message);
  }

 private:
  std::mutex hookMutex_;
  std::function<void(int)> before_;
};

class SessionE2e : public ::testing::Test {
 protected:
  SessionE2e() {
    setenv("TAVLINK_VIRTUAL_DIR", folder.path().c_str(), 1);
    setPacingScale(0.01);
    editor.project.modelName = u"DemoHumanoid";
  }
  ~SessionE2e() override {
    playback.reset();
    session.reset();
    setPacingScale(1.0);
  }

  void startBoard(boardsim::BoardConfig config = {}, double timeScale = 0.05) {
    server.reset();
    boardsim::ServerOptions options;
    options.board = config;
    options.timeScale = timeScale;
    server = std::make_unique<boardsim::BoardServer>(options);
    ASSERT_TRUE(server->start());
  }
  bool connect() {
    return session->startSession() == 1 && eventually([&] { return session->connected(); });
  }
  // Waits until the board check has accepted or refused the board.
  void settle() {
    ASSERT_TRUE(eventually([&] { return session->connected() || !session->connectThreadRunning(); }));
  }
  uint32_t board32(uint32_t address) {
    const std::vector<uint8_t> b = server->read(address, 4);
    return b[0] | b[1] << 8 | b[2] << 16 | static_cast<uint32_t>(b[3]) << 24;
  }
  bool boardRunning() {
    return server->withBoard([](boardsim::Board& board) { return board.motionRunning(); });
  }

  // start -> the given blocks in list order -> end; block n holds 100 * n
  // on slider 0.
  void buildMotion(const std::vector<int>& kinds, int steps) {
    freeMotion(editor.motion);
    std::vector<int> all = {KindStart};
    all.insert(all.end(), kinds.begin(), kinds.end());
    all.push_back(KindEnd);
    MotionBlock* previous = nullptr;
    for (size_t i = 0; i < all.size(); ++i) {
      auto block = std::make_unique<MotionBlock>();
      block->kind = all[i];
      block->pose.steps = static_cast<uint16_t>(steps);
      block->pose.values[0] = static_cast<int16_t>(100 * i);
      block->resultVar = 100;  // calculations keep off the sliders
      if (previous) previous->link[kNextLink] = block.get();
      previous = block.get();
      editor.motion.blocks.push_back(std::move(block));
    }
  }
  size_t compiledSize() { return compileMotion(a::kMotionArea, editor.motion, kPoseHeaderByte, 100).bytes.size(); }

  testing::TempDir folder;
  HookedAnswerer answerer;
  std::unique_ptr<boardsim::BoardServer> server;
  FlakyLink link;
  LinkState linkState;
  EditorState editor;
  Recorder events;
  std::unique_ptr<OnlineSession> session = std::make_unique<OnlineSession>(link, linkState, editor, events);
  std::unique_ptr<Playback> playback = std::make_unique<Playback>(*session);
};

// ---------------------------------------------------------------- online session

using SessionOnline = SessionE2e;

TEST_F(SessionOnline, ConnectsMovesTheRobotLiveAndDisconnects) {
  startBoard();
  ASSERT_TRUE(connect());
  EXPECT_TRUE(answerer.shownIds().empty());
  EXPECT_EQ(session->cpuSettings().firmwareRevision, 20);
  EXPECT_EQ(session->boardRobotName(), u"DemoHumanoid");
  EXPECT_TRUE(eventually([&] { return session->liveSnapshot().batteryVoltage == 7400; }));

  session->toggleServoPower();
  EXPECT_TRUE(editor.status.has(status::kServosOn));
  PoseValues pose;
  pose.values[0] = 1500;
  pose.values[61] = -700;
  pose.servoMask = 0x3;
  session->hookLivePose();
  editor.views.livePose(pose, kPoseAreaTime);
  EXPECT_TRUE(eventually([&] { return server->variable(0) == 1500 && server->variable(61) == -700; }));
  EXPECT_TRUE(eventually([&] { return session->liveSnapshot().boardValues[0] == 1500; }));

  session->toggleOnline();  // the servos go off first
  EXPECT_FALSE(session->connected());
  EXPECT_FALSE(session->connectThreadRunning());
  EXPECT_TRUE(eventually([&] { return server->variable(252) == 0; }));
  EXPECT_FALSE(editor.status.has(status::kServosOn | status::kOnline));
  EXPECT_TRUE(eventually([&] { return !server->hostConnected(); }));
  EXPECT_TRUE(answerer.shownIds().empty());
}

TEST_F(SessionOnline, ServoPositionCorrectionWritesTheMovedBaseWithTheServosOffMeanwhile) {
  startBoard();
  ASSERT_TRUE(connect());
  takeBoardSettings(editor.cpuSettings, session->cpuSettings());  // the handover at connection
  for (PoseSlider& slider : editor.sliders.sliders) {
    slider.lowerLimit = -2000;
    slider.upperLimit = 2000;
  }
  buildMotion({KindPose}, 10);
  editor.motion.currentBlock = editor.motion.blocks[1].get();
  BasePose& stand = editor.basePoses.entries[0];
  stand.valid = true;
  stand.sliderEnabled.fill(true);
  stand.values[0] = 40;
  ServoRecord& head = editor.cpuSettings.servos[0];
  head.variableA = 0;
  head.term1Coefficient = 0;
  head.coefficient = 32767;
  head.lowerLimit = -1000;
  head.upperLimit = 1000;
  head.base = 20000;

  // The robot's joint 0 stands at 300, as read back from the board.
  session->toggleServoPower();
  ASSERT_TRUE(editor.status.has(status::kServosOn));
  PoseValues pose;
  pose.values[0] = 300;
  session->hookLivePose();
  editor.views.livePose(pose, kPoseAreaTime);
  ASSERT_TRUE(eventually([&] { return session->liveSnapshot().boardValues[0] == 300; }));

  answerer.answerNext(MessageAnswer::Yes);
  EXPECT_TRUE(servoPositionCorrection(editor, *session));
  EXPECT_EQ(answerer.shownIds(), (std::vector<int>{40036, 40067, 40271}));
  const uint16_t corrected = 20000 + 300 * 32767 / 32768 - 40 * 32767 / 32768;
  EXPECT_EQ(editor.cpuSettings.servos[0].base, corrected);
  const std::vector<uint8_t> base = server->read(a::kServoTableA + 4, 2);
  EXPECT_EQ(base[0] | base[1] << 8, corrected);
  EXPECT_EQ(editor.motion.currentBlock->pose.values[0], 40);  // the pose area shows the base pose
  EXPECT_TRUE(editor.status.has(status::kServosOn));  // on again afterwards
  EXPECT_TRUE(eventually([&] { return server->variable(252) == 1; }));
}

TEST_F(SessionOnline, ABoardOfAnotherRobotIsUsedOnlyWhenTheUserSaysNo) {
  startBoard();
  editor.project.modelName = u"OtherBot";
  answerer.answerNext(MessageAnswer::Yes);
  EXPECT_EQ(session->startSession(), 1);
  settle();
  EXPECT_FALSE(session->connected());
  EXPECT_EQ(events.projectRequests(), std::vector<std::u16string>{u"DemoHumanoid"});

  answerer.answerNext(MessageAnswer::Cancel);
  EXPECT_EQ(session->startSession(), 1);
  settle();
  EXPECT_FALSE(session->connected());

  answerer.answerNext(MessageAnswer::No);
  ASSERT_TRUE(connect());
  EXPECT_EQ(answerer.shownIds(), std::vector<int>(3, kMsgOtherRobot));
  EXPECT_EQ(events.projectRequests().size(), 1u);
}

TEST_F(SessionOnline, FirmwareOlderThanVersionOneRevisionFourIsRefused) {
  startBoard({.firmwareVersion = 0x0100, .firmwareRevision = 3});
  EXPECT_EQ(session->startSession(), 1);
  settle();
  EXPECT_FALSE(session->connected());
  ASSERT_EQ(answerer.shownIds(), std::vector<int>{kMsgFirmwareTooOld});
  const std::u16string text = answerer.shown().front().text;
  EXPECT_NE(text.find(u"ver1.000(3)"), std::u16string::npos);
  EXPECT_NE(text.find(u"ver1.000(4)"), std::u16string::npos);

  startBoard({.firmwareVersion = 0x0100, .firmwareRevision = 4});
  ASSERT_TRUE(connect());
  ASSERT_EQ(session->endSession(), 1);
  startBoard({.firmwareVersion = 0x0101, .firmwareRevision = 0});
  ASSERT_TRUE(connect());
  EXPECT_EQ(answerer.shownIds().size(), 1u);
}

TEST_F(SessionOnline, AnUnpluggedBoardIsOfferedToReconnectUntilTheUserGivesUp) {
  startBoard();
  ASSERT_TRUE(connect());
  ASSERT_TRUE(eventually([&] { return session->posesSent() == 2; }));  // the start pose, twice
  std::atomic<int> asked{0};
  answerer.setBefore([&](int id) {
    if (id == kMsgReconnect && ++asked == 2) server->plug();
  });
  answerer.answerNext(MessageAnswer::Yes);  // still unplugged: asked again
  answerer.answerNext(MessageAnswer::Yes);  // plugged back in
  server->unplug();
  // Reconnected: the pose pending again goes out after the board check.
  ASSERT_TRUE(eventually([&] { return session->posesSent() == 3; }));
  EXPECT_EQ(asked, 2);
  EXPECT_FALSE(linkState.communicationError.load());
  EXPECT_TRUE(session->connected());

  answerer.answerNext(MessageAnswer::No);
  server->unplug();
  ASSERT_TRUE(eventually([&] { return !session->connectThreadRunning(); }));
  EXPECT_FALSE(session->connected());
  EXPECT_FALSE(editor.status.has(status::kOnline));
  EXPECT_EQ(answerer.shownIds(), std::vector<int>(3, kMsgReconnect));
}

// ---------------------------------------------------------------- playback

using SessionPlayback = SessionE2e;

TEST_F(SessionPlayback, FollowsTheBoardThroughEveryPoseToTheLast) {
  startBoard();
  ASSERT_TRUE(connect());
  buildMotion({KindPose, KindCalcConstant, KindPose, KindPose}, 40);
  ASSERT_EQ(playback->startPlayback(kLoopControlAbsent), 1);
  EXPECT_TRUE(editor.playing.load());
  ASSERT_TRUE(eventually([&] { return !playback->threadRunning(); }));

  EXPECT_EQ(board32(a::kLoopSetting) & 0xFFFF, 3u);
  EXPECT_EQ(server->variable(0), 400);
  std::vector<int> poses;
  for (int index : events.positions()) {
    if (poses.empty() || poses.back() != index) poses.push_back(index);
  }
  EXPECT_EQ(poses, (std::vector<int>{0, 1, 3, 4}));
  EXPECT_FALSE(editor.playing.load());
  EXPECT_EQ(linkState.playbackOwner.load(), 0);
  EXPECT_TRUE(answerer.shownIds().empty());
  EXPECT_TRUE(session->connected());
}

TEST_F(SessionPlayback, ServoPowerChangesAndStopReachTheBoardWhilePlaying) {
  startBoard();
  ASSERT_TRUE(connect());
  buildMotion(std::vector<int>(6, KindPose), 239);
  ASSERT_EQ(playback->startPlayback(0), 1);
  ASSERT_TRUE(eventually([&] { return events.positions().size() >= 2; }));  // the first pose is shown
  session->toggleOnline();
  EXPECT_EQ(answerer.shownIds(), std::vector<int>{kMsgCannotDisconnectWhilePlaying});

  session->toggleServoPower();
  EXPECT_TRUE(eventually([&] { return server->variable(252) == 1; }));
  EXPECT_TRUE(editor.status.has(status::kServosOn));
  EXPECT_TRUE(boardRunning());

  playback->stopPlayback();
  ASSERT_TRUE(eventually([&] { return !playback->threadRunning(); }));
  EXPECT_FALSE(boardRunning());
  EXPECT_NE(server->variable(0), 600);  // stopped before the last pose
  EXPECT_EQ(events.positions().back(), 1);
  EXPECT_EQ(playback->lastPosition(), board32(a::kMotionPosition));
  EXPECT_TRUE(session->connected());
}

TEST_F(SessionPlayback, AfterStopNoLivePoseQueuedBeforeItReachesTheRobot) {
  startBoard();
  ASSERT_TRUE(connect());
  ASSERT_TRUE(eventually([&] { return session->posesSent() == 2; }));  // the start pose, twice
  buildMotion(std::vector<int>(6, KindPose), 239);
  ASSERT_EQ(playback->startPlayback(0), 1);
  ASSERT_TRUE(eventually([&] { return events.positions().size() >= 2; }));
  // The pose of a block the board was heading for, queued while playback
  // owns the link.
  PoseValues heading;
  heading.values[0] = 4321;
  session->queueLivePose(heading, 18);
  playback->stopPlayback();
  ASSERT_TRUE(eventually([&] { return !playback->threadRunning(); }));

  // Connect cycles go on with the board idle again; none sends a pose.
  ASSERT_TRUE(eventually([&] { return !session->boardBusy(); }));
  const int cycles = events.liveUpdates;
  ASSERT_TRUE(eventually([&] { return events.liveUpdates >= cycles + 5; }));
  EXPECT_EQ(session->posesSent(), 2);
  EXPECT_NE(server->variable(0), 4321);
  EXPECT_FALSE(boardRunning());
}

TEST_F(SessionPlayback, AMotionOf9727BytesPlaysAndOneOf9728IsRefused) {
  startBoard();
  ASSERT_TRUE(connect());
  // Code: 4 per pose, 5 per calculation with a constant, 4 with a variable,
  // the end block's marker and the closing one; 130 per pose record.
  const auto kinds = [](int constants, int variables) {
    std::vector<int> list(72, KindPose);
    list.insert(list.end(), constants, KindCalcConstant);
    list.insert(list.end(), variables, KindCalcVariable);
    return list;
  };
  buildMotion(kinds(14, 2), 1);
  ASSERT_EQ(compiledSize(), 9728u);
  EXPECT_EQ(playback->startPlayback(0), 0);
  EXPECT_EQ(answerer.shownIds(), std::vector<int>{kMsgMotionTooLarge});
  EXPECT_FALSE(editor.playing.load());
  EXPECT_FALSE(playback->threadRunning());

  buildMotion(kinds(13, 3), 1);
  ASSERT_EQ(compiledSize(), 9727u);
  ASSERT_EQ(playback->startPlayback(0), 1);
  ASSERT_TRUE(eventually([&] { return !playback->threadRunning(); }));
  const std::vector<uint8_t> program = compileMotion(a::kMotionArea, editor.motion, kPoseHeaderByte, 100).bytes;
  EXPECT_EQ(server->read(a::kMotionArea, program.size()), program);
  EXPECT_EQ(server->variable(0), 7200);
  EXPECT_EQ(answerer.shownIds().size(), 1u);
}

TEST_F(SessionPlayback, AMotionWithABlockNotWrittenIsNeverStarted) {
  startBoard();
  ASSERT_TRUE(connect());
  buildMotion({KindPose, KindPose, KindPose, KindPose, KindPose}, 10);
  ASSERT_GT(compiledSize(), 500u);
  link.failWriteAt = a::kMotionArea + 500;  // the third block of 250 bytes
  answerer.answerNext(MessageAnswer::Ok);
  answerer.answerNext(MessageAnswer::Yes);  // the session then reconnects
  ASSERT_EQ(playback->startPlayback(kLoopControlAbsent), 1);
  ASSERT_TRUE(eventually([&] { return !playback->threadRunning(); }));

  EXPECT_EQ(board32(a::kMotionPosition), 0u);  // never run
  EXPECT_EQ(board32(a::kLoopSetting) & 0xFFFF, 0u);
  EXPECT_EQ(server->variable(0), 0);
  ASSERT_TRUE(eventually([&] { return answerer.shownIds().size() == 2 && !linkState.communicationError; }));
  EXPECT_EQ(answerer.shownIds(), (std::vector<int>{kMsgMotionWriteFailed, kMsgReconnect}));
  EXPECT_TRUE(session->connected());
}

}  // namespace
}  // namespace kv
