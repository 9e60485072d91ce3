// Compiling a 256-block motion (mostly poses, with calculations, branches,
// loops and jumps back) for board RAM, as playback does before every run.
#include <benchmark/benchmark.h>

#include <memory>

#include "motion/motion.h"
#include "rom/compiled_motion.h"

namespace {

constexpr int kBlocks = 256;

int kindAt(int i) {
  if (i == 0) return kv::KindStart;
  if (i == kBlocks - 1) return kv::KindEnd;
  if (i % 16 == 5) return kv::KindBranch;
  if (i % 16 == 9) return kv::KindCalcConstant;
  if (i % 16 == 11) return kv::KindCalcVariable;
  if (i % 32 == 13) return kv::KindLoop;
  return kv::KindPose;
}

kv::Motion mixedMotion() {
  kv::Motion motion;
  for (int i = 0; i < kBlocks; ++i) {
    auto block = std::make_unique<kv::MotionBlock>();
    block->kind = kindAt(i);
    block->pose.steps = static_cast<uint16_t>(20 + i % 100);
    for (int n = 0; n < kv::kSliderCount; ++n)
      block->pose.values[n] = static_cast<int16_t>((i * 37 + n * 11) % 4000 - 2000);
    block->pose.servoMask = kv::kServoMaskBits;
    motion.blocks.push_back(std::move(block));
  }
  auto& blocks = motion.blocks;
  for (int i = 0; i + 1 < kBlocks; ++i) blocks[i]->link[kv::kNextLink] = blocks[i + 1].get();
  for (int i = 0; i < kBlocks; ++i) {
    kv::MotionBlock& block = *blocks[i];
    if (block.kind == kv::KindBranch) block.link[kv::kBranchLink] = blocks[(i + 40) % (kBlocks - 1) + 1].get();
    if (block.kind == kv::KindLoop) block.link[kv::kBranchLink] = blocks[i - 10].get();
    if (i % 24 == 20) block.link[kv::kNextLink] = blocks[i - 17].get();  // a jump back
  }
  return motion;
}

void BM_CompileMotion256Blocks(benchmark::State& state) {
  const kv::Motion motion = mixedMotion();
  size_t length = 0;
  for (auto _ : state) {
    kv::CompiledMotion compiled = kv::compileMotion(0x201A00, motion, kv::kPoseHeaderByte, 100);
    if (!compiled.ok) state.SkipWithError("refused");
    length = compiled.bytes.size();
    benchmark::DoNotOptimize(compiled.bytes.data());
  }
  state.counters["bytes"] = static_cast<double>(length);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * length));
}
BENCHMARK(BM_CompileMotion256Blocks)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
