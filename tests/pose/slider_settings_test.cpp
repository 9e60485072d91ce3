#include "pose/slider_settings.h"

#include <gtest/gtest.h>

#include "support/scripted_answerer.h"

namespace kv {
namespace {

using testing::ScriptedAnswerer;

SliderTable tableWithJoints() {
  SliderTable table;
  for (int i = 0; i < 4; ++i) {
    PoseSlider& s = table.sliders[i];
    s.name = u"joint";
    s.lowerLimit = -50;
    s.upperLimit = 50;
    s.stepResolution = 5;
  }
  return table;
}

TEST(SliderSettingsApply, NoChangesWhenTheUserSaysNo) {
  ScriptedAnswerer answers;
  answers.answerNext(MessageAnswer::No);
  SliderTable table = tableWithJoints();
  SliderSettingsForm form = formForSlider(table, 1);
  form.name = u"changed";
  EXPECT_EQ(applySliderSettings(table, form).outcome, ApplyOutcome::Declined);
  EXPECT_EQ(table.sliders[1].name, u"joint");
  EXPECT_EQ(answers.shownIds(), std::vector<int>{40106});
}

TEST(SliderSettingsApply, FormOfASliderAppliedUnchangedKeepsTheSlider) {
  ScriptedAnswerer answers;
  answers.answerNext(MessageAnswer::Yes);
  SliderTable table = tableWithJoints();
  table.sliders[2].behaviourFlags = kShowSliderName | kAbsoluteValue;
  table.sliders[2].displayFlags = kDisplayInverted;
  table.sliders[2].valueFormat = FormatDegrees;
  table.sliders[2].unitsPerDegree = 11.5;
  table.sliders[2].decimalPlaces = 1;
  SliderTable before = table;
  EXPECT_EQ(applySliderSettings(table, formForSlider(table, 2)).outcome, ApplyOutcome::Applied);
  EXPECT_EQ(table.sliders[2], before.sliders[2]);
}

TEST(SliderSettingsApply, BadEntriesStopEverythingAndNameTheField) {
  struct Case {
    std::u16string SliderSettingsForm::*field;
    std::u16string text;
    int message;
    int control;
  };
  const Case cases[] = {
      {&SliderSettingsForm::lowerLimit, u"12a", 40124, slider_control::kLowerLimit},
      {&SliderSettingsForm::upperLimit, u"40000", 40120, slider_control::kUpperLimit},
      {&SliderSettingsForm::lowerLimit, u"-32769", 40120, slider_control::kLowerLimit},
      {&SliderSettingsForm::stepResolution, u"32768", 40181, slider_control::kStepResolution},
      {&SliderSettingsForm::unitsPerDegree, u"1,5", 40125, slider_control::kUnitsPerDegree},
  };
  for (const Case& c : cases) {
    ScriptedAnswerer answers;
    answers.answerNext(MessageAnswer::Yes);
    SliderTable table = tableWithJoints();
    SliderSettingsForm form = formForSlider(table, 0);
    form.valueFormat = FormatDegrees;
    form.name = u"renamed";
    form.*c.field = c.text;
    ApplyResult result = applySliderSettings(table, form);
    EXPECT_EQ(result.outcome, ApplyOutcome::Invalid);
    EXPECT_EQ(result.invalidControl, c.control);
    EXPECT_EQ(answers.shownIds(), (std::vector<int>{40106, c.message}));
    EXPECT_EQ(table.sliders[0].name, u"joint");
  }
}

TEST(SliderSettingsApply, EqualLimitsAreRefusedWhileTheRestApplies) {
  ScriptedAnswerer answers;
  answers.answerNext(MessageAnswer::Yes);
  SliderTable table = tableWithJoints();
  SliderSettingsForm form = formForSlider(table, 0);
  form.lowerLimit = u"100";
  form.upperLimit = u"100";
  form.name = u"Knee";
  form.stepResolution = u"8";
  form.showName = TriState::Checked;
  EXPECT_EQ(applySliderSettings(table, form).outcome, ApplyOutcome::Applied);
  EXPECT_EQ(answers.shownIds(), (std::vector<int>{40106, 40123}));
  EXPECT_EQ(answers.shown()[1].icon, MessageIcon::Error);
  const PoseSlider& s = table.sliders[0];
  EXPECT_EQ(s.lowerLimit, -50);
  EXPECT_EQ(s.upperLimit, 50);
  EXPECT_EQ(s.name, u"Knee");
  EXPECT_EQ(s.stepResolution, 8);
  EXPECT_TRUE(s.behaviourFlags & kShowSliderName);
}

TEST(SliderSettingsApply, PairOntoItselfIsRefusedAndOtherPairsAreRepaired) {
  ScriptedAnswerer answers;
  answers.answerNext(MessageAnswer::Yes);
  SliderTable table = tableWithJoints();
  setSliderPair(table, 3, 1, true);
  SliderSettingsForm form = formForSlider(table, 1);
  form.pairAttribute = PairLeft;
  form.pairPartner = 1;
  form.name = u"still applied";
  applySliderSettings(table, form);
  EXPECT_EQ(answers.shownIds(), (std::vector<int>{40106, 40127}));
  EXPECT_EQ(table.sliders[1].pairAttribute, PairLeft);
  EXPECT_EQ(table.sliders[1].pairPartner, 3);
  EXPECT_EQ(table.sliders[1].name, u"still applied");

  // Making 1 centre clears the partner too.
  answers.answerNext(MessageAnswer::Yes);
  form = formForSlider(table, 1);
  form.pairAttribute = PairCentre;
  applySliderSettings(table, form);
  EXPECT_EQ(table.sliders[1].pairAttribute, PairCentre);
  EXPECT_EQ(table.sliders[3].pairAttribute, PairNone);
}

TEST(SliderSettingsApply, SelectedSlidersTakeOnlyWhatWasEntered) {
  ScriptedAnswerer answers;
  answers.answerNext(MessageAnswer::Yes);
  SliderTable table = tableWithJoints();
  table.sliders[0].displayFlags |= kSliderSelected;
  table.sliders[2].displayFlags |= kSliderSelected;
  table.sliders[2].lowerLimit = 0;
  table.sliders[2].upperLimit = 10;
  table.sliders[2].behaviourFlags = kSignInverted;
  setSliderPair(table, 0, 1, true);

  SliderSettingsForm form = formForSelection();
  form.lowerText = u"下";
  form.upperLimit = u"5";
  form.lowerLimit = u"";
  form.showName = TriState::Checked;
  form.signInverted = TriState::Unchecked;
  form.x = u"40";
  form.valueFormat = FormatPercent;
  form.decimalPlaces = 2;
  EXPECT_EQ(applySliderSettings(table, form).outcome, ApplyOutcome::Applied);

  for (int i : {0, 2}) {
    const PoseSlider& s = table.sliders[i];
    EXPECT_EQ(s.name, u"joint") << i;  // empty name: unchanged
    EXPECT_EQ(s.lowerText, u"下") << i;
    EXPECT_EQ(s.upperLimit, 5) << i;
    EXPECT_EQ(s.x, 40) << i;
    EXPECT_EQ(s.valueFormat, FormatPercent) << i;
    EXPECT_EQ(s.decimalPlaces, 2) << i;
    EXPECT_TRUE(s.behaviourFlags & kShowSliderName) << i;
    EXPECT_FALSE(s.behaviourFlags & kSignInverted) << i;
  }
  EXPECT_EQ(table.sliders[0].pairAttribute, PairRight);  // pairs are not touched
  EXPECT_EQ(table.sliders[1].lowerText, u"");            // not selected
  EXPECT_EQ(table.sliders[1].upperLimit, 50);
}

TEST(SliderSettingsApply, SelectedSlidersKeepTheirDecimalPlacesWithoutACheckedFormat) {
  ScriptedAnswerer answers;
  answers.answerNext(MessageAnswer::Yes);
  SliderTable table = tableWithJoints();
  table.sliders[0].displayFlags |= kSliderSelected;
  table.sliders[0].valueFormat = FormatDegrees;
  table.sliders[0].decimalPlaces = 2;
  table.sliders[1].displayFlags |= kSliderSelected;
  table.sliders[1].valueFormat = FormatPercent;
  table.sliders[1].decimalPlaces = 1;
  SliderSettingsForm form = formForSelection();  // no format radio checked, spin at 0
  form.name = u"arm";
  applySliderSettings(table, form);
  EXPECT_EQ(table.sliders[0].name, u"arm");
  EXPECT_EQ(table.sliders[0].decimalPlaces, 2);
  EXPECT_EQ(table.sliders[1].decimalPlaces, 1);
}

TEST(SliderSettingsApply, SelectedSlidersWithReversedLimitsWarnOncePerSlider) {
  ScriptedAnswerer answers;
  answers.answerNext(MessageAnswer::Yes);
  SliderTable table = tableWithJoints();
  for (int i : {0, 1, 2}) table.sliders[i].displayFlags |= kSliderSelected;
  table.sliders[1].lowerLimit = -200;
  SliderSettingsForm form = formForSelection();
  form.upperLimit = u"-100";
  applySliderSettings(table, form);
  EXPECT_EQ(answers.shownIds(), (std::vector<int>{40106, 40123, 40123}));
  EXPECT_EQ(answers.shown()[1].icon, MessageIcon::Warning);
  EXPECT_EQ(table.sliders[1].upperLimit, -100);
  EXPECT_EQ(table.sliders[0].upperLimit, 50);
}

}  // namespace
}  // namespace kv
