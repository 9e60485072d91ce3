#include "display/display_settings.h"

#include <gtest/gtest.h>

#include <set>

#include "shell/text_encoding.h"
#include "support/scripted_answerer.h"
#include "support/temp_dir.h"

namespace kv {
namespace {

using testing::ScriptedAnswerer;
using testing::TempDir;
using testing::utf16File;
using testing::writeBytes;

// Loads an "image" when the file exists; records what it was asked for.
class FakeImages : public SkinImageLoader {
 public:
  bool loadSkinImage(int slot, const std::filesystem::path& file) override {
    requested.push_back({slot, file});
    return std::filesystem::exists(file);
  }
  std::vector<std::pair<int, std::filesystem::path>> requested;
};

std::u16string skinLines(int count, const std::u16string& folder = u"skin") {
  std::u16string lines;
  for (int slot = 0; slot < count; ++slot)
    lines += u"_SKINDATA_FILEPATH:[" + utf8ToUtf16(std::to_string(slot)) + u"]-[1]-[[" + folder + u"\\s" +
             utf8ToUtf16(std::to_string(slot)) + u".bmp]]\r\n";
  return lines;
}

void makeSkinFiles(const TempDir& dir, int count) {
  for (int slot = 0; slot < count; ++slot) writeBytes(dir / ("skin/s" + std::to_string(slot) + ".bmp"), "BM");
}

TEST(DisplaySettingsFile, WriteThenReadReproducesEveryValue) {
  TempDir dir;
  DisplaySettings settings;
  settings.toolbarButtons[0] = settings.toolbarButtons[5] = settings.toolbarButtons[25] = true;
  settings.statusWindowX = 900;
  settings.statusWindowY = -20;
  settings.colours.background = 0x123456;
  settings.colours.branchBlock = 0xABCDEF;
  settings.motionAreaFont.height = -15;
  settings.motionAreaFont.escapement = settings.motionAreaFont.orientation = 900;
  settings.motionAreaFont.setStyleBits(5);
  settings.motionAreaFont.faceName = u"ＭＳ ゴシック";
  settings.gridX = 0;
  settings.gridY = 16;
  settings.skins[3] = {1, u"skin\\spin.bmp", {}, false};
  settings.skins[11] = {0, u"me_image\\signal.bmp", {}, false};
  settings.serialPort = 7;
  settings.serialTimeout = 500;
  AppStatus status;
  status.set(status::kToolbar | status::kMotionWallpaper | status::kUnknownAxisKeep | status::kSpaceServoOff |
                 status::kCollectVoiceWarnings | status::kOnline,
             true);
  ASSERT_TRUE(saveDisplaySettings(dir / "medit_sys.ini", settings, status));

  DisplaySettings read;
  read.gridX = 3;
  AppStatus readStatus;
  readStatus.set(status::kOnline | status::kPoseWallpaper | status::kStatusWindow, true);
  ASSERT_TRUE(loadDisplaySettings(dir / "medit_sys.ini", read, readStatus, {dir.path(), dir.path()}, nullptr));
  EXPECT_EQ(read.toolbarButtons, settings.toolbarButtons);
  EXPECT_EQ(read.statusWindowX, 900);
  EXPECT_EQ(read.statusWindowY, -20);
  EXPECT_EQ(read.colours, settings.colours);
  EXPECT_EQ(read.motionAreaFont, settings.motionAreaFont);
  EXPECT_EQ(read.gridX, 0);
  EXPECT_EQ(read.gridY, 16);
  for (int slot = 0; slot < kSkinSlotCount; ++slot) {
    EXPECT_EQ(read.skins[slot].baseFlag, settings.skins[slot].baseFlag) << slot;
    EXPECT_EQ(read.skins[slot].path, settings.skins[slot].path) << slot;
  }
  EXPECT_EQ(read.skins[3].fullPath, dir / "skin/spin.bmp");
  EXPECT_EQ(read.serialPort, 7);
  EXPECT_EQ(read.serialTimeout, 500);
  // Display bits follow the file; bits of other owners stay.
  EXPECT_EQ(readStatus.bits(), status.bits());
}

TEST(DisplaySettingsFile, GridAndWallpaperShareOneLine) {
  TempDir dir;
  DisplaySettings settings;
  settings.gridX = 12;
  settings.gridY = 8;
  AppStatus status;
  status.set(status::kPoseWallpaper, true);
  ASSERT_TRUE(saveDisplaySettings(dir / "medit_sys.ini", settings, status));
  std::string bytes = testing::readBytes(dir / "medit_sys.ini");
  std::u16string text;
  for (size_t i = 2; i + 1 < bytes.size(); i += 2)
    text.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) | (static_cast<unsigned char>(bytes[i + 1]) << 8)));
  EXPECT_NE(text.find(u"MOTAREA_GRID:[12]-[8]_WALLPAPER_ENABLE:[1]-[0]\r\n\r\n"), std::u16string::npos);
}

TEST(DisplaySettingsFile, ToolbarListUnknownAxisChoiceAndNegativeGrid) {
  TempDir dir;
  writeBytes(dir / "s.ini", utf16File(u"_TOOLBAR_ENABLE:[1]-[0,3,26]\n_UNKNOWNAXIS_PARAMLOAD:[7]\n"
                                      u"MOTAREA_GRID:[-4]-[0]\n"));
  DisplaySettings settings;
  AppStatus status;
  ASSERT_TRUE(loadDisplaySettings(dir / "s.ini", settings, status, {dir.path(), dir.path()}, nullptr));
  std::set<int> enabled;
  for (int i = 0; i < kToolbarButtonCount; ++i)
    if (settings.toolbarButtons[i]) enabled.insert(i);
  EXPECT_EQ(enabled, (std::set<int>{0, 3}));
  EXPECT_TRUE(status.has(status::kUnknownAxisAsk));
  EXPECT_FALSE(status.has(status::kUnknownAxisKeep));
  EXPECT_EQ(settings.gridX, 0);
  EXPECT_EQ(settings.gridY, 0);

  // Saved again, the unknown-axis choice becomes 0.
  ASSERT_TRUE(saveDisplaySettings(dir / "again.ini", settings, status));
  DisplaySettings again;
  AppStatus againStatus;
  againStatus.set(status::kUnknownAxisKeep, true);
  loadDisplaySettings(dir / "again.ini", again, againStatus, {dir.path(), dir.path()}, nullptr);
  EXPECT_EQ(againStatus.bits() & (status::kUnknownAxisAsk | status::kUnknownAxisKeep), status::kUnknownAxisAsk);
}

TEST(DisplaySettingsFile, MissingFileGivesFalseWithDefaults) {
  TempDir dir;
  DisplaySettings settings;
  settings.colours.background = 1;
  settings.gridX = 99;
  AppStatus status;
  EXPECT_FALSE(loadDisplaySettings(dir / "none.ini", settings, status, {dir.path(), dir.path()}, nullptr));
  EXPECT_EQ(settings.colours, MotionAreaColours{});
  EXPECT_EQ(settings.gridX, 10);
  EXPECT_EQ(settings.motionAreaFont.faceName, u"MS UI Gothic");
  EXPECT_EQ(settings.motionAreaFont.height, -12);
}

TEST(SkinImages, AllTwelveLoadWithoutAMessage) {
  TempDir dir;
  makeSkinFiles(dir, 12);
  writeBytes(dir / "s.ini", utf16File(skinLines(12)));
  ScriptedAnswerer answers;
  FakeImages images;
  DisplaySettings settings;
  AppStatus status;
  ASSERT_TRUE(loadDisplaySettings(dir / "s.ini", settings, status, {dir.path(), dir / "program"}, &images));
  EXPECT_TRUE(answers.shownIds().empty());
  ASSERT_EQ(images.requested.size(), 12u);
  EXPECT_EQ(images.requested[4].second, dir / "skin/s4.bmp");
  EXPECT_TRUE(settings.skins[11].loaded);
}

TEST(SkinImages, FailedImagesAreNamedThenSummarised) {
  TempDir dir;
  makeSkinFiles(dir, 12);
  std::filesystem::remove(dir / "skin/s2.bmp");
  // Slot 12 is ignored; a thirteenth good line for slot 5 still counts.
  writeBytes(dir / "s.ini", utf16File(skinLines(12) + u"_SKINDATA_FILEPATH:[12]-[1]-[[skin\\s1.bmp]]\n"
                                                      u"_SKINDATA_FILEPATH:[5]-[1]-[[skin\\s5.bmp]]\n"));
  ScriptedAnswerer answers;
  FakeImages images;
  DisplaySettings settings;
  AppStatus status;
  ASSERT_TRUE(loadDisplaySettings(dir / "s.ini", settings, status, {dir.path(), dir.path()}, &images));
  EXPECT_EQ(answers.shownIds(), (std::vector<int>{40129, 40309}));
  EXPECT_NE(answers.shown()[0].text.find(fromPath(dir / "skin/s2.bmp")), std::u16string::npos);
  EXPECT_EQ(answers.shown()[1].icon, MessageIcon::Warning);

  // Fewer than twelve: 40011, then 40309.
  ScriptedAnswerer fewer;
  writeBytes(dir / "few.ini", utf16File(skinLines(2)));
  ASSERT_TRUE(loadDisplaySettings(dir / "few.ini", settings, status, {dir.path(), dir.path()}, &images));
  EXPECT_EQ(fewer.shownIds(), (std::vector<int>{40011, 40309}));
  EXPECT_EQ(fewer.shown()[0].icon, MessageIcon::Error);
}

TEST(SkinImages, CheckBoxImageBesideTheProgramReplacesSlotSixOfOlderProjects) {
  TempDir dir;
  writeBytes(dir / "program/me_image/checkbtn_.bmp", "BM");
  const std::u16string slot6 = u"_SKINDATA_FILEPATH:[6]-[1]-[[skin\\old_check.bmp]]\n";
  SkinFolders folders{dir / "project", dir / "program"};
  writeBytes(dir / "project/old.ini", utf16File(slot6));
  writeBytes(dir / "project/new.ini", utf16File(u"MOTAREA_COLOR:[1]-[2]-[3]-[4]-[5]-[6]-[7]-[8]-[9]\n" + slot6));

  DisplaySettings settings;
  AppStatus status;
  ASSERT_TRUE(loadDisplaySettings(dir / "project/old.ini", settings, status, folders, nullptr));
  EXPECT_EQ(settings.skins[6].baseFlag, 0);
  EXPECT_EQ(settings.skins[6].fullPath, dir / "program/me_image/checkbtn_.bmp");

  ASSERT_TRUE(loadDisplaySettings(dir / "project/new.ini", settings, status, folders, nullptr));
  EXPECT_EQ(settings.skins[6].baseFlag, 1);
  EXPECT_EQ(settings.skins[6].path, u"skin\\old_check.bmp");
  EXPECT_EQ(settings.colours.branchBlock, 9u);
}

TEST(Colours, ComponentsKeepTheirLowEightBits) {
  EXPECT_EQ(parseColourField(u"255,0,0"), 0x0000FFu);
  EXPECT_EQ(parseColourField(u"0,0,255"), 0xFF0000u);
  EXPECT_EQ(parseColourField(u"-1,256,1,9"), colourFromRgb(255, 0, 1));
  EXPECT_EQ(parseColourField(u"7"), 7u);
  EXPECT_EQ(parseColourField(u""), 0u);
}

}  // namespace
}  // namespace kv
