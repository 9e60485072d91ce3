// The editor's transaction patterns, through the real link library, against
// an in-process board: reads through the request area, the flash handshake
// with a restart, and a motion played and followed by its position.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <thread>

#include "board_server.h"
#include "memory_map.h"
#include "rom_boot.h"
#include "tavlink.h"

namespace boardtest {
namespace {

using namespace boardsim;
namespace fs = std::filesystem;

void sleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
void put32(uint32_t address, uint32_t value) {
  for (int i = 0; i < 4; ++i) tavMemory[address + i] = static_cast<unsigned char>(value >> (8 * i));
}
void put16(uint32_t address, int value) {
  tavMemory[address] = static_cast<unsigned char>(value & 0xFF);
  tavMemory[address + 1] = static_cast<unsigned char>((value >> 8) & 0xFF);
}
uint32_t get32(uint32_t address) {
  return tavMemory[address] | tavMemory[address + 1] << 8 | tavMemory[address + 2] << 16 |
         static_cast<uint32_t>(tavMemory[address + 3]) << 24;
}
int get16(uint32_t address) { return tavMemory[address] | tavMemory[address + 1] << 8; }

class LinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/boardsim-link-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder_ = pattern;
    setenv("TAVLINK_VIRTUAL_DIR", folder_.c_str(), 1);
    ServerOptions options;
    options.timeScale = 0.01;
    server_ = std::make_unique<BoardServer>(options);
    ASSERT_TRUE(server_->start());
    ASSERT_EQ(tavOpen(0x1962, 0x1000, 0x0100, 0x01FF), 1);
  }
  void TearDown() override {
    tavClose();
    server_.reset();
    fs::remove_all(folder_);
  }

  bool write(std::initializer_list<std::pair<uint32_t, int>> blocks) {
    tavWriteInit();
    for (const auto& [address, length] : blocks) tavWritePush(static_cast<int>(address), length);
    tavWriteEnd();
    return tavWriteExec() == 1;
  }
  // The editor's read transaction through the request area at 0x200B00.
  bool read(std::initializer_list<std::pair<uint32_t, int>> blocks) {
    tag_ = (tag_ + 8) & 0xFF;
    tavReadInit(0x200B00, tag_);
    for (const auto& [address, length] : blocks) tavReadPush(static_cast<int>(address), length);
    const int n = tavReadEnd();
    put32(kReadPointer, 0x200B00);
    if (!write({{kReadPointer, 4}, {0x200B00, n}})) return false;
    for (int tries = 0; tries < n / 62 + 1; ++tries) {
      if (tavReadExec(tag_)) return true;
      sleepMs(16);
    }
    return false;
  }
  // The flash handshake: the standing status request, then per step clear,
  // operation and wait.
  void openStatus() {
    tag_ = (tag_ + 8) & 0xFF;
    tavReadInit(0x200A00, tag_);
    tavReadPush(0x200000, 16);
    const int n = tavReadEnd();
    put32(kReadPointer, 0x200A00);
    ASSERT_TRUE(write({{0x200A00, n}, {kReadPointer, 4}}));
  }
  bool flashStep(uint32_t address, int length) {
    put16(kFlashState, 0);
    if (!write({{kFlashState, 2}})) return false;
    // The first copies may still show the state from before the write.
    bool cleared = false;
    for (int round = 0; round < 65536 && !cleared; ++round) cleared = tavReadExec(tag_) && get16(kFlashState) == 0;
    if (!cleared || !write({{address, length}})) return false;
    for (int round = 0; round < 65537; ++round) {
      if (!tavReadExec(tag_)) continue;
      if (get16(kFlashState) == 4) return true;
      if (get16(kFlashState) == 5) return false;
    }
    return false;
  }

  std::string folder_;
  std::unique_ptr<BoardServer> server_;
  int tag_ = 1;
};

TEST_F(LinkTest, SettingsAndNameReadAsTheEditorReadsThem) {
  ASSERT_TRUE(read({{kFirmwareVersion, 2}, {kFirmwareRevision, 4}, {kNamePointer, 4}, {kDeviceTablePointer, 4}}));
  EXPECT_EQ(get16(kFirmwareVersion), 0x0100);
  EXPECT_EQ(get32(kFirmwareRevision), 20u);
  const uint32_t name = get32(kNamePointer);
  ASSERT_TRUE(read({{name, 16}, {0x00012E, 2}, {get32(kDeviceTablePointer), 250}}));
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&tavMemory[name])), "DemoHumanoid");
  put16(variableAddress(kServoPowerVariable), 1);
  ASSERT_TRUE(write({{variableAddress(kServoPowerVariable), 2}}));
  ASSERT_TRUE(read({{kOperatingState, 2}, {0x200800, 124}, {variableAddress(kBatteryVariable), 2}, {0x2009E0, 24}}));
  EXPECT_EQ(get16(kOperatingState), kStateServosOn);
}

TEST_F(LinkTest, RomWrittenThroughTheHandshakeIsTheBoardsAfterARestart) {
  const std::vector<uint8_t> header = makeFactoryRomHeader("Linked");
  std::memcpy(tavMemory, header.data(), header.size());
  openStatus();
  ASSERT_TRUE(flashStep(0, 0));
  for (uint32_t chunk = 0; chunk < header.size(); chunk += 512) ASSERT_TRUE(flashStep(chunk, 512)) << chunk;
  put16(kRestartRequest, 1);
  ASSERT_TRUE(write({{kRestartRequest, 2}}));
  tavClose();
  bool back = false;
  for (int tries = 0; tries < 100 && !back; ++tries) {
    sleepMs(5);
    back = tavOpen(0x1962, 0x1000, 0x0100, 0x01FF) == 1;
  }
  ASSERT_TRUE(back);
  ASSERT_TRUE(read({{kNamePointer, 4}, {kBootCount, 2}}));
  EXPECT_EQ(get16(kBootCount), 2);
  ASSERT_TRUE(read({{get32(kNamePointer), 16}}));
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&tavMemory[get32(kNamePointer)])), "Linked");
}

TEST_F(LinkTest, APlayedMotionIsFollowedByItsPosition) {
  // start -> pose A (10 steps) -> pose B (10 steps) -> end, as compiled for 0x201A00.
  const uint8_t code[] = {10, 0, 0, 0, 10, 0, 0, 0, 0xFF, 0xFF};
  std::memcpy(&tavMemory[kMotionArea], code, sizeof(code));
  for (int pose = 0; pose < 2; ++pose) {
    const uint32_t record = kMotionArea + sizeof(code) + 130 * pose;
    for (int i = 0; i < 3; ++i) tavMemory[kMotionArea + 4 * pose + 1 + i] = static_cast<unsigned char>(record >> (8 * i));
    std::memset(&tavMemory[record], 0, 130);
    tavMemory[record + 1] = 64;
    for (int i = 0; i < kSliderCount; ++i) put16(record + 2 + 2 * i, 100 * (pose + 1));
  }
  // The slowest control period, so that the host sees each pose while it runs.
  put32(kControlPeriod, kMaxControlPeriod);
  ASSERT_TRUE(write({{kControlPeriod, 4}}));
  const int length = static_cast<int>(sizeof(code)) + 260;
  for (int at = 0; at < length; at += 250) ASSERT_TRUE(write({{kMotionArea + at, std::min(250, length - at)}}));
  put16(kLoopSetting, 3);
  ASSERT_TRUE(write({{kLoopSetting, 2}}));
  put32(kMotionStart, kMotionArea);
  ASSERT_TRUE(write({{kMotionStart, 4}}));

  // Followed until the board reports the motion ended, however long a
  // loaded machine makes that take.
  std::vector<uint32_t> positions;
  for (auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
       std::chrono::steady_clock::now() < until;) {
    ASSERT_TRUE(read({{kMotionStart, 4}, {kMotionPosition, 4}}));
    if (positions.empty() || positions.back() != get32(kMotionPosition)) positions.push_back(get32(kMotionPosition));
    if (get32(kMotionStart) == 0) break;
  }
  EXPECT_EQ(get32(kMotionStart), 0u);
  // A host held up longer than a whole pose may first see the second one.
  if (positions.size() == 1) positions.insert(positions.begin(), kMotionArea);
  EXPECT_EQ(positions, (std::vector<uint32_t>{kMotionArea, kMotionArea + 4}));
  ASSERT_TRUE(read({{0x200800, 124}, {kErrorCode, 2}}));
  EXPECT_EQ(get16(0x200800 + 2 * 61), 200);
  EXPECT_EQ(get16(kErrorCode), 0);
}

}  // namespace
}  // namespace boardtest
