// Virtual boards: one listening SOCK_SEQPACKET socket per running board in
// the virtual-board folder, one report per message. A socket file whose
// board has stopped refuses the connection and is skipped.
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "tav_device.h"

namespace tav {
namespace {

constexpr int kHelloTimeoutMs = 500;
constexpr int kSendTimeoutMs = 1000;

using Clock = std::chrono::steady_clock;

int msLeft(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

// poll() for one event until the deadline, riding out signals. Returns the
// revents, 0 on timeout, -1 on failure.
int waitFor(int fd, short events, Clock::time_point deadline) {
  for (;;) {
    pollfd p{fd, events, 0};
    const int n = poll(&p, 1, msLeft(deadline));
    if (n > 0) return p.revents;
    if (n == 0) return 0;
    if (errno != EINTR) return -1;
  }
}

class SocketDevice final : public Device {
 public:
  SocketDevice(int fd, std::u16string name) : fd_(fd), name_(std::move(name)) {}
  ~SocketDevice() override { close(fd_); }

  ReadStatus read(Report& report, size_t& length, int timeoutMs) override {
    report.fill(0);
    const int events = waitFor(fd_, POLLIN, Clock::now() + std::chrono::milliseconds(timeoutMs));
    if (events < 0) return ReadStatus::Error;
    if (events == 0) return ReadStatus::Timeout;
    const ssize_t n = recv(fd_, report.data(), report.size(), MSG_DONTWAIT);
    if (n < 0) {
      if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) return ReadStatus::Timeout;
      return ReadStatus::Error;
    }
    // 0 bytes is an empty message unless the board has hung up.
    if (n == 0 && (events & (POLLHUP | POLLERR))) return ReadStatus::Error;
    length = static_cast<size_t>(n);
    return ReadStatus::Report;
  }

  bool write(const uint8_t* data, size_t size, size_t& written) override {
    const auto deadline = Clock::now() + std::chrono::milliseconds(kSendTimeoutMs);
    for (;;) {
      const ssize_t n = send(fd_, data, size, MSG_DONTWAIT | MSG_NOSIGNAL);
      if (n >= 0) {
        written = static_cast<size_t>(n);
        return true;
      }
      if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) return false;
      if (waitFor(fd_, POLLOUT, deadline) <= 0) return false;  // a board that stopped reading
    }
  }

  bool productName(std::u16string& name) override {
    name = name_;
    return true;
  }

 private:
  int fd_;
  std::u16string name_;
};

// Connects to one board socket and reads its hello; -1 when nobody answers.
int connectBoard(const std::string& path, Hello& hello) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof(address.sun_path)) return -1;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);

  const int fd = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) return -1;
  // Non-blocking: a board that has stopped accepting fills its backlog and
  // gives EAGAIN instead of a wait.
  if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
    close(fd);
    return -1;
  }
  uint8_t message[kMaxHello];
  const auto deadline = Clock::now() + std::chrono::milliseconds(kHelloTimeoutMs);
  const int events = waitFor(fd, POLLIN, deadline);
  const ssize_t n = events > 0 ? recv(fd, message, sizeof(message), MSG_DONTWAIT) : -1;
  if (n <= 0 || !decodeHello(message, static_cast<size_t>(n), &hello)) {
    close(fd);
    return -1;
  }
  return fd;
}

std::vector<std::string> boardSockets(const std::string& folder) {
  std::vector<std::string> paths;
  DIR* dir = opendir(folder.c_str());
  if (!dir) return paths;
  while (const dirent* entry = readdir(dir)) {
    const std::string path = folder + "/" + entry->d_name;
    struct stat info;
    if (stat(path.c_str(), &info) == 0 && S_ISSOCK(info.st_mode)) paths.push_back(path);
  }
  closedir(dir);
  std::sort(paths.begin(), paths.end());
  return paths;
}

}  // namespace

std::unique_ptr<Device> openVirtualBoard(const DeviceMatch& match) {
  for (const std::string& path : boardSockets(virtualBoardFolder())) {
    Hello hello;
    const int fd = connectBoard(path, hello);
    if (fd < 0) continue;
    if (!match.accepts(hello.vendorId, hello.productId, hello.version)) {
      close(fd);
      continue;
    }
    auto* device = new (std::nothrow) SocketDevice(fd, std::move(hello.product));
    if (!device) {
      close(fd);
      return nullptr;
    }
    return std::unique_ptr<Device>(device);
  }
  return nullptr;
}

}  // namespace tav
