#include "session/status_view.h"

#include <gtest/gtest.h>

namespace kv {
namespace {

StatusInput withController(int32_t kind) {
  StatusInput in;
  in.robotName = u"DemoHumanoid";
  in.alarmVoltage = 6800;
  in.shutdownVoltage = 6400;
  in.snapshot.batteryVoltage = 7400;
  in.snapshot.controllerKind = kind;
  return in;
}

std::vector<int> heights(const StatusPicture& picture) {
  std::vector<int> ys;
  for (const StatusLine& line : picture.lines) ys.push_back(line.y);
  return ys;
}

TEST(StatusView, TextsAndHeightsByControllerKind) {
  StatusInput in = withController(0);
  in.errorCode = 0x12;
  in.errorAddress = 0x200010;
  StatusPicture none = statusPicture(in);
  EXPECT_EQ(heights(none), (std::vector<int>{0, 16, 90}));
  EXPECT_EQ(none.lines[0].text, u"model name = 'DemoHumanoid'  err_code=0x12 adr=0x00200010");
  EXPECT_EQ(none.lines[1].text, u"now voltage = 7.4000V (alarm = 6.8000V , shutdown = 6.4000V)");
  EXPECT_EQ(none.lines[2].text, u"Controller = Not found.");

  in = withController(1);
  in.snapshot.controllerWords = {0x0001, 0x12AB, 0x80, 0x7F, 0x1, 0xFFFF, 1, 2, 3, 4};
  in.playing = true;
  StatusPicture pad = statusPicture(in);
  EXPECT_EQ(heights(pad), (std::vector<int>{0, 16, 64, 90, 106, 122, 138}));
  EXPECT_EQ(pad.lines[2].text, u"motion playing...");
  EXPECT_EQ(pad.lines[3].text, u"Controller = GamePad");
  EXPECT_EQ(pad.lines[4].text, u"Digital Input : 1000000000000000");
  EXPECT_EQ(pad.lines[5].text, u"Analog Input : RX=0080,RY=007f,LX=0001,LY=ffff,VIB=ab");
  EXPECT_EQ(pad.lines[6].text, u"Map Mode : MD0=1,MD1=2,MD2=3,MD3=4");

  StatusPicture vimba = statusPicture(withController(2));
  EXPECT_EQ(heights(vimba), (std::vector<int>{0, 16, 90, 106, 122}));
  EXPECT_EQ(vimba.lines[4].text.substr(0, 10), u"Map Mode :");
}

TEST(StatusView, VoltageBarAndThresholds) {
  StatusInput in = withController(0);
  in.snapshot.batteryVoltage = 16384;
  EXPECT_EQ(statusPicture(in).barWidth, 400);
  in.snapshot.batteryVoltage = 30000;
  EXPECT_EQ(statusPicture(in).barWidth, 400);
  in.snapshot.batteryVoltage = -5;
  EXPECT_EQ(statusPicture(in).barWidth, 0);

  in.snapshot.batteryVoltage = 7000;
  StatusPicture good = statusPicture(in);
  EXPECT_EQ(good.level, BatteryLevel::Good);
  EXPECT_EQ(good.alarmX, 20 + 6800 * 400 / 16384);
  in.snapshot.batteryVoltage = 6700;
  EXPECT_EQ(statusPicture(in).level, BatteryLevel::Alarm);
  in.snapshot.batteryVoltage = 6300;
  EXPECT_EQ(statusPicture(in).level, BatteryLevel::Shutdown);
}

TEST(StatusView, CommunicationErrorShowsOnlyThatLine) {
  StatusInput in = withController(1);
  in.communicationError = true;
  StatusPicture picture = statusPicture(in);
  ASSERT_EQ(picture.lines.size(), 1u);
  EXPECT_EQ(picture.lines[0].text, u"Communication error.");
  EXPECT_FALSE(picture.showBar);
}

}  // namespace
}  // namespace kv
