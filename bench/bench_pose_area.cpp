// The pose area with 62 sliders of the demo robot's skins: one full repaint,
// and one knob-drag mouse event up to the pose handed to the live output.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QMouseEvent>

#include "display/ui/skin_images.h"
#include "pose/show_pose.h"
#include "pose/ui/pose_area.h"
#include "shell/startup.h"

namespace {

struct Bench {
  kv::EditorState state;
  kv::SkinImages skins;
  std::unique_ptr<kv::PoseArea> area;
  int liveCount = 0;

  Bench() {
    kv::loadAll(state, std::filesystem::path(KV_DEMO_PROJECT_DIR) / "temp.rpj", true,
                kv::defaultProjectLoaders(&skins));
    // All 62 sliders on, in four columns.
    for (int i = 0; i < kv::kSliderCount; ++i) {
      kv::PoseSlider& s = state.sliders.sliders[i];
      s.behaviourFlags = kv::kShowSliderName;
      s.x = 60 + (i % 4) * 230;
      s.y = 10 + (i / 4) * 40;
      s.lowerLimit = -1000;
      s.upperLimit = 1000;
      s.stepResolution = 10;
      s.name = u"関節";
      s.lowerText = u"後";
      s.upperText = u"前";
    }
    if (!state.motion.currentBlock) {
      auto block = std::make_unique<kv::MotionBlock>();
      state.motion.currentBlock = block.get();
      state.motion.blocks.push_back(std::move(block));
    }
    state.views.livePose = [this](const kv::PoseValues&, int) { ++liveCount; };
    area = std::make_unique<kv::PoseArea>(state, skins);
    area->resize(940, 660);
    area->show();
    QApplication::processEvents();
  }
};

Bench& bench() {
  static Bench instance;
  return instance;
}

void BM_FullRepaint62Sliders(benchmark::State& st) {
  Bench& b = bench();
  for (auto _ : st) {
    b.area->markLayoutDirty();
    b.area->repaint();
  }
}
BENCHMARK(BM_FullRepaint62Sliders)->Unit(benchmark::kMillisecond);

void BM_KnobDragEventToLivePose(benchmark::State& st) {
  Bench& b = bench();
  kv::SliderGeometry g = kv::layoutSlider(5, b.state.sliders.sliders[5], kv::currentPose(b.state).values[5],
                                          b.area->skinMetrics());
  QPoint knob(g.knob.left + g.knob.width / 2, g.knob.top + g.knob.height / 2);
  QMouseEvent press(QEvent::MouseButtonPress, knob, b.area->mapToGlobal(knob), Qt::LeftButton, Qt::LeftButton,
                    Qt::NoModifier);
  QApplication::sendEvent(b.area.get(), &press);
  int step = 0;
  for (auto _ : st) {
    QPointF to(g.bar.left + 5 + (step++ % 80), knob.y());
    QMouseEvent move(QEvent::MouseMove, to, b.area->mapToGlobal(to), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(b.area.get(), &move);
  }
  st.counters["live poses"] = b.liveCount;
  QMouseEvent release(QEvent::MouseButtonRelease, knob, b.area->mapToGlobal(knob), Qt::LeftButton, Qt::NoButton,
                      Qt::NoModifier);
  QApplication::sendEvent(b.area.get(), &release);
}
BENCHMARK(BM_KnobDragEventToLivePose)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
