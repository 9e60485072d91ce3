#include "request.h"

#include "memory_map.h"
#include "tav_protocol.h"

namespace boardsim {
namespace {

// Reads headers from data[start..size) up to a 0 byte; with `withData` each
// header is followed by its block's bytes.
ParsedRequest parseBlocks(const uint8_t* data, size_t size, size_t start, bool withData, bool needTerminator) {
  ParsedRequest result;
  size_t pos = start;
  int64_t previousEnd = 0;
  auto refuse = [&](size_t offset) {
    result.ok = false;
    result.errorOffset = offset;
    result.blocks.clear();
    return result;
  };
  while (pos < size && data[pos] != 0) {
    const size_t headerAt = pos;
    int64_t address = 0;
    const int part = tav::decodeAddressPart(data + pos, size - pos, previousEnd, &address);
    if (part == 0 || pos + part >= size) return refuse(headerAt);
    if (address < 0 || address > tav::kMaxBlockAddress) return refuse(headerAt);
    pos += static_cast<size_t>(part);
    const int length = tav::lengthFromCode(data[pos++]);
    if (length < 0) return refuse(headerAt);
    RequestBlock block;
    block.address = static_cast<uint32_t>(address);
    block.length = static_cast<uint32_t>(length);
    block.dataOffset = pos;
    if (withData) {
      if (static_cast<size_t>(length) > size - pos) return refuse(headerAt);
      pos += static_cast<size_t>(length);
    }
    previousEnd = address + length;
    result.blocks.push_back(block);
  }
  if (pos < size) {
    ++pos;  // the terminator
  } else if (needTerminator) {
    return refuse(pos);
  }
  result.ok = true;
  result.length = pos;
  return result;
}

}  // namespace

ParsedRequest parseHostWrite(const uint8_t* data, size_t size) { return parseBlocks(data, size, 0, true, false); }

ParsedRequest parseStandingRead(const uint8_t* data, size_t size) {
  if (size == 0) {
    ParsedRequest refused;
    return refused;
  }
  ParsedRequest result = parseBlocks(data, size, 1, false, true);
  result.tag = data[0];
  return result;
}

}  // namespace boardsim
