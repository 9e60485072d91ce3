#include "shell/pacing.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace kv {
namespace {
std::atomic<double> scaleFactor{1.0};

// A zero-length sleep: the loops that wait for another thread or for the
// board poll with it, so it must give the processor up. A bare yield
// returns at once when no other thread is ready, and the loop would then
// spin a core; this short sleep blocks, and is still far below any pause
// of the board protocol.
constexpr double kYieldMs = 0.1;
}  // namespace

void sleepMs(int ms) {
  double scaled = (ms <= 0 ? kYieldMs : ms) * scaleFactor.load();
  if (scaled <= 0.0) {
    std::this_thread::yield();
    return;
  }
  std::this_thread::sleep_for(std::chrono::duration<double, std::milli>(scaled));
}

void setPacingScale(double scale) { scaleFactor = scale < 0.0 ? 0.0 : scale; }

double pacingScale() { return scaleFactor.load(); }

}  // namespace kv
