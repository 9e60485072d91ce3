#include "board/devices.h"

#include <gtest/gtest.h>

#include <vector>

#include "board/device_values.h"
#include "support/scripted_answerer.h"

namespace kv {
namespace {

DeviceEntry usedEntry(uint16_t type, uint8_t busAddress) {
  DeviceEntry entry = defaultDeviceEntry(type);
  entry.busAddress = busAddress;
  entry.used = 1;
  return entry;
}

// ---- the list ---------------------------------------------------------------

TEST(DeviceList, AddTakesTheFirstFreeSlotAndAThirtyThirdDoesNothing) {
  CpuSettings settings;
  settings.devices[0] = usedEntry(kDeviceKpG1, 0x90);
  settings.devices[1].type = kDeviceKpLd;  // left over in a free slot
  EXPECT_EQ(addDeviceSlot(settings.devices), 1);
  EXPECT_EQ(settings.devices[1].type, 0);

  for (DeviceEntry& entry : settings.devices) entry = usedEntry(kDeviceKpLd, 0xC0);
  const auto before = settings.devices;
  EXPECT_EQ(addDeviceSlot(settings.devices), -1);
  EXPECT_EQ(deviceCount(settings.devices), kDeviceSlotCount);
  EXPECT_EQ(settings.devices.back().busAddress, before.back().busAddress);
}

TEST(DeviceList, DeleteMovesTheFollowingEntriesUpAndClearsTheVacatedSlot) {
  CpuSettings settings;
  settings.devices[0] = usedEntry(kDeviceKpG1, 0x90);
  settings.devices[1] = usedEntry(kDeviceKpLd, 0xC2);
  settings.devices[2] = usedEntry(kDeviceKpDio, 0x44);
  ASSERT_TRUE(deleteDevice(settings.devices, 0));
  EXPECT_EQ(deviceCount(settings.devices), 2);
  EXPECT_EQ(settings.devices[0].busAddress, 0xC2);
  EXPECT_EQ(settings.devices[1].busAddress, 0x44);
  // No copy of the last entry stays behind to be written to the board.
  EXPECT_EQ(settings.devices[2].used, 0);
  EXPECT_EQ(settings.devices[2].type, 0);
  EXPECT_EQ(settings.devices[2].size, 0);

  EXPECT_FALSE(deleteDevice(settings.devices, 2));
  EXPECT_FALSE(deleteDevice(settings.devices, -1));
}

TEST(DeviceList, UpAndDownSwapWithTheNeighbourButNotPastTheEnds) {
  CpuSettings settings;
  settings.devices[0] = usedEntry(kDeviceKpG1, 0x90);
  settings.devices[1] = usedEntry(kDeviceKpLd, 0xC2);
  EXPECT_EQ(moveDevice(settings.devices, 0, -1), -1);
  EXPECT_EQ(moveDevice(settings.devices, 1, +1), -1);
  EXPECT_EQ(moveDevice(settings.devices, 1, -1), 0);
  EXPECT_EQ(settings.devices[0].busAddress, 0xC2);
  EXPECT_EQ(settings.devices[1].busAddress, 0x90);
}

TEST(DeviceList, FourKpG1FitTheBoardsAreaAndAFifthDoesNot) {
  CpuSettings settings;
  for (int n = 0; n < 4; ++n) settings.devices[n] = usedEntry(kDeviceKpG1, 0x90);
  EXPECT_EQ(settings.devices[0].size, 46);
  EXPECT_TRUE(devicesFitArea(settings.devices));  // 4 x 52 = 208
  settings.devices[4] = usedEntry(kDeviceKpG1, 0x92);
  EXPECT_FALSE(devicesFitArea(settings.devices));  // 260
}

// ---- parameter layouts ------------------------------------------------------

TEST(DeviceParameters, KpG1DefaultsLayVariablesThenOffsetsThenGains) {
  DeviceEntry entry = defaultDeviceEntry(kDeviceKpG1);
  EXPECT_EQ(entry.size, 46);
  EXPECT_EQ(entry.busAddress, 0x90);
  EXPECT_EQ(entry.statusVariable, 128);
  const std::vector<uint8_t> variables(entry.parameters.begin(), entry.parameters.begin() + 8);
  EXPECT_EQ(variables, (std::vector<uint8_t>{129, 130, 131, 0, 132, 133, 0, 0}));
  EXPECT_EQ(entry.parameters[8], 0x00);  // offset of output 0: 2048, little-endian
  EXPECT_EQ(entry.parameters[9], 0x08);
  EXPECT_EQ(entry.parameters[8 + 2 * 4], 1655 & 0xFF);
  EXPECT_EQ(entry.parameters[8 + 2 * 3], 0);  // output 3 unused
  EXPECT_EQ(entry.parameters[24], 0x00);      // gain of output 0: 256
  EXPECT_EQ(entry.parameters[25], 0x01);

  // Negative numbers survive the round trip.
  std::vector<DeviceOutput> outputs = readDeviceOutputs(entry, 8);
  outputs[1] = {150, -32768, -1};
  writeDeviceOutputs(entry, outputs);
  EXPECT_EQ(readDeviceOutputs(entry, 8)[1].offset, -32768);
  EXPECT_EQ(readDeviceOutputs(entry, 8)[1].gain, -1);
}

TEST(DeviceParameters, KpGcHasTenOutputsInFiftyBytes) {
  DeviceEntry entry = defaultDeviceEntry(kDeviceKpGc);
  EXPECT_EQ(entry.size, 56);
  EXPECT_EQ(entry.busAddress, 0xD0);
  std::vector<DeviceOutput> outputs = readDeviceOutputs(entry, 10);
  EXPECT_EQ(outputs[3].variable, 152);  // temperature
  EXPECT_EQ(outputs[6].variable, 151);  // gyro Z
  EXPECT_EQ(outputs[9].gain, 256);
  EXPECT_EQ(entry.parameters[30], 64);  // gain of output 0 starts at byte 30
}

TEST(DeviceParameters, KpMp3PacksItsChoicesIntoNibbles) {
  DeviceEntry entry = defaultDeviceEntry(kDeviceKpMp3);
  EXPECT_EQ(entry.size, 12);
  EXPECT_EQ(std::vector<uint8_t>(entry.parameters.begin(), entry.parameters.begin() + 6),
            (std::vector<uint8_t>{0x01, 0x02, 1, 41, 42, 0}));

  Mp3Settings mp3;
  mp3.highFrequency = 14;  // 15 kHz
  mp3.highFactor = 0;      // -12.0 dB: factor choice - 8 = -8
  mp3.lowFrequency = 13;   // 150 Hz
  mp3.lowFactor = 15;
  mp3.amplifier = 4;  // 23.5 dB
  writeMp3(entry, mp3);
  EXPECT_EQ(entry.parameters[0], 0x8F);
  EXPECT_EQ(entry.parameters[1], 0xFF);
  EXPECT_EQ(entry.parameters[2], 7);
  Mp3Settings back = readMp3(entry);
  EXPECT_EQ(back.highFrequency, 14);
  EXPECT_EQ(back.highFactor, 0);
  EXPECT_EQ(back.lowFrequency, 13);
  EXPECT_EQ(back.lowFactor, 15);
  EXPECT_EQ(back.amplifier, 4);

  mp3.highFactor = 15;  // +10.5 dB
  writeMp3(entry, mp3);
  EXPECT_EQ(entry.parameters[0] >> 4, 7);
  EXPECT_EQ(readMp3(entry).highFactor, 15);
}

TEST(DeviceParameters, ANewTypeClearsTheOldTypesBytes) {
  DeviceEntry entry = defaultDeviceEntry(kDeviceKpG1);
  setDeviceHeader(entry, kDeviceKpLd, 0xC4, 140);
  EXPECT_EQ(entry.size, 12);
  EXPECT_EQ(entry.parameters[6], 0);
  EXPECT_EQ(entry.parameters[39], 0);
}

// ---- a device dialog's Apply --------------------------------------------------

struct ApplyFixture {
  ApplyFixture() {
    working.devices[0] = usedEntry(kDeviceKpG1, 0x90);
    working.devices[1] = usedEntry(kDeviceKpDio, 0x40);
    record.devices[0] = working.devices[0];  // the DIO is not in the record yet
  }
  std::function<int(const CpuSettings&)> applier(int result) {
    return [this, result](const CpuSettings& settings) {
      applied.push_back(deviceCount(settings.devices));
      return result;
    };
  }
  testing::ScriptedAnswerer answers;
  CpuSettings working;
  CpuSettings record;
  std::vector<int> applied;  // device count of each applied record
};

TEST(DeviceApply, CopiesTheWholeWorkingListAndReportsWhatTheBoardDid) {
  ApplyFixture f;
  DeviceEntry added = defaultDeviceEntry(kDeviceKpMp3);
  EXPECT_EQ(applyDeviceEntry(added, 2, f.working, f.record, f.applier(1)), DeviceApply::Applied);
  EXPECT_EQ(f.applied, std::vector<int>{3});
  EXPECT_EQ(deviceCount(f.record.devices), 3);
  EXPECT_EQ(f.record.devices[1].type, kDeviceKpDio);
  EXPECT_EQ(f.working.devices[2].used, 1);
  EXPECT_EQ(f.answers.shownIds(), std::vector<int>{40213});

  // A board that did not take it: 40272, never 40213.
  EXPECT_EQ(applyDeviceEntry(added, 2, f.working, f.record, f.applier(0)), DeviceApply::NotApplied);
  EXPECT_EQ(f.answers.shownIds(), (std::vector<int>{40213, 40272}));
}

TEST(DeviceApply, AListBeyondTheBoardsAreaIsRefusedBeforeAnythingIsApplied) {
  ApplyFixture f;
  for (int n = 2; n < 5; ++n) f.working.devices[n] = usedEntry(kDeviceKpG1, 0x92);  // 4 x 52 + 20 = 228
  const auto workingBefore = f.working.devices;
  const auto recordBefore = f.record.devices;
  EXPECT_EQ(applyDeviceEntry(defaultDeviceEntry(kDeviceKpGc), 5, f.working, f.record, f.applier(1)),
            DeviceApply::Refused);
  EXPECT_EQ(f.answers.shownIds(), std::vector<int>{40215});
  EXPECT_TRUE(f.applied.empty());
  EXPECT_EQ(f.working.devices[5].used, 0);  // + 62 would be 290
  EXPECT_EQ(deviceCount(f.record.devices), deviceCount(recordBefore));
  EXPECT_EQ(deviceCount(f.working.devices), deviceCount(workingBefore));
}

// ---- live values ------------------------------------------------------------

class FakeValues : public DeviceValueSource {
 public:
  LiveRead outcome = LiveRead::Read;
  std::vector<std::vector<uint8_t>> requests;
  LiveRead readVariables(std::span<const uint8_t> variables, std::span<int16_t> values) override {
    requests.emplace_back(variables.begin(), variables.end());
    if (outcome == LiveRead::Read)
      for (size_t n = 0; n < variables.size(); ++n) values[n] = static_cast<int16_t>(variables[n] == 128 ? 0 : -variables[n]);
    return outcome;
  }
};

TEST(DeviceLiveValues, OneBundledReadPerTickAndNoValueWithoutTheBoard) {
  FakeValues source;
  DeviceLiveView view;
  view.watch(128, {129, 0, 131});
  EXPECT_EQ(view.valueText(0), u"--------");
  EXPECT_EQ(view.stateText(), u"--");

  view.refresh(source);
  ASSERT_EQ(source.requests.size(), 1u);
  EXPECT_EQ(source.requests[0], (std::vector<uint8_t>{128, 129, 131}));
  EXPECT_EQ(view.valueText(0), u"-129");
  EXPECT_EQ(view.valueText(1), u"--------");  // unused output
  EXPECT_EQ(view.valueText(2), u"-131");
  EXPECT_EQ(view.stateText(), u"OK");

  // A busy link keeps what is shown.
  source.outcome = LiveRead::Busy;
  view.refresh(source);
  EXPECT_EQ(view.valueText(0), u"-129");

  // A failed read shows no value and no state: never "0" or "OK".
  source.outcome = LiveRead::Unavailable;
  view.refresh(source);
  EXPECT_EQ(view.valueText(0), u"--------");
  EXPECT_EQ(view.valueText(2), u"--------");
  EXPECT_EQ(view.stateText(), u"--");

  // A status variable that reads nonzero is a fault.
  source.outcome = LiveRead::Read;
  view.watch(140, {});
  view.refresh(source);
  EXPECT_EQ(view.stateText(), u"NG");
}

}  // namespace
}  // namespace kv
