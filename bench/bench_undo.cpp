// The undo chain on a 256-block motion: 10,000 records of an edit of one
// pose, the memory the chain then holds, and the motion's basic operations.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>

#include "motion/motion_edit.h"
#include "pose/base_poses.h"
#include "shell/undo.h"

namespace {

constexpr int kBlocks = 256;
constexpr int kRecords = 10000;
const kv::BasePoseTable kBasePoses{};

// start -> 254 poses -> end, every block measured.
kv::Motion sampleMotion() {
  kv::Motion motion;
  kv::MotionBlock* previous = kv::createBlock(motion, kv::KindStart, nullptr, kv::Point{50, 10}, kBasePoses);
  for (int i = 0; i < kBlocks - 2; ++i) {
    kv::MotionBlock* pose =
        kv::createBlock(motion, kv::KindPose, nullptr, kv::Point{50 + 120 * (i / 40), 60 + 48 * (i % 40)}, kBasePoses);
    pose->name = kv::nextPoseName(motion);
    for (int n = 0; n < kv::kSliderCount; ++n) pose->pose.values[n] = static_cast<int16_t>(i * 7 + n);
    previous->link[kv::kNextLink] = pose;
    previous = pose;
  }
  previous->link[kv::kNextLink] = kv::createBlock(motion, kv::KindEnd, nullptr, kv::Point{50, 2000}, kBasePoses);
  motion.currentBlock = motion.blocks[1].get();
  kv::measureBlocks(motion, kv::FixedMetricsMeasurer());
  return motion;
}

double residentMegabytes() {
  long pages = 0, resident = 0;
  if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2) resident = 0;
    std::fclose(statm);
  }
  return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

void BM_RecordOnePoseEdit(benchmark::State& state) {
  kv::Motion motion = sampleMotion();
  double rssBefore = residentMegabytes();
  {
    kv::UndoChain chain;
    chain.reset(motion);
    kv::MotionBlock* edited = motion.blocks[kBlocks / 2].get();
    int16_t value = 0;
    for (auto _ : state) {
      edited->pose.values[5] = ++value;
      chain.record(motion);
    }
    kv::UndoChain::Usage usage = chain.usage();
    state.counters["states"] = static_cast<double>(usage.states);
    state.counters["stored_blocks"] = static_cast<double>(usage.blocks);
    state.counters["groups"] = static_cast<double>(usage.groups);
    state.counters["chain_MB"] = static_cast<double>(usage.bytes) / (1024.0 * 1024.0);
    state.counters["rss_growth_MB"] = residentMegabytes() - rssBefore;
  }
}
BENCHMARK(BM_RecordOnePoseEdit)->Iterations(kRecords)->Unit(benchmark::kMicrosecond);

void BM_UndoRedo(benchmark::State& state) {
  kv::Motion motion = sampleMotion();
  kv::UndoChain chain;
  chain.reset(motion);
  motion.blocks[10]->pose.values[0] = 1;
  chain.record(motion);
  for (auto _ : state) {
    chain.undo(motion);
    chain.redo(motion);
  }
}
BENCHMARK(BM_UndoRedo)->Unit(benchmark::kMicrosecond);

void BM_SelectAllAndDelete(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    kv::Motion working = sampleMotion();
    state.ResumeTiming();
    kv::selectAll(working);
    benchmark::DoNotOptimize(kv::deleteSelectedBlocks(working));
  }
}
BENCHMARK(BM_SelectAllAndDelete)->Unit(benchmark::kMicrosecond);

void BM_CopyAndPasteAll(benchmark::State& state) {
  kv::Motion motion = sampleMotion();
  kv::selectAll(motion);
  kv::BlockClipboard clipboard;
  for (auto _ : state) {
    kv::copySelectedBlocks(motion, clipboard);
    kv::pasteBlocks(motion, clipboard);
    state.PauseTiming();
    motion.blocks.resize(kBlocks);
    kv::selectAll(motion);
    state.ResumeTiming();
  }
}
BENCHMARK(BM_CopyAndPasteAll)->Unit(benchmark::kMicrosecond);

void BM_NextPoseName(benchmark::State& state) {
  kv::Motion motion = sampleMotion();
  for (auto _ : state) benchmark::DoNotOptimize(kv::nextPoseName(motion));
}
BENCHMARK(BM_NextPoseName)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
