// A stand-in for hidapi in which the system lists one USB board that can
// never be opened, as without the udev rule that opens its hidraw node to
// the user. $TAVTEST_LISTED_BOARD gives its ids as "vendor:product:version"
// in hex; unset, nothing is listed.
#include <hidapi.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

extern "C" {

int hid_init(void) { return 0; }
int hid_exit(void) { return 0; }

hid_device_info* hid_enumerate(unsigned short vendorId, unsigned short productId) {
  const char* listed = std::getenv("TAVTEST_LISTED_BOARD");
  unsigned vendor = 0, product = 0, version = 0;
  if (!listed || std::sscanf(listed, "%x:%x:%x", &vendor, &product, &version) != 3) return nullptr;
  if ((vendorId && vendorId != vendor) || (productId && productId != product)) return nullptr;
  auto* info = static_cast<hid_device_info*>(std::calloc(1, sizeof(hid_device_info)));
  if (!info) return nullptr;
  static char path[] = "/dev/hidraw-denied";
  info->path = path;
  info->vendor_id = static_cast<unsigned short>(vendor);
  info->product_id = static_cast<unsigned short>(product);
  info->release_number = static_cast<unsigned short>(version);
  return info;
}

void hid_free_enumeration(hid_device_info* devices) {
  while (devices) {
    hid_device_info* next = devices->next;
    std::free(devices);
    devices = next;
  }
}

hid_device* hid_open_path(const char*) {
  errno = EACCES;
  return nullptr;
}

void hid_close(hid_device*) {}
int hid_read_timeout(hid_device*, unsigned char*, size_t, int) { return -1; }
int hid_write(hid_device*, const unsigned char*, size_t) { return -1; }
int hid_get_product_string(hid_device*, wchar_t*, size_t) { return -1; }

}  // extern "C"
