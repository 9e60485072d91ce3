// Fuzz target: the request parsers the board side uses on what a host sends.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "tav_protocol.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<tav::Block> blocks;
  tav::parseWriteRequest(data, size, blocks);
  blocks.clear();
  tav::parseReadRequest(data, size, blocks);
  return 0;
}
