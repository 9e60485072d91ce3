#include "display/display_settings.h"

#include <system_error>

#include "shell/folders.h"
#include "shell/messages.h"
#include "shell/text_encoding.h"
#include "shell/textfile.h"

namespace kv {
namespace fs = std::filesystem;

namespace {

constexpr int kSkinLoadFailedString = 40129;
constexpr int kSkinsIncompleteString = 40309;
constexpr int kSkinsMissingString = 40011;
constexpr int kRequiredSkinImages = 12;

// Sets or clears one display bit from a "0/1" field.
void applyBit(AppStatus& status, uint32_t bit, int value) { status.set(bit, value != 0); }

std::u16string toolbarList(const DisplaySettings& settings) {
  std::u16string list;
  for (int i = 0; i < kToolbarButtonCount; ++i) {
    if (!settings.toolbarButtons[i]) continue;
    if (!list.empty()) list += u',';
    list += formatted(u"%d", {i});
  }
  return list;
}

void readToolbarList(std::u16string_view list, DisplaySettings& settings) {
  size_t pos = 0;
  while (pos <= list.size()) {
    size_t comma = list.find(u',', pos);
    std::u16string_view item = list.substr(pos, comma == std::u16string_view::npos ? list.npos : comma - pos);
    bool hasDigit = item.find_first_of(u"0123456789") != std::u16string_view::npos;
    int index = parseDecimal(item);
    if (hasDigit && index >= 0 && index < kToolbarButtonCount) settings.toolbarButtons[index] = true;
    if (comma == std::u16string_view::npos) break;
    pos = comma + 1;
  }
}

bool fileExists(const fs::path& path) {
  std::error_code ec;
  return fs::is_regular_file(path, ec);
}

}  // namespace

LogicalFont defaultMotionAreaFont() {
  LogicalFont font;
  font.height = -12;
  font.weight = 700;
  font.charSet = 128;
  font.outPrecision = 3;
  font.clipPrecision = 2;
  font.quality = 1;
  font.pitchAndFamily = 0x31;
  font.faceName = u"MS UI Gothic";
  return font;
}

fs::path skinFullPath(const SkinFile& skin, const SkinFolders& folders) {
  return resolveFileName(skin.baseFlag == 1 ? folders.project : folders.program, skin.path);
}

bool loadDisplaySettings(const fs::path& file, DisplaySettings& settings, AppStatus& status,
                         const SkinFolders& folders, SkinImageLoader* images) {
  status.set(status::kDisplaySettingsBits, false);
  settings.toolbarButtons.fill(false);
  settings.skins.fill(SkinFile{});
  settings.colours = MotionAreaColours{};
  settings.motionAreaFont = defaultMotionAreaFont();
  settings.gridX = settings.gridY = 10;

  // A check box image beside the program replaces slot 6 of projects that
  // predate it (recognised by having no colour, grid or font line before it).
  const fs::path checkBoxImage = resolveFileName(folders.program, u"me_image\\checkbtn_.bmp");
  bool sawLookLine = false;
  int loadedImages = 0;
  bool anyFailed = false;

  bool opened = readTaggedFile(file, kDefaultLineCapacity, [&](std::u16string_view line) {
    if (Cursor at = findKey(line, u"_TOOLBAR_ENABLE:")) {
      FieldReader fields(line, at);
      applyBit(status, status::kToolbar, fields.decimal());
      readToolbarList(fields.value(), settings);
    }
    if (Cursor at = findKey(line, u"_STATUSWINDOW_ENABLE:")) {
      FieldReader fields(line, at);
      applyBit(status, status::kStatusWindow, fields.decimal());
      settings.statusWindowX = fields.decimal();
      settings.statusWindowY = fields.decimal();
    }
    if (Cursor at = findKey(line, u"_UNKNOWNAXIS_PARAMLOAD:")) {
      int choice = FieldReader(line, at).decimal();
      status.set(status::kUnknownAxisAsk | status::kUnknownAxisKeep, false);
      if (choice == 1)
        status.set(status::kUnknownAxisKeep, true);
      else if (choice == 2)
        status.set(status::kUnknownAxisAsk | status::kUnknownAxisKeep, true);
      else
        status.set(status::kUnknownAxisAsk, true);
    }
    if (Cursor at = findKey(line, u"_DOUBLECLK_LINEMOV:"))
      applyBit(status, status::kNoCentreBarToggle, FieldReader(line, at).decimal());
    if (Cursor at = findKey(line, u"_SPACE_GAINOFF_FLAG:"))
      applyBit(status, status::kSpaceServoOff, FieldReader(line, at).decimal());
    if (Cursor at = findKey(line, u"_INIPOSSEL:"))
      applyBit(status, status::kBasePoseSelectedOnly, FieldReader(line, at).decimal());
    if (Cursor at = findKey(line, u"_VOICE_ERRORMES_FLG:"))
      applyBit(status, status::kCollectVoiceWarnings, FieldReader(line, at).decimal());
    if (Cursor at = findKey(line, u"MOTAREA_COLOR:")) {
      FieldReader fields(line, at);
      MotionAreaColours& c = settings.colours;
      for (Colour* colour : {&c.background, &c.poseBlock, &c.blockLines, &c.text, &c.selectedArrow,
                             &c.normalFlow, &c.branchFlow, &c.calculationBlock, &c.branchBlock})
        *colour = static_cast<Colour>(fields.decimal());
      sawLookLine = true;
    }
    if (Cursor at = findKey(line, u"MOTAREA_FONT:")) {
      FieldReader fields(line, at);
      readFontMetrics(fields, settings.motionAreaFont);
      readFontStyle(fields, settings.motionAreaFont);
      sawLookLine = true;
    }
    if (Cursor at = findKey(line, u"MOTAREA_GRID:")) {
      FieldReader fields(line, at);
      // Kept non-negative; 0 stays and means "no snapping".
      settings.gridX = std::max(0, fields.decimal());
      settings.gridY = std::max(0, fields.decimal());
      sawLookLine = true;
    }
    if (Cursor at = findKey(line, u"_WALLPAPER_ENABLE:")) {
      FieldReader fields(line, at);
      applyBit(status, status::kPoseWallpaper, fields.decimal());
      applyBit(status, status::kMotionWallpaper, fields.decimal());
    }
    if (Cursor at = findKey(line, u"_SKINDATA_FILEPATH:")) {
      FieldReader fields(line, at);
      int slot = fields.decimal();
      int baseFlag = fields.decimal();
      std::u16string path = fitField(fields.text(), kPathFieldSize);
      if (slot >= 0 && slot < kSkinSlotCount) {
        SkinFile& skin = settings.skins[slot];
        skin.baseFlag = baseFlag;
        skin.path = path;
        if (!sawLookLine && slot == SkinPoseCheckBox && fileExists(checkBoxImage)) {
          skin.baseFlag = 0;
          skin.path = u"me_image\\checkbtn_.bmp";
        }
        skin.fullPath = skinFullPath(skin, folders);
        if (images) {
          skin.loaded = images->loadSkinImage(slot, skin.fullPath);
          if (skin.loaded) {
            ++loadedImages;
          } else {
            anyFailed = true;
            showMessage(kSkinLoadFailedString, MessageIcon::Error, MessageButtons::Ok, {fromPath(skin.fullPath)});
          }
        }
      }
    }
    if (Cursor at = findKey(line, u"COMPORT:")) settings.serialPort = FieldReader(line, at).decimal();
    if (Cursor at = findKey(line, u"COMTIMEOUT:")) settings.serialTimeout = FieldReader(line, at).decimal();
  });
  if (!opened) return false;

  if (images) {
    if (loadedImages >= kRequiredSkinImages) {
      if (anyFailed) showMessage(kSkinsIncompleteString, MessageIcon::Warning, MessageButtons::Ok);
    } else {
      showMessage(kSkinsMissingString, MessageIcon::Error, MessageButtons::Ok);
      showMessage(kSkinsIncompleteString, MessageIcon::Warning, MessageButtons::Ok);
    }
  }
  return true;
}

bool saveDisplaySettings(const fs::path& file, const DisplaySettings& settings, const AppStatus& status) {
  auto bit = [&status](uint32_t mask) { return status.has(mask) ? 1 : 0; };
  int unknownAxis = 2;
  bool ask = status.has(status::kUnknownAxisAsk);
  bool keep = status.has(status::kUnknownAxisKeep);
  if (ask && !keep) unknownAxis = 0;
  if (keep && !ask) unknownAxis = 1;

  TaggedFileWriter out(file);
  out.line(u"_TOOLBAR_ENABLE:[%d]-[%s]\n", {bit(status::kToolbar), toolbarList(settings)});
  out.line(u"_STATUSWINDOW_ENABLE:[%d]-[%d]-[%d]\n",
           {bit(status::kStatusWindow), settings.statusWindowX, settings.statusWindowY});
  out.line(u"_UNKNOWNAXIS_PARAMLOAD:[%d]\n", {unknownAxis});
  out.line(u"_DOUBLECLK_LINEMOV:[%d]\n", {bit(status::kNoCentreBarToggle)});
  out.line(u"_SPACE_GAINOFF_FLAG:[%d]\n", {bit(status::kSpaceServoOff)});
  out.line(u"_INIPOSSEL:[%d]\n", {bit(status::kBasePoseSelectedOnly)});
  out.line(u"_VOICE_ERRORMES_FLG:[%d]\n", {bit(status::kCollectVoiceWarnings)});
  const MotionAreaColours& c = settings.colours;
  out.line(u"MOTAREA_COLOR:[%d]-[%d]-[%d]-[%d]-[%d]-[%d]-[%d]-[%d]-[%d]\n",
           {c.background, c.poseBlock, c.blockLines, c.text, c.selectedArrow, c.normalFlow, c.branchFlow,
            c.calculationBlock, c.branchBlock});
  const LogicalFont& f = settings.motionAreaFont;
  out.line(u"MOTAREA_FONT:[%d]-[%d]-[%d]-[%d]-[%d]-[%d]-[%d]-[%d]-[%d]-[%d]-[[%s]]\n\n",
           {f.height, f.width, f.orientation, f.quality, f.pitchAndFamily, f.charSet, f.outPrecision,
            f.clipPrecision, f.weight, f.styleBits(), f.faceName});
  // The grid and wallpaper share one line.
  out.line(u"MOTAREA_GRID:[%d]-[%d]", {settings.gridX, settings.gridY});
  out.line(u"_WALLPAPER_ENABLE:[%d]-[%d]\n\n", {bit(status::kPoseWallpaper), bit(status::kMotionWallpaper)});
  for (int slot = 0; slot < kSkinSlotCount; ++slot)
    out.line(u"_SKINDATA_FILEPATH:[%d]-[%d]-[[%s]]\n\n",
             {slot, settings.skins[slot].baseFlag, settings.skins[slot].path});
  out.line(u"COMPORT:[%d]\n", {settings.serialPort});
  out.line(u"COMTIMEOUT:[%d]\n", {settings.serialTimeout});
  return out.finish();
}

}  // namespace kv
