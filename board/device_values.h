// Live values of the expansion devices: where the device dialogs read the
// board's variables every 200 ms, and what they show of them.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kv {

inline constexpr int kDeviceLiveIntervalMs = 200;

enum class LiveRead {
  Read,         // every value was read
  Busy,         // another user holds the link: nothing was sent, try at the next tick
  Unavailable,  // offline, playback owns the link, or the read failed: no values
};

// Reads board variables for the device dialogs. Asked on the GUI thread at
// every tick, so it never waits for the link.
class DeviceValueSource {
 public:
  virtual ~DeviceValueSource() = default;
  // v[n] for each n of `variables` (0..255), in one bundled read, into
  // `values` (as many as `variables`). Only on Read are `values` filled.
  virtual LiveRead readVariables(std::span<const uint8_t> variables, std::span<int16_t> values) = 0;
};

// Knows no value: the board is not connected.
class NoDeviceValueSource : public DeviceValueSource {
 public:
  LiveRead readVariables(std::span<const uint8_t>, std::span<int16_t>) override { return LiveRead::Unavailable; }
};

// The source used until the online session provides one.
inline DeviceValueSource& offlineDeviceValues() {
  static NoDeviceValueSource none;
  return none;
}

class MemoryAccess;

// The board's variables over the link: one bundled read request, only when
// the link is free at that moment (a busy link skips the tick instead of
// waiting for the connect thread).
class BoardDeviceValues final : public DeviceValueSource {
 public:
  explicit BoardDeviceValues(MemoryAccess& access) : access_(access) {}
  LiveRead readVariables(std::span<const uint8_t> variables, std::span<int16_t> values) override;

 private:
  MemoryAccess& access_;
};

// What a device dialog shows live: the value of each watched output and the
// device's connection state from its status variable.
class DeviceLiveView {
 public:
  // The status variable (0: none) and the outputs' variables (0: an unused
  // output, shown as "--------"); every value is unknown until a read.
  void watch(uint8_t statusVariable, std::vector<uint8_t> outputs);
  // One tick: one read of the watched variables. A busy link keeps what is
  // shown; an unavailable board forgets every value.
  void refresh(DeviceValueSource& source);

  size_t outputCount() const { return outputs_.size(); }
  // None as well for an output that is not watched.
  std::optional<int16_t> value(size_t output) const {
    return output < values_.size() ? values_[output] : std::nullopt;
  }
  // Signed decimal, or "--------" without a value.
  std::u16string valueText(size_t output) const;
  // "OK" when the status variable reads 0, "NG" for another value, "--"
  // without a status variable or a value.
  std::u16string stateText() const;

 private:
  uint8_t statusVariable_ = 0;
  std::vector<uint8_t> outputs_;
  std::optional<int16_t> status_;
  std::vector<std::optional<int16_t>> values_;
};

// The KP-GC temperature line for its raw value: "35 + raw / 340 = t℃", or
// "--------" without a value.
std::u16string temperatureText(std::optional<int16_t> raw);

}  // namespace kv
