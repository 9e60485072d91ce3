#include "host.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <stdexcept>

namespace boardtest {

Bytes le16(int value) { return {static_cast<uint8_t>(value & 0xFF), static_cast<uint8_t>((value >> 8) & 0xFF)}; }

Bytes le32(uint32_t value) {
  return {static_cast<uint8_t>(value & 0xFF), static_cast<uint8_t>((value >> 8) & 0xFF),
          static_cast<uint8_t>((value >> 16) & 0xFF), static_cast<uint8_t>(value >> 24)};
}

WriteRequest& WriteRequest::add(uint32_t address, const Bytes& data) {
  uint8_t header[tav::kMaxHeader];
  const int size = headers_.peek(static_cast<int32_t>(address), static_cast<int32_t>(data.size()), header);
  if (size == 0) throw std::invalid_argument("block cannot be encoded");
  headers_.commit(static_cast<int32_t>(address), static_cast<int32_t>(data.size()));
  bytes_.insert(bytes_.end(), header, header + size);
  bytes_.insert(bytes_.end(), data.begin(), data.end());
  return *this;
}

Bytes WriteRequest::payload() const {
  Bytes out = bytes_;
  out.push_back(0);
  return out;
}

Bytes readRequest(uint8_t tag, const std::vector<std::pair<uint32_t, int>>& blocks) {
  tav::HeaderEncoder headers;
  Bytes out{tag};
  for (const auto& [address, length] : blocks) {
    uint8_t header[tav::kMaxHeader];
    const int size = headers.peek(static_cast<int32_t>(address), length, header);
    if (size == 0) throw std::invalid_argument("block cannot be encoded");
    headers.commit(static_cast<int32_t>(address), length);
    out.insert(out.end(), header, header + size);
  }
  out.push_back(0);
  return out;
}

std::vector<tav::Report> toReports(const Bytes& payload) {
  tav::Payload buffer{};
  std::memcpy(buffer.data(), payload.data(), std::min(payload.size(), buffer.size()));
  const int count = tav::reportsFor(payload.size());
  std::vector<tav::Report> reports(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) tav::buildReport(tav::kRequestMarker, i, count, buffer, reports[static_cast<size_t>(i)]);
  return reports;
}

boardsim::Board::Received send(boardsim::Board& board, const Bytes& payload) {
  boardsim::Board::Received last = boardsim::Board::Received::Ignored;
  for (const tav::Report& report : toReports(payload)) last = board.receiveReport(report.data(), report.size());
  return last;
}

void standRead(boardsim::Board& board, uint8_t tag, const std::vector<std::pair<uint32_t, int>>& blocks,
               uint32_t area) {
  send(board, WriteRequest().add(0x200010, le32(area)).add(area, readRequest(tag, blocks)).payload());
}

bool collect(boardsim::Board& board, HostImage& image, uint8_t* tag) {
  tav::ReplyPacker reply;
  if (board.buildReply(reply) != boardsim::Board::ReplyStatus::Ready) return false;
  if (tag) *tag = reply.tag();
  tav::unpackReply(reply.payload().data(), reply.used(), image.bytes.data(), image.bytes.size());
  return true;
}

void runCycles(boardsim::Board& board, int cycles) {
  for (int i = 0; i < cycles; ++i) board.advance(board.controlPeriod());
}

// ---------------------------------------------------------------- socket --

SocketHost::~SocketHost() { close(); }

bool SocketHost::connect(const std::string& path, tav::Hello* hello) {
  close();
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, path.c_str(), sizeof(address.sun_path) - 1);
  fd_ = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
  if (fd_ < 0) return false;
  if (::connect(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
    close();
    return false;
  }
  pollfd p{fd_, POLLIN, 0};
  uint8_t message[tav::kMaxHello];
  tav::Hello decoded;
  const ssize_t n = poll(&p, 1, 1000) > 0 ? recv(fd_, message, sizeof(message), 0) : -1;
  if (n <= 0 || !tav::decodeHello(message, static_cast<size_t>(n), &decoded)) {
    close();
    return false;
  }
  if (hello) *hello = decoded;
  return true;
}

void SocketHost::close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

bool SocketHost::send(const Bytes& payload) {
  for (const tav::Report& report : toReports(payload)) {
    if (::send(fd_, report.data(), report.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(report.size())) return false;
  }
  return true;
}

bool SocketHost::collect(uint8_t tag, HostImage& image, int timeoutMs) {
  tav::ReportAssembler assembler;
  assembler.reset(tag);
  int bad = 0;
  while (bad <= 64) {
    pollfd p{fd_, POLLIN, 0};
    if (poll(&p, 1, timeoutMs) <= 0) return false;
    tav::Report report{};
    const ssize_t n = recv(fd_, report.data(), report.size(), 0);
    if (n <= 0) return false;
    const auto step = assembler.feed(report.data(), static_cast<size_t>(n));
    if (step == tav::ReportAssembler::Step::Complete) {
      tav::unpackReply(assembler.payload().data(), assembler.receivedBytes(), image.bytes.data(), image.bytes.size());
      return true;
    }
    if (step == tav::ReportAssembler::Step::Refused) ++bad;
  }
  return false;
}

int SocketHost::drain() {
  int drained = 0;
  uint8_t message[128];
  while (recv(fd_, message, sizeof(message), MSG_DONTWAIT) > 0) ++drained;
  return drained;
}

bool SocketHost::hungUp(int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (std::chrono::steady_clock::now() < deadline) {
    pollfd p{fd_, POLLIN, 0};
    if (poll(&p, 1, 10) > 0) {
      uint8_t message[128];
      const ssize_t n = recv(fd_, message, sizeof(message), MSG_DONTWAIT);
      if (n == 0 || (n < 0 && errno != EAGAIN)) return true;
    }
  }
  return false;
}

}  // namespace boardtest
