#include "board/cpu_settings_form.h"

#include <cmath>
#include <optional>

#include "board/rom_settings.h"
#include "shell/messages.h"
#include "shell/text_format.h"
#include "shell/textfile.h"

namespace kv {
namespace {

constexpr int kServosPerConnector = 6;
constexpr int kMaxMillivolts = 65535;

bool isBlank(char16_t c) { return c == u' ' || c == u'\t'; }

// Blanks, an optional sign, at least one digit, blanks.
bool isInteger(std::u16string_view text) {
  size_t i = 0;
  while (i < text.size() && isBlank(text[i])) ++i;
  if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) ++i;
  const size_t digits = i;
  while (i < text.size() && text[i] >= u'0' && text[i] <= u'9') ++i;
  if (i == digits) return false;
  while (i < text.size() && isBlank(text[i])) ++i;
  return i == text.size();
}

// Only digits, spaces, signs and the decimal point.
bool isNumberText(std::u16string_view text) {
  for (char16_t c : text)
    if (!((c >= u'0' && c <= u'9') || c == u' ' || c == u'+' || c == u'-' || c == u'.')) return false;
  return true;
}

// A 16-bit signed entry: the character check, then the range check.
FormCheck checkSigned16(const std::u16string& text, int control, int rangeString) {
  if (!isNumberText(text)) return {kMsgServoNotNumber, control};
  const int value = parseDecimal(text);
  if (value < -32768 || value > 32767) return {rangeString, control};
  return {};
}

// Volts to the nearest mV; none when not a voltage the board can hold.
std::optional<uint16_t> millivolts(const std::u16string& text) {
  const double volts = parseReal(text);
  if (!(volts >= 0.0) || std::llround(volts * 1000.0) > kMaxMillivolts) return std::nullopt;
  return millivoltsFromVolts(volts);
}

FormCheck checkVoltage(const std::u16string& text, int control) {
  if (!isNumberText(text)) return {kMsgSettingNotNumber, control};
  if (!millivolts(text)) return {kMsgVoltageRange, control};
  return {};
}

}  // namespace

ServoForm servoForm(const ServoRecord& servo) {
  ServoForm form;
  form.name = servoName(servo);
  form.powerOnTimer = servo.powerOnTimer;
  form.variableA = servo.variableA;
  form.termCoefficient[0] = formatted(u"%d", {static_cast<int>(servo.term1Coefficient)});
  form.termVa[0] = servo.term1Va;
  form.termVb[0] = servo.term1Vb;
  for (int t = 1; t < 4; ++t) {
    form.termCoefficient[t] = formatted(u"%d", {static_cast<int>(servo.termCoefficient[t - 1])});
    form.termVa[t] = servo.termVa[t - 1];
    form.termVb[t] = servo.termVb[t - 1];
  }
  for (int t = 0; t < 4; ++t) {
    const int bits = (servo.validity >> (2 * t)) & 3;
    form.termValidity[t] = (bits & 1) ? kValidWhenVbNotNegative : (bits & 2) ? kValidWhenVbNotPositive : kAlwaysValid;
  }
  form.lowerLimit = formatted(u"%d", {static_cast<int>(servo.lowerLimit)});
  form.upperLimit = formatted(u"%d", {static_cast<int>(servo.upperLimit)});
  form.base = formatted(u"%d", {static_cast<int>(servo.base)});
  form.coefficient = formatted(u"%d", {static_cast<int>(servo.coefficient)});
  form.torqueOffEnabled = (servo.torqueOffBits & 0x80) != 0;
  form.torqueOffVariable = servo.torqueOffVariable;
  form.torqueOffBit = servo.torqueOffBits & 0x0F;
  return form;
}

BasicForm basicForm(const CpuSettings& settings) {
  BasicForm form;
  form.controlPeriod = formatted(u"%d", {settings.controlPeriod});
  form.bootTimer = settings.bootTimer;
  form.batteryAlarm = voltsText(settings.batteryAlarm);
  form.batteryShutdown = voltsText(settings.batteryShutdown);
  form.voiceOutput = settings.voiceOutput == 1;
  form.voiceVariable = settings.voiceVariable;
  form.builtInAmplifier = (settings.amplifier & 0x80) != 0;
  form.amplifierGain = settings.amplifier & 0x03;
  form.padType = settings.padType;
  form.controllerServoOn = settings.controllerServoOn == 1;
  return form;
}

std::u16string voltsText(uint16_t millivolts) { return formatted(u"%.4f", {millivolts / 1000.0}); }

std::u16string servoChannelLabel(const ServoRecord& servo, int channel) {
  return formatted(u"CN%d-%d(%02d):%s", {channel / kServosPerConnector + 1, channel % kServosPerConnector + 1,
                                          channel, servoName(servo)});
}

FormCheck storeServoForm(const ServoForm& form, ServoRecord& servo) {
  namespace c = cpu_control;
  if (!isInteger(form.base) || parseDecimal(form.base) < 0 || parseDecimal(form.base) > 65535)
    return {kMsgBaseRange, c::kPwmBase};
  if (FormCheck check = checkSigned16(form.coefficient, c::kPwmCoefficient, kMsgCoefficientRange); !check.passed())
    return check;
  for (int t = 0; t < 4; ++t)
    if (FormCheck check = checkSigned16(form.termCoefficient[t], c::kTermCoefficient[t], kMsgCoefficientRange);
        !check.passed())
      return check;
  if (FormCheck check = checkSigned16(form.lowerLimit, c::kLowerLimit, kMsgLimitRange); !check.passed()) return check;
  if (FormCheck check = checkSigned16(form.upperLimit, c::kUpperLimit, kMsgLimitRange); !check.passed()) return check;

  servo.base = static_cast<uint16_t>(parseDecimal(form.base));
  servo.lowerLimit = static_cast<int16_t>(parseDecimal(form.lowerLimit));
  servo.upperLimit = static_cast<int16_t>(parseDecimal(form.upperLimit));
  servo.coefficient = static_cast<int16_t>(parseDecimal(form.coefficient));
  servo.term1Coefficient = static_cast<int16_t>(parseDecimal(form.termCoefficient[0]));
  servo.term1Va = static_cast<uint8_t>(form.termVa[0]);
  servo.term1Vb = static_cast<uint8_t>(form.termVb[0]);
  for (int t = 1; t < 4; ++t) {
    servo.termCoefficient[t - 1] = static_cast<int16_t>(parseDecimal(form.termCoefficient[t]));
    servo.termVa[t - 1] = static_cast<uint8_t>(form.termVa[t]);
    servo.termVb[t - 1] = static_cast<uint8_t>(form.termVb[t]);
  }
  setServoName(servo, form.name);
  servo.variableA = static_cast<uint8_t>(form.variableA);
  servo.powerOnTimer = static_cast<uint8_t>(form.powerOnTimer);
  uint8_t validity = 0;
  for (int t = 0; t < 4; ++t) {
    if (form.termValidity[t] == kValidWhenVbNotNegative) validity |= static_cast<uint8_t>(1 << (2 * t));
    if (form.termValidity[t] == kValidWhenVbNotPositive) validity |= static_cast<uint8_t>(2 << (2 * t));
  }
  servo.validity = validity;
  servo.torqueOffVariable = static_cast<uint8_t>(form.torqueOffVariable);
  servo.torqueOffBits = static_cast<uint8_t>((form.torqueOffEnabled ? 0x80 : 0) | (form.torqueOffBit & 0x0F));
  return {};
}

FormCheck checkBasicForm(const BasicForm& form) {
  namespace c = cpu_control;
  if (!isInteger(form.controlPeriod) || parseDecimal(form.controlPeriod) < 0 || parseDecimal(form.controlPeriod) > 65535)
    return {kMsgControlPeriodRange, c::kControlPeriod};
  if (FormCheck check = checkVoltage(form.batteryAlarm, c::kBatteryAlarm); !check.passed()) return check;
  return checkVoltage(form.batteryShutdown, c::kBatteryShutdown);
}

void storeBasicForm(const BasicForm& form, CpuSettings& settings) {
  settings.controlPeriod = static_cast<uint32_t>(parseDecimal(form.controlPeriod));
  settings.bootTimer = static_cast<int16_t>(form.bootTimer);
  settings.batteryAlarm = millivolts(form.batteryAlarm).value_or(0);
  settings.batteryShutdown = millivolts(form.batteryShutdown).value_or(0);
  settings.voiceOutput = form.voiceOutput ? 1 : 0;
  settings.voiceVariable = static_cast<uint16_t>(form.voiceVariable);
  settings.amplifier = static_cast<uint8_t>((form.builtInAmplifier ? 0x80 : 0) | (form.amplifierGain & 0x03));
  settings.padType = static_cast<uint8_t>(form.padType);
  settings.controllerServoOn = form.controllerServoOn ? 1 : 0;
}

void chooseConnectorType(CpuSettings& settings, bool cn6, uint8_t type) {
  uint8_t& chosen = cn6 ? settings.cn6Type : settings.cn7Type;
  uint8_t& other = cn6 ? settings.cn7Type : settings.cn6Type;
  chosen = type;
  if ((type == 1 || type == 2) && other == type) other = 0;
}

bool controllerServoOnAvailable(const CpuSettings& settings) { return settings.firmwareRevision > 7; }
bool connectorTypesAvailable(const CpuSettings& settings) { return settings.firmwareRevision >= 13; }

bool firmwareNeedsUpdate(const CpuSettings& settings) {
  return settings.firmwareVersion < 0x0100 || (settings.firmwareVersion == 0x0100 && settings.firmwareRevision < 2);
}

CpuApplyResult applyCpuSettings(CpuSettings& record, CpuSettings& work, const BasicForm& basic, int shownChannel,
                                const ServoForm& servo, const std::function<int(const CpuSettings&)>& sendToRam) {
  if (showMessage(kMsgApplySettings, MessageIcon::Question, MessageButtons::YesNo) != MessageAnswer::Yes)
    return {CpuApplyOutcome::Declined, 0};
  FormCheck check = checkBasicForm(basic);
  ServoRecord shown = work.servos.at(static_cast<size_t>(shownChannel));
  if (check.passed()) check = storeServoForm(servo, shown);
  if (!check.passed()) {
    showMessage(check.stringId, MessageIcon::Warning, MessageButtons::Ok);
    return {CpuApplyOutcome::Invalid, check.control};
  }
  work.servos[static_cast<size_t>(shownChannel)] = shown;
  storeBasicForm(basic, work);
  record = work;
  if (sendToRam(record) != 1) {
    showMessage(kMsgApplyToRamFailed, MessageIcon::Warning, MessageButtons::Ok);
    return {CpuApplyOutcome::Failed, 0};
  }
  showMessage(kMsgAppliedToRam, MessageIcon::None, MessageButtons::Ok);
  return {CpuApplyOutcome::Applied, 0};
}

}  // namespace kv
