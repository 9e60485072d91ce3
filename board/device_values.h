// Live values for the expansion device dialogs: the board variables a
// dialog shows (device readings and the status variable), read in one
// request per display tick, and how they are shown.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kv {

class MemoryAccess;

// String numbers of the connection state.
inline constexpr int kMsgDeviceOk = 40357;
inline constexpr int kMsgDeviceFault = 40358;

enum class DeviceValuesStatus {
  Read,        // `values` holds one value per asked variable
  Skipped,     // the link is busy this tick: keep what is shown, ask again next tick
  Unavailable  // offline, playback owns the link, or the board did not answer: no values
};

struct DeviceValueReading {
  DeviceValuesStatus status = DeviceValuesStatus::Unavailable;
  std::vector<int16_t> values;  // v[n] of each asked variable, in the order asked
};

// Where a device dialog's view model gets its live values. Called on the
// GUI thread once per tick; it never waits for the link.
class DeviceValueSource {
 public:
  virtual ~DeviceValueSource() = default;
  // The current values of the board variables `variables` (0 to 255).
  virtual DeviceValueReading readVariables(std::span<const uint8_t> variables) = 0;
};

// The board's variables over the link: one bundled read request, only when
// the link is free at that moment (a busy link skips the tick instead of
// waiting for the connect thread).
class BoardDeviceValues final : public DeviceValueSource {
 public:
  explicit BoardDeviceValues(MemoryAccess& access) : access_(access) {}
  DeviceValueReading readVariables(std::span<const uint8_t> variables) override;

 private:
  MemoryAccess& access_;
};

// A live value as a device dialog shows it: signed decimal, "--------"
// when there is none.
std::string deviceValueText(std::optional<int16_t> value);

enum class DeviceConnection {
  Unknown,  // "--": no status variable, or no value
  Ok,       // string 40357: the status variable reads 0
  Fault     // string 40358: any other value
};
DeviceConnection deviceConnection(uint8_t statusVariable, std::optional<int16_t> statusValue);

}  // namespace kv
