// The display settings of a project ("medit_sys.ini"): toolbar buttons, the
// status window, behaviour switches, the motion area's colours, font and
// grid, background images, the twelve skin images and two serial-port values.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>

#include "display/logical_font.h"
#include "shell/app_status.h"

namespace kv {

inline constexpr int kToolbarButtonCount = 26;
inline constexpr int kSkinSlotCount = 12;

// Skin slots in file order.
enum SkinSlot : int {
  SkinPoseBackground = 0,
  SkinPoseSlider = 1,
  SkinPoseKnob = 2,
  SkinPoseSpin = 3,
  SkinPoseReferenceMark = 4,
  SkinPoseKnobShadow = 5,
  SkinPoseCheckBox = 6,
  SkinMotionSlider = 7,
  SkinMotionKnob = 8,
  SkinMotionSpin = 9,
  SkinMotionDigits = 10,
  SkinMotionSignal = 11,
};

struct SkinFile {
  int32_t baseFlag = 0;      // 1: path relative to the project folder, 0: to the program folder
  std::u16string path;       // at most 259 units
  std::filesystem::path fullPath;
  bool loaded = false;
};

// Motion area colours, in file order.
struct MotionAreaColours {
  Colour background = 0xFFC8C8;
  Colour poseBlock = 0xFFFFB3;
  Colour blockLines = 0x000000;
  Colour text = 0x800000;
  Colour selectedArrow = 0xC000C0;
  Colour normalFlow = 0xFF0000;
  Colour branchFlow = 0x0000FF;
  Colour calculationBlock = 0xB3FFFF;
  Colour branchBlock = 0xFFB3FF;
  Colour startBlock = 0xB3FFB3;  // edited in the dialog, not stored in the file
  bool operator==(const MotionAreaColours&) const = default;
};

LogicalFont defaultMotionAreaFont();

struct DisplaySettings {
  std::array<bool, kToolbarButtonCount> toolbarButtons{};
  int32_t statusWindowX = 0;
  int32_t statusWindowY = 0;
  MotionAreaColours colours;
  LogicalFont motionAreaFont = defaultMotionAreaFont();
  int32_t gridX = 10;  // 0: no snapping
  int32_t gridY = 10;
  std::array<SkinFile, kSkinSlotCount> skins{};
  int32_t serialPort = 0;
  int32_t serialTimeout = 0;
};

inline constexpr char16_t kDisplaySettingsName[] = u"medit_sys.ini";

// Loads skin images for the display settings reader; the GUI loads pictures,
// tests count calls.
class SkinImageLoader {
 public:
  virtual ~SkinImageLoader() = default;
  // Loads the image of `slot` from `file`; false when it cannot be read.
  virtual bool loadSkinImage(int slot, const std::filesystem::path& file) = 0;
};

// Folders that skin paths are relative to.
struct SkinFolders {
  std::filesystem::path project;
  std::filesystem::path program;
};

// Reads the display settings into `settings` and the display bits of
// `status`. Each skin line loads its image through `images` (when given);
// a failed image shows 40129, and at the end 40011 and/or 40309 tell that
// images are missing. False when the file cannot be opened (the defaults are
// then set).
bool loadDisplaySettings(const std::filesystem::path& file, DisplaySettings& settings, AppStatus& status,
                         const SkinFolders& folders, SkinImageLoader* images);
bool saveDisplaySettings(const std::filesystem::path& file, const DisplaySettings& settings, const AppStatus& status);

// The full path of a skin file, resolved against its base folder.
std::filesystem::path skinFullPath(const SkinFile& skin, const SkinFolders& folders);

}  // namespace kv
