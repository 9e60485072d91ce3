#include "board/device_table.h"

#include <gtest/gtest.h>

#include <array>

namespace kv {
namespace {

using Devices = std::array<DeviceEntry, kDeviceSlotCount>;

// Used entries told apart by their bus address.
Devices listOf(std::initializer_list<uint8_t> addresses) {
  Devices devices{};
  size_t i = 0;
  for (uint8_t address : addresses) {
    devices[i].used = 1;
    devices[i].size = kDeviceHeaderSize + 40;
    devices[i].type = 0x0100;
    devices[i].busAddress = address;
    ++i;
  }
  return devices;
}

TEST(DeviceList, DeleteMovesTheFollowingEntriesUpAndFreesTheLastSlot) {
  Devices devices = listOf({0x90, 0x92, 0x94});
  ASSERT_TRUE(deleteDevice(devices, 0));
  EXPECT_EQ(devices[0].busAddress, 0x92);
  EXPECT_EQ(devices[1].busAddress, 0x94);
  EXPECT_EQ(devices[2].used, 0) << "no copy of the last entry stays behind";
  EXPECT_EQ(devices[2].busAddress, 0);
  EXPECT_FALSE(deleteDevice(devices, 2));

  // A full list frees its 32nd slot.
  Devices full{};
  for (DeviceEntry& entry : full) entry = listOf({0x40})[0];
  full[31].busAddress = 0x4E;
  ASSERT_TRUE(deleteDevice(full, 31));
  EXPECT_EQ(full[31].used, 0);
  EXPECT_EQ(addDeviceSlot(full), 31);
}

TEST(DeviceList, AddTakesTheFirstFreeSlotClearedAndNothingWhenFull) {
  Devices devices = listOf({0x90});
  devices[1].busAddress = 0x55;  // left over in a free slot
  EXPECT_EQ(addDeviceSlot(devices), 1);
  EXPECT_EQ(devices[1].busAddress, 0);
  for (DeviceEntry& entry : devices) entry.used = 1;
  EXPECT_EQ(addDeviceSlot(devices), -1);
}

TEST(DeviceList, MovesSwapWithTheNeighbourAndStopAtTheEnds) {
  Devices devices = listOf({0x90, 0x92, 0x94});
  EXPECT_EQ(moveDevice(devices, 0, -1), 0);
  EXPECT_EQ(moveDevice(devices, 2, +1), 2) << "the slot after the last is free";
  EXPECT_EQ(moveDevice(devices, 2, -1), 1);
  EXPECT_EQ(devices[1].busAddress, 0x94);
  EXPECT_EQ(devices[2].busAddress, 0x92);
}

TEST(DeviceList, FourKpG1EntriesFitTheBoardsAreaAFifthDoesNot) {
  Devices devices = listOf({0x90, 0x92, 0x94, 0x96});
  EXPECT_EQ(deviceAreaUse(devices), 4 * 52);
  EXPECT_TRUE(devicesFitBoardArea(devices));
  devices[4] = devices[0];
  EXPECT_FALSE(devicesFitBoardArea(devices));
  // Whatever fits the area also packs whole.
  devices[4] = DeviceEntry{};
  EXPECT_EQ(packDeviceTable(devices).size(), 4u * 46 + 2);
}

TEST(DeviceBanks, ANewTableAvoidsTheTableInUse) {
  EXPECT_EQ(freeDeviceBank(0x200400), 0x200500u);
  EXPECT_EQ(freeDeviceBank(0x200500), 0x200400u);
  EXPECT_EQ(freeDeviceBank(0), 0x200500u);
  EXPECT_EQ(freeDeviceBank(0x200580), 0x200400u);
  EXPECT_EQ(freeDeviceBank(0x200401), 0u) << "a table across both banks leaves none free";
}

}  // namespace
}  // namespace kv
