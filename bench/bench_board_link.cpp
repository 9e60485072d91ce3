// The editor's board link end to end: memory access (TavBoardLink over
// libtavlink) against the virtual board served in this process by
// boardsim::BoardServer on its own thread, over the same socket a marlo-sim
// process would use. The board runs in real time, as the hardware does
// (BoardServer takes no time scale of 0).
//
// Counters:
//   items_per_second        transactions per wall-clock second
//   reports_out, reports_in reports per transaction, counted at the board
//   host_cpu_us_per_report  CPU time of the calling thread per report (the
//                           board's thread is not counted)
//   usb_fs_tx_per_s         what USB full speed allows the same transaction:
//                           one 64-byte report per millisecond each way, the
//                           reply only after the request
//   board_applied           share of the sent requests the board applied
#include <benchmark/benchmark.h>

#include <stdlib.h>
#include <time.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "board_server.h"
#include "session/board_link.h"
#include "session/link_state.h"
#include "session/memory_access.h"
#include "session/memory_map.h"
#include "shell/pacing.h"
#include "tav_protocol.h"

namespace {

namespace a = kv::board_addr;

double threadCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// One board and one open link for the whole run, in a private folder.
class Rig {
 public:
  Rig() {
    char pattern[] = "/tmp/bench-board-link-XXXXXX";
    if (!mkdtemp(pattern)) return;
    folder_ = pattern;
    setenv("TAVLINK_VIRTUAL_DIR", folder_.c_str(), 1);
    kv::setPacingScale(0);
    boardsim::ServerOptions options;
    options.socketPath = "bench";
    options.timeScale = 1.0;
    server_ = std::make_unique<boardsim::BoardServer>(options);
    ok_ = server_->start() && link_.open(a::kVendorId, a::kProductId, a::kLowestVersion, a::kHighestVersion) == 1;
    state_.online = true;
  }
  ~Rig() {
    link_.close();
    server_.reset();
    if (!folder_.empty()) {
      unlink((folder_ + "/bench").c_str());
      rmdir(folder_.c_str());
    }
  }

  bool ok() const { return ok_; }
  kv::MemoryAccess& access() { return access_; }
  kv::BoardLink& link() { return link_; }
  boardsim::BoardServer& server() { return *server_; }

  // Reports in one reply to the board's standing read request (0 when it has none).
  int reportsPerReply() {
    return server_->withBoard([](boardsim::Board& board) {
      tav::ReplyPacker reply;
      if (board.buildReply(reply) != boardsim::Board::ReplyStatus::Ready) return 0;
      return tav::reportsFor(reply.used());
    });
  }

  // Waits (at most two seconds) until the board has taken this many requests.
  void waitApplied(uint64_t requests) {
    for (int i = 0; i < 2000 && server_->stats().requestsApplied < requests; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }

 private:
  std::string folder_;
  std::unique_ptr<boardsim::BoardServer> server_;
  kv::TavBoardLink link_;
  kv::LinkState state_;
  kv::MemoryAccess access_{link_, state_};
  bool ok_ = false;
};

Rig& rig() {
  static Rig instance;
  return instance;
}

// Runs `transaction` for the benchmark and reports the counters.
template <class F>
void measure(benchmark::State& state, F&& transaction) {
  Rig& r = rig();
  if (!r.ok()) return state.SkipWithError("no board");
  std::this_thread::sleep_for(std::chrono::milliseconds(5));  // the board takes what the set-up sent
  const boardsim::ServerStats before = r.server().stats();
  const double cpuStart = threadCpuSeconds();
  for (auto _ : state) {
    if (!transaction()) return state.SkipWithError("transaction failed");
  }
  const double cpu = threadCpuSeconds() - cpuStart;
  const double transactions = static_cast<double>(state.iterations());
  r.waitApplied(before.requestsApplied + state.iterations());
  const boardsim::ServerStats after = r.server().stats();

  const double out = static_cast<double>(after.reportsReceived - before.reportsReceived) / transactions;
  // The board answers at every poll; the host takes one copy after each request.
  const double in =
      static_cast<double>((after.requestsApplied - before.requestsApplied) * r.reportsPerReply()) / transactions;
  state.SetItemsProcessed(state.iterations());
  state.counters["reports_out"] = out;
  state.counters["reports_in"] = in;
  state.counters["host_cpu_us_per_report"] = cpu * 1e6 / (transactions * (out + in));
  state.counters["usb_fs_tx_per_s"] = 1000.0 / (out + in);
  state.counters["board_applied"] =
      static_cast<double>(after.requestsApplied - before.requestsApplied) / transactions;
}

// The live pose the session sends while a slider moves: 62 values, the
// servo bits and the transition time, in one write. No standing read
// request, so the board sends nothing back.
void BM_LivePoseWrite(benchmark::State& state) {
  Rig& r = rig();
  if (!r.ok()) return state.SkipWithError("no board");
  r.link().store32(a::kReadPointer, 0);
  if (!r.access().writeBlocks({{a::kReadPointer, 4}})) return state.SkipWithError("no board");
  for (int i = 0; i < kv::kLiveSliderCount; ++i) r.link().store16(a::kLivePose + 2 * i, static_cast<uint16_t>(10 * i));
  r.link().store32(a::kLiveServoBits, 0x3FFFFFFF);
  r.link().store16(a::kLiveTime, 10);
  measure(state, [&] {
    return r.access().writeBlocks({{a::kLivePose, 124}, {a::kLiveServoBits, 4}, {a::kLiveTime, 2}}) == 1;
  });
}
BENCHMARK(BM_LivePoseWrite)->UseRealTime();

// The connect thread's cycle read: operating state, slider values, battery
// and controller in one request.
void BM_ReadLiveState(benchmark::State& state) {
  kv::LiveSnapshot snapshot;
  measure(state, [&] { return rig().access().readLiveState(snapshot) != 0; });
}
BENCHMARK(BM_ReadLiveState)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
