// The CPU settings record: the MARLO-3 board's own configuration (control
// period, battery thresholds, voice output, interpolation types, controller
// and connector types, servo outputs, expansion devices) and what the board
// reports of itself (firmware, last error).
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <string_view>

namespace kv {

inline constexpr int kServoOutputCount = 30;
inline constexpr int kDeviceSlotCount = 32;
inline constexpr int kInterpolationCount = 62;     // one per pose slider
inline constexpr int kDeviceHeaderSize = 6;        // size, type, bus address, status variable
inline constexpr int kDeviceParameterCapacity = 258;
inline constexpr int kDeviceMaxSize = kDeviceHeaderSize + kDeviceParameterCapacity;
inline constexpr int kServoNameFieldSize = 16;  // at most 15 characters and the terminator

// One expansion device on the KPBUS. A used entry is followed only by used
// entries; the first unused one ends the list.
struct DeviceEntry {
  int32_t used = 0;
  uint16_t size = 0;  // 6 + number of parameter bytes
  uint16_t type = 0;
  uint8_t busAddress = 0;
  uint8_t statusVariable = 0;  // v[n] that shows the device's state
  std::array<uint8_t, kDeviceParameterCapacity> parameters{};

  // Size in range: at least the header, and parameters that fit their field.
  bool sizeValid() const { return size >= kDeviceHeaderSize && size <= kDeviceMaxSize; }
};

// One servo output channel: x = v[a] + the four terms, limited, then
// PWM = base + coefficient * x / 32768.
struct ServoRecord {
  std::u16string name;  // at most 15 characters; kept by the editor, not on the board
  uint8_t variableA = 0;
  uint8_t term1Va = 0;
  uint8_t term1Vb = 0;
  uint8_t powerOnTimer = 0;  // cycles; 0: never powered
  uint16_t base = 0;
  int16_t upperLimit = 0;
  int16_t lowerLimit = 0;
  int16_t coefficient = 0;
  int16_t term1Coefficient = 0;
  std::array<int16_t, 3> termCoefficient{};  // terms 2, 3, 4
  std::array<uint8_t, 3> termVa{};
  std::array<uint8_t, 3> termVb{};
  uint8_t torqueOffVariable = 0;
  uint8_t torqueOffBits = 0;  // 0x80 enabled; bits 0-3 reference bit
  uint8_t validity = 0;       // two bits per term
};

struct CpuSettings {
  uint32_t controlPeriod = 0;    // microseconds
  uint16_t batteryAlarm = 0;     // mV
  uint16_t batteryShutdown = 0;  // mV
  uint16_t voiceVariable = 0;    // pose slider carrying voice output (62 or more: none)
  uint8_t voiceOutput = 0;       // 1 on
  uint8_t amplifier = 0;         // 0x80 built-in amplifier; bits 0-1 gain
  std::array<uint8_t, kInterpolationCount> interpolation{};
  std::array<DeviceEntry, kDeviceSlotCount> devices{};
  std::array<ServoRecord, kServoOutputCount> servos{};
  int16_t bootTimer = 0;  // control cycles
  uint16_t errorCode = 0;
  uint32_t errorAddress = 0;
  int32_t firmwareRevision = 0;
  uint16_t firmwareVersion = 0;  // 8.8 fixed point: 0x0100 is 1.000
  uint8_t padType = 0;
  uint8_t controllerServoOn = 0;
  uint8_t cn6Type = 0;
  uint8_t cn7Type = 0;
};

// The record after a connection: the board's settings, read over an earlier
// copy of the record, with what only the editor keeps (servo names) taken
// from the record as it is now, so a name edited since that copy stays.
inline void takeBoardSettings(CpuSettings& record, const CpuSettings& board) {
  CpuSettings merged = board;
  for (int i = 0; i < kServoOutputCount; ++i) merged.servos[i].name = record.servos[i].name;
  record = std::move(merged);
}

// The servo's name as the dialog shows it.
inline std::u16string servoName(const ServoRecord& servo) { return servo.name; }

// Stores a name, cut to the 15 characters the board settings file keeps.
inline void setServoName(ServoRecord& servo, std::u16string_view name) {
  name = name.substr(0, name.find(u'\0'));
  servo.name = std::u16string(name.substr(0, kServoNameFieldSize - 1));
}

// The firmware version as a number (0x0100 gives 1.0).
inline double firmwareVersionNumber(uint16_t version) { return version / 256.0; }

}  // namespace kv
