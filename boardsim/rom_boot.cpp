#include "rom_boot.h"

#include <algorithm>
#include <cstring>

namespace boardsim {
namespace {

constexpr uint32_t kSettingsSize = 0x18;  // ROM 0x128-0x13F = RAM 0x200028-0x20003F
constexpr uint32_t kServoTableSize = kServoOutputs * kServoRecordSize;

uint32_t le32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}
void put16(uint8_t* p, uint32_t value) {
  p[0] = static_cast<uint8_t>(value & 0xFF);
  p[1] = static_cast<uint8_t>((value >> 8) & 0xFF);
}
void put32(uint8_t* p, uint32_t value) {
  put16(p, value & 0xFFFF);
  put16(p + 2, value >> 16);
}

// Settings block in the layout of ROM 0x128 / RAM 0x200028.
void factorySettings(uint8_t out[kSettingsSize]) {
  std::memset(out, 0, kSettingsSize);
  put16(out + 0x0, kFactoryBatteryAlarm);
  put16(out + 0x2, kFactoryBatteryShutdown);
  put16(out + 0x4, kFactoryVoiceVariable);
  put32(out + 0x8, kFactoryControlPeriod);
}

// Servo table A of a board without settings: every output powered, switched
// off by bit n of v[62]/v[63] (the editor's own defaults).
void factoryServoTable(uint8_t out[kServoTableSize]) {
  std::memset(out, 0, kServoTableSize);
  for (int channel = 0; channel < kServoOutputs; ++channel) {
    uint8_t* record = out + channel * kServoRecordSize;
    record[14] = static_cast<uint8_t>(kServoEnableLow + channel / 16);
    record[15] = static_cast<uint8_t>(0x80 | (channel % 16));
  }
}

// Copies the expansion-device block (entries of size, type, bus address,
// status variable, parameters; ended by a size of 0) into a 256-byte bank.
// A damaged entry ends the list; an entry that does not fit is left out with
// everything behind it.
void copyDeviceTable(const uint8_t* block, size_t blockSize, BoardMemory& memory, uint32_t bank) {
  size_t in = 0;
  uint32_t out = 0;
  while (in + 2 <= blockSize) {
    const uint32_t size = static_cast<uint32_t>(block[in] | block[in + 1] << 8);
    if (size == 0 || size < 6 || in + size > blockSize) break;
    if (out + size + 2 > kDeviceBankSize) break;
    memory.write(bank + out, block + in, size);
    in += size;
    out += size;
  }
  memory.setU16(bank + out, 0);
}

}  // namespace

bool romImagePresent(const BoardMemory& memory) {
  const uint8_t* rom = memory.flash().data();
  return le32(rom + rom::kMagic0) == rom::kMagic0Value && le32(rom + rom::kMagic1) == rom::kMagic1Value;
}

bool loadSettingsFromRom(BoardMemory& memory) {
  const std::vector<uint8_t>& flash = memory.flash();
  const uint8_t* rom = flash.data();
  const bool present = romImagePresent(memory);

  uint8_t settings[kSettingsSize];
  uint8_t servoA[kServoTableSize];
  uint8_t servoB[kServoTableSize] = {};
  uint8_t interpolation[kSliderCount];
  uint8_t name[kNameSize] = {};
  uint32_t motionArea = rom::kDefaultMotionAreaSize;
  const uint8_t* devices = nullptr;
  size_t deviceBytes = 0;

  if (present) {
    std::memcpy(settings, rom + rom::kSettings, kSettingsSize);
    std::memcpy(servoA, rom + rom::kServoRecords, kServoTableSize);
    std::memcpy(servoB, rom + rom::kServoCalc, kServoTableSize);
    std::memcpy(interpolation, rom + rom::kInterpolation, kSliderCount);
    motionArea = le32(rom + rom::kMotionAreaSize);
    const uint32_t nameAt = le32(rom + rom::kNameOffset);
    if (nameAt <= kFlashSize - kNameSize) std::memcpy(name, rom + nameAt, kNameSize);
    const uint32_t deviceAt = le32(rom + rom::kDeviceOffset);
    if (deviceAt < kFlashSize) {
      devices = rom + deviceAt;
      deviceBytes = std::min<size_t>(rom::kDeviceBlockMax, kFlashSize - deviceAt);
    }
  } else {
    factorySettings(settings);
    factoryServoTable(servoA);
    std::memset(interpolation, kFactoryInterpolation, kSliderCount);
  }

  memory.write(kBatteryAlarm, settings, kSettingsSize);
  memory.setU32(kNamePointer, kNameCopy);
  memory.setU32(kMotionAreaSize, motionArea);
  memory.write(kNameCopy, name, kNameSize);
  memory.write(kInterpolation, interpolation, kSliderCount);
  memory.write(kServoTableA, servoA, kServoTableSize);
  memory.write(kServoTableB, servoB, kServoTableSize);
  const uint8_t none[2] = {0, 0};
  copyDeviceTable(devices ? devices : none, devices ? deviceBytes : sizeof(none), memory, kDeviceBank0);
  memory.setU32(kDeviceTablePointer, kDeviceBank0);
  return present;
}

std::vector<uint8_t> makeFactoryRomHeader(const std::string& name) {
  std::vector<uint8_t> image(rom::kHeaderEnd, 0);
  uint8_t* rom = image.data();
  put32(rom + rom::kMagic0, rom::kMagic0Value);
  put32(rom + rom::kMagic1, rom::kMagic1Value);
  put32(rom + rom::kNameOffset, rom::kName);
  put32(rom + rom::kMotionAreaSize, rom::kDefaultMotionAreaSize);
  factorySettings(rom + rom::kSettings);
  put32(rom + rom::kDeviceOffset, rom::kDeviceBlock);  // an empty device list: its 0 size is already there
  std::memset(rom + rom::kInterpolation, kFactoryInterpolation, kSliderCount);
  put16(rom + rom::kInterpolation + kSliderCount, 0x0303);
  factoryServoTable(rom + rom::kServoRecords);
  std::memcpy(rom + rom::kName, name.data(), std::min<size_t>(name.size(), kNameSize - 1));
  return image;
}

}  // namespace boardsim
