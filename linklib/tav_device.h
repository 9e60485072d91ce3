// The one open board, behind a small interface with two back ends: real
// boards through hidapi and virtual boards on Unix-domain sockets. Reports
// cross this interface in the 65-byte layout, report id byte first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "tav_protocol.h"

namespace tav {

enum class ReadStatus {
  Report,   // a report arrived
  Timeout,  // nothing arrived in time; the device is still there
  Error,    // the device failed or went away
};

class Device {
 public:
  virtual ~Device() = default;
  // Waits at most timeoutMs (0: only what is already queued) for one report.
  // `length` counts the report id byte; missing bytes read as 0.
  virtual ReadStatus read(Report& report, size_t& length, int timeoutMs) = 0;
  // Sends `size` bytes, report id first. False when the device refused them.
  virtual bool write(const uint8_t* data, size_t size, size_t& written) = 0;
  // The USB product string as UTF-16 units.
  virtual bool productName(std::u16string& name) = 0;
};

struct DeviceMatch {
  uint16_t vendorId = 0;
  uint16_t productId = 0;
  uint16_t lowestVersion = 0;
  uint16_t highestVersion = 0;

  bool accepts(uint16_t vendor, uint16_t product, uint16_t version) const {
    return vendor == vendorId && product == productId && version >= lowestVersion && version <= highestVersion;
  }
};

// The first matching device of each back end, or null. `listed` tells
// whether the system listed a matching USB device at all, opened or not.
std::unique_ptr<Device> openHidBoard(const DeviceMatch& match, bool& listed);
std::unique_ptr<Device> openVirtualBoard(const DeviceMatch& match);
// Releases what the HID back end keeps for the process.
void shutdownHid();

}  // namespace tav
