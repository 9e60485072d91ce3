#include "board/devices.h"

#include <algorithm>

#include "motion/block_properties.h"
#include "shell/messages.h"
#include "shell/string_table.h"

namespace kv {

namespace {

std::vector<uint8_t> addressRun(uint8_t first, int count) {
  std::vector<uint8_t> addresses;
  for (int n = 0; n < count; ++n) addresses.push_back(static_cast<uint8_t>(first + 2 * n));
  return addresses;
}

// The amplifier factor's code for each choice of its combo.
constexpr std::array<uint8_t, 5> kAmplifierCodes = {0, 1, 3, 5, 7};

int16_t get16(const DeviceEntry& entry, int offset) {
  return static_cast<int16_t>(entry.parameters[offset] | (entry.parameters[offset + 1] << 8));
}

void put16(DeviceEntry& entry, int offset, int16_t value) {
  entry.parameters[offset] = static_cast<uint8_t>(value & 0xFF);
  entry.parameters[offset + 1] = static_cast<uint8_t>((static_cast<uint16_t>(value) >> 8) & 0xFF);
}

int parameterBytesOf(uint16_t type) {
  const auto& types = deviceTypes();
  return types[deviceTypeChoice(type)].parameterBytes;
}

}  // namespace

const std::vector<DeviceTypeInfo>& deviceTypes() {
  static const std::vector<DeviceTypeInfo> types = {
      {kDeviceKpG1, 40163, 145, 40, {0x90, 0x92, 0x94, 0x96}, 0x90, 128},
      {kDeviceKpLd, 40164, 146, 6, addressRun(0xC0, 8), 0xC0, 134},
      {kDeviceKpDio, 40339, 159, 8, addressRun(0x40, 8), 0x40, 135},
      {kDeviceKpAin, 40171, 158, 40, {0x90, 0x92, 0x94, 0x96}, 0x92, 156},
      {kDeviceKpMp3, 40442, 173, 6, {0xBE}, 0xBE, 147},
      {kDeviceKpGc, 40455, 175, 50, {0xD0}, 0xD0, 150},
      {0, 40205, 0, 0, {}, 0, kStatusVariableLowest},
  };
  return types;
}

int deviceTypeChoice(uint16_t type) {
  const auto& types = deviceTypes();
  for (int n = 0; n < kUndefinedDeviceChoice; ++n)
    if (types[n].type == type) return n;
  return kUndefinedDeviceChoice;
}

std::u16string deviceTypeName(uint16_t type) { return loadUiString(deviceTypes()[deviceTypeChoice(type)].nameString); }

// ---- the list ---------------------------------------------------------------

int deviceCount(std::span<const DeviceEntry> devices) {
  int count = 0;
  while (count < static_cast<int>(devices.size()) && devices[count].used) ++count;
  return count;
}

int addDeviceSlot(std::span<DeviceEntry> devices) {
  const int slot = deviceCount(devices);
  if (slot >= static_cast<int>(devices.size())) return -1;
  devices[slot] = DeviceEntry{};
  return slot;
}

bool deleteDevice(std::span<DeviceEntry> devices, int index) {
  const int count = deviceCount(devices);
  if (index < 0 || index >= count) return false;
  std::move(devices.begin() + index + 1, devices.begin() + count, devices.begin() + index);
  // The last entry moved up: its old slot must not keep a copy of it.
  devices[count - 1] = DeviceEntry{};
  return true;
}

int moveDevice(std::span<DeviceEntry> devices, int index, int step) {
  const int count = deviceCount(devices);
  const int other = index + step;
  if (index < 0 || index >= count || other < 0 || other >= count) return -1;
  std::swap(devices[index], devices[other]);
  return other;
}

bool devicesFitArea(std::span<const DeviceEntry> devices) {
  int total = 0;
  for (const DeviceEntry& entry : devices)
    if (entry.used) total += entry.size + kDeviceHeaderSize;
  return total <= kDeviceAreaLimit;
}

// ---- parameter layouts ------------------------------------------------------

int deviceOutputCount(uint16_t type) {
  switch (type) {
    case kDeviceKpG1:
    case kDeviceKpAin: return 8;
    case kDeviceKpGc: return 10;
    default: return 0;
  }
}

std::vector<DeviceOutput> readDeviceOutputs(const DeviceEntry& entry, int count) {
  std::vector<DeviceOutput> outputs(count);
  for (int n = 0; n < count; ++n) {
    outputs[n].variable = entry.parameters[n];
    outputs[n].offset = get16(entry, count + 2 * n);
    outputs[n].gain = get16(entry, 3 * count + 2 * n);
  }
  return outputs;
}

void writeDeviceOutputs(DeviceEntry& entry, std::span<const DeviceOutput> outputs) {
  const int count = static_cast<int>(outputs.size());
  for (int n = 0; n < count; ++n) {
    entry.parameters[n] = outputs[n].variable;
    put16(entry, count + 2 * n, outputs[n].offset);
    put16(entry, 3 * count + 2 * n, outputs[n].gain);
  }
}

DioSettings readDio(const DeviceEntry& entry) {
  const auto& p = entry.parameters;
  DioSettings dio;
  dio.inputVariable = {p[0], p[1]};
  dio.outputVariable = {p[2], p[3]};
  dio.invertBits = {p[4], p[5]};
  dio.inputBits = {p[6], p[7]};
  return dio;
}

void writeDio(DeviceEntry& entry, const DioSettings& dio) {
  auto& p = entry.parameters;
  for (int group = 0; group < 2; ++group) {
    p[group] = dio.inputVariable[group];
    p[2 + group] = dio.outputVariable[group];
    p[4 + group] = dio.invertBits[group];
    p[6 + group] = dio.inputBits[group];
  }
}

Mp3Settings readMp3(const DeviceEntry& entry) {
  const auto& p = entry.parameters;
  Mp3Settings mp3;
  mp3.highFrequency = std::clamp((p[0] & 0x0F) - 1, 0, 14);
  const int highNibble = p[0] >> 4;  // factor choice - 8, as a signed nibble
  mp3.highFactor = (highNibble >= 8 ? highNibble - 16 : highNibble) + 8;
  mp3.lowFrequency = std::clamp((p[1] & 0x0F) - 2, 0, 13);
  mp3.lowFactor = p[1] >> 4;
  const auto code = std::find(kAmplifierCodes.begin(), kAmplifierCodes.end(), p[2]);
  mp3.amplifier = code == kAmplifierCodes.end() ? 0 : static_cast<int>(code - kAmplifierCodes.begin());
  mp3.trackVariable = p[3];
  mp3.volumeVariable = p[4];
  return mp3;
}

void writeMp3(DeviceEntry& entry, const Mp3Settings& mp3) {
  auto& p = entry.parameters;
  p[0] = static_cast<uint8_t>((((mp3.highFactor - 8) & 0x0F) << 4) | ((mp3.highFrequency + 1) & 0x0F));
  p[1] = static_cast<uint8_t>(((mp3.lowFactor & 0x0F) << 4) | ((mp3.lowFrequency + 2) & 0x0F));
  p[2] = kAmplifierCodes[std::clamp(mp3.amplifier, 0, 4)];
  p[3] = mp3.trackVariable;
  p[4] = mp3.volumeVariable;
  p[5] = 0;
}

void setDeviceHeader(DeviceEntry& entry, uint16_t type, uint8_t busAddress, uint8_t statusVariable) {
  const int bytes = parameterBytesOf(type);
  entry.type = type;
  entry.busAddress = busAddress;
  entry.statusVariable = statusVariable;
  entry.size = static_cast<uint16_t>(kDeviceHeaderSize + bytes);
  std::fill(entry.parameters.begin() + bytes, entry.parameters.end(), uint8_t{0});
}

DeviceEntry defaultDeviceEntry(uint16_t type) {
  const DeviceTypeInfo& info = deviceTypes()[deviceTypeChoice(type)];
  DeviceEntry entry;
  setDeviceHeader(entry, type, info.defaultBusAddress, info.defaultStatusVariable);
  switch (type) {
    case kDeviceKpG1: {
      // Acceleration X, Y, Z and gyro X, Y; outputs 3, 6 and 7 stay unused.
      std::array<DeviceOutput, 8> outputs{};
      for (int n = 0; n < 3; ++n) outputs[n] = {static_cast<uint8_t>(129 + n), 2048, 256};
      outputs[4] = {132, 1655, 256};
      outputs[5] = {133, 1655, 256};
      writeDeviceOutputs(entry, outputs);
      break;
    }
    case kDeviceKpAin: {
      std::array<DeviceOutput, 8> outputs{};
      for (int n = 0; n < 8; ++n) outputs[n] = {static_cast<uint8_t>(157 + n), 0, 256};
      writeDeviceOutputs(entry, outputs);
      break;
    }
    case kDeviceKpGc: {
      const std::array<DeviceOutput, 10> outputs = {{{129, 0, 64},
                                                     {130, 0, 64},
                                                     {131, 0, 64},
                                                     {152, 0, 256},
                                                     {132, 0, 76},
                                                     {133, 0, 76},
                                                     {151, 0, 76},
                                                     {153, 0, 256},
                                                     {154, 0, 256},
                                                     {155, 0, 256}}};
      writeDeviceOutputs(entry, outputs);
      break;
    }
    case kDeviceKpDio: {
      DioSettings dio;
      dio.inputVariable = {136, 137};
      dio.outputVariable = {138, 139};
      dio.inputBits = {0xFF, 0xFF};
      writeDio(entry, dio);
      break;
    }
    case kDeviceKpMp3: writeMp3(entry, Mp3Settings{}); break;
    default: break;  // KP-LD: every LED variable unused
  }
  return entry;
}

std::vector<uint8_t> liveVariablesOf(const DeviceEntry& entry) {
  std::vector<uint8_t> variables;
  if (entry.type == kDeviceKpDio) {
    const DioSettings dio = readDio(entry);
    return {dio.inputVariable[0], dio.inputVariable[1]};
  }
  for (const DeviceOutput& output : readDeviceOutputs(entry, deviceOutputCount(entry.type)))
    variables.push_back(output.variable);
  return variables;
}

// ---- entries and Apply ------------------------------------------------------

std::optional<int16_t> checkedDeviceParameter(std::u16string_view text) {
  return checkedShortEntry(text, kMsgParameterNotNumber, kMsgParameterRange);
}

DeviceApply applyDeviceEntry(const DeviceEntry& entry, int slot, CpuSettings& working, CpuSettings& record,
                             const std::function<int(const CpuSettings&)>& applyToRam) {
  auto devices = working.devices;
  devices[slot] = entry;
  devices[slot].used = 1;
  if (!devicesFitArea(devices)) {
    showMessage(kMsgDeviceAreaFull, MessageIcon::Warning, MessageButtons::Ok);
    return DeviceApply::Refused;
  }
  working.devices = devices;
  record.devices = devices;
  if (applyToRam && applyToRam(record) == 1) {
    showMessage(kMsgDeviceApplied, MessageIcon::None, MessageButtons::Ok);
    return DeviceApply::Applied;
  }
  showMessage(kMsgSettingsNotApplied, MessageIcon::Warning, MessageButtons::Ok);
  return DeviceApply::NotApplied;
}

}  // namespace kv
