#include "session/status_view.h"

#include <algorithm>

#include "shell/string_table.h"
#include "shell/text_format.h"

namespace kv {
namespace {

constexpr int kGamePadString = 40195;
constexpr int kVimbaString = 40196;
constexpr int kTpadString = 40381;
constexpr int kNoControllerString = 40197;

// Voltages in mV map onto 400 pixels for 16384 mV.
int barPixels(int millivolts) {
  return std::clamp(millivolts * kStatusBarMaxWidth / 16384, 0, kStatusBarMaxWidth);
}

std::u16string controllerName(int32_t kind) {
  switch (kind) {
    case 1: return loadUiString(kGamePadString);
    case 2: return loadUiString(kVimbaString);
    case 3: return loadUiString(kTpadString);
    default: return loadUiString(kNoControllerString);
  }
}

}  // namespace

StatusPicture statusPicture(const StatusInput& in) {
  StatusPicture picture;
  if (in.communicationError) {
    picture.lines.push_back({0, u"Communication error."});
    return picture;
  }
  picture.lines.push_back({0, formatted(u"model name = '%s'  err_code=0x%02x adr=0x%08x",
                                        {in.robotName, in.errorCode, in.errorAddress})});
  picture.lines.push_back({16, formatted(u"now voltage = %.4fV (alarm = %.4fV , shutdown = %.4fV)",
                                         {in.snapshot.batteryVoltage / 1000.0, in.alarmVoltage / 1000.0,
                                          in.shutdownVoltage / 1000.0})});
  const int voltage = in.snapshot.batteryVoltage;
  picture.showBar = true;
  picture.barWidth = barPixels(voltage);
  picture.level = voltage < in.shutdownVoltage ? BatteryLevel::Shutdown
                  : voltage < in.alarmVoltage  ? BatteryLevel::Alarm
                                               : BatteryLevel::Good;
  picture.alarmX = kStatusBarLeft + barPixels(in.alarmVoltage);
  picture.shutdownX = kStatusBarLeft + barPixels(in.shutdownVoltage);
  if (in.playing) picture.lines.push_back({64, u"motion playing..."});

  const int32_t kind = in.snapshot.controllerKind;
  picture.lines.push_back({90, formatted(u"Controller = %s", {controllerName(kind)})});
  if (kind < 1 || kind > 3) return picture;
  std::u16string bits;
  for (int bit = 0; bit < 16; ++bit) bits.push_back((in.snapshot.digitalInputs() >> bit) & 1 ? u'1' : u'0');
  picture.lines.push_back({106, u"Digital Input : " + bits});
  const LiveSnapshot& s = in.snapshot;
  std::u16string mapModes =
      formatted(u"Map Mode : MD0=%d,MD1=%d,MD2=%d,MD3=%d", {s.mapMode(0), s.mapMode(1), s.mapMode(2), s.mapMode(3)});
  if (kind == 2) {
    picture.lines.push_back({122, mapModes});
    return picture;
  }
  picture.lines.push_back({122, formatted(u"Analog Input : RX=%04x,RY=%04x,LX=%04x,LY=%04x,VIB=%02x",
                                          {s.rightStickX(), s.rightStickY(), s.leftStickX(), s.leftStickY(),
                                           s.vibration() & 0xFF})});
  picture.lines.push_back({138, mapModes});
  return picture;
}

}  // namespace kv
