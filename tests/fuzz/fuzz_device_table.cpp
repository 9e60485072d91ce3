// Fuzz target: the virtual board's device driver reads whatever table the
// host wrote (and wherever the pointer says) without reading or writing
// outside its memory, and serves only a table it has checked whole.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "board_memory.h"
#include "kpbus.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace boardsim;
  static BoardMemory memory;
  memory.clearRam();
  // The first four bytes are the pointer, low 16 bits kept near the banks
  // half the time so the table checks are reached; the rest is the table.
  uint32_t pointer = kDeviceBank0;
  if (size >= 4) {
    pointer = static_cast<uint32_t>(data[0] | data[1] << 8 | data[2] << 16 | static_cast<uint32_t>(data[3]) << 24);
    if (pointer & 1) pointer = kDeviceBank0 + ((pointer >> 1) & 0x1FF);
    data += 4;
    size -= 4;
  }
  memory.setU32(kDeviceTablePointer, pointer);
  memory.write(kDeviceBank0, data, size < 512 ? size : 512);

  static Kpbus bus = [] {
    Kpbus b;
    const uint16_t types[] = {kKpG1, kKpLd, kKpDio, kKpAin, kKpMp3, kKpGc};
    uint8_t address = 0x40;
    for (uint16_t type : types) {
      KpbusDevice device;
      device.type = type;
      device.busAddress = address;
      device.raw.assign(static_cast<size_t>(kpbusReadingCount(type)), -32768);
      b.attach(device);
      address = static_cast<uint8_t>(address + 0x10);
    }
    return b;
  }();
  uint32_t faultAt = 0;
  if (bus.serve(memory, &faultAt) == Kpbus::Table::Served && !BoardMemory::inRam(pointer, kDeviceTableBytes)) std::abort();
  return 0;
}
