// The fixture of the end-to-end tests over the board link: marlo-sim in this
// test's private virtual-board folder, a hundred times faster than real
// time with the editor's protocol sleeps scaled to match, and the editor's
// memory access over the link library.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "board_process.h"
#include "linklib/tavlink.h"
#include "session/board_link.h"
#include "session/link_state.h"
#include "session/memory_access.h"
#include "session/memory_map.h"
#include "shell/pacing.h"
#include "support/scripted_answerer.h"
#include "support/temp_dir.h"

namespace kv {

class BoardE2ETest : public ::testing::Test {
 protected:
  static constexpr const char* kTimeScale = "0.01";
  static constexpr double kPacing = 0.01;

  void SetUp() override {
    setenv("TAVLINK_VIRTUAL_DIR", dir_.path().c_str(), 1);
    setPacingScale(kPacing);
  }

  void TearDown() override {
    tavClose();
    if (running_) {
      EXPECT_EQ(board_.stop(), 0) << "marlo-sim did not end cleanly";
    }
    setPacingScale(1.0);
    unsetenv("TAVLINK_VIRTUAL_DIR");
  }

  // Starts the board in this test's folder with the given extra options.
  void startBoard(std::vector<std::string> options = {}) {
    options.insert(options.begin(), {"--socket", "board", "--time-scale", kTimeScale});
    const std::string error = board_.start(options);
    ASSERT_EQ(error, "");
    running_ = true;
    ASSERT_EQ(board_.socketPath(), (dir_.path() / "board").string());
  }

  // Opens the link as the connect thread does and marks the session online.
  bool connect() {
    namespace a = board_addr;
    if (tavOpen(a::kVendorId, a::kProductId, a::kLowestVersion, a::kHighestVersion) != 1) return false;
    state_.online = true;
    state_.communicationError = false;
    return true;
  }

  kv::testing::TempDir dir_;
  kv::testing::ScriptedAnswerer answerer_;
  BoardProcess board_;
  bool running_ = false;
  TavBoardLink link_;
  LinkState state_;
  MemoryAccess access_{link_, state_};
};

}  // namespace kv
