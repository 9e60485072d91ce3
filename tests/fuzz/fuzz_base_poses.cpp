// Fuzz target: the base pose reader must keep to its 36 entries and 62
// sliders and leave the current number within 0..35, whatever the file holds.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "fuzz_file_input.h"
#include "pose/base_poses.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const char* head = (data[0] & 1) ? "MAINDEFPOS_NUM:[1]\n\nDEFPOS:[[a]]\nAXISENABLE:[0,2,61]\n" : "";
  const fuzzing::InputFile input("fuzz_base_poses", fuzzing::asFile(head, data + 1, size - 1, data[0] & 2));
  static kv::BasePoseTable table;
  kv::loadBasePoses(input.path(), table);
  if (table.current < 0 || table.current >= kv::kBasePoseCount) std::abort();
  return 0;
}
