// The board's reading of what the host sends: a write request (blocks with
// data) and a read request (tag and headers, lying in board memory). Pure
// functions over bytes: they never read outside [data, data + size) and
// refuse malformed input with the offset of the fault.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace boardsim {

struct RequestBlock {
  uint32_t address = 0;   // 0..0x3FFFFF
  uint32_t length = 0;    // 0..250, 256 or 512
  size_t dataOffset = 0;  // write requests: the block's first data byte
};

struct ParsedRequest {
  bool ok = false;
  size_t errorOffset = 0;  // malformed: the offset of the header that broke
  size_t length = 0;       // bytes taken, terminator included
  uint8_t tag = 0;         // read requests only
  std::vector<RequestBlock> blocks;
};

// A write request: [header][data]... then a 0 byte. A request that fills
// `size` exactly without its 0 byte is accepted. Refused (ok false, no blocks
// kept) when a header is cut short, has a length code without a length,
// names an address above 0x3FFFFF, or its data runs past `size`.
ParsedRequest parseHostWrite(const uint8_t* data, size_t size);

// A read request: tag, headers, 0. Refused like a write request, and also
// when no terminator lies within `size`.
ParsedRequest parseStandingRead(const uint8_t* data, size_t size);

}  // namespace boardsim
