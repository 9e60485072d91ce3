// Flash erase and programming through the flash handshake, restarts from
// the ROM image and the start of a new firmware.
#include <gtest/gtest.h>

#include <cstring>

#include "host.h"
#include "memory_map.h"
#include "rom_boot.h"

namespace boardtest {
namespace {

using namespace boardsim;

// The host's flash handshake against an in-process board: the standing
// status request, clearing the state, the operation, then polling the state
// word while board time passes.
class FlashHost {
 public:
  explicit FlashHost(Board& board) : board_(board) {
    standRead(board_, 0x49, {{0x200000, 16}}, kFlashRequestArea);
  }
  uint16_t state() {
    EXPECT_TRUE(collect(board_, image_));
    return image_.u16(kFlashState);
  }
  // Returns the state word that ended the wait: 4 done, 5 failed.
  uint16_t step(const Bytes& operation) {
    send(board_, WriteRequest().add(kFlashState, le16(0)).payload());
    if (state() != 0) return 0xFFFF;
    send(board_, operation);
    for (int round = 0; round < 1000; ++round) {
      const uint16_t now = state();
      if (now == kFlashDone || now == kFlashFailed) return now;
      board_.advance(1000);
    }
    return 0xFFFF;
  }
  uint16_t erase(uint32_t address) { return step(WriteRequest().erase(address).payload()); }
  uint16_t program(uint32_t address, const Bytes& page) { return step(WriteRequest().add(address, page).payload()); }
  // Writes `bytes` at a sector-aligned ROM address as the ROM writer does.
  void writeRom(uint32_t address, Bytes bytes) {
    bytes.resize((bytes.size() + kPageSize - 1) / kPageSize * kPageSize, 0);
    for (uint32_t at = 0; at < bytes.size(); at += kSectorSize) ASSERT_EQ(erase(address + at), kFlashDone);
    for (uint32_t at = 0; at < bytes.size(); at += kPageSize)
      ASSERT_EQ(program(address + at, Bytes(bytes.begin() + at, bytes.begin() + at + kPageSize)), kFlashDone);
  }
  HostImage& image() { return image_; }

 private:
  Board& board_;
  HostImage image_;
};

Bytes pattern(uint8_t seed) {
  Bytes page(kPageSize);
  for (size_t i = 0; i < page.size(); ++i) page[i] = static_cast<uint8_t>(seed + i * 3);
  return page;
}

TEST(Flash, EraseAndProgramThroughTheHandshake) {
  Board board;
  FlashHost host(board);
  send(board, WriteRequest().add(kFlashState, le16(0)).payload());
  send(board, WriteRequest().erase(0x10000 + 0x1234).payload());  // any address inside the sector
  EXPECT_EQ(host.state(), kFlashErasing);  // not done at once
  EXPECT_EQ(board.memory().u16(kOperatingState), kStateFlash);
  board.advance(board.config().eraseMicros);
  EXPECT_EQ(host.state(), kFlashDone);
  EXPECT_EQ(board.memory().read(0x10000, kSectorSize), Bytes(kSectorSize, 0xFF));

  EXPECT_EQ(host.program(0x10000, pattern(1)), kFlashDone);
  EXPECT_EQ(host.program(0x10200, pattern(2)), kFlashDone);
  EXPECT_EQ(board.memory().read(0x10000, kPageSize), pattern(1));
  EXPECT_EQ(board.memory().read(0x10200, kPageSize), pattern(2));
  EXPECT_EQ(board.memory().u16(kErrorCode), kErrorNone);

  // The host reads flash back like any memory.
  standRead(board, 0x51, {{0x10200, 512}});
  ASSERT_TRUE(collect(board, host.image()));
  EXPECT_EQ(host.image().range(0x10200, kPageSize), pattern(2));
}

TEST(Flash, ProgrammingWithoutEraseFails) {
  Board board;
  FlashHost host(board);
  ASSERT_EQ(host.erase(0x18000), kFlashDone);
  ASSERT_EQ(host.program(0x18000, Bytes(kPageSize, 0x0F)), kFlashDone);
  EXPECT_EQ(host.program(0x18000, Bytes(kPageSize, 0xF0)), kFlashFailed);
  EXPECT_EQ(board.memory().u16(kErrorCode), kErrorFlashVerify);
  EXPECT_EQ(board.memory().u32(kErrorAddress), 0x18000u);
  // The handshake recovers: the next step clears the state and succeeds.
  ASSERT_EQ(host.erase(0x18000), kFlashDone);
  EXPECT_EQ(host.program(0x18000, Bytes(kPageSize, 0xF0)), kFlashDone);
}

TEST(Flash, AMisalignedPageIsRefused) {
  Board board;
  FlashHost host(board);
  EXPECT_EQ(host.program(0x20100, pattern(3)), kFlashFailed);
  EXPECT_EQ(board.memory().u16(kErrorCode), kErrorFlashRefused);
  EXPECT_EQ(board.flashOperations(), 0);
}

TEST(Flash, AnInjectedFailureFailsThatStepOnly) {
  BoardConfig config;
  config.failFlashOperation = 2;
  Board board(config);
  FlashHost host(board);
  EXPECT_EQ(host.erase(0x28000), kFlashDone);
  EXPECT_EQ(host.program(0x28000, pattern(4)), kFlashFailed);
  EXPECT_EQ(board.memory().read(0x28000, kPageSize), Bytes(kPageSize, 0xFF));
  EXPECT_EQ(host.program(0x28000, pattern(4)), kFlashDone);
}

// A ROM image with settings that differ from the factory's.
Bytes customRomImage() {
  Bytes image = makeFactoryRomHeader("Rover7");
  image[rom::kSettings + 0x8] = 0x88;  // control period 5000 = 0x1388
  image[rom::kSettings + 0x9] = 0x13;
  image[rom::kInterpolation + 5] = 4;
  image[rom::kServoRecords + 16 * 3 + 4] = 0x34;  // servo 3's PWM base
  image[rom::kServoCalc + 16 * 3 + 12] = 0x05;    // its validity bits
  const uint8_t device[] = {46, 0, 0x00, 0x01, 0x90, 128};  // a KP-G1 with 40 parameter bytes
  std::memcpy(&image[rom::kDeviceBlock], device, sizeof(device));
  image[rom::kDeviceBlock + 6] = 129;
  return image;  // the 16-bit 0 behind the entry is already there
}

TEST(Restart, ReloadsSettingsAndNameFromTheRomImage) {
  Board board;
  FlashHost host(board);
  host.writeRom(0, customRomImage());
  send(board, WriteRequest().add(kControlPeriod, le32(7777)).add(variableAddress(9), le16(9)).payload());

  const uint32_t drops = board.busDrops();
  send(board, WriteRequest().add(kRestartRequest, le16(1)).payload());
  EXPECT_FALSE(board.onBus());
  EXPECT_EQ(board.busDrops(), drops + 1);
  board.advance(board.config().restartMicros);
  EXPECT_TRUE(board.onBus());

  const BoardMemory& m = board.memory();
  EXPECT_EQ(m.u32(kControlPeriod), 5000u);
  EXPECT_EQ(m.byte(kInterpolation + 5), 4);
  EXPECT_EQ(m.u16(kServoTableA + 16 * 3 + 4), 0x34);
  EXPECT_EQ(m.byte(kServoTableB + 16 * 3 + 12), 0x05);
  EXPECT_EQ(m.u16(kBootCount), 2);
  EXPECT_EQ(m.variable(9), 0);
  EXPECT_EQ(m.u16(kRestartRequest), 0);
  const uint32_t name = m.u32(kNamePointer);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(m.read(name, 16).data())), "Rover7");
  const uint32_t devices = m.u32(kDeviceTablePointer);
  EXPECT_TRUE(devices == kDeviceBank0 || devices == kDeviceBank1);
  EXPECT_EQ(m.u16(devices), 46);
  EXPECT_EQ(m.u16(devices + 2), 0x0100);
  EXPECT_EQ(m.byte(devices + 6), 129);
  EXPECT_EQ(m.u16(devices + 46), 0);
}

TEST(Restart, AnErasedRomBootsOnFactorySettingsWithoutAName) {
  Board board;
  FlashHost host(board);
  ASSERT_EQ(host.erase(0), kFlashDone);
  send(board, WriteRequest().add(kRestartRequest, le16(1)).payload());
  board.advance(board.config().restartMicros);
  EXPECT_EQ(board.memory().u32(kControlPeriod), kFactoryControlPeriod);
  EXPECT_EQ(board.memory().u16(kBatteryShutdown), kFactoryBatteryShutdown);
  EXPECT_EQ(board.memory().read(board.memory().u32(kNamePointer), 16), Bytes(16, 0));
  EXPECT_EQ(board.memory().u16(board.memory().u32(kDeviceTablePointer)), 0);
}

TEST(Restart, OnlyTheValueOneRestarts) {
  Board board;
  send(board, WriteRequest().add(kRestartRequest, le16(2)).payload());
  EXPECT_TRUE(board.onBus());
  EXPECT_EQ(board.busDrops(), 0u);
}

TEST(Firmware, ANewFirmwareDropsOffTheBusAndComesBackWithItsVersion) {
  Board board;
  FlashHost host(board);
  Bytes firmware = {'F', 'W', 'I', 'D', 0x02, 0x01, 25, 0, 0, 0};
  firmware.resize(1500, 0x90);
  host.writeRom(0x10000, firmware);

  // Each register alone is only stored.
  send(board, WriteRequest().add(kFirmwareStart, le32(0x10000)).payload());
  send(board, WriteRequest().add(kFirmwareLength, le32(1500)).payload());
  EXPECT_TRUE(board.onBus());

  Bytes start = le32(0x10000);
  const Bytes length = le32(1500);
  start.insert(start.end(), length.begin(), length.end());
  send(board, WriteRequest().add(kFirmwareStart, start).payload());
  EXPECT_FALSE(board.onBus());
  board.advance(board.config().firmwareMicros / 2);
  EXPECT_FALSE(board.onBus());  // longer away than a restart
  board.advance(board.config().firmwareMicros / 2);
  EXPECT_TRUE(board.onBus());
  EXPECT_EQ(board.memory().u16(kFirmwareVersion), 0x0102);
  EXPECT_EQ(board.memory().u32(kFirmwareRevision), 25u);
}

TEST(Firmware, AnImageOutsideTheFlashIsRefusedAndTheBoardStays) {
  Board board;
  Bytes start = le32(0x1F0000);
  const Bytes length = le32(0x20000);
  start.insert(start.end(), length.begin(), length.end());
  send(board, WriteRequest().add(kFirmwareStart, start).payload());
  EXPECT_TRUE(board.onBus());
  EXPECT_EQ(board.memory().u16(kErrorCode), kErrorFirmware);
  EXPECT_EQ(board.memory().u32(kErrorAddress), 0x1F0000u);
}

}  // namespace
}  // namespace boardtest
