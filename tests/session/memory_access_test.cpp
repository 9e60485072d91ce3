#include "session/memory_access.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <map>
#include <optional>
#include <thread>
#include <vector>

#include "board/device_values.h"
#include "session/memory_map.h"
#include "shell/pacing.h"
#include "support/scripted_answerer.h"

namespace kv {
namespace {

namespace a = board_addr;
using namespace std::chrono_literals;

// A simulated board behind the link calls: its own memory, the requests it
// has received, a standing read request that it answers on every read, and
// flash operations whose outcome the test chooses. It can stay silent, fail
// writes, or have its first answers after a write still show the memory as
// it was before (copies the host had not read yet).
class FakeBoard : public BoardLink {
 public:
  static constexpr size_t kSize = 0x400200;
  struct Block {
    uint32_t address;
    int length;
  };

  std::vector<uint8_t> host = std::vector<uint8_t>(kSize);
  std::vector<uint8_t> board = std::vector<uint8_t>(kSize);

  bool silent = false;
  int failWritesFrom = -1;  // writes with this index and later fail
  int staleReplies = 0;     // answers after each write that predate it
  int readDelayMs = 0;
  int16_t stateAfterClear = a::kFlashCleared;
  std::optional<int16_t> flashOutcome = a::kFlashDone;  // none: the operation never ends

  std::vector<std::vector<Block>> writes;  // every write sent, failed ones included
  std::vector<int> requestLengths;
  std::vector<uint32_t> flashOperations;
  int readExecCalls = 0;

  std::span<uint8_t> memory() override { return host; }
  int open(int, int, int, int) override { return 1; }
  void close() override {}
  int checkAlive() override { return 1; }

  int writeInit() override {
    building_.clear();
    writeUsed_ = 0;
    writeEnd_ = 0;
    return 1;
  }
  int writePush(int address, int length) override {
    if (!encodable(address, length) || writeUsed_ + length + 4 > 992) return 0;
    writeUsed_ += headerSize(writeEnd_, address) + length;
    writeEnd_ = address + length;
    building_.push_back({static_cast<uint32_t>(address), length});
    return 1;
  }
  int writeEnd() override { return 1; }
  int writeExec() override {
    const bool fails = failWritesFrom >= 0 && static_cast<int>(writes.size()) >= failWritesFrom;
    writes.push_back(building_);
    if (fails) return 0;
    if (staleReplies > 0) {
      stale_ = board;
      staleStanding_ = standing_;
      staleLeft_ = staleReplies;
    }
    bool pointerWritten = false;
    for (const Block& block : building_) {
      std::memcpy(&board[block.address], &host[block.address], static_cast<size_t>(block.length));
      if (block.address == a::kReadPointer) pointerWritten = true;
      if (built_ && block.address == built_->area && block.length == built_->length) received_[built_->area] = *built_;
      if (block.address < a::kRamBase && (block.length == 0 || block.length == 512)) {
        flashOperations.push_back(block.address);
        set16(a::kFlashState, 1);
        busyReads_ = 2;
      }
      if (block.address == a::kFlashState) set16(a::kFlashState, static_cast<uint16_t>(stateAfterClear));
    }
    if (pointerWritten) {
      auto found = received_.find(get32(a::kReadPointer));
      standing_ = found == received_.end() ? std::nullopt : std::optional<Request>(found->second);
    }
    return 1;
  }

  int readInit(int offset, int tag) override {
    built_ = Request{static_cast<uint32_t>(offset), tag, 0, {}};
    host[offset] = static_cast<uint8_t>(tag);
    readEnd_ = 0;
    expectedReply_ = 0;
    requestUsed_ = 1;
    return 1;
  }
  int readPush(int address, int length) override {
    if (!encodable(address, length)) return 0;
    const int size = headerSize(readEnd_, address);
    if (expectedReply_ + size + length + 2 > 992) return 0;
    expectedReply_ += size + length;
    requestUsed_ += size;
    readEnd_ = address + length;
    built_->blocks.push_back({static_cast<uint32_t>(address), length});
    return 1;
  }
  int readEnd() override {
    built_->length = requestUsed_ + 1;
    requestLengths.push_back(built_->length);
    return built_->length;
  }
  int readExec(int tag) override {
    ++readExecCalls;
    if (readDelayMs) std::this_thread::sleep_for(std::chrono::milliseconds(readDelayMs));
    if (silent) return 0;
    if (staleLeft_ > 0) {
      --staleLeft_;
      // Old copies of another request are skipped inside the same read.
      if (staleStanding_ && staleStanding_->tag == tag) {
        for (const Block& block : staleStanding_->blocks) {
          std::memcpy(&host[block.address], &stale_[block.address], static_cast<size_t>(block.length));
        }
        return 1;
      }
      staleLeft_ = 0;
    }
    if (!standing_ || standing_->tag != tag) return 0;
    if (busyReads_ > 0 && --busyReads_ == 0 && flashOutcome) set16(a::kFlashState, static_cast<uint16_t>(*flashOutcome));
    for (const Block& block : standing_->blocks) {
      std::memcpy(&host[block.address], &board[block.address], static_cast<size_t>(block.length));
    }
    return 1;
  }

  void set16(uint32_t at, uint16_t v) {
    board[at] = static_cast<uint8_t>(v);
    board[at + 1] = static_cast<uint8_t>(v >> 8);
  }
  void set32(uint32_t at, uint32_t v) {
    set16(at, static_cast<uint16_t>(v));
    set16(at + 2, static_cast<uint16_t>(v >> 16));
  }
  uint16_t get16(uint32_t at) const { return static_cast<uint16_t>(board[at] | board[at + 1] << 8); }
  uint32_t get32(uint32_t at) const { return get16(at) | static_cast<uint32_t>(get16(at + 2)) << 16; }

  // Writes whose first block is at `address`.
  int writesTo(uint32_t address) const {
    int count = 0;
    for (const auto& write : writes) count += !write.empty() && write.front().address == address;
    return count;
  }

 private:
  struct Request {
    uint32_t area;
    int tag;
    int length;
    std::vector<Block> blocks;
  };
  static bool encodable(int address, int length) {
    return address >= 0 && address <= 0x3FFFFF && ((length >= 0 && length <= 250) || length == 256 || length == 512);
  }
  static int headerSize(int previousEnd, int address) {
    const int delta = address - previousEnd;
    if (delta >= 1 && delta <= 127) return 2;
    return delta >= 0 && delta <= 0x3FFF ? 3 : 4;
  }

  std::vector<Block> building_;
  int writeUsed_ = 0;
  int writeEnd_ = 0;
  std::optional<Request> built_;
  int readEnd_ = 0;
  int expectedReply_ = 0;
  int requestUsed_ = 0;
  std::map<uint32_t, Request> received_;
  std::optional<Request> standing_;
  int busyReads_ = 0;
  std::vector<uint8_t> stale_;
  std::optional<Request> staleStanding_;
  int staleLeft_ = 0;
};

class MemoryAccessTest : public ::testing::Test {
 protected:
  MemoryAccessTest() : access(board, state, LinkTimeouts{50ms, 200ms}) {
    setPacingScale(0);
    state.online = true;
  }
  ~MemoryAccessTest() override { setPacingScale(1.0); }

  FakeBoard board;
  LinkState state;
  MemoryAccess access;
  testing::ScriptedAnswerer answerer;
};

// ---------------------------------------------------------------- link and waits

using MemoryLinkWait = MemoryAccessTest;

TEST_F(MemoryLinkWait, RefusesAtOnceWhilePlaybackOwnsTheLinkEvenWhenItIsFree) {
  state.playbackOwner = kPlaybackOwnerPlaying;
  EXPECT_EQ(access.waitLinkFree(), 0);
  EXPECT_EQ(access.setServoPower(1), 0);
  EXPECT_EQ(access.readBoardWord(0x200800), 0);
  EXPECT_TRUE(board.writes.empty());
  EXPECT_TRUE(answerer.shownIds().empty());  // no 40107 while playing
}

TEST_F(MemoryLinkWait, GivesUpOnItsDeadlineAndTheCallerReportsTheTimeout) {
  LinkHold other(state);  // another thread holds the link and never lets go
  EXPECT_EQ(access.waitLinkFree(), 0);
  EXPECT_EQ(access.setServoPower(1), 0);
  EXPECT_EQ(access.sendStopRequest(), 0);
  EXPECT_EQ(access.readBoardWord(0x200800), 0);  // silent
  EXPECT_EQ(answerer.shownIds(), (std::vector<int>{40107, 40107}));
  EXPECT_TRUE(board.writes.empty());
  EXPECT_TRUE(state.linkBusy.load());
}

TEST_F(MemoryLinkWait, AnswersForOfflineErrorRoundLimitAndRelease) {
  {
    LinkHold other(state);
    EXPECT_EQ(access.waitLinkFree(0), 0);
    state.online = false;
    EXPECT_EQ(access.waitLinkFree(), -1);
    state.online = true;
    state.communicationError = true;
    EXPECT_EQ(access.waitLinkFree(), 0);
    state.communicationError = false;
  }
  LinkHold other(state);
  std::thread releaser([&] {
    std::this_thread::sleep_for(5ms);
    other.release();
  });
  MemoryAccess patient(board, state, LinkTimeouts{10s, 10s});
  EXPECT_EQ(patient.waitLinkFree(), 1);
  releaser.join();
  // Not online: nothing is taken and the user hears of it.
  state.online = false;
  EXPECT_EQ(access.applySettingsToRam(CpuSettings{}), 0);
  EXPECT_EQ(answerer.shownIds(), std::vector<int>{40107});
  EXPECT_FALSE(state.linkBusy.load());
}

TEST_F(MemoryLinkWait, ExecWriteSendsOnlyOnlineAndMarksFailures) {
  state.online = false;
  EXPECT_EQ(access.writeBlocks({{a::kStopRequest, 2}}), 0);
  EXPECT_TRUE(board.writes.empty());
  state.online = true;
  board.failWritesFrom = 0;
  EXPECT_EQ(access.writeBlocks({{a::kStopRequest, 2}}), 0);
  EXPECT_TRUE(state.communicationError.load());
  // Straight writes of the flash writers leave the session's flags alone.
  state.communicationError = false;
  EXPECT_EQ(access.restartBoard(), 0);
  EXPECT_FALSE(state.communicationError.load());
}

// ---------------------------------------------------------------- read transaction

using MemoryRead = MemoryAccessTest;

// Blocks of one byte, each one byte behind the previous: a request of
// 2 + 4 + 2 * (count - 1) ... bytes, tag and terminator included.
std::vector<BoardBlock> requestOfLength(int length) {
  std::vector<BoardBlock> blocks{{0x200800, 1}};
  for (int n = 6; n < length; n += 2) blocks.push_back({blocks.back().address + 2, 1});
  return blocks;
}

TEST_F(MemoryRead, TriesReplyCollectionOncePerReportOfTheRequestPlusOne) {
  board.silent = true;
  for (auto [length, tries] : {std::pair{60, 1}, {62, 2}, {124, 3}}) {
    board.readExecCalls = 0;
    EXPECT_EQ(access.readBlocks(requestOfLength(length)), 0);
    EXPECT_EQ(board.requestLengths.back(), length);
    EXPECT_EQ(board.readExecCalls, tries) << "request of " << length;
  }
}

TEST_F(MemoryRead, SendsPointerThenRequestAndTheReplyLandsInTheImage) {
  board.set16(0x200900, 0x1234);
  ASSERT_EQ(access.readBlocks({{0x200900, 2}}), 1);
  EXPECT_EQ(board.load16(0x200900), 0x1234);
  ASSERT_EQ(board.writes.size(), 1u);
  const auto& write = board.writes[0];
  ASSERT_EQ(write.size(), 2u);
  EXPECT_EQ(write[0].address, a::kReadPointer);
  EXPECT_EQ(write[1].address, a::kReadRequestArea);
  EXPECT_EQ(write[1].length, board.requestLengths.back());
  EXPECT_EQ(board.get32(a::kReadPointer), a::kReadRequestArea);
  EXPECT_EQ(board.board[a::kReadRequestArea], state.readTag());
}

TEST_F(MemoryRead, ARequestTooLongForOneBlockIsNotSent) {
  EXPECT_EQ(access.readBlocks(requestOfLength(252)), 0);
  EXPECT_TRUE(board.writes.empty());
  EXPECT_FALSE(state.communicationError.load());
}

TEST_F(MemoryRead, BoardErrorIsReturnedAndClearedOnTheBoard) {
  board.set32(a::kErrorAddress, 0x201A10);
  board.set16(a::kErrorCode, 8);
  uint32_t address = 0;
  EXPECT_EQ(access.readBoardError(&address), 8);
  EXPECT_EQ(address, 0x201A10u);
  EXPECT_EQ(board.get32(a::kErrorAddress), 0u);
  EXPECT_EQ(board.get16(a::kErrorCode), 0u);
}

TEST_F(MemoryRead, BoardErrorIsClearedEvenWithoutAReply) {
  board.set32(a::kErrorAddress, 0x1000);
  board.set16(a::kErrorCode, 3);
  board.silent = true;
  uint32_t address = 77;
  EXPECT_EQ(access.readBoardError(&address), 0);
  EXPECT_EQ(address, 77u);
  EXPECT_EQ(board.get16(a::kErrorCode), 0u);
  EXPECT_EQ(board.get32(a::kErrorAddress), 0u);

  board.failWritesFrom = static_cast<int>(board.writes.size());
  EXPECT_EQ(access.readBoardError(&address), -1);
}

TEST_F(MemoryRead, LiveStateDistributesTheWordsAndSkipsTheOneAfterTheDigitalWord) {
  board.set16(a::kOperatingState, 6);
  for (int i = 0; i < 62; ++i) board.set16(a::variableAddress(i), static_cast<uint16_t>(-100 + i));
  board.set16(a::kBatteryVoltage, 0x1A2B);
  board.set16(0x2009E0, 3);       // TPAD-7
  board.set16(0x2009E2, 0x0001);  // digital inputs
  board.set16(0x2009E4, 0x7777);  // not a controller value
  for (uint32_t at = 0x2009E6; at <= 0x2009F6; at += 2) board.set16(at, static_cast<uint16_t>(0x100 + (at - 0x2009E6)));
  LiveSnapshot snapshot;
  EXPECT_EQ(access.readLiveState(snapshot), 6);
  EXPECT_EQ(snapshot.boardValues[0], -100);
  EXPECT_EQ(snapshot.boardValues[61], -39);
  EXPECT_EQ(snapshot.batteryVoltage, 0x1A2B);
  EXPECT_EQ(snapshot.controllerKind, 3);
  EXPECT_EQ(snapshot.controllerWords,
            (std::array<uint16_t, 10>{0x0001, 0x100, 0x102, 0x104, 0x106, 0x108, 0x10A, 0x10C, 0x10E, 0x110}));
  EXPECT_EQ(snapshot.vibration(), 0x100);
  EXPECT_EQ(snapshot.rightStickX(), 0x102);
  EXPECT_EQ(snapshot.mapMode(3), 0x110);

  board.silent = true;
  LiveSnapshot untouched = snapshot;
  board.set16(a::kBatteryVoltage, 1);
  EXPECT_EQ(access.readLiveState(snapshot), 0);
  EXPECT_EQ(snapshot.batteryVoltage, untouched.batteryVoltage);
}

TEST_F(MemoryRead, StopRequestDropsThePendingPoseAndServoPowerReachesTheBoard) {
  state.posePending = true;
  EXPECT_EQ(access.sendStopRequest(), 1);
  EXPECT_FALSE(state.posePending.load());
  EXPECT_EQ(board.get16(a::kStopRequest), 1);
  EXPECT_EQ(access.setServoPower(1), 1);
  EXPECT_EQ(board.get16(a::kServoPower), 1);
  board.set16(0x200A10, 0xBEEF);
  EXPECT_EQ(access.readBoardWord(0x200A10), 0xBEEF);
  EXPECT_FALSE(state.linkBusy.load());
}

// ---------------------------------------------------------------- flash handshake

using MemoryFlash = MemoryAccessTest;

TEST_F(MemoryFlash, EraseStepCompletesOnABoardThatReportsDone) {
  const int tag = access.startStatusRead();
  ASSERT_NE(tag, 0);
  const auto& standing = board.writes.at(0);
  ASSERT_EQ(standing.size(), 2u);
  EXPECT_EQ(standing[0].address, a::kFlashRequestArea);
  EXPECT_EQ(standing[1].address, a::kReadPointer);
  EXPECT_EQ(access.flashStep(tag, {0x8000, 0}), FlashStepResult::Done);
  EXPECT_EQ(board.flashOperations, std::vector<uint32_t>{0x8000});
}

TEST_F(MemoryFlash, FailuresOfEachStepNameTheirMessage) {
  int tag = access.startStatusRead();
  board.flashOutcome = a::kFlashFailed;
  FlashStepResult result = access.flashStep(tag, {0x0, 512});
  EXPECT_EQ(result, FlashStepResult::WaitFailed);
  showFlashStepError(result);

  board.stateAfterClear = a::kFlashFailed;
  result = access.flashStep(tag, {0x0, 512});
  EXPECT_EQ(result, FlashStepResult::ClearFailed);
  showFlashStepError(result);

  board.stateAfterClear = a::kFlashCleared;
  board.failWritesFrom = static_cast<int>(board.writes.size()) + 1;  // the clear goes out, the operation not
  result = access.flashStep(tag, {0x0, 512});
  EXPECT_EQ(result, FlashStepResult::WriteFailed);
  showFlashStepError(result);
  EXPECT_EQ(answerer.shownIds(), (std::vector<int>{40305, 40304, 40306}));
}

TEST_F(MemoryFlash, OldCopiesOfTheStatusAreReadPastUntilTheStateAskedFor) {
  board.set16(a::kFlashState, static_cast<uint16_t>(a::kFlashFailed));  // left by an earlier writer
  board.staleReplies = 3;
  const int tag = access.startStatusRead();
  EXPECT_EQ(access.flashStep(tag, {0x8000, 0}), FlashStepResult::Done);
  EXPECT_EQ(access.flashStep(tag, {0x10000, 0}), FlashStepResult::Done);
}

TEST_F(MemoryFlash, ASilentBoardIsNeverTakenForACompletedStep) {
  const int tag = access.startStatusRead();
  board.silent = true;
  board.readExecCalls = 0;  // the rounds of the clear alone
  MemoryAccess unhurried(board, state, LinkTimeouts{10s, 1h});
  // The image holds the 0 just written; without a reply it proves nothing.
  EXPECT_EQ(unhurried.clearFlashState(tag), 0);
  EXPECT_EQ(board.readExecCalls, kClearFlashRounds);
  board.readExecCalls = 0;
  EXPECT_EQ(unhurried.waitFlashState(tag), 0);
  EXPECT_EQ(board.readExecCalls, kWaitFlashRounds);
}

TEST_F(MemoryFlash, SlowSilentReadsStopAtTheDeadlineLongBeforeTheRoundLimit) {
  const int tag = access.startStatusRead();
  board.silent = true;
  board.readDelayMs = 1;
  MemoryAccess hurried(board, state, LinkTimeouts{10s, 20ms});
  EXPECT_EQ(hurried.waitFlashState(tag), 0);
  EXPECT_LT(board.readExecCalls, 1000);
  board.readExecCalls = 0;
  EXPECT_EQ(hurried.clearFlashState(tag), 0);
  EXPECT_LT(board.readExecCalls, 1000);
}

TEST_F(MemoryFlash, AnOperationThatNeverEndsAndAClosedWriterWindowBothGiveUp) {
  const int tag = access.startStatusRead();
  board.flashOutcome.reset();
  EXPECT_EQ(access.flashStep(tag, {0x10000, 0}), FlashStepResult::WaitFailed);

  board.stateAfterClear = 1;  // the board never reports the state cleared
  std::atomic<bool> keepGoing{false};
  board.readExecCalls = 0;
  EXPECT_EQ(access.clearFlashState(tag, &keepGoing), 0);
  EXPECT_EQ(board.readExecCalls, 1);
}

// ---------------------------------------------------------------- settings

using MemorySettings = MemoryAccessTest;

constexpr uint32_t kNameAt = 0x0001F0;
constexpr uint32_t kTableAt = 0x200400;

// A board holding a complete configuration.
void fillBoard(FakeBoard& board) {
  board.set32(a::kNamePointer, kNameAt);
  const uint8_t name[] = {0x83, 0x8D, 0x83, 0x7B, 'X', 0};  // "ロボX" in Shift-JIS
  std::memcpy(&board.board[kNameAt], name, sizeof name);
  board.set32(a::kDeviceTablePointer, kTableAt);
  board.set16(a::kBatteryAlarm, 6500);
  board.set16(a::kBatteryShutdown, 6000);
  board.set16(a::kVoiceVariable, 61);
  board.set16(a::kBootTimer, 9);       // the RAM copy is not the one taken
  board.set16(a::kRomBootTimer, 0xFFFF);
  board.set32(a::kControlPeriod, 10000);
  board.board[a::kVoiceOutput] = 1;
  board.board[a::kAmplifier] = 0x82;
  board.set16(a::kFirmwareVersion, 0x0101);
  board.set32(a::kFirmwareRevision, 17);
  board.board[a::kPadType] = 3;
  board.board[a::kControllerServoOn] = 1;
  board.board[a::kCn6Type] = 2;
  board.board[a::kCn7Type] = 1;
  board.board[a::kInterpolation + 61] = 4;
  const uint8_t servoA[16] = {5, 1, 2, 3, 0x10, 0x27, 0x00, 0x80, 0xFF, 0xFF, 0x18, 0xFC, 0xE8, 0x03, 62, 0x85};
  std::memcpy(&board.board[a::kServoTableA + 16 * 5], servoA, 16);
  const uint8_t servoB[16] = {0xFE, 0xFF, 7, 8, 2, 0, 9, 10, 3, 0, 11, 12, 0x24, 0, 0, 0};
  std::memcpy(&board.board[a::kServoTableB + 16 * 29], servoB, 16);
  const uint8_t table[] = {8, 0, 0x00, 0x09, 0xBE, 147, 0xAA, 0xBB, 7, 0, 0x00, 0x01, 0x90, 128, 0xCC, 0, 0};
  std::memcpy(&board.board[kTableAt], table, sizeof table);
}

TEST_F(MemorySettings, ReadsEveryFieldNameAndDeviceFromTheBoard) {
  fillBoard(board);
  state.online = false;  // the firmware writer reads outside a session
  CpuSettings settings;
  settings.devices[5].used = 1;
  std::u16string name;
  ASSERT_EQ(access.readBoardSettings(settings, &name), 1);
  EXPECT_EQ(name, u"ロボX");
  EXPECT_EQ(settings.controlPeriod, 10000u);
  EXPECT_EQ(settings.batteryAlarm, 6500);
  EXPECT_EQ(settings.batteryShutdown, 6000);
  EXPECT_EQ(settings.voiceVariable, 61);
  EXPECT_EQ(settings.voiceOutput, 1);
  EXPECT_EQ(settings.amplifier, 0x82);
  EXPECT_EQ(settings.bootTimer, -1);
  EXPECT_EQ(settings.firmwareVersion, 0x0101);
  EXPECT_EQ(settings.firmwareRevision, 17);
  EXPECT_EQ(settings.padType, 3);
  EXPECT_EQ(settings.controllerServoOn, 1);
  EXPECT_EQ(settings.cn6Type, 2);
  EXPECT_EQ(settings.cn7Type, 1);
  EXPECT_EQ(settings.interpolation[61], 4);

  const ServoRecord& five = settings.servos[5];
  EXPECT_EQ(five.powerOnTimer, 5);
  EXPECT_EQ(five.variableA, 1);
  EXPECT_EQ(five.term1Vb, 3);
  EXPECT_EQ(five.base, 10000);
  EXPECT_EQ(five.coefficient, -32768);
  EXPECT_EQ(five.term1Coefficient, -1);
  EXPECT_EQ(five.lowerLimit, -1000);
  EXPECT_EQ(five.upperLimit, 1000);
  EXPECT_EQ(five.torqueOffVariable, 62);
  EXPECT_EQ(five.torqueOffBits, 0x85);
  const ServoRecord& last = settings.servos[29];
  EXPECT_EQ(last.termCoefficient, (std::array<int16_t, 3>{-2, 2, 3}));
  EXPECT_EQ(last.termVa, (std::array<uint8_t, 3>{7, 9, 11}));
  EXPECT_EQ(last.termVb, (std::array<uint8_t, 3>{8, 10, 12}));
  EXPECT_EQ(last.validity, 0x24);

  EXPECT_EQ(settings.devices[0].type, 0x0900);
  EXPECT_EQ(settings.devices[0].size, 8);
  EXPECT_EQ(settings.devices[0].statusVariable, 147);
  EXPECT_EQ(settings.devices[0].parameters[1], 0xBB);
  EXPECT_EQ(settings.devices[1].used, 1);
  EXPECT_EQ(settings.devices[1].busAddress, 0x90);
  EXPECT_EQ(settings.devices[2].used, 0);
  EXPECT_EQ(settings.devices[5].used, 0);
}

TEST_F(MemorySettings, PointersNamingNoMemoryAreNotFollowed) {
  fillBoard(board);
  board.set32(a::kNamePointer, 0x3FFFF8);           // 16 bytes would pass the address space
  std::memcpy(&board.board[0x3FFFF8], "ABC", 4);
  board.set32(a::kDeviceTablePointer, 0xFFFFFF00);  // far outside the image
  CpuSettings settings;
  settings.devices[0].used = 1;
  settings.devices[0].type = 0x0100;
  std::u16string name = u"old";
  EXPECT_EQ(access.readBoardSettings(settings, &name), 1);
  EXPECT_EQ(name, u"");
  EXPECT_EQ(settings.devices[0].type, 0x0100);  // kept as it was
  EXPECT_EQ(settings.batteryAlarm, 6500);       // the rest is still read

  // A board that never reports the pointers is asked twice, then left alone.
  FakeBoard empty;
  MemoryAccess access2(empty, state, LinkTimeouts{200ms, 200ms});
  EXPECT_EQ(access2.readBoardSettings(settings, &name), 1);
  EXPECT_EQ(empty.writesTo(a::kReadPointer), 2 + 1 + 1 + 60);
}

TEST_F(MemorySettings, ABoardThatNeverAnswersFailsAtTheFirstRequest) {
  fillBoard(board);
  board.silent = true;
  CpuSettings settings;
  std::u16string name = u"old";
  EXPECT_EQ(access.readBoardSettings(settings, &name), 0);
  EXPECT_EQ(board.writesTo(a::kReadPointer), 1);  // nothing more is asked of it
  EXPECT_EQ(name, u"old");
}

TEST_F(MemorySettings, DeviceEntriesWithImpossibleSizesEndTheList) {
  // A table of two entries of the given sizes over bytes that are not zero.
  const auto parse = [](uint16_t first, uint16_t second) {
    std::vector<uint8_t> table(512, 0x11);
    const uint8_t header[] = {static_cast<uint8_t>(first), static_cast<uint8_t>(first >> 8), 0x00, 0x04, 0xC0, 0};
    std::memcpy(table.data(), header, sizeof header);
    table[first] = static_cast<uint8_t>(second);
    table[first + 1] = static_cast<uint8_t>(second >> 8);
    std::array<DeviceEntry, kDeviceSlotCount> devices{};
    for (DeviceEntry& entry : devices) entry.used = 1;
    parseDeviceTable(table, devices);
    return devices;
  };
  for (uint16_t size : {uint16_t{3}, uint16_t{5}, uint16_t{265}, uint16_t{0xFFFF}}) {
    const auto devices = parse(6, size);
    EXPECT_EQ(devices[0].used, 1) << size;
    EXPECT_EQ(devices[0].type, 0x0400);
    EXPECT_EQ(devices[1].used, 0) << size;
    EXPECT_EQ(devices[31].used, 0) << size;
  }
  EXPECT_EQ(parse(6, 264)[1].used, 1);    // a full parameter field fits
  EXPECT_EQ(parse(264, 248)[1].used, 1);  // ends at byte 511
  EXPECT_EQ(parse(264, 249)[1].used, 0);  // would end beyond it
}

std::array<DeviceEntry, kDeviceSlotCount> devicesOfSizes(std::initializer_list<int> sizes) {
  std::array<DeviceEntry, kDeviceSlotCount> devices{};
  size_t i = 0;
  for (int size : sizes) {
    devices[i].used = 1;
    devices[i].size = static_cast<uint16_t>(size);
    devices[i].type = static_cast<uint16_t>(0x0100 * (i + 1));
    devices[i].parameters.fill(static_cast<uint8_t>(i + 1));
    ++i;
  }
  return devices;
}

TEST_F(MemorySettings, PackedTableStaysBelowTheBankSize) {
  EXPECT_EQ(packDeviceTable(devicesOfSizes({100, 100, 53})).size(), 255u);
  EXPECT_EQ(packDeviceTable(devicesOfSizes({100, 100, 54})).size(), 202u);  // the third would reach 256
  EXPECT_EQ(packDeviceTable(devicesOfSizes({46, 4, 46})).size(), 48u);     // a size below the header stops it
  EXPECT_EQ(packDeviceTable({}).size(), 2u);

  const auto packed = packDeviceTable(devicesOfSizes({8}));
  EXPECT_EQ(packed, (std::vector<uint8_t>{8, 0, 0x00, 0x01, 0, 0, 1, 1, 0, 0}));
  std::array<DeviceEntry, kDeviceSlotCount> back{};
  std::vector<uint8_t> window(packed);
  window.resize(512);
  parseDeviceTable(window, back);
  EXPECT_EQ(back[0].parameters[1], 1);
  EXPECT_EQ(back[1].used, 0);
}

TEST_F(MemorySettings, ApplySendsNoStaleDeviceTablePointer) {
  // The image holds an old pointer and old bytes in the gap nothing edits
  // (0x200036-0x200037); only the device table's own write sets the pointer.
  constexpr uint32_t kGap = a::kAmplifier + 1;
  board.board[kGap] = 0x5A;
  std::fill_n(&board.host[kGap], 6, uint8_t{0xEE});
  ASSERT_EQ(access.applySettingsToRam(CpuSettings{}), 1);
  for (const auto& write : board.writes) {
    for (const FakeBoard::Block& block : write) {
      if (block.address < a::kPadType && kGap < block.address + static_cast<uint32_t>(block.length)) {
        EXPECT_TRUE(block.address == a::kDeviceTablePointer && block.length == 4) << std::hex << block.address;
      }
    }
  }
  EXPECT_EQ(board.board[kGap], 0x5A);
}

TEST_F(MemorySettings, DeviceTableGoesIntoTheBankTheBoardIsNotUsingThenThePointer) {
  CpuSettings settings;
  settings.devices = devicesOfSizes({100, 100, 52});
  settings.controlPeriod = 16000;
  settings.servos[29].termVb[2] = 44;
  // A restarted board may run on either bank; the connection read its pointer.
  board.set32(a::kDeviceTablePointer, 0x200500);
  board.host[a::kDeviceTablePointer + 1] = 0x05;
  board.host[a::kDeviceTablePointer + 2] = 0x20;
  ASSERT_EQ(access.applySettingsToRam(settings), 1);
  EXPECT_EQ(board.get32(a::kDeviceTablePointer), 0x200400u);
  EXPECT_EQ(board.get32(a::kControlPeriod), 16000u);
  EXPECT_EQ(board.board[a::kServoTableB + 16 * 29 + 11], 44);
  EXPECT_EQ(board.writesTo(0x200500), 0) << "the bank in use is left alone";
  EXPECT_EQ(board.writesTo(0x200400), 1);  // 250 bytes, then the rest
  EXPECT_EQ(board.writesTo(0x200400 + 250), 1);
  EXPECT_EQ(board.get16(0x200400 + 252), 0u);
  // The pointer is switched only after the last piece of the table.
  size_t lastPiece = 0, pointerWrite = 0;
  for (size_t i = 0; i < board.writes.size(); ++i) {
    if (board.writes[i].front().address == 0x200400 + 250) lastPiece = i;
    if (board.writes[i].front().address == a::kDeviceTablePointer) pointerWrite = i;
  }
  EXPECT_GT(pointerWrite, lastPiece);

  ASSERT_EQ(access.applySettingsToRam(settings), 1);
  EXPECT_EQ(board.get32(a::kDeviceTablePointer), 0x200500u) << "a second table uses the other bank";

  // The table's write fails: the board keeps its table and pointer.
  const size_t before = board.writes.size();
  board.failWritesFrom = static_cast<int>(before) + 62;  // settings, servo writes and the pointer's read pass
  EXPECT_EQ(access.applySettingsToRam(settings), 0);
  EXPECT_EQ(board.get32(a::kDeviceTablePointer), 0x200500u);
  EXPECT_EQ(board.writes.size(), before + 63) << "nothing more after the failed piece";
  EXPECT_EQ(board.writesTo(a::kDeviceTablePointer), 2);
  EXPECT_FALSE(state.linkBusy.load());
}

TEST_F(MemorySettings, NoDeviceTableIsWrittenWhenTheBankInUseIsUnknown) {
  CpuSettings settings;
  settings.devices = devicesOfSizes({10});
  // A pointer that the board does not report, and one whose table reaches
  // into both banks: either bank may be in use.
  board.silent = true;
  EXPECT_EQ(access.applySettingsToRam(settings), 0);
  board.silent = false;
  board.set32(a::kDeviceTablePointer, 0x200480);
  board.host[a::kDeviceTablePointer] = 0x80;
  board.host[a::kDeviceTablePointer + 1] = 0x04;
  board.host[a::kDeviceTablePointer + 2] = 0x20;
  EXPECT_EQ(access.applySettingsToRam(settings), 0);
  EXPECT_EQ(board.writesTo(0x200400) + board.writesTo(0x200500), 0);
  EXPECT_EQ(board.get32(a::kDeviceTablePointer), 0x200480u);
}

// ---------------------------------------------------------------- device live values

using BoardLiveValues = MemoryAccessTest;

TEST_F(BoardLiveValues, OneRequestPerTickReportsFailureInsteadOfZero) {
  BoardDeviceValues source(access);
  board.set16(a::variableAddress(128), 0);
  board.set16(a::variableAddress(129), static_cast<uint16_t>(-300));
  board.set16(a::variableAddress(131), 77);
  const uint8_t variables[] = {131, 128, 129};
  std::array<int16_t, 3> values{};
  ASSERT_EQ(source.readVariables(variables, values), LiveRead::Read);
  EXPECT_EQ(values, (std::array<int16_t, 3>{77, 0, -300}));
  EXPECT_EQ(board.writesTo(a::kReadPointer), 1) << "one bundled request";
  EXPECT_FALSE(state.linkBusy.load());

  board.silent = true;
  EXPECT_EQ(source.readVariables(variables, values), LiveRead::Unavailable);
  board.silent = false;
  state.online = false;
  EXPECT_EQ(source.readVariables(variables, values), LiveRead::Unavailable);
  state.online = true;
  state.playbackOwner = kPlaybackOwnerPlaying;
  EXPECT_EQ(source.readVariables(variables, values), LiveRead::Unavailable);
  state.playbackOwner = 0;
  EXPECT_EQ(board.writesTo(a::kReadPointer), 2) << "only the silent board was asked";
}

TEST_F(BoardLiveValues, ABusyLinkSkipsTheTickWithoutWaiting) {
  BoardDeviceValues source(access);
  LinkHold connectThread(state);
  ASSERT_TRUE(connectThread);
  const uint8_t variables[] = {130};
  std::array<int16_t, 1> values{};
  EXPECT_EQ(source.readVariables(variables, values), LiveRead::Busy);
  EXPECT_TRUE(board.writes.empty());
  EXPECT_TRUE(state.linkBusy.load()) << "the holder keeps the link";
}

}  // namespace
}  // namespace kv
