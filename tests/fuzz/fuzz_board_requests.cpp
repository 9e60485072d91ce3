// Fuzz target: the virtual board's reading of host requests never looks
// outside the bytes it was given, and every block it accepts lies in them.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "request.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  boardsim::ParsedRequest write = boardsim::parseHostWrite(data, size);
  if (write.ok) {
    for (const boardsim::RequestBlock& block : write.blocks)
      if (block.dataOffset + block.length > size || block.address > 0x3FFFFF) std::abort();
  }
  boardsim::parseStandingRead(data, size);
  return 0;
}
