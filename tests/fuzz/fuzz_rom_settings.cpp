// Fuzz target: the ROM settings reader must keep to its 30 servo records and
// 32 device slots, cut names to 15 characters, and leave only device entries
// that can be packed and written back: a used list without gaps, every size
// within 6 to 264.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "board/rom_settings.h"
#include "fuzz_file_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const char* head = (data[0] & 1) ? "MOTORNAME:[[a]]\n_KP_DEVICE_TYPE:[0x0100]\n_KP_DEVICE_SIZE:[8]\n" : "";
  const fuzzing::InputFile input("fuzz_rom_settings", fuzzing::asFile(head, data + 1, size - 1, data[0] & 2));
  static kv::CpuSettings settings;
  kv::loadRomSettings(input.path(), settings);
  for (const kv::ServoRecord& servo : settings.servos) {
    if (servo.name.size() > 15) std::abort();
  }
  bool ended = false;
  for (const kv::DeviceEntry& entry : settings.devices) {
    if (!entry.used) ended = true;
    if (entry.used && (ended || !entry.sizeValid())) std::abort();
  }
  return 0;
}
