#include "kpbus.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>

namespace boardsim {
namespace {

constexpr uint32_t kEntryHeader = 6;  // size, type, bus address, status variable
constexpr uint32_t kLargestEntry = kEntryHeader + 258;

struct Entry {
  uint32_t at = 0;  // address of the entry
  uint16_t size = 0;
  uint16_t type = 0;
  uint8_t busAddress = 0;
  uint8_t statusVariable = 0;
};

// Outputs of a sensor type; its parameters are the outputs' data variables
// (one byte each), then their offsets, then their gains (16-bit each).
int sensorOutputs(uint16_t type) {
  switch (type) {
    case kKpG1:
    case kKpAin: return 8;
    case kKpGc: return 10;
    default: return 0;
  }
}

int16_t clamp16(int64_t value) { return static_cast<int16_t>(std::clamp<int64_t>(value, -32768, 32767)); }

bool parseNumber(const std::string& text, long min, long max, long* out) {
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  const long value = std::strtol(text.c_str(), &end, 0);
  if (errno != 0 || *end != '\0' || value < min || value > max) return false;
  *out = value;
  return true;
}

void serveSensor(const Entry& entry, const KpbusDevice& device, BoardMemory& memory) {
  const int outputs = sensorOutputs(entry.type);
  const uint32_t params = entry.at + kEntryHeader;
  for (int i = 0; i < outputs; ++i) {
    const uint8_t variable = memory.byte(params + static_cast<uint32_t>(i));
    if (variable == 0) continue;  // output unused
    const int16_t offset = memory.s16(params + static_cast<uint32_t>(outputs + 2 * i));
    const int16_t gain = memory.s16(params + static_cast<uint32_t>(3 * outputs + 2 * i));
    const int64_t raw = static_cast<size_t>(i) < device.raw.size() ? device.raw[static_cast<size_t>(i)] : 0;
    memory.setVariable(variable, clamp16((raw - offset) * gain / kGainUnit));
  }
}

void serveDigital(const Entry& entry, KpbusDevice& device, BoardMemory& memory) {
  const uint32_t params = entry.at + kEntryHeader;
  for (uint32_t group = 0; group < 2; ++group) {
    const uint8_t inputVariable = memory.byte(params + group);
    const uint8_t outputVariable = memory.byte(params + 2 + group);
    const uint8_t invert = memory.byte(params + 4 + group);
    const uint8_t inputs = memory.byte(params + 6 + group);  // bit set: the channel is an input
    const uint8_t levels = group < device.raw.size() ? static_cast<uint8_t>(device.raw[group]) : 0;
    if (inputVariable != 0) memory.setVariable(inputVariable, static_cast<int16_t>((levels ^ invert) & inputs));
    if (outputVariable != 0) {
      const uint8_t bits = static_cast<uint8_t>(memory.variable(outputVariable));
      device.outputs[group] = static_cast<uint8_t>((bits ^ invert) & ~inputs);
    }
  }
}

}  // namespace

int kpbusParameterBytes(uint16_t type) {
  switch (type) {
    case kKpG1:
    case kKpAin: return 40;
    case kKpLd:
    case kKpMp3: return 6;
    case kKpDio: return 8;
    case kKpGc: return 50;
    default: return -1;
  }
}

int kpbusReadingCount(uint16_t type) {
  if (type == kKpDio) return 2;
  return sensorOutputs(type);
}

bool parseKpbusDevice(const std::string& text, KpbusDevice* device, std::string* error) {
  const auto fail = [&](const std::string& why) {
    if (error) *error = why + ": " + text;
    return false;
  };
  const size_t at = text.find('@');
  if (at == std::string::npos) return fail("expected TYPE@ADDR");
  std::string name = text.substr(0, at);
  for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (name.rfind("KP-", 0) == 0) name.erase(0, 3);
  static const std::pair<const char*, uint16_t> kNames[] = {{"G1", kKpG1},   {"LD", kKpLd},   {"DIO", kKpDio},
                                                            {"AIN", kKpAin}, {"MP3", kKpMp3}, {"GC", kKpGc}};
  KpbusDevice parsed;
  bool named = false;
  for (const auto& [label, type] : kNames) {
    if (name == label) {
      parsed.type = type;
      named = true;
    }
  }
  long number = 0;
  if (!named) {
    if (!parseNumber(name, 0, 0xFFFF, &number)) return fail("unknown device type");
    parsed.type = static_cast<uint16_t>(number);
  }

  std::string rest = text.substr(at + 1);
  std::string raw;
  if (const size_t colon = rest.find(':'); colon != std::string::npos) {
    const std::string option = rest.substr(colon + 1);
    if (option.rfind("raw=", 0) != 0) return fail("expected :raw=V,V,...");
    raw = option.substr(4);
    rest.erase(colon);
  }
  if (!parseNumber(rest, 0, 0xFF, &number)) return fail("bad bus address");
  parsed.busAddress = static_cast<uint8_t>(number);

  size_t start = 0;
  while (!raw.empty() && start <= raw.size()) {
    const size_t comma = std::min(raw.find(',', start), raw.size());
    if (!parseNumber(raw.substr(start, comma - start), -32768, 32767, &number)) return fail("bad raw value");
    parsed.raw.push_back(static_cast<int16_t>(number));
    start = comma + 1;
  }
  if (static_cast<int>(parsed.raw.size()) > kpbusReadingCount(parsed.type)) return fail("more raw values than the device has");
  parsed.raw.resize(static_cast<size_t>(kpbusReadingCount(parsed.type)));
  *device = parsed;
  return true;
}

bool Kpbus::attach(const KpbusDevice& device) {
  if (this->device(device.busAddress)) return false;
  devices_.push_back(device);
  devices_.back().raw.resize(std::max(devices_.back().raw.size(), static_cast<size_t>(kpbusReadingCount(device.type))));
  return true;
}

KpbusDevice* Kpbus::device(uint8_t busAddress) {
  for (KpbusDevice& device : devices_) {
    if (device.busAddress == busAddress) return &device;
  }
  return nullptr;
}

Kpbus::Table Kpbus::serve(BoardMemory& memory, uint32_t* faultAt) {
  const uint32_t pointer = memory.u32(kDeviceTablePointer);
  *faultAt = pointer;
  if (!BoardMemory::inRam(pointer, kDeviceTableBytes)) return Table::Malformed;

  // The whole table is checked before any device is served: the board does
  // not act on half of a table.
  std::vector<Entry> entries;
  uint32_t offset = 0;
  for (;;) {
    *faultAt = pointer + offset;
    if (offset + 2 > kDeviceTableBytes) return Table::Malformed;  // no 0 end
    Entry entry;
    entry.at = pointer + offset;
    entry.size = memory.u16(entry.at);
    if (entry.size == 0) break;
    if (entry.size < kEntryHeader || entry.size > kLargestEntry) return Table::Malformed;
    if (offset + entry.size + 2 > kDeviceTableBytes) return Table::Malformed;
    entry.type = memory.u16(entry.at + 2);
    entry.busAddress = memory.byte(entry.at + 4);
    entry.statusVariable = memory.byte(entry.at + 5);
    const int parameters = kpbusParameterBytes(entry.type);
    if (parameters >= 0 && entry.size != kEntryHeader + static_cast<uint32_t>(parameters)) return Table::Malformed;
    entries.push_back(entry);
    offset += entry.size;
  }

  for (const Entry& entry : entries) {
    // A device answers at its bus address when it is of the listed type; a
    // type without a driver is never talked to.
    KpbusDevice* device = this->device(entry.busAddress);
    const bool answers = device && device->type == entry.type && kpbusParameterBytes(entry.type) >= 0;
    if (entry.statusVariable != 0) memory.setVariable(entry.statusVariable, answers ? 0 : 1);
    if (!answers) continue;
    if (entry.type == kKpDio) {
      serveDigital(entry, *device, memory);
    } else {
      serveSensor(entry, *device, memory);
    }
  }
  return Table::Served;
}

}  // namespace boardsim
