#include "board/device_table.h"

#include <gtest/gtest.h>

namespace kv {
namespace {

TEST(DeviceBanks, ANewTableAvoidsTheTableInUse) {
  EXPECT_EQ(freeDeviceBank(0x200400), 0x200500u);
  EXPECT_EQ(freeDeviceBank(0x200500), 0x200400u);
  EXPECT_EQ(freeDeviceBank(0), 0x200500u);
  EXPECT_EQ(freeDeviceBank(0x200580), 0x200400u);
  EXPECT_EQ(freeDeviceBank(0x200401), 0u) << "a table across both banks leaves none free";
}

}  // namespace
}  // namespace kv
