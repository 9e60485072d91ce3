#include "pose/pose_layout.h"

#include <gtest/gtest.h>

namespace kv {
namespace {

PoseSlider joint() {
  PoseSlider s;
  s.x = 100;
  s.y = 50;
  s.lowerLimit = -100;
  s.upperLimit = 100;
  s.stepResolution = 10;
  s.lowerText = u"後";
  s.upperText = u"前";
  return s;
}

TEST(PoseLayout, KnobTravelsTheBarAndMirrorsInsideItWhenInverted) {
  SkinMetrics skin;  // bar 100, knob 11: usable length 90
  PoseSlider s = joint();
  EXPECT_EQ(knobOffset(s, -100, skin), 0);
  EXPECT_EQ(knobOffset(s, 0, skin), 45);
  EXPECT_EQ(knobOffset(s, 100, skin), 90);
  EXPECT_EQ(knobOffset(s, 500, skin), 90);  // clamped

  s.displayFlags = kDisplayInverted;
  EXPECT_EQ(knobOffset(s, -100, skin), 90);
  EXPECT_EQ(knobOffset(s, 100, skin), 0);
  SliderGeometry g = layoutSlider(3, s, 100, skin);
  EXPECT_GE(g.knob.left, g.bar.left);
  EXPECT_LE(g.knob.right(), g.bar.right());
  EXPECT_EQ(g.spin.right(), g.bar.left);  // step buttons at the mirrored end

  for (int offset : {0, 45, 90}) EXPECT_EQ(knobOffset(s, valueAtOffset(s, offset, skin), skin), offset);
}

TEST(PoseLayout, ServoBoxOnlyForServoSliders) {
  SkinMetrics skin;
  PoseSlider s = joint();
  EXPECT_FALSE(layoutSlider(29, s, 0, skin).servoBox.empty());
  EXPECT_TRUE(layoutSlider(30, s, 0, skin).servoBox.empty());
  SliderGeometry g = layoutSlider(0, s, 0, skin);
  EXPECT_EQ(g.bar.left, 100);
  EXPECT_EQ(g.spin.left, g.bar.right());
  EXPECT_TRUE(g.outline.contains(g.knob.left, g.knob.top));
}

TEST(PoseLayout, ValueTextsInEveryFormat) {
  PoseSlider s = joint();
  EXPECT_EQ(sliderValueText(s, 12, std::nullopt), u"    +12");
  EXPECT_EQ(sliderValueText(s, 12, 20), u"     -8");  // relative to the base pose
  s.behaviourFlags = kAbsoluteValue;
  EXPECT_EQ(sliderValueText(s, 12, 20), u"    +12");
  s.behaviourFlags = kSignInverted;
  EXPECT_EQ(sliderValueText(s, 12, std::nullopt), u"    -12");

  s.behaviourFlags = 0;
  s.valueFormat = FormatHexadecimal;
  EXPECT_EQ(sliderValueText(s, -1, std::nullopt), u" 0xffff");

  s.valueFormat = FormatDegrees;
  s.unitsPerDegree = 10.0;
  s.decimalPlaces = 1;
  EXPECT_EQ(sliderValueText(s, 455, std::nullopt), u"   +45.5deg");
  s.unitsPerDegree = 0.0;  // no scale: raw units, never a division by zero
  EXPECT_EQ(sliderValueText(s, 45, std::nullopt), u"   +45.0deg");

  s.valueFormat = FormatPercent;
  s.decimalPlaces = 0;
  EXPECT_EQ(sliderValueText(s, 50, std::nullopt), u"      25%");
  s.behaviourFlags = kAbsoluteValue;
  EXPECT_EQ(sliderValueText(s, 50, std::nullopt), u"      75%");

  s.behaviourFlags = kSignInverted;  // voices are never negated
  s.valueFormat = FormatVoice;
  EXPECT_EQ(sliderValueText(s, 0, std::nullopt), u"--------------");
  EXPECT_EQ(sliderValueText(s, 3, std::nullopt), u"No voice");
  auto lookup = [](int voice) { return voice == 3 ? std::u16string(u"voice\\hello.wav") : std::u16string(); };
  EXPECT_EQ(sliderValueText(s, 3, std::nullopt, lookup), u"hello.wav");
  EXPECT_EQ(sliderValueText(s, 300, std::nullopt, lookup), u"No voice");
}

TEST(PoseLayout, SideTextsFollowInversionAndSign) {
  PoseSlider s = joint();
  EXPECT_EQ(sliderSideTexts(s).left, u"後(-)");
  EXPECT_EQ(sliderSideTexts(s).right, u"(+)前");
  s.behaviourFlags = kSignInverted;
  EXPECT_EQ(sliderSideTexts(s).left, u"後(+)");
  EXPECT_EQ(sliderSideTexts(s).right, u"(-)前");
  s.behaviourFlags = 0;
  s.displayFlags = kDisplayInverted;
  EXPECT_EQ(sliderSideTexts(s).left, u"前(+)");
  EXPECT_EQ(sliderSideTexts(s).right, u"(-)後");
  s.behaviourFlags = kSignInverted;
  EXPECT_EQ(sliderSideTexts(s).left, u"前(-)");
  EXPECT_EQ(sliderSideTexts(s).right, u"(+)後");
}

}  // namespace
}  // namespace kv
