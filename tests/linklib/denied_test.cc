// Opening when the system lists a USB board that cannot be opened: the link
// library must not fall back to a virtual board that happens to run.
#include <gtest/gtest.h>
#include <stdlib.h>

#include "fake_board.h"
#include "tavlink.h"

namespace {

using tavtest::FakeBoard;

class DeniedBoard : public ::testing::Test {
 protected:
  void SetUp() override { setenv("TAVLINK_VIRTUAL_DIR", folder_.path().c_str(), 1); }
  void TearDown() override {
    tavClose();
    unsetenv("TAVTEST_LISTED_BOARD");
  }
  static int open() {
    return tavOpen(tavtest::kTestVendor, tavtest::kTestProduct, tavtest::kTestLowest, tavtest::kTestHighest);
  }

  tavtest::TempFolder folder_;
  FakeBoard virtualBoard_{folder_.path() + "/board.sock"};
};

TEST_F(DeniedBoard, AListedBoardThatCannotBeOpenedIsNotReplacedByAVirtualOne) {
  setenv("TAVTEST_LISTED_BOARD", "1962:1000:fe01", 1);
  EXPECT_EQ(open(), 0);
  EXPECT_EQ(tavOpenError(), TAV_OPEN_DENIED);
  EXPECT_EQ(tavCheckAlive(), 0);
}

TEST_F(DeniedBoard, OnlyAMatchingListedBoardStopsTheSearch) {
  setenv("TAVTEST_LISTED_BOARD", "1962:1000:0100", 1);  // outside the version range
  ASSERT_EQ(open(), 1);
  EXPECT_EQ(tavOpenError(), TAV_OPEN_NOT_FOUND);
  EXPECT_TRUE(virtualBoard_.waitConnected());

  // Nothing at all to open is told apart from a board that refuses.
  virtualBoard_.stop();
  unsetenv("TAVTEST_LISTED_BOARD");
  EXPECT_EQ(open(), 0);
  EXPECT_EQ(tavOpenError(), TAV_OPEN_NOT_FOUND);
}

}  // namespace
