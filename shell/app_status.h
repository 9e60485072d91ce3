// The program-wide status word: online, servos on, modified, and the display
// and behaviour switches of the display settings. Worker threads read it.
#pragma once

#include <atomic>
#include <cstdint>

namespace kv {

namespace status {
inline constexpr uint32_t kOnline = 0x1;
inline constexpr uint32_t kServosOn = 0x8;
inline constexpr uint32_t kPoseWallpaper = 0x80;
inline constexpr uint32_t kMotionWallpaper = 0x100;
inline constexpr uint32_t kModified = 0x400;
inline constexpr uint32_t kStatusWindow = 0x2000;
inline constexpr uint32_t kToolbar = 0x4000;
inline constexpr uint32_t kUnknownAxisAsk = 0x8000;
inline constexpr uint32_t kUnknownAxisKeep = 0x10000;
inline constexpr uint32_t kNoCentreBarToggle = 0x20000;
inline constexpr uint32_t kSpaceServoOff = 0x40000;
inline constexpr uint32_t kBasePoseSelectedOnly = 0x80000;
inline constexpr uint32_t kCollectVoiceWarnings = 0x100000;

// The bits the display settings own.
inline constexpr uint32_t kDisplaySettingsBits = kPoseWallpaper | kMotionWallpaper | kStatusWindow | kToolbar |
                                                 kUnknownAxisAsk | kUnknownAxisKeep | kNoCentreBarToggle |
                                                 kSpaceServoOff | kBasePoseSelectedOnly | kCollectVoiceWarnings;
}  // namespace status

class AppStatus {
 public:
  uint32_t bits() const { return bits_.load(); }
  bool has(uint32_t mask) const { return (bits_.load() & mask) != 0; }
  // Returns the bits before the change.
  uint32_t set(uint32_t mask, bool on) { return on ? bits_.fetch_or(mask) : bits_.fetch_and(~mask); }

 private:
  std::atomic<uint32_t> bits_{0};
};

}  // namespace kv
