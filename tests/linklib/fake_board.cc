#include "fake_board.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>

namespace tavtest {
namespace {

constexpr size_t kBoardMemory = 0x400200;

uint32_t readLe32(const std::vector<uint8_t>& memory, uint32_t at) {
  return memory[at] | memory[at + 1] << 8 | memory[at + 2] << 16 | static_cast<uint32_t>(memory[at + 3]) << 24;
}

}  // namespace

FakeBoard::FakeBoard(std::string socketPath, Identity identity)
    : path_(std::move(socketPath)), identity_(std::move(identity)), memory_(kBoardMemory, 0) {
  request_.reset(tav::kRequestMarker);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path_.size() >= sizeof(address.sun_path)) throw std::runtime_error("socket path too long");
  std::memcpy(address.sun_path, path_.c_str(), path_.size() + 1);
  listenFd_ = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
  if (listenFd_ < 0 || bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
      listen(listenFd_, 4) != 0 || pipe(wakeFd_) != 0) {
    throw std::runtime_error("cannot listen on " + path_);
  }
  thread_ = std::thread([this] { run(); });
}

FakeBoard::~FakeBoard() { stop(); }

void FakeBoard::stop(bool keepSocketFile) {
  {
    std::lock_guard lock(mutex_);
    if (stopped_) return;
    stopped_ = true;
  }
  const char wake = 1;
  if (write(wakeFd_[1], &wake, 1) != 1) std::abort();
  thread_.join();
  if (clientFd_ >= 0) close(clientFd_.exchange(-1));
  close(listenFd_);
  close(wakeFd_[0]);
  close(wakeFd_[1]);
  if (!keepSocketFile) unlink(path_.c_str());
}

void FakeBoard::run() {
  uint8_t message[256];
  for (;;) {
    pollfd fds[3] = {{wakeFd_[0], POLLIN, 0}, {listenFd_, POLLIN, 0}, {clientFd_, POLLIN, 0}};
    if (poll(fds, clientFd_ >= 0 ? 3 : 2, -1) < 0) continue;
    if (fds[0].revents) return;
    if (fds[1].revents & POLLIN) {
      const int fd = accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
      if (fd >= 0) {
        const std::vector<uint8_t> hello = tav::encodeHello(
            {identity_.vendorId, identity_.productId, identity_.version, identity_.product});
        send(fd, hello.data(), hello.size(), MSG_NOSIGNAL);
        std::lock_guard lock(mutex_);
        if (clientFd_ >= 0) close(clientFd_);
        clientFd_ = fd;
        request_.reset(tav::kRequestMarker);
        changed_.notify_all();
      }
    }
    if (clientFd_ >= 0 && fds[2].revents) {
      const ssize_t n = recv(clientFd_, message, sizeof(message), 0);
      if (n <= 0) {
        std::lock_guard lock(mutex_);
        close(clientFd_.exchange(-1));
        continue;
      }
      onMessage(message, static_cast<size_t>(n));
    }
  }
}

void FakeBoard::onMessage(const uint8_t* data, size_t size) {
  std::lock_guard lock(mutex_);
  if (recording) received_.emplace_back(data, data + size);
  changed_.notify_all();
  if (size >= 3 && data[1] == tav::kRequestMarker && tav::reportIndex(data[2]) == 0) {
    request_.reset(tav::kRequestMarker);
  }
  if (request_.feed(data, size) == tav::ReportAssembler::Step::Complete) {
    applyRequest(request_.payload(), request_.receivedBytes());
    request_.reset(tav::kRequestMarker);
  }
}

void FakeBoard::applyRequest(const tav::Payload& payload, size_t size) {
  std::vector<tav::Block> blocks;
  tav::parseWriteRequest(payload.data(), size, blocks);
  bool pointerWritten = false;
  for (const tav::Block& block : blocks) {
    if (block.address < 0 || static_cast<size_t>(block.address) + block.length > memory_.size()) continue;
    std::memcpy(&memory_[block.address], payload.data() + block.dataOffset, block.length);
    if (block.address <= kRequestPointer && block.address + block.length >= kRequestPointer + 4) pointerWritten = true;
  }
  if (pointerWritten) answer();
}

// Answers the read request the pointer designates, one record per 255 bytes.
void FakeBoard::answer() {
  if (silent) return;
  const uint32_t at = readLe32(memory_, kRequestPointer);
  if (at + tav::kMaxPayload > memory_.size()) return;
  std::vector<tav::Block> blocks;
  tav::parseReadRequest(&memory_[at + 1], tav::kMaxPayload - 1, blocks);
  const uint8_t tag = memory_[at];
  reply_.reset(tag);
  for (const tav::Block& block : blocks) {
    int32_t done = 0;
    do {
      const int count = std::min(block.length - done, 255);
      const int64_t address = block.address + done;
      if (address + count > static_cast<int64_t>(memory_.size())) break;
      reply_.add(address, &memory_[address], count);
      done += count;
    } while (done < block.length);
  }
  const int reports = reply_.finish();
  tav::Report report;
  for (int i = 0; i < badReportsBeforeReply; ++i) {
    report.fill(0);
    report[1] = tag;
    report[2] = tav::indexCountByte(15, 1);
    sendLocked(report.data(), report.size());
  }
  for (int index = 0; index < reports; ++index) {
    reply_.report(index, reports, report);
    sendLocked(report.data(), report.size());
  }
  ++requestsAnswered;
}

void FakeBoard::sendLocked(const uint8_t* data, size_t size) {
  const int fd = clientFd_;
  if (fd < 0) return;
  // A host that stopped reading must not wedge the board thread.
  while (send(fd, data, size, MSG_NOSIGNAL | MSG_DONTWAIT) < 0) {
    pollfd p{fd, POLLOUT, 0};
    if ((errno != EAGAIN && errno != EINTR) || poll(&p, 1, 1000) <= 0) return;
  }
}

std::vector<uint8_t> FakeBoard::memory(uint32_t address, size_t length) {
  std::lock_guard lock(mutex_);
  return {memory_.begin() + address, memory_.begin() + address + length};
}

void FakeBoard::setMemory(uint32_t address, const std::vector<uint8_t>& bytes) {
  std::lock_guard lock(mutex_);
  std::memcpy(&memory_[address], bytes.data(), bytes.size());
}

std::vector<std::vector<uint8_t>> FakeBoard::received() {
  std::lock_guard lock(mutex_);
  return received_;
}

bool FakeBoard::waitReceived(size_t messages, int timeoutMs) {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return received_.size() >= messages; });
}

void FakeBoard::clearReceived() {
  std::lock_guard lock(mutex_);
  received_.clear();
}

bool FakeBoard::inject(const uint8_t* data, size_t size) {
  std::lock_guard lock(mutex_);
  const int fd = clientFd_;
  return fd >= 0 && send(fd, data, size, MSG_NOSIGNAL) == static_cast<ssize_t>(size);
}

bool FakeBoard::waitConnected(int timeoutMs) {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return clientFd_ >= 0; });
}

TempFolder::TempFolder() {
  char name[] = "/tmp/tavlink-test-XXXXXX";
  if (!mkdtemp(name)) throw std::runtime_error("mkdtemp failed");
  path_ = name;
}

TempFolder::~TempFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

}  // namespace tavtest
