// Fuzz target: the link library's reply unpacker must never write outside the
// memory image, whatever a board sends back.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "tav_protocol.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // A small image so that records near its end are common.
  static std::vector<uint8_t> memory(4096);
  tav::unpackReply(data, size, memory.data(), memory.size());
  return 0;
}
