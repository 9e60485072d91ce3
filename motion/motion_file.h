// Motion files: the current format "POSEDEF_V1R4" (read and written) and the
// older pose list "POSEDEF_WORD_N" (read only). The readers build a new block
// list and never touch the edited motion, so the ROM image builder reads
// motion files with the same functions.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "motion/motion_block.h"

namespace kv {

class TextFile;
struct SliderTable;
struct BasePoseTable;

using BlockList = std::vector<std::unique_ptr<MotionBlock>>;

inline constexpr int kVoiceSlotCount = 256;
inline constexpr int kNoVoiceSlider = kSliderCount;  // a voice variable of 62 or more names no slider
inline constexpr size_t kVoiceFileFieldSize = 261;   // at most 260 units

// The voice table of the mode-switch map: slot n has voice number n + 1.
class VoiceLookup {
 public:
  virtual ~VoiceLookup() = default;
  virtual std::u16string_view voiceFile(int slot) const = 0;  // empty: free slot
  virtual bool voiceUsed(int slot) const = 0;                 // written to the board
};

// A voice table held by value.
struct VoiceTable : VoiceLookup {
  std::array<std::u16string, kVoiceSlotCount> files{};
  std::array<bool, kVoiceSlotCount> used{};
  std::u16string_view voiceFile(int slot) const override { return files[slot]; }
  bool voiceUsed(int slot) const override { return used[slot]; }
};

struct VoiceSettings {
  int voiceSlider = kNoVoiceSlider;     // the CPU settings' voice variable
  const VoiceLookup* voices = nullptr;  // none: voice files are kept as read, neither checked nor numbered

  bool hasVoiceSlider() const { return voiceSlider >= 0 && voiceSlider < kSliderCount; }
};

// What reading and writing need from the project.
struct MotionFileContext {
  const SliderTable& sliders;
  const BasePoseTable& basePoses;
  uint32_t statusBits = 0;       // the unknown-axis choice and the voice-warning switch
  int fontHeight = 0;            // motion-area font height (logical, may be negative)
  bool motionAreaDrawn = false;  // the edited motion has been laid out (older-format row pitch)
  VoiceSettings voice;
};

enum class MotionFileStatus {
  CannotOpen,   // nothing is reported
  NoFormat,     // the first line lacks "_MOTION_FORMAT:" (string 40066)
  Unsupported,  // a format this program does not read (string 40131)
  Read,
};

enum class MotionFormat { WordN, V1R4 };

// Reads the first line of an open file: Read with `format` set, NoFormat or
// Unsupported.
MotionFileStatus readMotionFormat(TextFile* file, MotionFormat& format);

// The rest of an open file whose format line has been consumed. `path` is
// shown in the warnings. The start block comes first; a file without block
// lines gives an empty list.
BlockList readMotionV1R4(TextFile* file, const std::filesystem::path& path, const MotionFileContext& context);
BlockList readMotionWordN(TextFile* file, const std::filesystem::path& path, const MotionFileContext& context);

struct MotionFileRead {
  MotionFileStatus status = MotionFileStatus::CannotOpen;
  BlockList blocks;
};

// Opens, detects and reads a motion file. Shows only the warnings of reading
// (unknown axes, voices), not the format messages.
MotionFileRead readMotionFile(const std::filesystem::path& path, const MotionFileContext& context);

// Shows 40066 or 40131 for a refused file; false for every status but Read.
bool reportMotionFileStatus(MotionFileStatus status);

// Writes the blocks in format "POSEDEF_V1R4". The file is first written
// beside the target and then put in its place, so a failed write leaves the
// old file as it was. False when anything could not be written.
bool writeMotionFile(const std::filesystem::path& path, const BlockList& blocks, const MotionFileContext& context);

}  // namespace kv
