// The ROM settings file: the CPU settings record as the project keeps it
// (the file its project file names with "ROMINI:", "medit_rom.ini"), a
// tagged-line file written as UTF-16LE and read as UTF-16LE or Shift-JIS.
#pragma once

#include <cstdint>
#include <filesystem>

#include "board/cpu_settings.h"

namespace kv {

struct ProjectRecord;

// A voltage in volts as the record's millivolts, rounded to the nearest mV
// and held to 0 to 65535: "4.0040" is 4004 mV, not 4003. The file reader and
// the CPU settings dialog's Apply convert with this.
uint16_t millivoltsFromVolts(double volts);

// The torque-off bytes every servo record has before a file says otherwise:
// channel n is switched by bit n of the servo-enable pair v[62], v[63].
void setTorqueOffDefaults(CpuSettings& settings);

// Reads the file into `settings`, which the caller prepares (start-up clears
// it first). The torque-off defaults are set and the device slots cleared
// before the file is read, so a file with fewer devices leaves no stale ones.
// Servo keys before the first and beyond the 30th "MOTORNAME:" are ignored,
// names are cut to 15 characters; a device whose size lies outside 6 to 264
// (or is missing) ends the device list. False when the file cannot be
// opened; the record then holds the defaults.
bool loadRomSettings(const std::filesystem::path& file, CpuSettings& settings);

// Writes the whole record: the basic settings, the 30 servo blocks and the
// used devices (at most 32, up to the first unused or out-of-size slot).
// The old file is replaced only by a complete new one. False when it cannot
// be written.
bool saveRomSettings(const std::filesystem::path& file, const CpuSettings& settings);

// Saves the record where the project's ROM settings file is written back:
// "medit_rom.ini" in the project folder, in the case the project uses.
bool saveProjectRomSettings(const ProjectRecord& project, const CpuSettings& settings);

}  // namespace kv
