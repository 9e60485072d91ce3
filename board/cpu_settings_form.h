// The CPU settings dialog's entries as text, their checks, and Apply: the
// dialog fills the forms from its working copy and hands them back here; a
// check that fails names the string shown and the entry to select.
#pragma once

#include <array>
#include <functional>
#include <string>

#include "board/cpu_settings.h"

namespace kv {

// Control numbers of the entries a check can reject.
namespace cpu_control {
inline constexpr int kControlPeriod = 1646;
inline constexpr int kBatteryAlarm = 1644;
inline constexpr int kBatteryShutdown = 1641;
inline constexpr int kPwmBase = 1600;
inline constexpr int kPwmCoefficient = 1611;
inline constexpr std::array<int, 4> kTermCoefficient = {1845, 1603, 1857, 1860};  // terms 1 to 4
inline constexpr int kLowerLimit = 1607;
inline constexpr int kUpperLimit = 1608;
}  // namespace cpu_control

// Strings of the checks and of Apply.
inline constexpr int kMsgApplySettings = 40106;
inline constexpr int kMsgBaseRange = 40151;
inline constexpr int kMsgCoefficientRange = 40152;
inline constexpr int kMsgLimitRange = 40153;
inline constexpr int kMsgServoNotNumber = 40154;
inline constexpr int kMsgSettingNotNumber = 40155;
inline constexpr int kMsgVoltageRange = 40156;
inline constexpr int kMsgControlPeriodRange = 40157;
inline constexpr int kMsgAppliedToRam = 40271;
inline constexpr int kMsgApplyToRamFailed = 40272;

// Term validity as its combo shows it.
enum TermValidity { kAlwaysValid = 0, kValidWhenVbNotNegative = 1, kValidWhenVbNotPositive = 2 };

// Page "servo output": one servo record.
struct ServoForm {
  std::u16string name;
  int powerOnTimer = 0;
  int variableA = 0;
  std::array<std::u16string, 4> termCoefficient;  // terms 1 to 4
  std::array<int, 4> termVa{};
  std::array<int, 4> termVb{};
  std::array<int, 4> termValidity{};  // TermValidity
  std::u16string lowerLimit, upperLimit;
  std::u16string base, coefficient;
  bool torqueOffEnabled = false;
  int torqueOffVariable = 0;
  int torqueOffBit = 0;  // 0 to 15
};

// Page "CPU settings": the entries that are stored on Apply (interpolation
// and the connector types are stored into the working copy at once).
struct BasicForm {
  std::u16string controlPeriod;
  int bootTimer = 0;
  std::u16string batteryAlarm, batteryShutdown;  // volts
  bool voiceOutput = false;
  int voiceVariable = 0;
  bool builtInAmplifier = false;
  int amplifierGain = 0;  // 0 to 3
  int padType = 0;
  bool controllerServoOn = false;
};

// The outcome of a check: string 0 when it passed.
struct FormCheck {
  int stringId = 0;
  int control = 0;
  bool passed() const { return stringId == 0; }
};

ServoForm servoForm(const ServoRecord& servo);
BasicForm basicForm(const CpuSettings& settings);

// Volts as the dialog shows them ("%.4f" of mV / 1000).
std::u16string voltsText(uint16_t millivolts);
// "CN%d-%d(%02d):%s": connector 1 to 5, position 1 to 6, channel, name.
std::u16string servoChannelLabel(const ServoRecord& servo, int channel);

// Checks the servo page in order (base, PWM coefficient, term coefficients,
// lower then upper limit) and, when all pass, stores it into `servo`.
FormCheck storeServoForm(const ServoForm& form, ServoRecord& servo);
// Checks the control period and the battery voltages; stores nothing.
FormCheck checkBasicForm(const BasicForm& form);
// Stores the checked basic page into `settings` (voltages to the nearest mV).
void storeBasicForm(const BasicForm& form, CpuSettings& settings);

// Choosing a connector type: 1 or 2 on one connector sets the other back to
// none when it had the same choice.
void chooseConnectorType(CpuSettings& settings, bool cn6, uint8_t type);

// What the firmware enables: the controller servo-on mode from revision 8,
// the connector types from revision 13.
bool controllerServoOnAvailable(const CpuSettings& settings);
bool connectorTypesAvailable(const CpuSettings& settings);
// The firmware is older than 1.0 revision 2: the basic page warns.
bool firmwareNeedsUpdate(const CpuSettings& settings);

enum class CpuApplyOutcome { Declined, Invalid, Failed, Applied };

struct CpuApplyResult {
  CpuApplyOutcome outcome = CpuApplyOutcome::Declined;
  int invalidControl = 0;  // the entry to select when Invalid
};

// Apply: asks 40106; checks the basic page (40157, 40155, 40156) and the
// shown servo (shown as a warning; nothing is stored on a failure); stores
// both pages into `work`, copies it into `record`, and sends the record to
// the board's RAM with `sendToRam` (1 on success): 40271, or 40272 as a
// warning.
CpuApplyResult applyCpuSettings(CpuSettings& record, CpuSettings& work, const BasicForm& basic, int shownChannel,
                                const ServoForm& servo, const std::function<int(const CpuSettings&)>& sendToRam);

}  // namespace kv
