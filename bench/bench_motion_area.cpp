// The motion area with a 256-block motion full of branches and loops: one
// full repaint of what the area shows, and one block-drag mouse event (with
// and without the repaint it causes).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QMouseEvent>

#include "motion/motion_layout.h"
#include "motion/ui/motion_area.h"

namespace {

constexpr int kBlocks = 256;
constexpr int kRows = 32;

// Start block, then rows of blocks in eight columns. Every eighth block is
// a branch back to the pose three before it, every eighth (offset by five) a
// loop back to the pose five before it, the rest poses and calculations;
// the last block ends the motion.
void buildMotion(kv::EditorState& state) {
  kv::Motion& motion = state.motion;
  std::vector<kv::MotionBlock*> blocks;
  for (int i = 0; i < kBlocks; ++i) {
    int kind = kv::KindPose;
    if (i == 0) kind = kv::KindStart;
    else if (i == kBlocks - 1) kind = kv::KindEnd;
    else if (i % 8 == 3) kind = kv::KindBranch;
    else if (i % 8 == 5) kind = kv::KindLoop;
    else if (i % 8 == 6) kind = kv::KindCalcConstant;
    const kv::Point at{20 + (i / kRows) * 250, 10 + (i % kRows) * 62};
    kv::MotionBlock* block = kv::createBlock(motion, kind, nullptr, at, state.basePoses);
    block->name = kind == kv::KindPose ? u"POSE " + std::u16string(1, static_cast<char16_t>(u'0' + i % 10)) : u"IF";
    block->pose.steps = static_cast<uint16_t>(1 + i % 239);
    block->condition = kv::CondAtOrAbove;
    block->testVar = static_cast<uint8_t>(i);
    block->testValue = static_cast<int16_t>(i);
    block->routeOffset = {6 + i % 20, 16 + i % 30};
    if (!blocks.empty()) blocks.back()->link[kv::kNextLink] = block;
    blocks.push_back(block);
  }
  for (int i = 0; i < kBlocks; ++i) {
    kv::MotionBlock* b = blocks[i];
    if (b->kind == kv::KindBranch) b->link[kv::kBranchLink] = blocks[i - 3 > 0 ? i - 3 : 1];
    if (b->kind == kv::KindLoop) b->link[kv::kBranchLink] = blocks[i - 5 > 0 ? i - 5 : 1];
  }
  motion.currentBlock = blocks[1];
}

struct Bench {
  kv::EditorState state;
  std::unique_ptr<kv::MotionArea> area;

  Bench() {
    buildMotion(state);
    area = std::make_unique<kv::MotionArea>(state);
    state.views.motionChanged = [this] { area->refresh(); };
    area->resize(900, 700);
    area->show();
    QApplication::processEvents();
    area->viewport()->repaint();
  }
};

Bench& bench() {
  static Bench instance;
  return instance;
}

void BM_FullRepaint256Blocks(benchmark::State& st) {
  Bench& b = bench();
  for (auto _ : st) {
    b.area->markLayoutDirty();
    b.area->viewport()->repaint();
  }
}
BENCHMARK(BM_FullRepaint256Blocks)->Unit(benchmark::kMillisecond);

// Presses on a pose block and moves it back and forth by a few pixels.
template <bool withRepaint>
void dragBlock(benchmark::State& st) {
  Bench& b = bench();
  const kv::MotionBlock* block = kv::blockAt(b.state.motion, 9);
  const QPoint grip = b.area->toClient(kv::Point{block->left + 8, block->top + 6});
  QMouseEvent press(QEvent::MouseButtonPress, grip, b.area->viewport()->mapToGlobal(grip), Qt::LeftButton,
                    Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(b.area->viewport(), &press);
  int step = 0;
  for (auto _ : st) {
    const QPointF to = grip + QPoint(step++ % 2 == 0 ? 4 : 0, 0);
    QMouseEvent move(QEvent::MouseMove, to, b.area->viewport()->mapToGlobal(to), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(b.area->viewport(), &move);
    if (withRepaint) b.area->viewport()->repaint();
  }
  QMouseEvent release(QEvent::MouseButtonRelease, grip, b.area->viewport()->mapToGlobal(grip), Qt::LeftButton,
                      Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(b.area->viewport(), &release);
  QApplication::processEvents();
}

void BM_BlockDragEvent(benchmark::State& st) { dragBlock<false>(st); }
BENCHMARK(BM_BlockDragEvent)->Unit(benchmark::kMicrosecond);

void BM_BlockDragEventWithItsRepaint(benchmark::State& st) { dragBlock<true>(st); }
BENCHMARK(BM_BlockDragEventWithItsRepaint)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
