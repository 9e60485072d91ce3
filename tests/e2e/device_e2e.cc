// Expansion devices end to end: the device table written through the link
// library into marlo-sim (run as its own process with --kpbus devices), the
// bank it goes into across a board restart, and the live values a device
// dialog reads.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "board/device_table.h"
#include "board/device_values.h"
#include "board_e2e_fixture.h"
#include "linklib/tavlink.h"
#include "session/board_link.h"
#include "session/link_state.h"
#include "session/memory_access.h"
#include "session/memory_map.h"
#include "shell/pacing.h"
#include "shell/string_table.h"
#include "support/scripted_answerer.h"
#include "support/temp_dir.h"

namespace kv {
namespace {

namespace a = board_addr;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr uint32_t kBankA = a::kDeviceBanks;
constexpr uint32_t kBankB = a::kDeviceBanks + a::kDeviceBankSize;
constexpr uint32_t kBootCount = 0x200002;

// A KP-G1 entry: acceleration X into v[129], gyro X into v[132], with one
// offset and gain for all outputs.
DeviceEntry gyroSensor(uint8_t busAddress, uint8_t statusVariable, int16_t offset, int16_t gain) {
  DeviceEntry entry;
  entry.used = 1;
  entry.size = kDeviceHeaderSize + 40;
  entry.type = 0x0100;
  entry.busAddress = busAddress;
  entry.statusVariable = statusVariable;
  entry.parameters[0] = 129;
  entry.parameters[4] = 132;
  for (int i = 0; i < 8; ++i) {
    entry.parameters[8 + 2 * i] = static_cast<uint8_t>(offset);
    entry.parameters[9 + 2 * i] = static_cast<uint8_t>(offset >> 8);
    entry.parameters[24 + 2 * i] = static_cast<uint8_t>(gain);
    entry.parameters[25 + 2 * i] = static_cast<uint8_t>(gain >> 8);
  }
  return entry;
}

class DeviceE2E : public BoardE2ETest {
 protected:
  // Starts marlo-sim a hundred times faster than real time, connects and
  // reads the board's settings as a connection does.
  void startAndConnect(std::vector<std::string> options = {}) {
    ASSERT_NO_FATAL_FAILURE(startBoard(std::move(options)));
    ASSERT_TRUE(connect());
    ASSERT_EQ(access_.readBoardSettings(settings_, nullptr), 1);
  }

  uint32_t boardPointer() {
    const uint32_t low = static_cast<uint32_t>(access_.readBoardWord(a::kDeviceTablePointer));
    return low | static_cast<uint32_t>(access_.readBoardWord(a::kDeviceTablePointer + 2)) << 16;
  }

  // Refreshes `view` as a device dialog does until `done` holds for it (the
  // board takes a control cycle to serve a new table).
  template <class Done>
  void refreshUntil(DeviceLiveView& view, Done done) {
    BoardDeviceValues source(access_);
    for (int i = 0; i < 200; ++i) {
      view.refresh(source);
      if (done(view)) return;
      std::this_thread::sleep_for(1ms);
    }
  }

  CpuSettings settings_;
};

TEST_F(DeviceE2E, EachTableGoesIntoTheBankTheBoardIsNotUsingAlsoAfterARestart) {
  ASSERT_NO_FATAL_FAILURE(startAndConnect());
  ASSERT_EQ(boardPointer(), kBankA) << "the board boots on the ROM's list in the first bank";
  settings_.devices[0] = gyroSensor(0x90, 128, 2048, 256);
  ASSERT_EQ(access_.applySettingsToRam(settings_), 1);
  EXPECT_EQ(boardPointer(), kBankB);

  // The board restarts on its first bank again; the editor's next table
  // must not go into it while the board reads it.
  state_.online = false;
  ASSERT_EQ(access_.restartBoard(), 1);
  bool back = false;
  for (auto deadline = Clock::now() + 5s; !back && Clock::now() < deadline;) {
    tavClose();
    back = connect() && access_.readBoardWord(kBootCount) == 2;
    if (!back) std::this_thread::sleep_for(5ms);
  }
  ASSERT_TRUE(back) << "the board did not restart and come back";
  CpuSettings reconnected;
  ASSERT_EQ(access_.readBoardSettings(reconnected, nullptr), 1);
  ASSERT_EQ(boardPointer(), kBankA);
  EXPECT_EQ(reconnected.devices[0].used, 0) << "the ROM's list is empty";

  settings_.devices[1] = gyroSensor(0x92, 140, 0, 256);
  ASSERT_EQ(access_.applySettingsToRam(settings_), 1);
  EXPECT_EQ(boardPointer(), kBankB);
  settings_.devices[0].busAddress = 0x96;
  ASSERT_EQ(access_.applySettingsToRam(settings_), 1);
  EXPECT_EQ(boardPointer(), kBankA) << "the next table uses the other bank";
  CpuSettings readBack;
  ASSERT_EQ(access_.readBoardSettings(readBack, nullptr), 1);
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(readBack.devices[i].used, 1) << i;
    EXPECT_EQ(readBack.devices[i].busAddress, settings_.devices[i].busAddress) << i;
    EXPECT_EQ(readBack.devices[i].parameters, settings_.devices[i].parameters) << i;
  }
  EXPECT_EQ(readBack.devices[2].used, 0);
  EXPECT_EQ(access_.readBoardError(nullptr), 0) << "the board took every table";
  EXPECT_EQ(answerer_.shownIds(), std::vector<int>{});
}

TEST_F(DeviceE2E, LiveValuesFollowTheRawReadingsAndAMissingDeviceShowsItsFault) {
  ASSERT_NO_FATAL_FAILURE(startAndConnect({"--kpbus", "G1@0x90:raw=2148,0,0,0,1648", "--kpbus", "AIN@0x94"}));
  // The sensor at its address, and one listed at 0x92 where nothing answers.
  std::array<DeviceEntry, kDeviceSlotCount> working{};
  working[0] = gyroSensor(0x90, 128, 2048, 256);
  working[1] = gyroSensor(0x92, 140, 0, 256);
  working[1].parameters[0] = 0;
  working[1].parameters[4] = 0;
  settings_.devices = working;
  ASSERT_EQ(access_.applySettingsToRam(settings_), 1);

  // The sensor's dialog shows its status v[128] and outputs v[129], v[132];
  // the missing device's shows its status v[140].
  DeviceLiveView sensor;
  sensor.watch(128, {129, 132});
  DeviceLiveView missing;
  missing.watch(140, {});
  refreshUntil(sensor, [](const DeviceLiveView& v) { return v.value(0) == 100; });
  refreshUntil(missing, [](const DeviceLiveView& v) { return v.stateText() != u"--" && v.stateText() != loadUiString(40357); });
  EXPECT_EQ(sensor.value(0), int16_t{100});
  EXPECT_EQ(sensor.value(1), int16_t{-400});
  EXPECT_EQ(sensor.stateText(), loadUiString(40357)) << "the device answers";
  EXPECT_EQ(missing.stateText(), loadUiString(40358)) << "nothing answers at its address";

  // Twice the gain: the values follow.
  working[0] = gyroSensor(0x90, 128, 2048, 512);
  settings_.devices = working;
  ASSERT_EQ(access_.applySettingsToRam(settings_), 1);
  refreshUntil(sensor, [](const DeviceLiveView& v) { return v.value(0) == 200; });
  EXPECT_EQ(sensor.value(0), int16_t{200});
  EXPECT_EQ(sensor.value(1), int16_t{-800});

  // Offline there are no values to show.
  state_.online = false;
  BoardDeviceValues offline(access_);
  sensor.refresh(offline);
  EXPECT_EQ(sensor.valueText(0), u"--------");
  EXPECT_EQ(sensor.stateText(), u"--");
}

}  // namespace
}  // namespace kv
