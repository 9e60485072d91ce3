#include "board/servo_correction.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "pose/show_pose.h"
#include "shell/editor_state.h"
#include "support/scripted_answerer.h"

namespace kv {
namespace {

using testing::ScriptedAnswerer;

TEST(ServoCorrection, BasesMoveByThePositionDifferenceAndStayInRange) {
  CpuSettings settings;
  // Output 0: x = v[0] + 512 x v[1] / 256 x v[2] / 256 within ±1000, half the PWM coefficient.
  ServoRecord& term = settings.servos[0];
  term.variableA = 0;
  term.term1Va = 1;
  term.term1Vb = 2;
  term.term1Coefficient = 512;
  term.coefficient = 16384;
  term.lowerLimit = -1000;
  term.upperLimit = 1000;
  term.base = 30000;
  // Outputs 1 and 2 follow v[3] at full scale, up and down, near the ends of the base's range.
  ServoRecord& up = settings.servos[1];
  up.variableA = 3;
  up.coefficient = 32767;
  up.lowerLimit = -32768;
  up.upperLimit = 32767;
  up.base = 65000;
  ServoRecord& down = settings.servos[2];
  down = up;
  down.coefficient = -32768;
  down.base = 100;
  // Output 3 reads a variable beyond the pose sliders.
  ServoRecord& outside = settings.servos[3];
  outside.variableA = 200;
  outside.coefficient = 32767;
  outside.upperLimit = 100;
  outside.base = 500;

  SliderValues board{};
  board[0] = 100;
  board[1] = 256;
  board[2] = 512;  // 100 + 1024, held at 1000
  board[3] = 2000;
  SliderValues basePose{};
  basePose[0] = -301;  // -301 x 16384 / 32768 is -150 toward zero

  correctServoBases(settings, board, basePose);
  EXPECT_EQ(term.base, 30000 + 500 + 150);
  EXPECT_EQ(up.base, 65535);  // 65000 + 1999 does not wrap to 1463
  EXPECT_EQ(down.base, 0);    // 100 - 2000 does not wrap either
  EXPECT_EQ(outside.base, 500);
}

// An editor with one pose block, an active base pose and a board that
// answers as the test says. (The whole command against the virtual board is
// in the session's end-to-end tests.)
struct Correction {
  ScriptedAnswerer answers;
  EditorState state;
  bool connected = true;
  bool powerWorks = true;
  bool applyWorks = true;
  std::vector<int> powerCalls;
  std::vector<CpuSettings> applied;
  ServoCorrectionLink link;
  SliderValues board{};

  Correction() {
    for (PoseSlider& s : state.sliders.sliders) {
      s.lowerLimit = -2000;
      s.upperLimit = 2000;
    }
    auto block = std::make_unique<MotionBlock>();
    state.motion.currentBlock = block.get();
    state.motion.blocks.push_back(std::move(block));
    BasePose& stand = state.basePoses.entries[0];
    stand.valid = true;
    stand.sliderEnabled.fill(true);
    stand.values[0] = 40;
    state.cpuSettings.servos[0].coefficient = 32767;
    state.cpuSettings.servos[0].upperLimit = 1000;
    state.cpuSettings.servos[0].base = 7500;
    board[0] = 300;

    link.connected = [this] { return connected; };
    link.boardValues = [this] { return std::optional<SliderValues>(board); };
    link.setServoPower = [this](int on) {
      powerCalls.push_back(on);
      if (powerWorks) state.status.set(status::kServosOn, on != 0);
      return powerWorks;
    };
    link.applySettingsToRam = [this](const CpuSettings& s) {
      applied.push_back(s);
      return applyWorks;
    };
  }
};

TEST(ServoCorrection, CommandStopsOrReportsFailureWithoutClaimingSuccess) {
  {
    Correction offline;
    offline.connected = false;
    EXPECT_FALSE(servoPositionCorrection(offline.state, offline.link));
    EXPECT_EQ(offline.answers.shownIds(), std::vector<int>{40006});
  }
  {
    Correction noBasePose;
    noBasePose.state.basePoses.entries[0].valid = false;
    EXPECT_FALSE(servoPositionCorrection(noBasePose.state, noBasePose.link));
    EXPECT_EQ(noBasePose.answers.shownIds(), std::vector<int>{40141});
  }
  {
    Correction declined;  // the cautious answer to 40036 is No
    EXPECT_FALSE(servoPositionCorrection(declined.state, declined.link));
    EXPECT_TRUE(declined.applied.empty());
    EXPECT_EQ(declined.state.cpuSettings.servos[0].base, 7500);
  }
  {
    Correction powerFails;
    powerFails.state.status.set(status::kServosOn, true);
    powerFails.powerWorks = false;
    powerFails.answers.answerNext(MessageAnswer::Yes);
    EXPECT_FALSE(servoPositionCorrection(powerFails.state, powerFails.link));
    EXPECT_TRUE(powerFails.applied.empty());
    EXPECT_EQ(powerFails.state.cpuSettings.servos[0].base, 7500);
  }
  {
    Correction writeFails;
    writeFails.applyWorks = false;
    writeFails.answers.answerNext(MessageAnswer::Yes);
    EXPECT_FALSE(servoPositionCorrection(writeFails.state, writeFails.link));
    EXPECT_EQ(writeFails.answers.shownIds(), (std::vector<int>{40036, 40272}));
    EXPECT_EQ(writeFails.state.cpuSettings.servos[0].base, 7500);  // the record stays with the board
    EXPECT_TRUE(writeFails.powerCalls.empty());  // the servos were off
  }
}

}  // namespace
}  // namespace kv
