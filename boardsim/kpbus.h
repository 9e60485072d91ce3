// Expansion devices on the virtual board's KPBUS. Devices are attached by
// type and bus address with raw readings a test sets; every control cycle the
// board reads the device table that the pointer at 0x200038 names, talks to
// each listed device, writes v[status] (0 answered, 1 no answer) and turns the
// raw readings into data variables by the table's offsets and gains.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "board_memory.h"

namespace boardsim {

inline constexpr uint16_t kKpG1 = 0x0100;   // gyro / acceleration: 8 outputs
inline constexpr uint16_t kKpLd = 0x0400;   // LED driver: outputs only
inline constexpr uint16_t kKpDio = 0x0700;  // 16 digital channels in two groups of eight
inline constexpr uint16_t kKpAin = 0x0800;  // analog input: 8 channels
inline constexpr uint16_t kKpMp3 = 0x0900;  // MP3 player: outputs only
inline constexpr uint16_t kKpGc = 0x0C00;   // gyro / acceleration / compass: 10 outputs

inline constexpr uint32_t kDeviceTableBytes = 256;  // the table and its 0 end lie within one bank's size
inline constexpr int kGainUnit = 256;               // gain 256 passes a reading unchanged

// One device on the bus.
struct KpbusDevice {
  uint16_t type = 0;
  uint8_t busAddress = 0;
  // Raw readings: one per output (KP-G1 and KP-AIN 8, KP-GC 10); KP-DIO: the
  // levels of channels 0-7 and 8-15 as bits. Readings not given are 0.
  std::vector<int16_t> raw;
  // KP-DIO: the levels the board drives on the output channels of each group.
  std::array<uint8_t, 2> outputs{};
};

// Parameter bytes the board reads for a type; -1 for a type it has no driver for.
int kpbusParameterBytes(uint16_t type);
// How many raw readings a type has (0: none).
int kpbusReadingCount(uint16_t type);

// "TYPE@ADDR[:raw=V,V,...]": TYPE is G1, LD, DIO, AIN, MP3 or GC (with or
// without "KP-", any case) or a type code (0x0100); ADDR the bus address
// (0x90). False with a reason for anything else.
bool parseKpbusDevice(const std::string& text, KpbusDevice* device, std::string* error);

// The bus: the attached devices and one cycle of the board's device driver.
class Kpbus {
 public:
  // False when a device is already attached at that bus address.
  bool attach(const KpbusDevice& device);
  KpbusDevice* device(uint8_t busAddress);
  const std::vector<KpbusDevice>& devices() const { return devices_; }

  enum class Table { Served, Malformed };
  // Reads the table the pointer at 0x200038 names and serves its entries.
  // A malformed table (the pointer names no 256 bytes of RAM; an entry whose
  // size is outside 6 to 264, or does not match its type's parameters; no 0
  // end within 256 bytes) is not used at all; `*faultAt` is then the address
  // of the offending entry (or the pointer).
  Table serve(BoardMemory& memory, uint32_t* faultAt);

 private:
  std::vector<KpbusDevice> devices_;
};

}  // namespace boardsim
