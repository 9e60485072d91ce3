// Loading and saving a motion of 256 blocks: pose blocks with all 62 values
// and voice files, branch, calculation and loop blocks, linked in a chain.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>
#include <unistd.h>

#include "motion/motion_file.h"
#include "pose/base_poses.h"
#include "pose/slider_table.h"

namespace {

constexpr int kBlocks = 256;

struct Fixture {
  kv::SliderTable sliders;
  kv::BasePoseTable basePoses;
  kv::VoiceTable voices;
  kv::BlockList blocks;
  std::filesystem::path file;

  Fixture() {
    for (kv::PoseSlider& s : sliders.sliders) {
      s.lowerLimit = -32768;
      s.upperLimit = 32767;
    }
    sliders.sliders[40].behaviourFlags = kv::kSliderDisabled;
    for (int slot = 0; slot < 16; ++slot) {
      voices.files[slot] = u"voice" + std::u16string(1, static_cast<char16_t>(u'a' + slot)) + u".wav";
      voices.used[slot] = true;
    }
    static constexpr int kKinds[] = {kv::KindPose, kv::KindPose, kv::KindBranch, kv::KindPose,
                                     kv::KindCalcConstant, kv::KindPose, kv::KindCalcVariable, kv::KindLoop};
    for (int i = 0; i < kBlocks; ++i) {
      auto block = std::make_unique<kv::MotionBlock>();
      block->kind = i == 0 ? kv::KindStart : (i == kBlocks - 1 ? kv::KindEnd : kKinds[i % 8]);
      block->name = u"BLOCK " + std::u16string(1, static_cast<char16_t>(u'0' + i % 10));
      block->left = 50 + 150 * (i / 32);
      block->top = 10 + 60 * (i % 32);
      for (int n = 0; n < kv::kSliderCount; ++n) block->pose.values[n] = static_cast<int16_t>(i * 131 - n * 977);
      block->pose.voiceFile = i % 4 == 1 ? std::u16string(voices.files[i % 16]) : u"";
      block->pose.servoMask = 0x15555555u ^ static_cast<uint32_t>(i);
      block->condition = static_cast<uint8_t>(i % 8);
      block->testValue = static_cast<int16_t>(-i);
      blocks.push_back(std::move(block));
    }
    for (int i = 0; i + 1 < kBlocks; ++i) {
      blocks[i]->link[kv::kNextLink] = blocks[i + 1].get();
      if (blocks[i]->kind == kv::KindBranch || blocks[i]->kind == kv::KindLoop)
        blocks[i]->link[kv::kBranchLink] = blocks[i / 2 + 1].get();
    }
    file = std::filesystem::temp_directory_path() / ("kv_bench_motion_" + std::to_string(::getpid()) + ".txt");
  }
  ~Fixture() {
    std::error_code ec;
    std::filesystem::remove(file, ec);
  }

  kv::MotionFileContext context() const {
    return kv::MotionFileContext{.sliders = sliders, .basePoses = basePoses, .fontHeight = -12,
                                 .voice = {.voiceSlider = 61, .voices = &voices}};
  }
};

Fixture& fixture() {
  static Fixture f;
  return f;
}

void BM_SaveMotion256(benchmark::State& state) {
  Fixture& f = fixture();
  for (auto _ : state) {
    bool ok = kv::writeMotionFile(f.file, f.blocks, f.context());
    benchmark::DoNotOptimize(ok);
  }
  state.counters["bytes"] = static_cast<double>(std::filesystem::file_size(f.file));
}
BENCHMARK(BM_SaveMotion256)->Unit(benchmark::kMicrosecond);

void BM_LoadMotion256(benchmark::State& state) {
  Fixture& f = fixture();
  kv::writeMotionFile(f.file, f.blocks, f.context());
  for (auto _ : state) {
    kv::MotionFileRead read = kv::readMotionFile(f.file, f.context());
    if (read.blocks.size() != kBlocks) state.SkipWithError("motion read incompletely");
    benchmark::DoNotOptimize(read.blocks.data());
  }
}
BENCHMARK(BM_LoadMotion256)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
