#include "shell/pacing.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace kv {
namespace {
std::atomic<double> scaleFactor{1.0};
}

void sleepMs(int ms) {
  if (ms <= 0) return;
  double scaled = ms * scaleFactor.load();
  if (scaled <= 0.0) {
    std::this_thread::yield();
    return;
  }
  std::this_thread::sleep_for(std::chrono::duration<double, std::milli>(scaled));
}

void setPacingScale(double scale) { scaleFactor = scale < 0.0 ? 0.0 : scale; }

double pacingScale() { return scaleFactor.load(); }

}  // namespace kv
