// What the board takes from its ROM image when it boots: the settings, the
// robot name, the servo tables and the expansion-device table. A board whose
// ROM holds no image (erased, or written by something else) boots on its
// factory settings with an empty name.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "board_memory.h"

namespace boardsim {

// Factory values of a board without a ROM image.
inline constexpr uint32_t kFactoryControlPeriod = 10000;  // microseconds
inline constexpr uint16_t kFactoryBatteryAlarm = 6800;    // mV
inline constexpr uint16_t kFactoryBatteryShutdown = 6400;
inline constexpr uint16_t kFactoryVoiceVariable = 62;  // no voice slider
inline constexpr uint8_t kFactoryInterpolation = 2;    // linear

// True when the ROM starts with a valid image header.
bool romImagePresent(const BoardMemory& memory);

// Loads RAM from the ROM image (or the factory settings when there is none):
// 0x200020-0x20003F, the interpolation types, servo tables A and B, the name
// copy and device bank 0 with the pointers to them. Returns romImagePresent().
bool loadSettingsFromRom(BoardMemory& memory);

// The header of a ROM image (0x8F2 bytes) holding the factory settings and
// `name` (bytes in the system code page, cut to 15).
std::vector<uint8_t> makeFactoryRomHeader(const std::string& name);

}  // namespace boardsim
