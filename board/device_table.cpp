#include "board/device_table.h"

#include <algorithm>

#include "session/memory_access.h"
#include "session/memory_map.h"
#include "shell/pacing.h"

namespace kv {

namespace a = board_addr;

namespace {

constexpr int kTableBlock = 250;  // the table goes out in pieces of this size
constexpr int kTableWriteMs = 80;

void put16(std::vector<uint8_t>& out, uint16_t value) {
  out.push_back(static_cast<uint8_t>(value));
  out.push_back(static_cast<uint8_t>(value >> 8));
}

uint16_t get16(std::span<const uint8_t> bytes, size_t at) {
  return static_cast<uint16_t>(bytes[at] | bytes[at + 1] << 8);
}

bool banksOverlap(uint32_t first, uint32_t second) {
  return first < second + a::kDeviceBankSize && second < first + a::kDeviceBankSize;
}

}  // namespace

std::vector<uint8_t> packDeviceTable(std::span<const DeviceEntry> devices) {
  std::vector<uint8_t> table;
  for (const DeviceEntry& entry : devices) {
    if (!entry.used || !entry.sizeValid()) break;
    // The entry and the terminator behind it must stay below the limit.
    if (table.size() + entry.size + 2 >= kPackedTableLimit) break;
    put16(table, entry.size);
    put16(table, entry.type);
    table.push_back(entry.busAddress);
    table.push_back(entry.statusVariable);
    table.insert(table.end(), entry.parameters.begin(), entry.parameters.begin() + (entry.size - kDeviceHeaderSize));
  }
  put16(table, 0);
  return table;
}

void parseDeviceTable(std::span<const uint8_t> table, std::span<DeviceEntry> devices) {
  size_t offset = 0;
  size_t slot = 0;
  for (; slot < devices.size(); ++slot) {
    if (offset + kDeviceHeaderSize > table.size()) break;
    const uint16_t size = get16(table, offset);
    DeviceEntry entry;
    entry.size = size;
    // Size 0 ends the list; a size below the header or beyond the parameter
    // field, or an entry running past the table, is not a device.
    if (!entry.sizeValid() || offset + size > table.size()) break;
    entry.used = 1;
    entry.type = get16(table, offset + 2);
    entry.busAddress = table[offset + 4];
    entry.statusVariable = table[offset + 5];
    std::copy_n(table.begin() + static_cast<std::ptrdiff_t>(offset + kDeviceHeaderSize), size - kDeviceHeaderSize,
                entry.parameters.begin());
    devices[slot] = entry;
    offset += size;
  }
  for (; slot < devices.size(); ++slot) devices[slot] = DeviceEntry{};
}

// ---------------------------------------------------------------- the banks

uint32_t freeDeviceBank(uint32_t inUse) {
  for (uint32_t bank : {a::kDeviceBanks + a::kDeviceBankSize, a::kDeviceBanks}) {
    if (!banksOverlap(bank, inUse)) return bank;
  }
  return 0;
}

int writeDeviceTable(MemoryAccess& access, std::span<const DeviceEntry> devices) {
  BoardLink& link = access.link();
  // The bank in use may be either one (an editor start or a board restart
  // forgets which one the last table went to): ask the board.
  const BoardBlock pointer[] = {{a::kDeviceTablePointer, 4}};
  if (access.readTransaction(pointer) != ReadOutcome::Replied) return 0;
  const uint32_t inUse = link.load32(a::kDeviceTablePointer);
  const uint32_t bank = freeDeviceBank(inUse);
  if (bank == 0) return 0;

  const std::vector<uint8_t> table = packDeviceTable(devices);
  link.storeBytes(bank, table);
  const int tableSize = static_cast<int>(table.size());
  for (int done = 0; done < tableSize; done += kTableBlock) {
    const int length = std::min(kTableBlock, tableSize - done);
    if (!access.writeBlocks({{bank + static_cast<uint32_t>(done), length}})) return 0;
    sleepMs(kTableWriteMs);
  }
  // Only a completely written table is switched to.
  link.store32(a::kDeviceTablePointer, bank);
  if (!access.writeBlocks({{a::kDeviceTablePointer, 4}})) {
    link.store32(a::kDeviceTablePointer, inUse);
    return 0;
  }
  sleepMs(kTableWriteMs);

  // The table as the board now holds it refreshes the image.
  std::vector<BoardBlock> readBack;
  for (int done = 0; done < tableSize; done += kTableBlock) {
    readBack.push_back({bank + static_cast<uint32_t>(done), std::min(kTableBlock, tableSize - done)});
  }
  access.readTransaction(readBack);
  return 1;
}

}  // namespace kv
