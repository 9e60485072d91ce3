// End to end over the board link: the editor's memory access, through the
// link library, against the virtual board running as its own process
// (marlo-sim) in a private virtual-board folder, so no real board is ever
// opened. The board runs a hundred times faster than real time and the
// editor's protocol sleeps are scaled down to match.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "linklib/tavlink.h"
#include "board_e2e_fixture.h"
#include "session/board_link.h"
#include "session/link_state.h"
#include "session/memory_access.h"
#include "session/memory_map.h"
#include "shell/pacing.h"
#include "support/scripted_answerer.h"
#include "support/temp_dir.h"

extern char** environ;

namespace kv {
namespace {

namespace a = board_addr;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// A read of a silent board gives up after its bad-read budget (about 1.3 s
// per try); anything near this bound means a wait that does not end.
constexpr auto kSilentReadBound = 8s;
// A free ROM sector: the ROM image lives at the start of flash.
constexpr uint32_t kFreeSector = 0x1F8000;
constexpr uint32_t kBoardId = 0x200000;
constexpr int kBoardIdValue = 0x0003;
constexpr uint32_t kBootCount = 0x200002;

// ------------------------------------------------------------ fixture

class BoardLinkE2E : public BoardE2ETest {
 protected:
  // Opens the link again, for up to two seconds, after the board left the
  // bus. A board about to leave may still be found, so the board counts as
  // back only once it answers on the new link.
  bool reconnect() {
    const auto deadline = Clock::now() + 2s;
    while (Clock::now() < deadline) {
      tavClose();
      if (connect() && access_.readBoardWord(kBoardId) == kBoardIdValue) return true;
      std::this_thread::sleep_for(2ms);
    }
    return false;
  }

  // Waits until the board's socket file has gone (the board leaves the bus
  // by removing it first), and a moment for the hang-up that follows.
  bool socketGone() {
    const auto deadline = Clock::now() + 2s;
    while (std::filesystem::exists(board_.socketPath())) {
      if (Clock::now() >= deadline) return false;
      std::this_thread::sleep_for(1ms);
    }
    std::this_thread::sleep_for(20ms);
    return true;
  }

  void startAndConnect(std::vector<std::string> options = {}) {
    ASSERT_NO_FATAL_FAILURE(startBoard(std::move(options)));
    ASSERT_TRUE(connect());
  }

  // Reads the live state until `done` holds for it, at most `tries` times.
  template <class Done>
  int liveStateUntil(LiveSnapshot& snapshot, Done done, int tries = 500) {
    int state = 0;
    for (int i = 0; i < tries; ++i) {
      state = access_.readLiveState(snapshot);
      if (state != 0 && done(state, snapshot)) return state;
      std::this_thread::sleep_for(1ms);
    }
    return state;
  }

  std::vector<uint8_t> image(uint32_t address, uint32_t length) {
    std::span<uint8_t> bytes = link_.bytes(address, length);
    return {bytes.begin(), bytes.end()};
  }
  void fillImage(uint32_t address, const std::vector<uint8_t>& bytes) { link_.storeBytes(address, bytes); }

  // A 512-byte page that is neither erased flash (all 0xFF) nor zeros.
  static std::vector<uint8_t> pattern(uint8_t seed) {
    std::vector<uint8_t> bytes(a::kFlashBlockSize);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>((i * 7 + seed) & 0x7F);
    return bytes;
  }

};

// The time an operation takes.
template <class F>
Clock::duration timed(F&& f) {
  const auto start = Clock::now();
  f();
  return Clock::now() - start;
}

// ================================================================ finding the board

TEST_F(BoardLinkE2E, OpensTheBoardByItsIdsAndReadsItsName) {
  EXPECT_EQ(tavOpen(a::kVendorId, a::kProductId, a::kLowestVersion, a::kHighestVersion), 0) << "empty folder";
  EXPECT_EQ(tavCheckAlive(), 0);
  ASSERT_NO_FATAL_FAILURE(startBoard());

  EXPECT_EQ(tavOpen(a::kVendorId, 0x1001, a::kLowestVersion, a::kHighestVersion), 0) << "other product";
  EXPECT_EQ(tavOpen(0x1963, a::kProductId, a::kLowestVersion, a::kHighestVersion), 0) << "other vendor";
  EXPECT_EQ(tavOpen(a::kVendorId, a::kProductId, 0x0101, a::kHighestVersion), 0) << "version below the range";

  ASSERT_EQ(tavOpen(0x1962, 0x1000, 0x0100, 0x01FF), 1);
  EXPECT_EQ(tavCheckAlive(), 1);
  std::array<char, 16> name;
  name.fill('x');
  ASSERT_EQ(tavGetName(name.data(), static_cast<int>(name.size())), 1);
  const std::array<char, 16> expected{'M', 'A', 'R', 'L', 'O', '-', '3'};  // zero padded
  EXPECT_EQ(name, expected);

  tavClose();
  EXPECT_EQ(tavCheckAlive(), 0);
  EXPECT_EQ(tavGetName(name.data(), static_cast<int>(name.size())), 0);
}

TEST_F(BoardLinkE2E, BoardWithADeviceVersionInsideTheRangeIsFound) {
  ASSERT_NO_FATAL_FAILURE(startBoard({"--usb-version", "0x01FF"}));
  EXPECT_EQ(tavOpen(0x1962, 0x1000, 0x0100, 0x01FE), 0);
  EXPECT_EQ(tavOpen(0x1962, 0x1000, 0x0100, 0x01FF), 1);
}

// ================================================================ settings

TEST_F(BoardLinkE2E, BoardSettingsNameAndFirmwareAreRead) {
  ASSERT_NO_FATAL_FAILURE(
      startAndConnect({"--name", "歩行ロボ", "--firmware-version", "1.500", "--revision", "42"}));
  CpuSettings settings;
  std::u16string name = u"old";
  ASSERT_EQ(access_.readBoardSettings(settings, &name), 1);

  EXPECT_EQ(name, u"歩行ロボ");  // kept by the board in Shift-JIS
  EXPECT_EQ(settings.firmwareVersion, 0x0180);
  EXPECT_DOUBLE_EQ(firmwareVersionNumber(settings.firmwareVersion), 1.5);
  EXPECT_EQ(settings.firmwareRevision, 42);
  // A blank board's factory settings.
  EXPECT_EQ(settings.controlPeriod, 10000u);
  EXPECT_EQ(settings.batteryAlarm, 6800);
  EXPECT_EQ(settings.batteryShutdown, 6400);
  EXPECT_EQ(settings.voiceVariable, 62);
  for (int i = 0; i < kInterpolationCount; ++i) EXPECT_EQ(settings.interpolation[i], 2) << "slider " << i;
  for (const DeviceEntry& device : settings.devices) EXPECT_EQ(device.used, 0);
  EXPECT_FALSE(state_.communicationError.load());
}

// Compares what applySettingsToRam sends to the board. The battery
// voltages, the voice word and the boot timer go into the image only.
void expectWrittenSettingsEqual(const CpuSettings& got, const CpuSettings& want) {
  EXPECT_EQ(got.controlPeriod, want.controlPeriod);
  EXPECT_EQ(got.batteryAlarm, want.batteryAlarm);
  EXPECT_EQ(got.batteryShutdown, want.batteryShutdown);
  EXPECT_EQ(got.voiceVariable, want.voiceVariable);
  EXPECT_EQ(got.padType, want.padType);
  EXPECT_EQ(got.voiceOutput, want.voiceOutput);
  EXPECT_EQ(got.amplifier, want.amplifier);
  EXPECT_EQ(got.controllerServoOn, want.controllerServoOn);
  EXPECT_EQ(got.cn6Type, want.cn6Type);
  EXPECT_EQ(got.cn7Type, want.cn7Type);
  EXPECT_EQ(got.interpolation, want.interpolation);
  for (int i = 0; i < kServoOutputCount; ++i) {
    SCOPED_TRACE("servo output " + std::to_string(i));
    const ServoRecord& g = got.servos[i];
    const ServoRecord& w = want.servos[i];
    EXPECT_EQ(g.powerOnTimer, w.powerOnTimer);
    EXPECT_EQ(g.variableA, w.variableA);
    EXPECT_EQ(g.term1Va, w.term1Va);
    EXPECT_EQ(g.term1Vb, w.term1Vb);
    EXPECT_EQ(g.base, w.base);
    EXPECT_EQ(g.coefficient, w.coefficient);
    EXPECT_EQ(g.term1Coefficient, w.term1Coefficient);
    EXPECT_EQ(g.lowerLimit, w.lowerLimit);
    EXPECT_EQ(g.upperLimit, w.upperLimit);
    EXPECT_EQ(g.termCoefficient, w.termCoefficient);
    EXPECT_EQ(g.termVa, w.termVa);
    EXPECT_EQ(g.termVb, w.termVb);
    EXPECT_EQ(g.validity, w.validity);
    EXPECT_EQ(g.torqueOffVariable, w.torqueOffVariable);
    EXPECT_EQ(g.torqueOffBits, w.torqueOffBits);
  }
  for (int i = 0; i < kDeviceSlotCount; ++i) {
    SCOPED_TRACE("device slot " + std::to_string(i));
    const DeviceEntry& g = got.devices[i];
    const DeviceEntry& w = want.devices[i];
    EXPECT_EQ(g.used, w.used);
    if (!w.used) continue;
    EXPECT_EQ(g.size, w.size);
    EXPECT_EQ(g.type, w.type);
    EXPECT_EQ(g.busAddress, w.busAddress);
    EXPECT_EQ(g.statusVariable, w.statusVariable);
    EXPECT_EQ(g.parameters, w.parameters);
  }
}

TEST_F(BoardLinkE2E, SettingsAppliedToRamAreReadBackTheSame) {
  ASSERT_NO_FATAL_FAILURE(startAndConnect());
  CpuSettings before;
  ASSERT_EQ(access_.readBoardSettings(before, nullptr), 1);

  CpuSettings applied = before;
  applied.controlPeriod = 12000;
  applied.batteryAlarm = 6900;
  applied.batteryShutdown = 6300;
  applied.voiceVariable = 10;
  applied.bootTimer = -1;
  applied.padType = before.padType == 2 ? 3 : 2;
  applied.voiceOutput = 1;
  applied.amplifier = 0x81;
  applied.controllerServoOn = 1;
  applied.cn6Type = 2;
  applied.cn7Type = 3;
  for (int i = 0; i < kInterpolationCount; ++i) applied.interpolation[i] = static_cast<uint8_t>(i % 5);
  for (int i = 0; i < kServoOutputCount; ++i) {
    ServoRecord& s = applied.servos[i];
    s.powerOnTimer = static_cast<uint8_t>(10 + i);
    s.variableA = static_cast<uint8_t>(i);
    s.term1Va = static_cast<uint8_t>(100 + i);
    s.term1Vb = static_cast<uint8_t>(130 + i);
    s.base = static_cast<uint16_t>(7500 + i);
    s.coefficient = static_cast<int16_t>(-1000 - i);
    s.term1Coefficient = static_cast<int16_t>(300 + i);
    s.lowerLimit = static_cast<int16_t>(-9000 + i);
    s.upperLimit = static_cast<int16_t>(9000 - i);
    s.termCoefficient = {static_cast<int16_t>(i), static_cast<int16_t>(-i), static_cast<int16_t>(2 * i)};
    s.termVa = {static_cast<uint8_t>(i + 1), static_cast<uint8_t>(i + 2), static_cast<uint8_t>(i + 3)};
    s.termVb = {static_cast<uint8_t>(i + 4), static_cast<uint8_t>(i + 5), static_cast<uint8_t>(i + 6)};
    s.validity = static_cast<uint8_t>(0x15 + i);
    s.torqueOffVariable = static_cast<uint8_t>(150 + i);
    s.torqueOffBits = static_cast<uint8_t>(0x80 | (15 - i % 16));
  }
  DeviceEntry sensor;
  sensor.used = 1;
  sensor.size = kDeviceHeaderSize + 4;
  sensor.type = 0x0102;
  sensor.busAddress = 0x21;
  sensor.statusVariable = 200;
  sensor.parameters[0] = 1;
  sensor.parameters[1] = 2;
  sensor.parameters[2] = 3;
  sensor.parameters[3] = 4;
  DeviceEntry plain;
  plain.used = 1;
  plain.size = kDeviceHeaderSize;
  plain.type = 7;
  plain.busAddress = 0x22;
  plain.statusVariable = 201;
  applied.devices = {};
  applied.devices[0] = sensor;
  applied.devices[1] = plain;

  ASSERT_EQ(access_.applySettingsToRam(applied), 1);
  EXPECT_EQ(answerer_.shownIds(), std::vector<int>{});

  CpuSettings after;
  std::u16string name;
  ASSERT_EQ(access_.readBoardSettings(after, &name), 1);
  expectWrittenSettingsEqual(after, applied);
  // The new device table went into the bank the board was not using.
  EXPECT_EQ(access_.readBoardWord(a::kDeviceTablePointer) | access_.readBoardWord(a::kDeviceTablePointer + 2) << 16,
            static_cast<int>(a::kDeviceBanks + a::kDeviceBankSize));
  // The boot timer is read from the ROM copy; Apply sets the RAM copy.
  EXPECT_EQ(static_cast<int16_t>(access_.readBoardWord(a::kBootTimer)), applied.bootTimer);
  EXPECT_EQ(name, u"DemoHumanoid");

  // A second write switches back to the first bank and still reads back whole.
  applied.devices[1] = DeviceEntry{};
  ASSERT_EQ(access_.applySettingsToRam(applied), 1);
  CpuSettings again;
  ASSERT_EQ(access_.readBoardSettings(again, nullptr), 1);
  expectWrittenSettingsEqual(again, applied);
  EXPECT_EQ(access_.readBoardWord(a::kDeviceTablePointer), static_cast<int>(a::kDeviceBanks & 0xFFFF));
}

// ================================================================ live state, servos, stop, errors

TEST_F(BoardLinkE2E, LiveStateFollowsServoPowerAndALivePose) {
  ASSERT_NO_FATAL_FAILURE(startAndConnect({"--battery", "7300"}));
  LiveSnapshot snapshot;
  snapshot.boardValues.fill(-1);
  snapshot.batteryVoltage = -1;
  EXPECT_EQ(access_.readLiveState(snapshot), 1) << "idle, servos off";
  EXPECT_EQ(snapshot.batteryVoltage, 7300);
  EXPECT_EQ(snapshot.boardValues, (std::array<int16_t, kLiveSliderCount>{})) << "sliders at 0 after boot";
  EXPECT_EQ(snapshot.controllerKind, 0);
  EXPECT_EQ(access_.readBoardWord(a::kServoPower), 0);

  ASSERT_EQ(access_.setServoPower(1), 1);
  EXPECT_EQ(access_.readBoardWord(a::kServoPower), 1);
  // The board takes up servo power at its next control cycle.
  EXPECT_EQ(liveStateUntil(snapshot, [](int s, const LiveSnapshot& l) { return s == 2 && l.batteryVoltage == 7180; }), 2)
      << "servos on, holding";
  EXPECT_EQ(snapshot.batteryVoltage, 7300 - 120) << "the servos draw current";

  // The live pose as the session sends it: values, servo bits, time.
  std::array<int16_t, kLiveSliderCount> target;
  for (int i = 0; i < kLiveSliderCount; ++i) {
    target[i] = static_cast<int16_t>(37 * i - 1000);
    link_.store16(a::kLivePose + 2 * static_cast<uint32_t>(i), static_cast<uint16_t>(target[i]));
  }
  link_.store32(a::kLiveServoBits, 0x2ABCDEF1);
  link_.store16(a::kLiveTime, 5);
  ASSERT_EQ(access_.writeBlocks({{a::kLivePose, 124}, {a::kLiveServoBits, 4}, {a::kLiveTime, 2}}), 1);
  const int state = liveStateUntil(snapshot, [&](int, const LiveSnapshot& s) { return s.boardValues == target; });
  EXPECT_EQ(state, 2) << "holding the pose it reached";
  EXPECT_EQ(snapshot.boardValues, target);
  EXPECT_EQ(access_.readBoardWord(a::variableAddress(62)), 0xDEF1);
  EXPECT_EQ(access_.readBoardWord(a::variableAddress(63)), 0x2ABC);

  ASSERT_EQ(access_.setServoPower(0), 1);
  EXPECT_EQ(access_.readBoardWord(a::kServoPower), 0);
  EXPECT_EQ(liveStateUntil(snapshot, [](int s, const LiveSnapshot& l) { return s == 1 && l.batteryVoltage == 7300; }), 1);
  EXPECT_EQ(snapshot.batteryVoltage, 7300);
  EXPECT_EQ(snapshot.boardValues, target) << "the sliders keep their values";
  EXPECT_FALSE(state_.communicationError.load());
  EXPECT_FALSE(state_.linkBusy.load());
}

TEST_F(BoardLinkE2E, StopRequestStopsTheRunningProgram) {
  ASSERT_NO_FATAL_FAILURE(startAndConnect());
  ASSERT_EQ(access_.setServoPower(1), 1);
  // A slow control period, so that one long pose keeps the program running.
  link_.store32(a::kControlPeriod, 1000000);
  ASSERT_EQ(access_.writeBlocks({{a::kControlPeriod, 4}}), 1);
  // One pose instruction (200 cycles towards 1000 on every slider), then the end.
  const uint32_t record = a::kMotionArea + 8;
  const uint8_t code[] = {200, static_cast<uint8_t>(record), static_cast<uint8_t>(record >> 8),
                          static_cast<uint8_t>(record >> 16), 0xFF};
  link_.storeBytes(a::kMotionArea, code);
  std::vector<uint8_t> pose(130, 0);
  pose[1] = 64;
  for (int i = 0; i < kLiveSliderCount; ++i) {
    pose[2 + 2 * i] = 1000 & 0xFF;
    pose[3 + 2 * i] = 1000 >> 8;
  }
  link_.storeBytes(record, pose);
  ASSERT_EQ(access_.writeBlocks({{a::kMotionArea, 8 + 130}}), 1);
  link_.store32(a::kMotionStart, a::kMotionArea);
  ASSERT_EQ(access_.writeBlocks({{a::kMotionStart, 4}}), 1);

  LiveSnapshot snapshot;
  EXPECT_EQ(liveStateUntil(snapshot, [](int s, const LiveSnapshot& l) { return s == 6 && l.boardValues[0] > 0; }), 6)
      << "running the program";
  state_.posePending = true;
  ASSERT_EQ(access_.sendStopRequest(), 1);
  EXPECT_FALSE(state_.posePending.load()) << "a stop drops the waiting live pose";
  EXPECT_EQ(access_.readBoardWord(a::kMotionStart), 0);
  EXPECT_EQ(access_.readBoardWord(a::kStopRequest), 0) << "the board takes the request";
  const int state = access_.readLiveState(snapshot);
  EXPECT_EQ(state, 2) << "holding where it stopped";
  const int16_t stoppedAt = snapshot.boardValues[0];
  EXPECT_GT(stoppedAt, 0);
  EXPECT_LT(stoppedAt, 1000);
  std::this_thread::sleep_for(30ms);  // three control cycles
  ASSERT_EQ(access_.readLiveState(snapshot), 2);
  EXPECT_EQ(snapshot.boardValues[0], stoppedAt);
}

TEST_F(BoardLinkE2E, BoardErrorIsReadOnceAndCleared) {
  ASSERT_NO_FATAL_FAILURE(startAndConnect());
  uint32_t address = 0xDEADBEEF;
  EXPECT_EQ(access_.readBoardError(&address), 0) << "no error after boot";
  EXPECT_EQ(address, 0u);

  // Memory above the board's RAM takes no writes.
  link_.store16(0x300000, 0x1234);
  ASSERT_EQ(access_.writeBlocks({{0x300000, 2}}), 1);
  EXPECT_EQ(access_.readBoardError(&address), 0x02);
  EXPECT_EQ(address, 0x300000u);

  address = 0xDEADBEEF;
  EXPECT_EQ(access_.readBoardError(&address), 0) << "cleared by the read before";
  EXPECT_EQ(address, 0u);
  EXPECT_EQ(access_.readBoardWord(a::kErrorCode), 0);
}

// ================================================================ flash

TEST_F(BoardLinkE2E, FlashWrittenThroughTheHandshakeSurvivesARestart) {
  const std::string flashFile = (dir_.path() / "flash.bin").string();
  ASSERT_NO_FATAL_FAILURE(startAndConnect({"--flash", flashFile}));
  EXPECT_EQ(access_.readBoardWord(kBootCount), 1);
  const std::vector<uint8_t> data = pattern(3);
  {
    LinkHold hold;
    ASSERT_EQ(access_.takeLinkOffline(hold), 1);
    const int tag = access_.startStatusRead();
    ASSERT_NE(tag, 0);
    ASSERT_EQ(access_.flashStep(tag, {kFreeSector, 0}), FlashStepResult::Done) << "erase";
    fillImage(kFreeSector, data);
    ASSERT_EQ(access_.flashStep(tag, {kFreeSector, static_cast<int>(a::kFlashBlockSize)}), FlashStepResult::Done)
        << "program";
  }
  fillImage(kFreeSector, std::vector<uint8_t>(a::kFlashBlockSize, 0));
  ASSERT_EQ(access_.readBlocks({{kFreeSector, static_cast<int>(a::kFlashBlockSize)}}), 1);
  EXPECT_EQ(image(kFreeSector, a::kFlashBlockSize), data);
  EXPECT_EQ(access_.readBoardError(nullptr), 0);

  state_.online = false;  // the writers restart the board after ending the session
  ASSERT_EQ(access_.restartBoard(), 1);
  // The board may still answer on its old connection for a moment before it
  // leaves the bus: wait for the board that has booted again.
  bool restarted = false;
  for (auto deadline = Clock::now() + 5s; !restarted && Clock::now() < deadline;) {
    restarted = reconnect() && access_.readBoardWord(kBootCount) == 2;
    if (!restarted) std::this_thread::sleep_for(5ms);
  }
  ASSERT_TRUE(restarted) << "the board did not restart and come back";

  fillImage(kFreeSector, std::vector<uint8_t>(a::kFlashBlockSize, 0));
  ASSERT_EQ(access_.readBlocks({{kFreeSector, static_cast<int>(a::kFlashBlockSize)}}), 1);
  EXPECT_EQ(image(kFreeSector, a::kFlashBlockSize), data);
  ASSERT_EQ(access_.readBlocks({{kFreeSector + a::kFlashBlockSize, 16}}), 1);
  EXPECT_EQ(image(kFreeSector + a::kFlashBlockSize, 16), std::vector<uint8_t>(16, 0xFF)) << "the rest stays erased";

  // Written through to the board's flash file as well.
  std::ifstream file(flashFile, std::ios::binary);
  file.seekg(kFreeSector);
  std::vector<uint8_t> stored(a::kFlashBlockSize);
  file.read(reinterpret_cast<char*>(stored.data()), static_cast<std::streamsize>(stored.size()));
  EXPECT_EQ(stored, data);
}

TEST_F(BoardLinkE2E, FailedFlashOperationIsReportedAndNamedByTheBoardError) {
  ASSERT_NO_FATAL_FAILURE(startAndConnect({"--fail-flash", "2"}));
  {
    LinkHold hold;
    ASSERT_EQ(access_.takeLinkOffline(hold), 1);
    const int tag = access_.startStatusRead();
    ASSERT_NE(tag, 0);
    ASSERT_EQ(access_.flashStep(tag, {kFreeSector, 0}), FlashStepResult::Done);
    fillImage(kFreeSector, pattern(5));
    const FlashStepResult failed = access_.flashStep(tag, {kFreeSector + 0x200, static_cast<int>(a::kFlashBlockSize)});
    EXPECT_EQ(failed, FlashStepResult::WaitFailed);
    showFlashStepError(failed);
    EXPECT_EQ(answerer_.shownIds(), std::vector<int>{kMsgWaitFlashState});
  }
  uint32_t address = 0;
  EXPECT_EQ(access_.readBoardError(&address), 0x05);
  EXPECT_EQ(address, kFreeSector + 0x200);
  fillImage(kFreeSector + 0x200, std::vector<uint8_t>(16, 0));
  ASSERT_EQ(access_.readBlocks({{kFreeSector + 0x200, 16}}), 1);
  EXPECT_EQ(image(kFreeSector + 0x200, 16), std::vector<uint8_t>(16, 0xFF)) << "the page was not programmed";
}

// A writer that ended on a failed operation leaves the board's flash state
// at "failed"; the next writer must still get through its first clear.
TEST_F(BoardLinkE2E, FlashStateLeftFailedDoesNotFailTheNextWriter) {
  ASSERT_NO_FATAL_FAILURE(startAndConnect({"--fail-flash", "1"}));
  {
    LinkHold hold;
    ASSERT_EQ(access_.takeLinkOffline(hold), 1);
    const int tag = access_.startStatusRead();
    ASSERT_EQ(access_.flashStep(tag, {kFreeSector, 0}), FlashStepResult::WaitFailed);
  }
  const std::vector<uint8_t> data = pattern(9);
  {
    LinkHold hold;
    ASSERT_EQ(access_.takeLinkOffline(hold), 1);
    const int tag = access_.startStatusRead();
    ASSERT_NE(tag, 0);
    // The board answers at every poll meanwhile: the first copies the clear
    // reads still show the failed state.
    std::this_thread::sleep_for(100ms);
    ASSERT_EQ(access_.flashStep(tag, {kFreeSector, 0}), FlashStepResult::Done);
    fillImage(kFreeSector, data);
    ASSERT_EQ(access_.flashStep(tag, {kFreeSector, static_cast<int>(a::kFlashBlockSize)}), FlashStepResult::Done);
  }
  fillImage(kFreeSector, std::vector<uint8_t>(a::kFlashBlockSize, 0));
  ASSERT_EQ(access_.readBlocks({{kFreeSector, static_cast<int>(a::kFlashBlockSize)}}), 1);
  EXPECT_EQ(image(kFreeSector, a::kFlashBlockSize), data);
}

// ================================================================ faults

TEST_F(BoardLinkE2E, BoardThatNeverAnswersTimesOutAndKeepsTheLink) {
  ASSERT_NO_FATAL_FAILURE(startAndConnect({"--drop-replies", "1"}));
  LiveSnapshot snapshot;
  int state = -1;
  EXPECT_LT(timed([&] { state = access_.readLiveState(snapshot); }), kSilentReadBound);
  EXPECT_EQ(state, 0);
  int word = -1;
  EXPECT_LT(timed([&] { word = access_.readBoardWord(a::kFirmwareVersion); }), kSilentReadBound);
  EXPECT_EQ(word, 0);

  EXPECT_EQ(tavCheckAlive(), 1) << "a silent board is still there";
  EXPECT_FALSE(state_.communicationError.load()) << "no reply is not a communication error";
  EXPECT_FALSE(state_.linkBusy.load());
  EXPECT_EQ(access_.setServoPower(1), 1) << "writes still go out";
  EXPECT_EQ(answerer_.shownIds(), std::vector<int>{});
}

TEST_F(BoardLinkE2E, StoppedBoardProcessTimesOutAndAnswersAgainWhenContinued) {
  ASSERT_NO_FATAL_FAILURE(startAndConnect());
  LiveSnapshot snapshot;
  ASSERT_EQ(access_.readLiveState(snapshot), 1);

  ASSERT_TRUE(board_.freeze());
  int state = -1;
  EXPECT_LT(timed([&] { state = access_.readLiveState(snapshot); }), kSilentReadBound);
  EXPECT_EQ(state, 0);
  EXPECT_EQ(tavCheckAlive(), 1);
  EXPECT_FALSE(state_.communicationError.load());

  // The requests sent meanwhile are answered late; their replies are stale
  // and must not be taken for the next one.
  board_.thaw();
  ASSERT_EQ(access_.setServoPower(1), 1);
  EXPECT_EQ(access_.readLiveState(snapshot), 2);
  EXPECT_EQ(access_.readBoardWord(a::kServoPower), 1);
  EXPECT_EQ(access_.readBoardWord(a::kFirmwareVersion), 0x0100);
}

TEST_F(BoardLinkE2E, UnpluggedBoardFailsTheNextTransactionAndLosesTheLink) {
  // Each servo power write is one report; the board leaves the bus after the third.
  ASSERT_NO_FATAL_FAILURE(startAndConnect({"--unplug-after", "3", "--replug-after", "100"}));
  EXPECT_EQ(access_.setServoPower(1), 1);
  EXPECT_EQ(access_.setServoPower(0), 1);
  EXPECT_EQ(access_.setServoPower(1), 1);
  ASSERT_TRUE(socketGone()) << "the board did not leave the bus";

  LiveSnapshot snapshot;
  int state = -1;
  EXPECT_LT(timed([&] { state = access_.readLiveState(snapshot); }), kSilentReadBound);
  EXPECT_EQ(state, 0);
  EXPECT_EQ(tavCheckAlive(), 0) << "the link is lost";
  EXPECT_TRUE(state_.communicationError.load());
  EXPECT_EQ(access_.setServoPower(0), 0) << "refused after a communication error";
  EXPECT_EQ(answerer_.shownIds(), std::vector<int>{kMsgLinkTimedOut});

  // Plugged in again, the board is found and still holds the last write.
  ASSERT_TRUE(reconnect());
  EXPECT_EQ(access_.readBoardWord(a::kServoPower), 1);
  EXPECT_EQ(access_.readLiveState(snapshot), 2);
}

TEST_F(BoardLinkE2E, BoardEndedMidSessionLosesTheLink) {
  ASSERT_NO_FATAL_FAILURE(startAndConnect());
  LiveSnapshot snapshot;
  ASSERT_EQ(access_.readLiveState(snapshot), 1);
  running_ = false;
  EXPECT_EQ(board_.stop(), 0);

  int state = -1;
  EXPECT_LT(timed([&] { state = access_.readLiveState(snapshot); }), kSilentReadBound);
  EXPECT_EQ(state, 0);
  EXPECT_EQ(tavCheckAlive(), 0);
  EXPECT_TRUE(state_.communicationError.load());
  EXPECT_EQ(access_.readBoardWord(a::kServoPower), 0);
  EXPECT_EQ(tavOpen(a::kVendorId, a::kProductId, a::kLowestVersion, a::kHighestVersion), 0) << "nothing to find";
}

TEST_F(BoardLinkE2E, WriteToAVanishedBoardFailsAndMarksACommunicationError) {
  ASSERT_NO_FATAL_FAILURE(startAndConnect());
  running_ = false;
  EXPECT_EQ(board_.stop(), 0);
  EXPECT_EQ(access_.setServoPower(1), 0);
  EXPECT_TRUE(state_.communicationError.load());
  // A failed write alone leaves the link open; the session reconnects on
  // the communication error.
  EXPECT_EQ(tavCheckAlive(), 1);
  EXPECT_EQ(access_.sendStopRequest(), 0);
  EXPECT_EQ(answerer_.shownIds(), std::vector<int>{kMsgLinkTimedOut});
}

TEST_F(BoardLinkE2E, CorruptedRepliesAreDroppedAndReadsRecover) {
  ASSERT_NO_FATAL_FAILURE(startAndConnect({"--corrupt-replies", "2", "--battery", "7250"}));
  int failures = 0;
  bool lastFailed = false;
  for (int i = 0; i < 4; ++i) {
    SCOPED_TRACE("read " + std::to_string(i));
    LiveSnapshot snapshot;
    snapshot.batteryVoltage = -1;
    int state = -1;
    EXPECT_LT(timed([&] { state = access_.readLiveState(snapshot); }), kSilentReadBound);
    if (state == 0) {
      EXPECT_FALSE(lastFailed) << "two reads in a row failed";
      ++failures;
      lastFailed = true;
      continue;
    }
    lastFailed = false;
    EXPECT_EQ(state, 1);
    EXPECT_EQ(snapshot.batteryVoltage, 7250);
  }
  EXPECT_GE(failures, 1) << "an out-of-order reply was taken as good";
  EXPECT_LE(failures, 2);
  EXPECT_EQ(tavCheckAlive(), 1);
  EXPECT_FALSE(state_.communicationError.load());
  // Of two reads in a row one gets a whole reply.
  int version = access_.readBoardWord(a::kFirmwareVersion);
  if (version == 0) version = access_.readBoardWord(a::kFirmwareVersion);
  EXPECT_EQ(version, 0x0100);
}

}  // namespace
}  // namespace kv
