// What the status window shows, as lines of text at fixed heights and a
// voltage bar: the robot and the board's last error, the battery against its
// thresholds, whether a motion plays, and the controller's state.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "session/memory_access.h"

namespace kv {

// Everything the window reads on a tick.
struct StatusInput {
  LiveSnapshot snapshot;
  bool communicationError = false;
  bool playing = false;
  std::u16string robotName;
  uint16_t errorCode = 0;
  uint32_t errorAddress = 0;
  uint16_t alarmVoltage = 0;     // mV
  uint16_t shutdownVoltage = 0;  // mV
};

struct StatusLine {
  int y = 0;
  std::u16string text;
};

enum class BatteryLevel { Good, Alarm, Shutdown };

struct StatusPicture {
  std::vector<StatusLine> lines;
  bool showBar = false;
  int barWidth = 0;  // 0..400, the bar runs from x 20 to 20 + width, y 40 to 64
  BatteryLevel level = BatteryLevel::Good;
  int alarmX = 0;     // the threshold marks, at most 420
  int shutdownX = 0;
};

inline constexpr int kStatusBarLeft = 20;
inline constexpr int kStatusBarTop = 40;
inline constexpr int kStatusBarBottom = 64;
inline constexpr int kStatusBarMaxWidth = 400;

StatusPicture statusPicture(const StatusInput& input);

}  // namespace kv
