// The expansion device list of the CPU settings record and its packed form
// in board RAM: packing and parsing the table, and writing a new table into
// the bank the board is not using. The list's own operations are in
// board/devices.h.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "board/cpu_settings.h"

namespace kv {

class MemoryAccess;

// The packed table (entries and the 16-bit 0 that ends it) stays below this.
inline constexpr size_t kPackedTableLimit = 256;

// The packed device table: each used entry (size, type, bus address, status
// variable, size - 6 parameter bytes) and a 16-bit 0. It stays below 256
// bytes: packing stops before an entry that does not fit, and at an entry
// whose size is out of range. The first unused slot ends the list.
std::vector<uint8_t> packDeviceTable(std::span<const DeviceEntry> devices);

// Reads a packed device table from `table` (entries must end within it)
// into the record's slots; the slots after the last entry become unused.
// An entry with size 0 ends the list; one whose size is out of range or
// that runs past the table is dropped and ends the list.
void parseDeviceTable(std::span<const uint8_t> table, std::span<DeviceEntry> devices);

// ---- the board's table banks
// The bank (0x200400 or 0x200500) for a new table while the board's pointer
// names `inUse`: the one the table in use does not overlap, 0x200500 when
// neither does, 0 when the table in use overlaps both.
uint32_t freeDeviceBank(uint32_t inUse);

// Writes the packed table of `devices` into the bank the board is not using
// (its pointer at 0x200038 is read first), in 250-byte pieces 80 ms apart,
// then switches the pointer to it and reads the table back into the image.
// The caller holds the link. 0 when the pointer cannot be read, no bank is
// free, or a write fails; the pointer is then left as it was.
int writeDeviceTable(MemoryAccess& access, std::span<const DeviceEntry> devices);

}  // namespace kv
