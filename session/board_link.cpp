#include "session/board_link.h"

#include <algorithm>

#include "linklib/tavlink.h"

namespace kv {

bool BoardLink::contains(uint32_t address, uint32_t length) {
  const size_t size = memory().size();
  return address <= size && length <= size - address;
}

std::span<uint8_t> BoardLink::bytes(uint32_t address, uint32_t length) {
  if (!contains(address, length)) return {};
  return memory().subspan(address, length);
}

void BoardLink::store8(uint32_t address, uint8_t value) {
  if (contains(address, 1)) memory()[address] = value;
}

void BoardLink::store16(uint32_t address, uint16_t value) {
  if (!contains(address, 2)) return;
  std::span<uint8_t> image = memory();
  image[address] = static_cast<uint8_t>(value);
  image[address + 1] = static_cast<uint8_t>(value >> 8);
}

void BoardLink::store32(uint32_t address, uint32_t value) {
  if (!contains(address, 4)) return;
  std::span<uint8_t> image = memory();
  for (uint32_t i = 0; i < 4; ++i) image[address + i] = static_cast<uint8_t>(value >> (8 * i));
}

void BoardLink::storeBytes(uint32_t address, std::span<const uint8_t> source) {
  std::span<uint8_t> target = bytes(address, static_cast<uint32_t>(source.size()));
  if (!target.empty()) std::copy(source.begin(), source.end(), target.begin());
}

uint8_t BoardLink::load8(uint32_t address) { return contains(address, 1) ? memory()[address] : 0; }

uint16_t BoardLink::load16(uint32_t address) {
  if (!contains(address, 2)) return 0;
  std::span<uint8_t> image = memory();
  return static_cast<uint16_t>(image[address] | image[address + 1] << 8);
}

uint32_t BoardLink::load32(uint32_t address) {
  if (!contains(address, 4)) return 0;
  std::span<uint8_t> image = memory();
  uint32_t value = 0;
  for (uint32_t i = 0; i < 4; ++i) value |= static_cast<uint32_t>(image[address + i]) << (8 * i);
  return value;
}

std::span<uint8_t> TavBoardLink::memory() { return {tavMemory, TAV_MEMORY_SIZE}; }

int TavBoardLink::open(int vendorId, int productId, int lowestVersion, int highestVersion) {
  return tavOpen(vendorId, productId, lowestVersion, highestVersion);
}
bool TavBoardLink::openDenied() { return tavOpenError() == TAV_OPEN_DENIED; }
void TavBoardLink::close() { tavClose(); }
int TavBoardLink::checkAlive() { return tavCheckAlive(); }
int TavBoardLink::writeInit() { return tavWriteInit(); }
int TavBoardLink::writePush(int address, int length) { return tavWritePush(address, length); }
int TavBoardLink::writeEnd() { return tavWriteEnd(); }
int TavBoardLink::writeExec() { return tavWriteExec(); }
int TavBoardLink::readInit(int offset, int tag) { return tavReadInit(offset, tag); }
int TavBoardLink::readPush(int address, int length) { return tavReadPush(address, length); }
int TavBoardLink::readEnd() { return tavReadEnd(); }
int TavBoardLink::readExec(int tag) { return tavReadExec(tag); }

}  // namespace kv
