#include "tav_protocol.h"

#include <cstdlib>
#include <cstring>

namespace tav {

int lengthCode(int32_t length) {
  if (length >= 0 && length <= 250) return length;
  if (length == 256) return 252;
  if (length == 512) return 253;
  return -1;
}

int lengthFromCode(uint8_t code) {
  if (code <= 250) return code;
  if (code == 252) return 256;
  if (code == 253) return 512;
  return -1;
}

int encodeAddressPart(int64_t previousEnd, int64_t address, uint8_t out[kMaxAddressPart]) {
  const int64_t delta = address - previousEnd;
  if (delta >= 1 && delta <= 127) {
    out[0] = static_cast<uint8_t>(delta);
    return 1;
  }
  // Delta 0 takes this form too: a one-byte 0 would end the list.
  if (delta >= 0 && delta <= 0x3FFF) {
    out[0] = static_cast<uint8_t>(0x80 | (delta >> 8));
    out[1] = static_cast<uint8_t>(delta & 0xFF);
    return 2;
  }
  if (address < 0 || address > kMaxBlockAddress) return 0;
  out[0] = static_cast<uint8_t>(0xC0 | (address >> 16));
  out[1] = static_cast<uint8_t>((address >> 8) & 0xFF);
  out[2] = static_cast<uint8_t>(address & 0xFF);
  return 3;
}

int encodeHeader(int64_t previousEnd, int32_t address, int32_t length, uint8_t out[kMaxHeader]) {
  if (address < 0 || address > kMaxBlockAddress) return 0;
  const int code = lengthCode(length);
  if (code < 0) return 0;
  const int size = encodeAddressPart(previousEnd, address, out);
  if (size == 0) return 0;
  out[size] = static_cast<uint8_t>(code);
  return size + 1;
}

int decodeAddressPart(const uint8_t* data, size_t size, int64_t previousEnd, int64_t* address) {
  if (size == 0 || data[0] == 0) return 0;
  const uint8_t first = data[0];
  if (first < 0x80) {
    *address = previousEnd + first;
    return 1;
  }
  if (first < 0xC0) {
    if (size < 2) return 0;
    *address = previousEnd + ((int64_t{first} & 0x3F) << 8 | data[1]);
    return 2;
  }
  if (size < 3) return 0;
  *address = (int64_t{first} & 0x3F) << 16 | int64_t{data[1]} << 8 | data[2];
  return 3;
}

int reportsFor(size_t payloadBytes) {
  return static_cast<int>((payloadBytes + kReportPayload - 1) / kReportPayload);
}

void buildReport(uint8_t marker, int index, int count, const Payload& payload, Report& out) {
  out[0] = 0;
  out[1] = marker;
  out[2] = indexCountByte(index, count);
  std::memcpy(&out[3], &payload[static_cast<size_t>(index & 0x0F) * kReportPayload], kReportPayload);
}

ReportAssembler::Step ReportAssembler::feed(const uint8_t* report, size_t length) {
  if (length < kReportSize || report[1] != marker_) return Step::Refused;
  if (reportIndex(report[2]) != expected_) return Step::Refused;
  if (expected_ == 0) count_ = reportCount(report[2]);
  std::memcpy(&payload_[static_cast<size_t>(expected_) * kReportPayload], report + 3, kReportPayload);
  ++expected_;
  return expected_ >= count_ ? Step::Complete : Step::Accepted;
}

UnpackResult unpackReply(const uint8_t* reply, size_t size, uint8_t* memory, size_t memorySize) {
  UnpackResult result;
  size_t pos = 0;
  int64_t address = 0;
  while (pos < size && reply[pos] != 0) {
    const int part = decodeAddressPart(reply + pos, size - pos, address, &address);
    if (part == 0 || pos + part >= size) break;  // the count byte must be inside too
    pos += part;
    const size_t count = reply[pos++];
    if (count > size - pos) break;
    if (address >= 0 && static_cast<uint64_t>(address) + count <= memorySize) {
      std::memcpy(memory + address, reply + pos, count);
      ++result.copied;
    } else {
      ++result.dropped;
    }
    pos += count;
    address += static_cast<int64_t>(count);
  }
  return result;
}

bool ReplyPacker::add(int64_t address, const uint8_t* data, int count) {
  if (count < 0 || count > 255) return false;
  uint8_t part[kMaxAddressPart];
  const int size = encodeAddressPart(previousEnd_, address, part);
  if (size == 0 || used_ + size + 1 + count + 1 > kMaxPayload) return false;
  std::memcpy(&payload_[used_], part, size);
  used_ += size;
  payload_[used_++] = static_cast<uint8_t>(count);
  if (count > 0) std::memcpy(&payload_[used_], data, count);
  used_ += count;
  previousEnd_ = address + count;
  return true;
}

int ReplyPacker::finish() {
  if (used_ < kMaxPayload) payload_[used_++] = 0;
  return reportsFor(used_);
}

namespace {

// Reads headers from data[0..size); with `withData` each header is followed
// by its block's bytes.
bool parseBlocks(const uint8_t* data, size_t size, bool withData, std::vector<Block>& blocks) {
  size_t pos = 0;
  int64_t previousEnd = 0;
  while (pos < size && data[pos] != 0) {
    Block block;
    const int part = decodeAddressPart(data + pos, size - pos, previousEnd, &block.address);
    if (part == 0 || pos + part >= size) return false;
    pos += part;
    block.length = lengthFromCode(data[pos++]);
    if (block.length < 0) return false;
    block.dataOffset = pos;
    if (withData) {
      if (static_cast<size_t>(block.length) > size - pos) return false;
      pos += block.length;
    }
    previousEnd = block.address + block.length;
    blocks.push_back(block);
  }
  return true;
}

}  // namespace

bool parseWriteRequest(const uint8_t* request, size_t size, std::vector<Block>& blocks) {
  return parseBlocks(request, size, true, blocks);
}

bool parseReadRequest(const uint8_t* headers, size_t size, std::vector<Block>& blocks) {
  return parseBlocks(headers, size, false, blocks);
}

std::vector<uint8_t> encodeHello(const Hello& hello) {
  const size_t units = hello.product.size() < kMaxHelloName ? hello.product.size() : kMaxHelloName;
  std::vector<uint8_t> out{'T', 'A', 'V', 'H', 1};
  for (uint16_t value : {hello.vendorId, hello.productId, hello.version}) {
    out.push_back(static_cast<uint8_t>(value & 0xFF));
    out.push_back(static_cast<uint8_t>(value >> 8));
  }
  out.push_back(static_cast<uint8_t>(units));
  for (size_t i = 0; i < units; ++i) {
    out.push_back(static_cast<uint8_t>(hello.product[i] & 0xFF));
    out.push_back(static_cast<uint8_t>(hello.product[i] >> 8));
  }
  return out;
}

bool decodeHello(const uint8_t* message, size_t size, Hello* hello) {
  if (size < kHelloHeader || std::memcmp(message, "TAVH", 4) != 0 || message[4] != 1) return false;
  const size_t units = message[11];
  if (units > kMaxHelloName || size < kHelloHeader + 2 * units) return false;
  auto word = [message](size_t at) { return static_cast<uint16_t>(message[at] | message[at + 1] << 8); };
  hello->vendorId = word(5);
  hello->productId = word(7);
  hello->version = word(9);
  hello->product.clear();
  for (size_t i = 0; i < units; ++i) hello->product.push_back(static_cast<char16_t>(word(kHelloHeader + 2 * i)));
  return true;
}

std::string virtualBoardFolder() {
  const char* dir = std::getenv("TAVLINK_VIRTUAL_DIR");
  if (dir && *dir) return dir;
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime && *runtime) return std::string(runtime) + "/tavlink";
  return "/tmp/tavlink";
}

}  // namespace tav
