#include "board/cpu_settings_form.h"

#include <gtest/gtest.h>

#include "support/scripted_answerer.h"

namespace kv {
namespace {

using testing::ScriptedAnswerer;

// A board with one servo set up on channel 3.
CpuSettings boardSettings() {
  CpuSettings s;
  s.controlPeriod = 10000;
  s.batteryAlarm = 6500;
  s.batteryShutdown = 6000;
  ServoRecord& servo = s.servos[3];
  servo.base = 30000;
  servo.coefficient = 16384;
  servo.lowerLimit = -1000;
  servo.upperLimit = 1000;
  return s;
}

struct ApplyRun {
  CpuSettings record = boardSettings();
  CpuSettings work = record;
  BasicForm basic = basicForm(record);
  ServoForm servo = servoForm(record.servos[3]);
  int sent = 0;
  int sendResult = 1;

  CpuApplyResult run() {
    return applyCpuSettings(record, work, basic, 3, servo, [this](const CpuSettings&) {
      ++sent;
      return sendResult;
    });
  }
};

// Each check stops Apply with its string and entry; nothing is stored or sent.
TEST(CpuSettingsApply, FirstFailingCheckNamesItsStringAndEntry) {
  struct Case {
    const char* what;
    std::function<void(ApplyRun&)> edit;
    int stringId;
    int control;
  };
  const Case cases[] = {
      {"period above 16 bits", [](ApplyRun& r) { r.basic.controlPeriod = u"65536"; }, 40157, 1646},
      {"period not a number", [](ApplyRun& r) { r.basic.controlPeriod = u"1O0"; }, 40157, 1646},
      {"alarm letters", [](ApplyRun& r) { r.basic.batteryAlarm = u"6,5"; }, 40155, 1644},
      {"shutdown above 65.535", [](ApplyRun& r) { r.basic.batteryShutdown = u"65.536"; }, 40156, 1641},
      {"negative voltage", [](ApplyRun& r) { r.basic.batteryAlarm = u"-0.5"; }, 40156, 1644},
      {"base above 65535", [](ApplyRun& r) { r.servo.base = u"65536"; }, 40151, 1600},
      {"coefficient letters", [](ApplyRun& r) { r.servo.coefficient = u"12a"; }, 40154, 1611},
      {"term 3 out of range", [](ApplyRun& r) { r.servo.termCoefficient[2] = u"40000"; }, 40152, 1857},
      {"lower limit", [](ApplyRun& r) { r.servo.lowerLimit = u"-32769"; }, 40153, 1607},
      {"upper limit letters", [](ApplyRun& r) { r.servo.upperLimit = u"x"; }, 40154, 1608},
      // The basic page is checked before the servo.
      {"both pages", [](ApplyRun& r) { r.basic.batteryAlarm = u"70"; r.servo.base = u"-1"; }, 40156, 1644},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ScriptedAnswerer answers;
    answers.answerNext(MessageAnswer::Yes);
    ApplyRun r;
    r.servo.name = u"changed";
    c.edit(r);
    const CpuApplyResult result = r.run();
    EXPECT_EQ(result.outcome, CpuApplyOutcome::Invalid);
    EXPECT_EQ(result.invalidControl, c.control);
    EXPECT_EQ(answers.shownIds(), (std::vector<int>{40106, c.stringId}));
    EXPECT_EQ(answers.shown().back().icon, MessageIcon::Warning);
    EXPECT_EQ(r.sent, 0);
    EXPECT_EQ(servoName(r.work.servos[3]), u"");
    EXPECT_EQ(r.record.controlPeriod, 10000u);
  }
}

// The largest values each check lets through reach the record and the board.
TEST(CpuSettingsApply, AcceptsTheEndsOfEachRange) {
  ScriptedAnswerer answers;
  answers.answerNext(MessageAnswer::Yes);
  ApplyRun r;
  r.basic.controlPeriod = u"65535";
  r.basic.batteryShutdown = u"65.535";
  r.servo.base = u"65535";
  r.servo.termCoefficient[3] = u"-32768";
  r.servo.upperLimit = u"32767";
  EXPECT_EQ(r.run().outcome, CpuApplyOutcome::Applied);
  EXPECT_EQ(answers.shownIds(), (std::vector<int>{40106, 40271}));
  EXPECT_EQ(r.sent, 1);
  EXPECT_EQ(r.record.controlPeriod, 65535u);
  EXPECT_EQ(r.record.batteryShutdown, 65535);
  EXPECT_EQ(r.record.servos[3].base, 65535);
  EXPECT_EQ(r.record.servos[3].termCoefficient[2], -32768);
  EXPECT_EQ(r.record.servos[3].upperLimit, 32767);
}

TEST(CpuSettingsApply, AFailedSendIsReportedAsAWarning) {
  ScriptedAnswerer answers;
  answers.answerNext(MessageAnswer::Yes);
  ApplyRun r;
  r.sendResult = 0;
  EXPECT_EQ(r.run().outcome, CpuApplyOutcome::Failed);
  EXPECT_EQ(answers.shownIds(), (std::vector<int>{40106, 40272}));
  EXPECT_EQ(answers.shown().back().icon, MessageIcon::Warning);
}

TEST(CpuSettingsForm, ServoNamesKeepRoomForTheirTerminator) {
  ServoRecord servo;
  setServoName(servo, u"ABCDEFGHIJKLMNOPQ");  // 17 characters
  EXPECT_EQ(servoName(servo), u"ABCDEFGHIJKLMNO");
  EXPECT_EQ(servoChannelLabel(servo, 13), u"CN3-2(13):ABCDEFGHIJKLMNO");
}

// The boundaries of what the firmware offers (the dialog test checks the wiring).
TEST(CpuSettingsForm, FirmwareRevisionDecidesTheControlsAndTheWarning) {
  CpuSettings s;
  s.firmwareRevision = 12;
  EXPECT_FALSE(connectorTypesAvailable(s));
  s.firmwareRevision = 13;
  EXPECT_TRUE(connectorTypesAvailable(s));
  s.firmwareRevision = 7;
  EXPECT_FALSE(controllerServoOnAvailable(s));
  s.firmwareRevision = 8;
  EXPECT_TRUE(controllerServoOnAvailable(s));

  s.firmwareVersion = 0x0100;
  s.firmwareRevision = 1;
  EXPECT_TRUE(firmwareNeedsUpdate(s));
  s.firmwareRevision = 2;
  EXPECT_FALSE(firmwareNeedsUpdate(s));
  s.firmwareVersion = 0x00FF;
  s.firmwareRevision = 20;
  EXPECT_TRUE(firmwareNeedsUpdate(s));
}

}  // namespace
}  // namespace kv
