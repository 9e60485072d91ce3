#include "session/link_state.h"

#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <thread>
#include <vector>

namespace kv {
namespace {

TEST(LinkReadTag, CyclesThroughThirtyTwoTagsThatAreNeverZeroOrTheWriteMarker) {
  LinkState state;
  EXPECT_EQ(state.readTag(), 1);
  EXPECT_EQ(state.advanceReadTag(), 9);
  std::set<int> seen{9};
  for (int i = 1; i < 32; ++i) {
    const int tag = state.advanceReadTag();
    EXPECT_EQ(tag % 8, 1);
    EXPECT_NE(tag, 0);
    EXPECT_NE(tag, 0x55);
    seen.insert(tag);
  }
  EXPECT_EQ(seen.size(), 32u);
  EXPECT_EQ(state.readTag(), 1);  // wrapped back to the start after 32 reads
  EXPECT_EQ(state.advanceReadTag(), 9);
}

TEST(LinkHoldTest, TakesTheLinkOnceAndReleasesItOnEveryWayOut) {
  LinkState state;
  {
    LinkHold first(state);
    ASSERT_TRUE(first.held());
    LinkHold second(state);
    EXPECT_FALSE(second.held());
    LinkHold moved(std::move(first));
    EXPECT_TRUE(moved.held());
    EXPECT_FALSE(first.held());
    EXPECT_TRUE(state.linkBusy.load());
  }
  EXPECT_FALSE(state.linkBusy.load());

  // A hold that did not get the link must not free another thread's link.
  ASSERT_TRUE(state.tryTakeLink());
  { LinkHold refused(state); }
  EXPECT_TRUE(state.linkBusy.load());
}

TEST(LinkHoldTest, ConcurrentTakersNeverHoldTheLinkTogether) {
  LinkState state;
  std::atomic<int> holders{0};
  std::atomic<int> overlaps{0};
  std::atomic<int> taken{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 5000; ++i) {
        LinkHold hold(state);
        if (!hold) continue;
        if (holders.fetch_add(1) != 0) overlaps.fetch_add(1);
        taken.fetch_add(1);
        holders.fetch_sub(1);
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(overlaps.load(), 0);
  EXPECT_GT(taken.load(), 0);
  EXPECT_FALSE(state.linkBusy.load());
}

}  // namespace
}  // namespace kv
