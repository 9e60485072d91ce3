// The zero-length sleep of the polling loops must give the processor up:
// a loop that waits for another thread to free the link, or for the board
// to report a flash state, would otherwise spin a core the whole time.
#include "shell/pacing.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

namespace kv {
namespace {

// How often the calling thread has blocked so far.
long voluntarySwitches() {
  rusage usage{};
  getrusage(RUSAGE_THREAD, &usage);
  return usage.ru_nvcsw;
}

TEST(Pacing, AZeroLengthSleepBlocksInsteadOfReturningAtOnce) {
  setPacingScale(1.0);
  const long before = voluntarySwitches();
  for (int i = 0; i < 20; ++i) sleepMs(0);
  EXPECT_GE(voluntarySwitches() - before, 10);
}

}  // namespace
}  // namespace kv
