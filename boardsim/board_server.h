// The virtual board on the bus: a thread that keeps a Board running on the
// wall clock (scaled) and serves it on a Unix-domain SOCK_SEQPACKET socket in
// the virtual-board folder, where the link library finds it. Each accepted
// connection gets the hello first, then reports go both ways, one per
// message. Tests run it in-process; marlo-sim runs one in the foreground.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "board.h"

namespace boardsim {

inline constexpr uint16_t kVendorId = 0x1962;
inline constexpr uint16_t kProductId = 0x1000;

// Faults a test can inject into the link.
struct Faults {
  int dropEveryNthReply = 0;     // every reply to the n-th, 2n-th, ... request is lost on the way; 0 none
  int corruptEveryNthReply = 0;  // every reply to those requests arrives with its first report out of order
  int unplugAfterReports = 0;    // the board leaves the bus right after the n-th host report; 0 never
  int replugAfterMs = -1;        // back after this many wall-clock ms; -1: only through plug()
};

struct ServerOptions {
  BoardConfig board;
  // Empty: "marlo-sim-<pid>[-<n>]" in the virtual-board folder. A name
  // without '/' is placed in that folder, anything else is used as given.
  std::string socketPath;
  double timeScale = 1.0;  // board durations are multiplied by this (0.01: a hundred times faster)
  std::string flashFile;   // the flash lives in this file (2 MiB) and survives the board; empty: memory only
  uint16_t usbVersion = 0x0100;          // device version in the hello
  std::u16string product = u"MARLO-3";   // product string in the hello
  Faults faults;
  bool verbose = false;  // log connections, requests and bus changes to stderr
};

struct ServerStats {
  uint64_t connections = 0;
  uint64_t reportsReceived = 0;
  uint64_t requestsApplied = 0;
  uint64_t requestsRefused = 0;
  uint64_t repliesSent = 0;       // copies of the standing request's reply begun
  uint64_t repliesDropped = 0;    // requests whose replies were all lost (fault)
  uint64_t repliesCorrupted = 0;  // requests whose replies all came out of order (fault)
  uint64_t reportsLost = 0;       // reports a host's full queue could not take
  uint64_t unplugs = 0;
};

class BoardServer {
 public:
  explicit BoardServer(ServerOptions options = {});
  ~BoardServer();
  BoardServer(const BoardServer&) = delete;
  BoardServer& operator=(const BoardServer&) = delete;

  // Loads the flash file, listens and starts the board thread. False, with a
  // reason, when the flash file or the socket cannot be set up.
  bool start(std::string* error = nullptr);
  // Stops the thread, hangs up and removes the socket file. Idempotent.
  void stop();
  const std::string& socketPath() const { return path_; }

  // Runs f on the board while the board thread waits.
  template <class F>
  auto withBoard(F&& f) {
    std::lock_guard lock(mutex_);
    return f(board_);
  }
  std::vector<uint8_t> read(uint32_t address, size_t length);
  void write(uint32_t address, const std::vector<uint8_t>& bytes);
  int16_t variable(int n);
  void setVariable(int n, int16_t value);
  // Sets raw reading `index` of the expansion device at `busAddress` (for
  // KP-DIO: the levels of channel group `index`). False when no device is
  // there or it has no such reading.
  bool setDeviceRaw(uint8_t busAddress, int index, int16_t value);
  // Polls `condition` (board locked) until it holds; false after timeoutMs.
  bool waitUntil(const std::function<bool(Board&)>& condition, int timeoutMs);

  ServerStats stats();
  void setFaults(const Faults& faults);
  // Takes the board off the bus / puts it back (a cable pulled and plugged).
  void unplug();
  void plug();
  bool listening();
  bool hostConnected();

 private:
  struct Client {
    int fd = -1;
    uint64_t id = 0;
  };

  void run();
  bool openListener(std::string* error);
  void closeListener();
  void closeClients();
  void acceptClients();
  bool serveClient(Client& client);  // false: the client has gone
  void handleReport(const uint8_t* data, size_t size);
  void runPolls();
  void pollEndpoint();
  int queuedReports(const Client& client) const;
  void advanceClock();
  int pollTimeoutMs();
  void followBus();
  void unplugLocked();
  void log(const std::string& text) const;
  void wakeThread();

  ServerOptions options_;
  Board board_;
  std::string path_;
  std::mutex mutex_;
  std::thread thread_;
  bool started_ = false;
  bool stopping_ = false;
  int wake_[2] = {-1, -1};
  int listenFd_ = -1;
  int flashFd_ = -1;
  std::vector<Client> clients_;
  uint64_t nextClientId_ = 1;
  // The interrupt-IN endpoint: at every poll of the host controller the
  // board hands out the next report of its current reply copy, and starts a
  // fresh copy of the standing request's reply when the last one is out.
  tav::ReplyPacker copy_;
  int copyReports_ = 0;
  int nextReport_ = 0;
  bool answering_ = false;  // the last poll had a report to give
  std::chrono::steady_clock::time_point nextPoll_{};
  bool repliesLost_ = false;       // fault: this request's replies never arrive
  bool repliesCorrupt_ = false;    // fault: this request's copies come out of order
  size_t reportCharge_ = 0;        // send-queue bytes one queued report costs
  bool plugged_ = true;
  std::chrono::steady_clock::time_point replugAt_{};
  bool replugPending_ = false;
  uint32_t seenBusDrops_ = 0;
  uint64_t replyCount_ = 0;
  std::chrono::steady_clock::time_point lastTick_{};
  double carryMicros_ = 0;
  ServerStats stats_;
};

}  // namespace boardsim
