// A minimal board for the link library's tests and benchmark: a thread that
// listens on a virtual-board socket, keeps a memory image, applies write
// requests and answers the read request that 0x200010 points at, once per
// request. Knobs let a test make it misbehave.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tav_protocol.h"

namespace tavtest {

// Versions no real board has, so tests never reach a board that happens to be plugged in.
inline constexpr uint16_t kTestVendor = 0x1962;
inline constexpr uint16_t kTestProduct = 0x1000;
inline constexpr uint16_t kTestVersion = 0xFE01;
inline constexpr uint16_t kTestLowest = 0xFE00;
inline constexpr uint16_t kTestHighest = 0xFEFF;

inline constexpr uint32_t kRequestPointer = 0x200010;

struct BoardIdentity {
  uint16_t vendorId = kTestVendor;
  uint16_t productId = kTestProduct;
  uint16_t version = kTestVersion;
  std::u16string product = u"MARLO-3 test board";
};

class FakeBoard {
 public:
  using Identity = BoardIdentity;

  explicit FakeBoard(std::string socketPath, Identity identity = {});
  ~FakeBoard();
  FakeBoard(const FakeBoard&) = delete;
  FakeBoard& operator=(const FakeBoard&) = delete;

  // Unplugs: closes the connection and the listener; with keepSocketFile the
  // file stays behind as a stale entry.
  void stop(bool keepSocketFile = false);

  std::vector<uint8_t> memory(uint32_t address, size_t length);
  void setMemory(uint32_t address, const std::vector<uint8_t>& bytes);

  // Host-to-board messages in arrival order.
  std::vector<std::vector<uint8_t>> received();
  bool waitReceived(size_t messages, int timeoutMs = 2000);
  void clearReceived();

  // Sends a message to the connected host now.
  bool inject(const uint8_t* data, size_t size);
  bool inject(const tav::Report& report) { return inject(report.data(), report.size()); }
  bool waitConnected(int timeoutMs = 2000);

  std::atomic<bool> silent{false};              // never answers read requests
  std::atomic<int> badReportsBeforeReply{0};    // right tag, wrong index, sent ahead of each reply
  std::atomic<bool> recording{true};            // keep received messages
  std::atomic<int> requestsAnswered{0};

 private:
  void run();
  void onMessage(const uint8_t* data, size_t size);
  void applyRequest(const tav::Payload& payload, size_t size);
  void answer();
  void sendLocked(const uint8_t* data, size_t size);

  std::string path_;
  Identity identity_;
  int listenFd_ = -1;
  int wakeFd_[2] = {-1, -1};
  std::atomic<int> clientFd_{-1};
  std::thread thread_;

  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<uint8_t> memory_;
  std::vector<std::vector<uint8_t>> received_;
  tav::ReportAssembler request_;
  tav::ReplyPacker reply_;
  bool stopped_ = false;
};

// A fresh folder under /tmp, removed with its contents.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace tavtest
