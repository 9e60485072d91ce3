// Wire format between the host and the MARLO-3 board, shared by the link
// library (host side) and the virtual board (board side). Plain C++: no
// device I/O, no allocation except in the request parsers.
//
// Block header / address part
//   Addresses are coded relative to the end of the previous block of the same
//   request or reply (0 at its start); the first form that fits is used:
//     short     delta 1..127            delta
//     relative  delta 0..0x3FFF         0x80|(delta>>8), delta&0xFF
//     absolute  otherwise               0xC0|(address>>16), (address>>8)&0xFF, address&0xFF
//   A header is the address part plus one length code: 0..250 as itself,
//   256 as 252, 512 as 253; no other length can be sent. A 0 byte where a
//   header would start ends the list.
//
// Packed payloads (at most 992 bytes = 16 reports of 62)
//   write request  [header][data]... 0
//   read request   tag, [header]... 0          (lies in board memory)
//   reply          [address part][count][count bytes]... 0 (or the payload end)
//
// Report (65 bytes, both directions)
//   0     report id 0 (not checked on receipt)
//   1     0x55 for host-to-board requests, the read request's tag for replies
//   2     (index << 4) | (count & 0x0F), count 1..16 with 16 sent as 0
//   3-64  payload bytes index*62 .. index*62+61
//
// Virtual boards
//   A virtual board listens on a Unix-domain SOCK_SEQPACKET socket in
//   virtualBoardFolder(). On every accepted connection it first sends one
//   hello message, then exchanges reports, one 65-byte report per message in
//   the layout above (host-to-board messages are exactly what the host wrote).
//   A client may connect, read the hello and close again (enumeration); the
//   board then waits for the next connection. Closing the connection is an
//   unplug. Hello layout:
//     0-3   'T' 'A' 'V' 'H'
//     4     format version, 1
//     5-6   vendor id, little-endian
//     7-8   product id, little-endian
//     9-10  device version (0x0100 is 1.00), little-endian
//     11    n, length of the product string in UTF-16 units, 0..126
//     12..  n UTF-16 units, little-endian
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tav {

inline constexpr size_t kReportSize = 65;
inline constexpr size_t kReportPayload = 62;
inline constexpr int kMaxReports = 16;
inline constexpr size_t kMaxPayload = kReportPayload * kMaxReports;  // 992
inline constexpr int32_t kMaxBlockAddress = 0x3FFFFF;
inline constexpr size_t kMemorySize = 0x4CCE68;  // the host's image of the board address space
inline constexpr uint8_t kRequestMarker = 0x55;
inline constexpr int kMaxAddressPart = 3;
inline constexpr int kMaxHeader = 4;

using Report = std::array<uint8_t, kReportSize>;
using Payload = std::array<uint8_t, kMaxPayload>;

// ---------------------------------------------------------------- headers --

// The length code of a block length, or -1 when that length cannot be sent.
int lengthCode(int32_t length);
// The block length a code stands for, or -1 for 251, 254 and 255.
int lengthFromCode(uint8_t code);

// Writes the address part for `address` after a block ending at
// `previousEnd` and returns its size (1..3), or 0 when the absolute form is
// needed and the address lies outside 0..0x3FFFFF.
int encodeAddressPart(int64_t previousEnd, int64_t address, uint8_t out[kMaxAddressPart]);

// Writes the full block header and returns its size (2..4), or 0 when the
// address is outside 0..0x3FFFFF or the length has no code.
int encodeHeader(int64_t previousEnd, int32_t address, int32_t length, uint8_t out[kMaxHeader]);

// Reads an address part at data[0..size) after a block ending at
// `previousEnd`. Returns the bytes it took (1..3), or 0 when data[0] is the
// list's 0 terminator or the part runs past `size`.
int decodeAddressPart(const uint8_t* data, size_t size, int64_t previousEnd, int64_t* address);

// Keeps the previous-block end of one request being built.
class HeaderEncoder {
 public:
  void reset() { previousEnd_ = 0; }
  int32_t previousEnd() const { return previousEnd_; }
  // The header the next block would get, without moving on; 0 when refused.
  int peek(int32_t address, int32_t length, uint8_t out[kMaxHeader]) const {
    return encodeHeader(previousEnd_, address, length, out);
  }
  // Moves on behind a block whose header peek() accepted.
  void commit(int32_t address, int32_t length) { previousEnd_ = address + length; }

 private:
  int32_t previousEnd_ = 0;
};

// ---------------------------------------------------------------- reports --

// Reports needed for n payload bytes: ceil(n / 62), 0 for none.
int reportsFor(size_t payloadBytes);
inline uint8_t indexCountByte(int index, int count) {
  return static_cast<uint8_t>(((index & 0x0F) << 4) | (count & 0x0F));
}
inline int reportIndex(uint8_t indexCount) { return indexCount >> 4; }
inline int reportCount(uint8_t indexCount) { return (indexCount & 0x0F) == 0 ? 16 : (indexCount & 0x0F); }

// Report `index` of a `count`-report payload: [0][marker][index/count][62 bytes
// from payload at index * 62]. Bytes past the payload's used length go out as
// the buffer holds them. index must be below 16.
void buildReport(uint8_t marker, int index, int count, const Payload& payload, Report& out);

// Reassembles one request or reply from its reports. Reports must come in
// order from index 0; the count is taken from the index-0 report. Anything
// else (short report, other marker, index out of order) is refused and
// leaves the assembly as it was: once a report is lost the rest are refused
// too. A board that wants to restart on a fresh index-0 report calls
// reset() itself.
class ReportAssembler {
 public:
  enum class Step { Refused, Accepted, Complete };

  void reset(uint8_t marker) {
    marker_ = marker;
    expected_ = 0;
    count_ = 0;
  }
  Step feed(const uint8_t* report, size_t length);
  const Payload& payload() const { return payload_; }
  // Payload bytes of the completed (or so far accepted) reports.
  size_t receivedBytes() const { return static_cast<size_t>(expected_) * kReportPayload; }
  int count() const { return count_; }

 private:
  Payload payload_{};
  uint8_t marker_ = 0;
  int expected_ = 0;
  int count_ = 0;
};

// ---------------------------------------------------------------- replies --

struct UnpackResult {
  int copied = 0;   // records written into memory
  int dropped = 0;  // records whose bytes would leave memory
};

// Copies the records of a reply into memory[0..memorySize) at their
// addresses. Stops at a 0 byte or where a record's address part, count or
// data would run past `size`; a record that would reach outside memory is
// dropped and the next one is still read.
UnpackResult unpackReply(const uint8_t* reply, size_t size, uint8_t* memory, size_t memorySize);

// Builds a reply (board side): records, then the 0 terminator.
class ReplyPacker {
 public:
  void reset(uint8_t tag) {
    tag_ = tag;
    used_ = 0;
    previousEnd_ = 0;
  }
  // Appends one record of count (0..255) bytes. False, with nothing
  // appended, when the address cannot be coded or record plus terminator no
  // longer fit in 992 bytes.
  bool add(int64_t address, const uint8_t* data, int count);
  // Appends the terminator; returns the number of reports to send.
  int finish();
  uint8_t tag() const { return tag_; }
  size_t used() const { return used_; }
  const Payload& payload() const { return payload_; }
  void report(int index, int count, Report& out) const { buildReport(tag_, index, count, payload_, out); }

 private:
  Payload payload_{};
  size_t used_ = 0;
  int64_t previousEnd_ = 0;
  uint8_t tag_ = 0;
};

// ---------------------------------------------------------------- requests --

struct Block {
  int64_t address = 0;
  int32_t length = 0;
  size_t dataOffset = 0;  // write requests: where the block's bytes start in the request
};

// Splits a write request (board side). False when a header is malformed
// (bad length code) or a header or its data runs past `size`; blocks read
// before the fault are kept. A request that runs out without its 0 byte is
// accepted when it ends exactly behind a block.
bool parseWriteRequest(const uint8_t* request, size_t size, std::vector<Block>& blocks);

// Splits the headers of a read request; `headers` starts behind the tag.
bool parseReadRequest(const uint8_t* headers, size_t size, std::vector<Block>& blocks);

// ---------------------------------------------------------------- virtual boards

inline constexpr size_t kMaxHelloName = 126;
inline constexpr size_t kHelloHeader = 12;
inline constexpr size_t kMaxHello = kHelloHeader + 2 * kMaxHelloName;

struct Hello {
  uint16_t vendorId = 0;
  uint16_t productId = 0;
  uint16_t version = 0;
  std::u16string product;  // cut to 126 units when encoded
};

std::vector<uint8_t> encodeHello(const Hello& hello);
bool decodeHello(const uint8_t* message, size_t size, Hello* hello);

// $TAVLINK_VIRTUAL_DIR, else "tavlink" in $XDG_RUNTIME_DIR, else /tmp/tavlink.
std::string virtualBoardFolder();

}  // namespace tav
