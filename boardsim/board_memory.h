// The board's memory: 2 MiB of flash at 0 and 64 KiB of RAM at 0x200000.
// Plain storage with little-endian accessors; what a write means is the
// board's business (board.h). Unmapped addresses read as 0 and keep nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "memory_map.h"

namespace boardsim {

class BoardMemory {
 public:
  BoardMemory();

  // True when [address, address + length) lies wholly in flash or wholly in RAM.
  static bool inFlash(int64_t address, int64_t length);
  static bool inRam(int64_t address, int64_t length);
  static bool mapped(int64_t address, int64_t length) { return inFlash(address, length) || inRam(address, length); }

  // Byte access over the whole space; unmapped bytes read as 0, writes to them are lost.
  uint8_t byte(int64_t address) const;
  void setByte(int64_t address, uint8_t value);
  void read(int64_t address, uint8_t* out, size_t length) const;
  std::vector<uint8_t> read(int64_t address, size_t length) const;
  void write(int64_t address, const uint8_t* data, size_t length);

  uint16_t u16(int64_t address) const;
  int16_t s16(int64_t address) const { return static_cast<int16_t>(u16(address)); }
  uint32_t u32(int64_t address) const;
  void setU16(int64_t address, uint16_t value);
  void setU32(int64_t address, uint32_t value);

  int16_t variable(int n) const { return s16(variableAddress(n & 0xFF)); }
  void setVariable(int n, int16_t value) { setU16(variableAddress(n & 0xFF), static_cast<uint16_t>(value)); }

  std::vector<uint8_t>& flash() { return flash_; }
  const std::vector<uint8_t>& flash() const { return flash_; }
  void clearRam();

 private:
  uint8_t* at(int64_t address);
  const uint8_t* at(int64_t address) const;

  std::vector<uint8_t> flash_;
  std::vector<uint8_t> ram_;
};

}  // namespace boardsim
