#include "pose/slider_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "pose/pose_layout.h"
#include "shell/textfile.h"
#include "support/comma_locale.h"
#include "support/temp_dir.h"

namespace kv {
namespace {

using testing::TempDir;
using testing::utf16File;
using testing::writeBytes;

SliderTable fullTable() {
  SliderTable table;
  table.centreBarPosition = 0.45;
  table.centreBarState = 1;
  table.clientWidth = 1024;
  table.clientHeight = 700;
  for (int i = 0; i < kSliderCount; ++i) {
    PoseSlider& s = table.sliders[i];
    s.x = 10 * i - 5;
    s.y = 600 - i;
    s.name = u"関節" + std::u16string(1, static_cast<char16_t>(u'A' + i % 26));
    s.upperText = u"前";
    s.lowerText = u"後";
    s.font.height = -12 - i % 3;
    s.font.width = i % 2;
    s.font.escapement = s.font.orientation = 900 * (i % 2);
    s.font.weight = i % 2 ? 700 : 400;
    s.font.setStyleBits(i % 8);
    s.font.charSet = 128;
    s.font.outPrecision = 3;
    s.font.clipPrecision = 2;
    s.font.quality = 1;
    s.font.pitchAndFamily = 0x31;
    s.font.faceName = u"MS UI Gothic";
    s.textColour = colourFromRgb(255, i, 7);
    s.textBackground = colourFromRgb(1, 2, 250);
    s.pairAttribute = i % 2 == 0 ? PairRight : PairLeft;
    s.pairPartner = i % 2 == 0 ? i + 1 : i - 1;
    s.lowerLimit = static_cast<int16_t>(-32768 + i);
    s.upperLimit = static_cast<int16_t>(32767 - i);
    s.stepResolution = static_cast<uint16_t>(65535 - i);
    s.valueFormat = i % 5;
    s.decimalPlaces = i % 3;
    s.unitsPerDegree = 10.25 + i;
    s.displayFlags = i % 2;
    s.behaviourFlags = kShowSliderName | (i % 7 == 0 ? kSliderDisabled : 0) | (i % 3 == 0 ? kSignInverted : 0);
  }
  return table;
}

TEST(SliderFile, WriteThenReadReproducesEveryValueButTheSelection) {
  TempDir dir;
  SliderTable table = fullTable();
  table.sliders[4].displayFlags |= kSliderSelected;
  ASSERT_TRUE(saveSliderFile(dir / "medit_sld.ini", table));

  SliderTable read;
  ASSERT_TRUE(loadSliderFile(dir / "medit_sld.ini", read));
  table.sliders[4].displayFlags &= ~kSliderSelected;
  EXPECT_DOUBLE_EQ(read.centreBarPosition, 0.45);
  EXPECT_EQ(read.centreBarState, 1);
  EXPECT_EQ(read.clientWidth, 1024);
  EXPECT_EQ(read.clientHeight, 700);
  for (int i = 0; i < kSliderCount; ++i) EXPECT_EQ(read.sliders[i], table.sliders[i]) << "slider " << i;
}

// The editor runs under the user's locale: a comma-decimal one must neither
// change the numbers written nor how they read back.
TEST(SliderFile, CommaDecimalLocaleWritesAndReadsPoints) {
  testing::CommaLocale comma;
  if (!comma.active()) GTEST_SKIP() << "no comma-decimal locale installed (Debian package locales-all)";
  TempDir dir;
  SliderTable table = fullTable();
  table.centreBarPosition = 0.6;
  table.sliders[3].unitsPerDegree = 11.3778;
  ASSERT_TRUE(saveSliderFile(dir / "medit_sld.ini", table));

  std::vector<std::u16string> lines;
  readTaggedFile(dir / "medit_sld.ini", kSliderFileLineCapacity,
                 [&](std::u16string_view line) { lines.emplace_back(line); });
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines[0], u"_CENTER_BAR:[0.600000]-[1]\r");
  EXPECT_NE(std::find(lines.begin(), lines.end(), u"_PUTSTYLE:[3]-[0]-[11.3778]\r"), lines.end());

  SliderTable read;
  ASSERT_TRUE(loadSliderFile(dir / "medit_sld.ini", read));
  EXPECT_DOUBLE_EQ(read.centreBarPosition, 0.6);
  EXPECT_DOUBLE_EQ(read.sliders[3].unitsPerDegree, 11.3778);
}

TEST(SliderFile, OnlyTheGivenSliderIsFilledAndEverythingElseIsZero) {
  TempDir dir;
  writeBytes(dir / "s.ini", utf16File(u"_NUMBER:[05]\r\n_AXISNAME:[[Knee]]\r\n"));
  SliderTable table = fullTable();
  ASSERT_TRUE(loadSliderFile(dir / "s.ini", table));
  EXPECT_EQ(table.sliders[5].name, u"Knee");
  PoseSlider zero;
  zero.name = u"Knee";
  EXPECT_EQ(table.sliders[5], zero);
  EXPECT_EQ(table.sliders[0], PoseSlider{});
  EXPECT_TRUE(table.sliders[61].enabled());
  // Window values the file does not give take the defaults.
  EXPECT_DOUBLE_EQ(table.centreBarPosition, 0.6);
  EXPECT_EQ(table.clientWidth, 880);
  EXPECT_EQ(table.clientHeight, 640);
}

TEST(SliderFile, KeysOutsideASliderBlockAreIgnored) {
  TempDir dir;
  writeBytes(dir / "s.ini", utf16File(u"_AXISNAME:[[Orphan]]\n_NUMBER:[61]\n_AXISNAME:[[Last]]\n"
                                      u"_NUMBER:[62]\n_AXISNAME:[[Beyond]]\n_DIVISION:[-5]-[5]-[1]\n"
                                      u"_NUMBER:[-1]\n_POSITION:[1]-[2]\n"));
  SliderTable table;
  ASSERT_TRUE(loadSliderFile(dir / "s.ini", table));
  EXPECT_EQ(table.sliders[61].name, u"Last");
  EXPECT_EQ(table.sliders[61].lowerLimit, 0);
  for (int i = 0; i < 61; ++i) EXPECT_EQ(table.sliders[i], PoseSlider{}) << i;
}

TEST(SliderFile, FieldsAreCutAndUnsafeValuesMadeSafe) {
  TempDir dir;
  writeBytes(dir / "s.ini",
             utf16File(u"_NUMBER:[00]\n_AXISNAME:[[0123456789ABCDEFGHIJ]]\n_MESSAGE:[[upper-long-text]]-[[lower]]\n"
                       u"_POSITION:[12345678901234]-[-7]\n"
                       u"_FONT:[-12]-[0]-[0]-[1]-[49]-[128]-[3]-[2]-[255,0,0]-[-1,256,300]-[700]-[6]-[[Face]]\n"
                       u"_PAIR:[2]-[99]\n_PUTSTYLE:[2]-[9]-[12.5000]\n"
                       u"_NUMBER:[01]\n_PAIR:[3]-[1]\n"
                       u"_NUMBER:[02]\n_PAIR:[1]-[-4]\n"));
  SliderTable table;
  ASSERT_TRUE(loadSliderFile(dir / "s.ini", table));
  const PoseSlider& s = table.sliders[0];
  EXPECT_EQ(s.name, u"0123456789ABCDE");
  EXPECT_EQ(s.upperText, u"upper-lon");
  EXPECT_EQ(s.lowerText, u"lower");
  EXPECT_EQ(s.x, 1234567890);  // number texts are cut to ten characters
  EXPECT_EQ(s.y, -7);
  EXPECT_EQ(s.textColour, 0x000000FFu);  // red
  EXPECT_EQ(s.textBackground, colourFromRgb(255, 0, 44));  // low 8 bits of each part
  EXPECT_EQ(s.font.weight, 700);
  EXPECT_TRUE(s.font.italic);
  EXPECT_TRUE(s.font.underline);
  EXPECT_FALSE(s.font.strikeOut);
  EXPECT_EQ(s.decimalPlaces, 2);
  EXPECT_DOUBLE_EQ(s.unitsPerDegree, 12.5);
  // Partners that are not another slider read as no pair; centre keeps its attribute.
  EXPECT_EQ(s.pairAttribute, PairNone);
  EXPECT_EQ(table.sliders[1].pairAttribute, PairNone);
  EXPECT_EQ(table.sliders[2].pairAttribute, PairCentre);
  EXPECT_EQ(table.sliders[2].pairPartner, 0);
}

TEST(SliderFile, MissingFileLeavesTheTableAlone) {
  TempDir dir;
  SliderTable table = fullTable();
  EXPECT_FALSE(loadSliderFile(dir / "none.ini", table));
  EXPECT_EQ(table.sliders[3], fullTable().sliders[3]);
  EXPECT_FALSE(saveSliderFile(dir / "no" / "folder.ini", table));
}

TEST(SliderRange, EqualOrReversedLimitsStaySafe) {
  PoseSlider s;
  s.lowerLimit = 100;
  s.upperLimit = -100;
  SliderRange r = safeRange(s);
  EXPECT_EQ(r.lower, -100);
  EXPECT_EQ(r.upper, 100);
  EXPECT_EQ(r.clamp(150), 100);
  // Equal limits allow their one value: the span is a divisor of 1, but
  // clamping does not accept a second value.
  s.lowerLimit = s.upperLimit = 0;
  EXPECT_EQ(safeRange(s).span(), 1);
  EXPECT_EQ(safeRange(s).clamp(5), 0);
  EXPECT_EQ(safeRange(s).clamp(-5), 0);
  s.lowerLimit = s.upperLimit = 32767;
  EXPECT_EQ(safeRange(s).clamp(0), 32767);
  EXPECT_EQ(safeRange(s).span(), 1);

  // Equal limits must not divide by zero in the knob position or the percent text.
  s.lowerLimit = s.upperLimit = 0;
  s.valueFormat = FormatPercent;
  SkinMetrics skin;
  EXPECT_EQ(knobOffset(s, 0, skin), 0);
  EXPECT_EQ(valueAtOffset(s, skin.barWidth, skin), 0);
  EXPECT_EQ(sliderValueText(s, 0, std::nullopt), u"       0%");
}

TEST(SliderPairs, AssigningAPairClearsEveryPairThatPointedAtEitherSlider) {
  SliderTable table;
  setSliderPair(table, 9, 3, false);  // 9 left, 3 right
  setSliderPair(table, 1, 7, true);
  ASSERT_EQ(table.sliders[3].pairAttribute, PairRight);

  ASSERT_TRUE(setSliderPair(table, 3, 7, true));
  EXPECT_EQ(table.sliders[3].pairAttribute, PairRight);
  EXPECT_EQ(table.sliders[3].pairPartner, 7);
  EXPECT_EQ(table.sliders[7].pairAttribute, PairLeft);
  EXPECT_EQ(table.sliders[7].pairPartner, 3);
  EXPECT_EQ(table.sliders[9].pairAttribute, PairNone);
  EXPECT_EQ(table.sliders[1].pairAttribute, PairNone);

  EXPECT_FALSE(setSliderPair(table, 3, 3, true));
  EXPECT_FALSE(setSliderPair(table, 3, 62, true));
  EXPECT_EQ(table.sliders[3].pairPartner, 7);
}

TEST(SliderPairs, NoneOrCentreClearsBothEnds) {
  SliderTable table;
  setSliderPair(table, 4, 5, true);
  setSliderUnpaired(table, 4, PairCentre);
  EXPECT_EQ(table.sliders[4].pairAttribute, PairCentre);
  EXPECT_EQ(table.sliders[5].pairAttribute, PairNone);
  EXPECT_EQ(table.sliders[5].pairPartner, 0);

  setSliderPair(table, 10, 11, false);
  setSliderUnpaired(table, 11, PairNone);
  EXPECT_EQ(table.sliders[10].pairAttribute, PairNone);
  EXPECT_EQ(table.sliders[11].pairAttribute, PairNone);
}

}  // namespace
}  // namespace kv
