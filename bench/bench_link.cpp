// The link library against a fake virtual board on a Unix socket: write and
// read transactions as the editor builds them. items_per_second is
// transactions per wall-clock second; host_cpu_us_per_report is the calling
// thread's CPU time per report (the board's thread is not counted);
// usb_fs_tx_per_s is what USB full speed allows the same transaction: one
// 64-byte report per millisecond each way, the reply only after the request.
#include <benchmark/benchmark.h>

#include <stdlib.h>
#include <time.h>

#include <cstring>
#include <initializer_list>
#include <memory>
#include <string>

#include "fake_board.h"
#include "tav_protocol.h"
#include "tavlink.h"

namespace {

constexpr int kRequestArea = 0x200B00;

struct Span {
  int address;
  int length;
};

double threadCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// One fake board for the whole run, in a private folder.
class Bench {
 public:
  Bench() {
    setenv("TAVLINK_VIRTUAL_DIR", folder_.path().c_str(), 1);
    board_ = std::make_unique<tavtest::FakeBoard>(folder_.path() + "/bench.sock");
    board_->recording = false;
    ok_ = tavOpen(tavtest::kTestVendor, tavtest::kTestProduct, tavtest::kTestLowest, tavtest::kTestHighest) == 1 &&
          board_->waitConnected();
  }
  ~Bench() { tavClose(); }
  bool ok() const { return ok_; }

 private:
  tavtest::TempFolder folder_;
  std::unique_ptr<tavtest::FakeBoard> board_;
  bool ok_ = false;
};

Bench& bench() {
  static Bench instance;
  return instance;
}

void report(benchmark::State& state, double cpuSeconds, int reportsOut, int reportsIn) {
  const double transactions = static_cast<double>(state.iterations());
  state.SetItemsProcessed(state.iterations());
  state.counters["reports_per_tx"] = reportsOut + reportsIn;
  state.counters["host_cpu_us_per_report"] = cpuSeconds * 1e6 / (transactions * (reportsOut + reportsIn));
  state.counters["usb_fs_tx_per_s"] = 1000.0 / (reportsOut + reportsIn);
}

// The live pose of a knob drag: 62 values, servo bits, transition time.
void BM_WriteLivePose(benchmark::State& state) {
  if (!bench().ok()) return state.SkipWithError("no board");
  for (int i = 0; i < 130; ++i) tavMemory[0x200100 + i] = static_cast<unsigned char>(i);
  tavWriteInit();
  tavWritePush(0x200100, 124);
  tavWritePush(0x20017C, 4);
  tavWritePush(0x200180, 2);
  tavWriteEnd();
  const double start = threadCpuSeconds();
  for (auto _ : state) {
    if (!tavWriteExec()) return state.SkipWithError("write failed");
  }
  report(state, threadCpuSeconds() - start, 3, 0);
}
BENCHMARK(BM_WriteLivePose)->UseRealTime();

// A read transaction: build the request, send it with the request pointer,
// collect the reply.
void readTransaction(benchmark::State& state, std::initializer_list<Span> blocks, int replyReports) {
  if (!bench().ok()) return state.SkipWithError("no board");
  int tag = 1;
  int requestReports = 0;
  const double start = threadCpuSeconds();
  for (auto _ : state) {
    tag = (tag + 8) & 0xFF;
    tavReadInit(kRequestArea, tag);
    for (const Span& block : blocks) tavReadPush(block.address, block.length);
    const int length = tavReadEnd();
    const uint32_t area = kRequestArea;
    std::memcpy(&tavMemory[0x200010], &area, 4);
    tavWriteInit();
    tavWritePush(0x200010, 4);
    tavWritePush(kRequestArea, length);
    tavWriteEnd();
    requestReports = tav::reportsFor(4 + 4 + 3 + static_cast<size_t>(length) + 1);
    if (!tavWriteExec() || !tavReadExec(tag)) return state.SkipWithError("no reply");
  }
  report(state, threadCpuSeconds() - start, requestReports, replyReports);
}

// The connect thread's cycle read: 152 bytes in 3 reply reports.
void BM_ReadLiveState(benchmark::State& state) {
  readTransaction(state, {{0x200182, 2}, {0x200800, 124}, {0x2009DE, 2}, {0x2009E0, 24}}, 3);
}
BENCHMARK(BM_ReadLiveState)->UseRealTime();

// The largest reply: 990 bytes in 16 reports.
void BM_ReadFullReply(benchmark::State& state) {
  readTransaction(state, {{0x201A00, 250}, {0x201AFA, 250}, {0x201BF4, 250}, {0x201CEE, 227}}, 16);
}
BENCHMARK(BM_ReadFullReply)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
