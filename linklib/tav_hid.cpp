// Real boards through hidapi's hidraw back end. hidraw delivers reports of a
// device without numbered reports without the id byte; reads put it back so
// the rest of the library sees the 65-byte layout. Writes already carry it
// (hidapi strips id 0 before the transfer).
#include <hidapi.h>

#include <cerrno>
#include <cwchar>
#include <new>

#include "tav_device.h"

namespace tav {
namespace {

bool hidReady = false;

class HidDevice final : public Device {
 public:
  explicit HidDevice(hid_device* handle) : handle_(handle) {}
  ~HidDevice() override { hid_close(handle_); }

  ReadStatus read(Report& report, size_t& length, int timeoutMs) override {
    report.fill(0);
    errno = 0;
    const int n = hid_read_timeout(handle_, report.data() + 1, kReportSize - 1, timeoutMs);
    if (n < 0) return errno == EINTR ? ReadStatus::Timeout : ReadStatus::Error;
    if (n == 0) return ReadStatus::Timeout;
    length = static_cast<size_t>(n) + 1;
    return ReadStatus::Report;
  }

  bool write(const uint8_t* data, size_t size, size_t& written) override {
    const int n = hid_write(handle_, data, size);
    if (n < 0) return false;
    written = static_cast<size_t>(n);
    return true;
  }

  bool productName(std::u16string& name) override {
    wchar_t text[129] = {};  // 128 characters and the terminator
    if (hid_get_product_string(handle_, text, 129) != 0) return false;
    name.clear();
    for (size_t i = 0; i < 128 && text[i] != 0; ++i) {
      const auto c = static_cast<uint32_t>(text[i]);
      if (c > 0xFFFF) {
        name.push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
        name.push_back(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
      } else {
        name.push_back(static_cast<char16_t>(c));
      }
    }
    return true;
  }

 private:
  hid_device* handle_;
};

}  // namespace

std::unique_ptr<Device> openHidBoard(const DeviceMatch& match, bool& listed) {
  listed = false;
  if (!hidReady) {
    if (hid_init() != 0) return nullptr;
    hidReady = true;
  }
  std::unique_ptr<Device> device;
  hid_device_info* list = hid_enumerate(match.vendorId, match.productId);
  for (hid_device_info* info = list; info && !device; info = info->next) {
    // hidapi takes vendor or product 0 as "any"; the board must match exactly.
    if (!match.accepts(info->vendor_id, info->product_id, info->release_number)) continue;
    listed = true;
    if (hid_device* handle = hid_open_path(info->path)) {
      device.reset(new (std::nothrow) HidDevice(handle));
      if (!device) hid_close(handle);
    }
  }
  hid_free_enumeration(list);
  return device;
}

void shutdownHid() {
  if (hidReady) hid_exit();
  hidReady = false;
}

}  // namespace tav
