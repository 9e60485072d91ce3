#include "board_memory.h"

#include <algorithm>

namespace boardsim {

BoardMemory::BoardMemory() : flash_(kFlashSize, 0xFF), ram_(kRamSize, 0) {}

bool BoardMemory::inFlash(int64_t address, int64_t length) {
  return address >= kFlashBase && length >= 0 && address + length <= int64_t{kFlashBase} + kFlashSize;
}

bool BoardMemory::inRam(int64_t address, int64_t length) {
  return address >= kRamBase && length >= 0 && address + length <= int64_t{kRamBase} + kRamSize;
}

uint8_t* BoardMemory::at(int64_t address) {
  if (inFlash(address, 1)) return &flash_[static_cast<size_t>(address - kFlashBase)];
  if (inRam(address, 1)) return &ram_[static_cast<size_t>(address - kRamBase)];
  return nullptr;
}

const uint8_t* BoardMemory::at(int64_t address) const { return const_cast<BoardMemory*>(this)->at(address); }

uint8_t BoardMemory::byte(int64_t address) const {
  const uint8_t* p = at(address);
  return p ? *p : 0;
}

void BoardMemory::setByte(int64_t address, uint8_t value) {
  if (uint8_t* p = at(address)) *p = value;
}

void BoardMemory::read(int64_t address, uint8_t* out, size_t length) const {
  for (size_t i = 0; i < length; ++i) out[i] = byte(address + static_cast<int64_t>(i));
}

std::vector<uint8_t> BoardMemory::read(int64_t address, size_t length) const {
  std::vector<uint8_t> out(length);
  read(address, out.data(), length);
  return out;
}

void BoardMemory::write(int64_t address, const uint8_t* data, size_t length) {
  for (size_t i = 0; i < length; ++i) setByte(address + static_cast<int64_t>(i), data[i]);
}

uint16_t BoardMemory::u16(int64_t address) const {
  return static_cast<uint16_t>(byte(address) | byte(address + 1) << 8);
}

uint32_t BoardMemory::u32(int64_t address) const {
  return static_cast<uint32_t>(u16(address)) | static_cast<uint32_t>(u16(address + 2)) << 16;
}

void BoardMemory::setU16(int64_t address, uint16_t value) {
  setByte(address, static_cast<uint8_t>(value & 0xFF));
  setByte(address + 1, static_cast<uint8_t>(value >> 8));
}

void BoardMemory::setU32(int64_t address, uint32_t value) {
  setU16(address, static_cast<uint16_t>(value & 0xFFFF));
  setU16(address + 2, static_cast<uint16_t>(value >> 16));
}

void BoardMemory::clearRam() { std::fill(ram_.begin(), ram_.end(), 0); }

}  // namespace boardsim
