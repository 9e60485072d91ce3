#include "board_server.h"

#include <fcntl.h>
#include <poll.h>
#include <linux/sockios.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace boardsim {
namespace {

using Clock = std::chrono::steady_clock;

constexpr uint64_t kMaxAdvanceMicros = 2'000'000;  // a stalled thread lets board time slip past this
constexpr int kMaxPollMs = 50;
// The host controller polls the board's interrupt-IN endpoint every
// millisecond (wall clock, whatever the board's time scale); the host keeps
// up to 64 unread reports per open device, as hidraw does, and loses what
// arrives while they are all unread.
constexpr auto kPollInterval = std::chrono::milliseconds(1);
constexpr int kHostQueueReports = 64;
constexpr size_t kUsualReportCharge = 768;
constexpr int kMaxClients = 8;
constexpr int kListenBacklog = 8;

std::atomic<int> boardsInProcess{0};

bool makeFolders(const std::string& folder) {
  std::string path;
  size_t at = 0;
  while (at != std::string::npos) {
    at = folder.find('/', at + 1);
    path = folder.substr(0, at);
    if (path.empty()) continue;
    if (mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) return false;
  }
  struct stat info;
  return stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool fillAddress(const std::string& path, sockaddr_un& address) {
  address = sockaddr_un{};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof(address.sun_path)) return false;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  return true;
}

// True when a board still listens on the socket file at `path`.
bool someoneListens(const std::string& path) {
  sockaddr_un address;
  if (!fillAddress(path, address)) return false;
  const int fd = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) return false;
  const bool answered = connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0 ||
                        errno == EAGAIN || errno == EINPROGRESS;
  close(fd);
  return answered;
}

// What one queued report costs in a SOCK_SEQPACKET socket's send queue
// (SIOCOUTQ counts buffer space, not payload bytes).
size_t measureReportCharge() {
  int pair[2];
  if (socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, pair) != 0) return kUsualReportCharge;
  const uint8_t report[tav::kReportSize] = {};
  int queued = 0;
  const bool sent = send(pair[0], report, sizeof(report), MSG_DONTWAIT | MSG_NOSIGNAL) == sizeof(report);
  const bool measured = sent && ioctl(pair[0], SIOCOUTQ, &queued) == 0 && queued > 0;
  close(pair[0]);
  close(pair[1]);
  return measured ? static_cast<size_t>(queued) : kUsualReportCharge;
}

}  // namespace

BoardServer::BoardServer(ServerOptions options)
    : options_(std::move(options)), board_(options_.board), reportCharge_(measureReportCharge()) {
  if (!(options_.timeScale > 0) || !std::isfinite(options_.timeScale)) options_.timeScale = 1.0;
  const std::string folder = tav::virtualBoardFolder();
  path_ = options_.socketPath;
  if (path_.empty()) {
    const int n = boardsInProcess++;
    path_ = "marlo-sim-" + std::to_string(getpid()) + (n > 0 ? "-" + std::to_string(n) : "");
  }
  if (path_.find('/') == std::string::npos) path_ = folder + "/" + path_;
}

BoardServer::~BoardServer() { stop(); }

void BoardServer::log(const std::string& text) const {
  if (options_.verbose) std::fprintf(stderr, "marlo-sim: %s\n", text.c_str());
}

bool BoardServer::start(std::string* error) {
  std::lock_guard lock(mutex_);
  if (started_) return true;
  auto fail = [&](const std::string& why) {
    if (error) *error = why;
    if (flashFd_ >= 0) close(flashFd_);
    flashFd_ = -1;
    return false;
  };

  if (!options_.flashFile.empty()) {
    flashFd_ = open(options_.flashFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (flashFd_ < 0) return fail("cannot open the flash file " + options_.flashFile + ": " + std::strerror(errno));
    struct stat info;
    if (fstat(flashFd_, &info) != 0) return fail("cannot read the flash file " + options_.flashFile);
    std::vector<uint8_t>& flash = board_.memory().flash();
    if (info.st_size == static_cast<off_t>(kFlashSize)) {
      std::vector<uint8_t> image(kFlashSize);
      if (pread(flashFd_, image.data(), image.size(), 0) != static_cast<ssize_t>(image.size()))
        return fail("cannot read the flash file " + options_.flashFile);
      board_.setFlash(image);
      board_.powerOn();
    } else if (info.st_size == 0) {
      if (pwrite(flashFd_, flash.data(), flash.size(), 0) != static_cast<ssize_t>(flash.size()))
        return fail("cannot write the flash file " + options_.flashFile);
    } else {
      return fail("the flash file " + options_.flashFile + " is not 2 MiB long");
    }
    const int fd = flashFd_;
    board_.setFlashListener([fd, this](uint32_t address, uint32_t length) {
      const std::vector<uint8_t>& data = board_.memory().flash();
      if (pwrite(fd, data.data() + address, length, address) != static_cast<ssize_t>(length))
        log("cannot write the flash file");
    });
  }

  if (pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0) return fail("cannot create a pipe");
  if (!openListener(error)) {
    close(wake_[0]);
    close(wake_[1]);
    wake_[0] = wake_[1] = -1;
    return fail(error ? *error : "cannot listen");
  }
  seenBusDrops_ = board_.busDrops();
  lastTick_ = Clock::now();
  stopping_ = false;
  started_ = true;
  thread_ = std::thread([this] { run(); });
  return true;
}

void BoardServer::stop() {
  {
    std::lock_guard lock(mutex_);
    if (!started_) return;
    stopping_ = true;
  }
  wakeThread();
  thread_.join();
  std::lock_guard lock(mutex_);
  closeClients();
  closeListener();
  close(wake_[0]);
  close(wake_[1]);
  wake_[0] = wake_[1] = -1;
  if (flashFd_ >= 0) {
    fsync(flashFd_);
    close(flashFd_);
    flashFd_ = -1;
  }
  board_.setFlashListener(nullptr);
  started_ = false;
}

// ---------------------------------------------------------------- sockets --

bool BoardServer::openListener(std::string* error) {
  auto fail = [&](const std::string& why) {
    if (error) *error = why;
    return false;
  };
  const size_t slash = path_.rfind('/');
  if (slash != std::string::npos && slash > 0 && !makeFolders(path_.substr(0, slash)))
    return fail("cannot create the folder of " + path_);
  struct stat info;
  if (lstat(path_.c_str(), &info) == 0) {
    if (!S_ISSOCK(info.st_mode)) return fail(path_ + " exists and is not a socket");
    if (someoneListens(path_)) return fail("another board already listens on " + path_);
    unlink(path_.c_str());  // left behind by a board that ended without cleaning up
  }
  sockaddr_un address;
  if (!fillAddress(path_, address)) return fail("socket path too long: " + path_);
  const int fd = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) return fail(std::string("cannot create a socket: ") + std::strerror(errno));
  if (bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0 || listen(fd, kListenBacklog) != 0) {
    const std::string why = std::string("cannot listen on ") + path_ + ": " + std::strerror(errno);
    close(fd);
    return fail(why);
  }
  listenFd_ = fd;
  log("listening on " + path_);
  return true;
}

void BoardServer::closeListener() {
  if (listenFd_ < 0) return;
  close(listenFd_);
  listenFd_ = -1;
  unlink(path_.c_str());
}

void BoardServer::closeClients() {
  for (Client& client : clients_) close(client.fd);
  clients_.clear();
  copyReports_ = nextReport_ = 0;
}

void BoardServer::acceptClients() {
  for (;;) {
    const int fd = accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (fd < 0) return;
    if (clients_.size() >= static_cast<size_t>(kMaxClients)) {
      close(fd);
      continue;
    }
    tav::Hello hello;
    hello.vendorId = kVendorId;
    hello.productId = kProductId;
    hello.version = options_.usbVersion;
    hello.product = options_.product;
    const std::vector<uint8_t> message = tav::encodeHello(hello);
    if (send(fd, message.data(), message.size(), MSG_DONTWAIT | MSG_NOSIGNAL) != static_cast<ssize_t>(message.size())) {
      close(fd);
      continue;
    }
    clients_.push_back({fd, nextClientId_++});
    answering_ = true;  // polled from now on; a board without a standing request stays silent
    ++stats_.connections;
    log("host connected");
  }
}

bool BoardServer::serveClient(Client& client) {
  const uint32_t drops = board_.busDrops();
  for (;;) {
    uint8_t message[tav::kReportSize + 64];
    const ssize_t n = recv(client.fd, message, sizeof(message), MSG_DONTWAIT);
    if (n < 0) return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
    if (n == 0) {
      // An empty message, or the host has hung up.
      pollfd p{client.fd, POLLIN, 0};
      if (poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR))) return false;
      continue;
    }
    handleReport(message, static_cast<size_t>(n));
    if (board_.busDrops() != drops || !plugged_) return true;  // the board has left the bus
  }
}

void BoardServer::handleReport(const uint8_t* data, size_t size) {
  ++stats_.reportsReceived;
  const Board::Received received = board_.receiveReport(data, std::min(size, tav::kReportSize));
  const bool unplugNow = options_.faults.unplugAfterReports > 0 &&
                         stats_.reportsReceived == static_cast<uint64_t>(options_.faults.unplugAfterReports);
  if (received == Board::Received::Refused) {
    ++stats_.requestsRefused;
    log("refused a malformed request");
  }
  if (received == Board::Received::Applied) {
    ++stats_.requestsApplied;
    // A malformed standing request is reported once, when it is set up.
    tav::ReplyPacker checked;
    board_.replyAfterRequest(checked);
    const Faults& faults = options_.faults;
    ++replyCount_;
    repliesLost_ = faults.dropEveryNthReply > 0 && replyCount_ % faults.dropEveryNthReply == 0;
    repliesCorrupt_ = faults.corruptEveryNthReply > 0 && replyCount_ % faults.corruptEveryNthReply == 0;
    stats_.repliesDropped += repliesLost_;
    stats_.repliesCorrupted += repliesCorrupt_;
    // The copy under way is given up: the next poll answers the request as
    // it stands now.
    copyReports_ = nextReport_ = 0;
    answering_ = true;
    nextPoll_ = Clock::now();
  }
  if (unplugNow) unplugLocked();
}

// The reports waiting unread in a host's queue.
int BoardServer::queuedReports(const Client& client) const {
  int queued = 0;
  if (ioctl(client.fd, SIOCOUTQ, &queued) != 0) return kHostQueueReports;
  return static_cast<int>((static_cast<size_t>(queued) + reportCharge_ - 1) / reportCharge_);
}

// One poll of the interrupt-IN endpoint: the next report of the current
// copy goes to every host that has the board open, as the USB stack hands
// each input report to every open handle; a host whose queue is full loses
// it. Without a standing request the board has nothing to give.
void BoardServer::pollEndpoint() {
  if (nextReport_ >= copyReports_) {
    copyReports_ = nextReport_ = 0;
    if (repliesLost_ || board_.buildReply(copy_) != Board::ReplyStatus::Ready) {
      answering_ = false;
      return;
    }
    copyReports_ = tav::reportsFor(copy_.used());
    ++stats_.repliesSent;
  }
  tav::Report report;
  copy_.report(nextReport_, copyReports_, report);
  if (repliesCorrupt_ && nextReport_ == 0) report[2] = tav::indexCountByte(1, copyReports_);
  ++nextReport_;
  answering_ = true;
  for (const Client& client : clients_) {
    if (queuedReports(client) >= kHostQueueReports ||
        send(client.fd, report.data(), report.size(), MSG_DONTWAIT | MSG_NOSIGNAL) < 0) {
      ++stats_.reportsLost;
    }
  }
}

// The polls due by now. After a stall the polls missed meanwhile are made
// up, at most a host queue's worth.
void BoardServer::runPolls() {
  const auto now = Clock::now();
  if (clients_.empty() || !board_.onBus() || !answering_) {
    nextPoll_ = now;
    return;
  }
  for (int polls = 0; answering_ && nextPoll_ <= now && polls < kHostQueueReports; ++polls) {
    pollEndpoint();
    nextPoll_ += kPollInterval;
  }
  if (nextPoll_ <= now) nextPoll_ = now + kPollInterval;
}

// ---------------------------------------------------------------- thread --

void BoardServer::advanceClock() {
  const auto now = Clock::now();
  const double real = std::chrono::duration<double, std::micro>(now - lastTick_).count();
  lastTick_ = now;
  const double virtualMicros = real / options_.timeScale + carryMicros_;
  uint64_t step = static_cast<uint64_t>(virtualMicros);
  carryMicros_ = virtualMicros - static_cast<double>(step);
  board_.advance(std::min(step, kMaxAdvanceMicros));
}

int BoardServer::pollTimeoutMs() {
  const uint64_t next = board_.nextEvent();
  const uint64_t ahead = next > board_.now() ? next - board_.now() : 0;
  const double ms = std::ceil(static_cast<double>(ahead) * options_.timeScale / 1000.0);
  int timeout = static_cast<int>(std::min<double>(ms, kMaxPollMs));
  if (answering_ && !clients_.empty() && board_.onBus()) {
    const auto untilPoll = std::chrono::ceil<std::chrono::milliseconds>(nextPoll_ - Clock::now()).count();
    timeout = std::min<int>(timeout, static_cast<int>(std::max<int64_t>(untilPoll, 0)));
  }
  if (replugPending_) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(replugAt_ - Clock::now()).count();
    timeout = std::min<int>(timeout, static_cast<int>(std::max<int64_t>(left, 0)));
  }
  return std::max(timeout, 0);
}

void BoardServer::unplugLocked() {
  if (!plugged_) return;
  plugged_ = false;
  ++stats_.unplugs;
  closeListener();  // the socket file goes first: a host that sees the hang-up finds no board
  closeClients();
  log("unplugged");
  if (options_.faults.replugAfterMs >= 0) {
    replugPending_ = true;
    replugAt_ = Clock::now() + std::chrono::milliseconds(options_.faults.replugAfterMs);
  }
}

// Leaves and rejoins the bus as the board restarts, and as the cable is pulled and plugged.
void BoardServer::followBus() {
  if (replugPending_ && Clock::now() >= replugAt_) {
    replugPending_ = false;
    plugged_ = true;
    log("plugged in");
  }
  if (board_.busDrops() != seenBusDrops_) {
    seenBusDrops_ = board_.busDrops();
    closeListener();
    closeClients();
    log("restarting: off the bus");
  }
  const bool wanted = plugged_ && board_.onBus();
  if (wanted && listenFd_ < 0) {
    std::string error;
    if (!openListener(&error)) log(error);
  } else if (!wanted && listenFd_ >= 0) {
    closeListener();
    closeClients();
  }
}

void BoardServer::run() {
  std::vector<pollfd> fds;
  int timeout = 0;
  {
    std::lock_guard lock(mutex_);
    timeout = pollTimeoutMs();
  }
  for (;;) {
    fds.clear();
    {
      std::lock_guard lock(mutex_);
      fds.push_back({wake_[0], POLLIN, 0});
      if (listenFd_ >= 0) fds.push_back({listenFd_, POLLIN, 0});
      for (const Client& client : clients_) fds.push_back({client.fd, POLLIN, 0});
    }
    poll(fds.data(), fds.size(), timeout);

    std::lock_guard lock(mutex_);
    if (stopping_) return;
    char drain[64];
    while (::read(wake_[0], drain, sizeof(drain)) > 0) {
    }
    advanceClock();
    followBus();
    if (listenFd_ >= 0) acceptClients();
    for (size_t i = 0; i < clients_.size();) {
      if (serveClient(clients_[i])) {
        if (board_.busDrops() != seenBusDrops_ || !plugged_) break;  // off the bus: nobody is heard any more
        ++i;
        continue;
      }
      if (i < clients_.size()) {
        close(clients_[i].fd);
        clients_.erase(clients_.begin() + static_cast<long>(i));
        log("host disconnected");
      }
    }
    followBus();
    runPolls();
    timeout = pollTimeoutMs();
  }
}

// ---------------------------------------------------------------- API --

std::vector<uint8_t> BoardServer::read(uint32_t address, size_t length) {
  std::lock_guard lock(mutex_);
  return board_.memory().read(address, length);
}

void BoardServer::write(uint32_t address, const std::vector<uint8_t>& bytes) {
  std::lock_guard lock(mutex_);
  board_.memory().write(address, bytes.data(), bytes.size());
}

int16_t BoardServer::variable(int n) {
  std::lock_guard lock(mutex_);
  return board_.memory().variable(n);
}

void BoardServer::setVariable(int n, int16_t value) {
  std::lock_guard lock(mutex_);
  board_.memory().setVariable(n, value);
}

bool BoardServer::setDeviceRaw(uint8_t busAddress, int index, int16_t value) {
  std::lock_guard lock(mutex_);
  KpbusDevice* device = board_.kpbus().device(busAddress);
  if (!device || index < 0 || static_cast<size_t>(index) >= device->raw.size()) return false;
  device->raw[static_cast<size_t>(index)] = value;
  return true;
}

bool BoardServer::waitUntil(const std::function<bool(Board&)>& condition, int timeoutMs) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    {
      std::lock_guard lock(mutex_);
      if (condition(board_)) return true;
    }
    if (Clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

ServerStats BoardServer::stats() {
  std::lock_guard lock(mutex_);
  return stats_;
}

void BoardServer::setFaults(const Faults& faults) {
  std::lock_guard lock(mutex_);
  options_.faults = faults;
}

void BoardServer::unplug() {
  std::lock_guard lock(mutex_);
  replugPending_ = false;
  unplugLocked();
  wakeThread();
}

void BoardServer::plug() {
  {
    std::lock_guard lock(mutex_);
    replugPending_ = false;
    plugged_ = true;
    if (started_) followBus();
    wakeThread();
  }
}

// The thread then rebuilds its poll list (a wake lost to a full pipe still
// comes within kMaxPollMs).
void BoardServer::wakeThread() {
  const char wake = 1;
  if (wake_[1] >= 0 && ::write(wake_[1], &wake, 1) < 0) return;
}

bool BoardServer::listening() {
  std::lock_guard lock(mutex_);
  return listenFd_ >= 0;
}

bool BoardServer::hostConnected() {
  std::lock_guard lock(mutex_);
  return !clients_.empty();
}

}  // namespace boardsim
