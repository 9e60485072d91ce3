// Expansion devices on the KPBUS: the device types the editor knows, the
// device list of the CPU settings (add, delete, move), the parameter layouts
// the device dialogs edit, and a device dialog's Apply.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "board/cpu_settings.h"

namespace kv {

// Device type codes.
inline constexpr uint16_t kDeviceKpG1 = 0x0100;   // gyro / acceleration sensor
inline constexpr uint16_t kDeviceKpLd = 0x0400;   // LED driver
inline constexpr uint16_t kDeviceKpDio = 0x0700;  // digital input / output
inline constexpr uint16_t kDeviceKpAin = 0x0800;  // analog input
inline constexpr uint16_t kDeviceKpMp3 = 0x0900;  // MP3 player
inline constexpr uint16_t kDeviceKpGc = 0x0C00;   // gyro / acceleration / compass

// Messages of the device list and the device dialogs.
inline constexpr int kMsgDeviceAreaFull = 40215;
inline constexpr int kMsgDeviceApplied = 40213;
inline constexpr int kMsgSettingsNotApplied = 40272;
inline constexpr int kMsgDeviceNotSupported = 40221;
inline constexpr int kMsgChooseBusAddress = 40307;
inline constexpr int kMsgParameterNotNumber = 40172;
inline constexpr int kMsgParameterRange = 40173;
inline constexpr int kMsgMp3NeedsRevision12 = 40458;
inline constexpr int kMsgGcNeedsRevision17 = 40459;
inline constexpr int kGcFirmwareNote = 49040;      // the KP-GC dialog's note line on older firmware
inline constexpr int kGcTemperatureFormat = 40457;  // "35 + %d / 340 = %.1f℃"
inline constexpr int kStateOkString = 40357;
inline constexpr int kStateNgString = 40358;

inline constexpr int kStatusVariableLowest = 128;
inline constexpr int kStatusVariableHighest = 191;
// The board's RAM area for the packed table: the entries' sizes plus 6 each
// must not go beyond it.
inline constexpr int kDeviceAreaLimit = 256;

// One row of the type table: the types the add/change dialog offers, in its
// order, the last one standing for every type the editor does not know.
struct DeviceTypeInfo {
  uint16_t type;
  int nameString;
  int dialog;  // 0: none
  int parameterBytes;
  std::vector<uint8_t> busAddresses;  // offered, in the combo's order
  uint8_t defaultBusAddress;
  uint8_t defaultStatusVariable;
};

const std::vector<DeviceTypeInfo>& deviceTypes();
inline constexpr int kUndefinedDeviceChoice = 6;  // "未定義のデバイス"
// The row of `type` in deviceTypes(); kUndefinedDeviceChoice for a type the
// table does not know.
int deviceTypeChoice(uint16_t type);
// The type's name as the list shows it.
std::u16string deviceTypeName(uint16_t type);

// ---- the list (slots of CpuSettings::devices)
// Number of used entries at the front: the first unused slot ends the list.
int deviceCount(std::span<const DeviceEntry> devices);
// The first free slot, cleared; -1 when all 32 are used.
int addDeviceSlot(std::span<DeviceEntry> devices);
// Removes entry `index`, moves the following ones up and clears the slot
// they vacate. False when `index` is not in the list.
bool deleteDevice(std::span<DeviceEntry> devices, int index);
// Swaps entry `index` with the one before (-1) or after (+1) it; the new
// index of the moved entry, or -1 when there is no entry to swap with.
int moveDevice(std::span<DeviceEntry> devices, int index, int step);
// The used entries' sizes plus 6 each stay within the board's area.
bool devicesFitArea(std::span<const DeviceEntry> devices);

// ---- parameter layouts
// Gyro, acceleration, analog and compass devices: for each output a data
// variable (0: unused), an offset and a gain; variables first, then the
// offsets, then the gains (signed 16-bit, little-endian).
struct DeviceOutput {
  uint8_t variable = 0;
  int16_t offset = 0;
  int16_t gain = 0;
};
std::vector<DeviceOutput> readDeviceOutputs(const DeviceEntry& entry, int count);
void writeDeviceOutputs(DeviceEntry& entry, std::span<const DeviceOutput> outputs);
// Outputs of each type (8 for KP-G1 and KP-AIN, 10 for KP-GC; 0 for others).
int deviceOutputCount(uint16_t type);

// KP-LD: the variables DUTY0, DUTY1, PSC0, PSC1, SEL0, SEL1 in bytes 0 to 5.
inline constexpr int kLedVariableCount = 6;

// KP-DIO: two groups of eight channels.
struct DioSettings {
  std::array<uint8_t, 2> inputVariable{};   // receives the inputs of a group
  std::array<uint8_t, 2> outputVariable{};  // its bits drive the outputs of a group
  std::array<uint8_t, 2> invertBits{};
  std::array<uint8_t, 2> inputBits{};       // bit set: the channel is an input
};
DioSettings readDio(const DeviceEntry& entry);
void writeDio(DeviceEntry& entry, const DioSettings& dio);

// KP-MP3: each field is the choice of its combo or the variable of its spin.
struct Mp3Settings {
  int highFrequency = 0;  // 0..14: 1..15 kHz
  int highFactor = 8;     // 0..15: -12.0..+10.5 dB in 1.5 dB steps; 8 is 0 dB (unused)
  int lowFrequency = 0;   // 0..13: 20..150 Hz
  int lowFactor = 0;      // 0..15: unused, 1..15 dB
  int amplifier = 1;      // 0..4: unused, 6, 12, 18, 23.5 dB
  uint8_t trackVariable = 41;
  uint8_t volumeVariable = 42;
};
Mp3Settings readMp3(const DeviceEntry& entry);
void writeMp3(DeviceEntry& entry, const Mp3Settings& mp3);

// The entry a device dialog starts from for an entry of another type: the
// type's default bus address, status variable and parameters.
DeviceEntry defaultDeviceEntry(uint16_t type);
// Sets type, bus address, status variable and the size of the type; the
// parameter bytes beyond the type's own are cleared.
void setDeviceHeader(DeviceEntry& entry, uint16_t type, uint8_t busAddress, uint8_t statusVariable);
// The variables a device's live display reads, in the order the dialog
// shows them: the outputs' data variables (KP-G1, KP-AIN, KP-GC) or the two
// input variables (KP-DIO); 0 for an unused output.
std::vector<uint8_t> liveVariablesOf(const DeviceEntry& entry);

// ---- entries typed into the device dialogs
// An offset or gain as typed: digits, blanks, "+", "-" and "." reading as a
// whole number (else 40172), in -32768..32767 (else 40173); none after the
// warning.
std::optional<int16_t> checkedDeviceParameter(std::u16string_view text);

// A device dialog's Apply, after its entries passed their checks: `entry`
// is what the dialog stores into slot `slot` of the working list. The entry,
// marked used, must leave the list within the board's area (else 40215 and
// nothing changes: Refused); then it goes into the working list, the whole
// working list into the editor's record, and the record to the board
// through `applyToRam` (1 applied): 40213 when applied, else 40272.
enum class DeviceApply { Refused, NotApplied, Applied };
DeviceApply applyDeviceEntry(const DeviceEntry& entry, int slot, CpuSettings& working, CpuSettings& record,
                             const std::function<int(const CpuSettings&)>& applyToRam);

}  // namespace kv
