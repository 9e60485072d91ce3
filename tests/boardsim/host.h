// The host's side of the report protocol for the board's tests: requests
// built with the wire-format module the way the link library builds them,
// sent to a Board in-process or to a BoardServer over its socket.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "board.h"
#include "tav_protocol.h"

namespace boardtest {

using Bytes = std::vector<uint8_t>;

Bytes le16(int value);
Bytes le32(uint32_t value);

// A write request: blocks of data, then the 0 byte.
class WriteRequest {
 public:
  WriteRequest& add(uint32_t address, const Bytes& data);
  WriteRequest& erase(uint32_t address) { return add(address, {}); }
  Bytes payload() const;  // with the terminator

 private:
  tav::HeaderEncoder headers_;
  Bytes bytes_;
};

// A read request: tag, headers, 0.
Bytes readRequest(uint8_t tag, const std::vector<std::pair<uint32_t, int>>& blocks);

// The reports that carry a payload.
std::vector<tav::Report> toReports(const Bytes& payload);

// The host's image of board memory, filled from replies.
struct HostImage {
  HostImage() : bytes(0x400200, 0) {}
  uint16_t u16(uint32_t address) const { return static_cast<uint16_t>(bytes[address] | bytes[address + 1] << 8); }
  uint32_t u32(uint32_t address) const { return u16(address) | static_cast<uint32_t>(u16(address + 2)) << 16; }
  Bytes range(uint32_t address, size_t length) const {
    return Bytes(bytes.begin() + address, bytes.begin() + address + static_cast<long>(length));
  }
  Bytes bytes;
};

// ------------------------------------------------------------ in-process
// Sends a request to the board as reports; the last report's outcome.
boardsim::Board::Received send(boardsim::Board& board, const Bytes& payload);
// Points the board at a read request placed at `area` (one write, as the
// editor does) and returns the request's tag.
void standRead(boardsim::Board& board, uint8_t tag, const std::vector<std::pair<uint32_t, int>>& blocks,
               uint32_t area = 0x200B00);
// Takes a fresh reply to the standing request into the image; false when the board gives none.
bool collect(boardsim::Board& board, HostImage& image, uint8_t* tag = nullptr);
// Runs the board for `cycles` control periods.
void runCycles(boardsim::Board& board, int cycles);

// ------------------------------------------------------------ over the socket
class SocketHost {
 public:
  ~SocketHost();
  // Connects and reads the hello; false when no board answers.
  bool connect(const std::string& path, tav::Hello* hello = nullptr);
  void close();
  bool send(const Bytes& payload);
  // Collects one reply with this tag, as the link library does: reports of
  // other tags or out of order are bad reads; gives up after 64 of them or
  // when nothing arrives for timeoutMs.
  bool collect(uint8_t tag, HostImage& image, int timeoutMs = 1000);
  // Drops every message already queued.
  int drain();
  // True when the board has hung up.
  bool hungUp(int timeoutMs);

 private:
  int fd_ = -1;
};

}  // namespace boardtest
