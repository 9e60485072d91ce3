// The expansion device list of the CPU settings record and its packed form
// in board RAM: packing and parsing the table, the list operations of the
// device list page, the board's area rule, and writing a new table into the
// bank the board is not using.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "board/cpu_settings.h"

namespace kv {

class MemoryAccess;

// "The board's RAM area for device data is too small".
inline constexpr int kMsgDeviceAreaFull = 40215;
// The board's area for device data: every used entry takes its size + 6.
inline constexpr int kDeviceAreaLimit = 256;
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

// ---- the device list
// Room the used entries take in the board's area (size + 6 each).
int deviceAreaUse(std::span<const DeviceEntry> devices);
// The list keeps to the board's area (else string 40215).
bool devicesFitBoardArea(std::span<const DeviceEntry> devices);
// Clears the first free slot for a new entry and gives its index; -1 when
// every slot is used.
int addDeviceSlot(std::span<DeviceEntry> devices);
// Removes the entry at `index`: the following ones move up by one and the
// slot they vacate becomes free. False when `index` names no used entry.
bool deleteDevice(std::span<DeviceEntry> devices, int index);
// Swaps the entry at `index` with the one before (delta -1) or after (+1);
// gives the entry's new index, or `index` when it cannot move.
int moveDevice(std::span<DeviceEntry> devices, int index, int delta);

// ---- applying the list to the board
enum class DeviceApplyResult {
  Applied,    // the list is in the record and on the board (string 40213)
  TooLarge,   // the list exceeds the board's area; nothing changed (40215)
  Invalid,    // an entry's size is out of range; nothing changed (40272)
  NotWritten  // the list is in the record, but the board did not take the settings (40272)
};
// What a device dialog's Apply does with the working list: checks the
// board's area first, copies the whole list into the record (used entries
// in order, closing any gap, so no entry is dropped by packing) and applies
// the record to the board's RAM.
DeviceApplyResult applyDeviceList(std::span<const DeviceEntry> working, CpuSettings& record, MemoryAccess& access);

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
