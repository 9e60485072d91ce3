#include "board/rom_settings.h"

#include <cmath>
#include <string>
#include <string_view>

#include "shell/folders.h"
#include "shell/project.h"
#include "shell/textfile.h"

namespace kv {
namespace {

constexpr int kLineCapacity = kSliderFileLineCapacity;  // a device's parameter list runs past 1024
constexpr int kServoEnableVariable = 62;                 // v[62], v[63]: one bit per servo channel
constexpr uint8_t kTorqueOffEnabled = 0x80;
constexpr int kTermCount = 3;                            // MOTOR_ADDCALC terms 2 to 4

// Calls `item` with each comma-separated item of a list, at most `limit`.
template <class F>
void forEachItem(std::u16string_view list, size_t limit, F item) {
  size_t pos = 0;
  for (size_t taken = 0; taken < limit && pos <= list.size(); ++taken) {
    const size_t comma = list.find(u',', pos);
    const size_t end = comma == std::u16string_view::npos ? list.size() : comma;
    item(taken, list.substr(pos, end - pos));
    if (comma == std::u16string_view::npos) break;
    pos = comma + 1;
  }
}

// The devices form a list: the first unused slot, or one whose size cannot
// be packed or written, ends it, and every slot behind it is cleared.
void endDeviceListAtFirstGap(CpuSettings& settings) {
  bool ended = false;
  for (DeviceEntry& entry : settings.devices) {
    if (!entry.used || !entry.sizeValid()) ended = true;
    if (ended) entry = DeviceEntry{};
  }
}

std::u16string joined(const uint8_t* bytes, size_t count) {
  std::u16string list;
  for (size_t i = 0; i < count; ++i) {
    if (i > 0) list += u',';
    list += formatted(u"%d", {static_cast<int>(bytes[i])});
  }
  return list;
}

class RomSettingsReader {
 public:
  explicit RomSettingsReader(CpuSettings& settings) : s_(settings) {}

  void line(std::u16string_view line) {
    basic(line);
    servo(line);
    device(line);
  }

  void finish() {
    // Two connectors cannot both carry the command port or K-SERVO.
    if (s_.cn6Type == s_.cn7Type && (s_.cn6Type == 1 || s_.cn6Type == 2)) s_.cn7Type = 0;
    endDeviceListAtFirstGap(s_);
  }

 private:
  void basic(std::u16string_view line) {
    if (Cursor at = findKey(line, u"MASTER_CLOCK:")) s_.controlPeriod = static_cast<uint32_t>(FieldReader(line, at).decimal());
    if (Cursor at = findKey(line, u"BATTERY_SETTING:")) {
      FieldReader f(line, at);
      s_.batteryAlarm = millivoltsFromVolts(f.real());
      s_.batteryShutdown = millivoltsFromVolts(f.real());
    }
    if (Cursor at = findKey(line, u"VOICE_SETTING:")) {
      FieldReader f(line, at);
      s_.voiceOutput = static_cast<uint8_t>(f.decimal());
      s_.amplifier = static_cast<uint8_t>(f.decimal());
      s_.voiceVariable = static_cast<uint16_t>(f.decimal());
    }
    if (Cursor at = findKey(line, u"BOOTTIMER:")) s_.bootTimer = static_cast<int16_t>(FieldReader(line, at).decimal());
    if (Cursor at = findKey(line, u"DEFAULT_PADTYPE:")) s_.padType = static_cast<uint8_t>(FieldReader(line, at).decimal());
    if (Cursor at = findKey(line, u"DEFAULT_CN6_7_TYPE:")) {
      FieldReader f(line, at);
      s_.cn6Type = static_cast<uint8_t>(f.decimal());
      s_.cn7Type = static_cast<uint8_t>(f.decimal());
    }
    if (Cursor at = findKey(line, u"CTRLSVONMODE:")) {
      s_.controllerServoOn = static_cast<uint8_t>(FieldReader(line, at).decimal());
    }
    // The key is spelled with a lower-case l in every file.
    if (Cursor at = findKey(line, u"INTERPOlATION_SETTING:")) {
      forEachItem(FieldReader(line, at).value(), kInterpolationCount, [&](size_t i, std::u16string_view item) {
        s_.interpolation[i] = static_cast<uint8_t>(parseDecimal(item));
      });
    }
  }

  void servo(std::u16string_view line) {
    if (Cursor at = findKey(line, u"MOTORNAME:")) {
      ++servosSeen_;
      if (ServoRecord* servo = current()) servo->name = fitField(FieldReader(line, at).text(), kNameFieldSize);
    }
    ServoRecord* servo = current();
    if (!servo) return;
    if (Cursor at = findKey(line, u"MOTOR_VARINDEX:")) {
      FieldReader f(line, at);
      servo->variableA = static_cast<uint8_t>(f.decimal());
      servo->term1Va = static_cast<uint8_t>(f.decimal());
      servo->term1Vb = static_cast<uint8_t>(f.decimal());
    }
    if (Cursor at = findKey(line, u"MOTOR_LIMIT:")) {
      FieldReader f(line, at);
      servo->lowerLimit = static_cast<int16_t>(f.decimal());
      servo->upperLimit = static_cast<int16_t>(f.decimal());
    }
    if (Cursor at = findKey(line, u"MOTOR_PWON_DELAY:")) servo->powerOnTimer = static_cast<uint8_t>(FieldReader(line, at).decimal());
    if (Cursor at = findKey(line, u"MOTOR_COEFFICIENT:")) {
      FieldReader f(line, at);
      servo->coefficient = static_cast<int16_t>(f.decimal());
      servo->term1Coefficient = static_cast<int16_t>(f.decimal());
    }
    if (Cursor at = findKey(line, u"MOTOR_BASE:")) servo->base = static_cast<uint16_t>(FieldReader(line, at).decimal());
    if (Cursor at = findKey(line, u"MOTOR_ENABLEVALUE:")) {
      FieldReader f(line, at);
      servo->torqueOffVariable = static_cast<uint8_t>(f.decimal());
      servo->torqueOffBits = static_cast<uint8_t>(f.decimal());
    }
    if (Cursor at = findKey(line, u"MOTOR_ADDCALC:")) {
      FieldReader f(line, at);
      const int term = f.decimal();
      if (term >= 0 && term < kTermCount) {
        servo->termCoefficient[term] = static_cast<int16_t>(f.decimal());
        servo->termVa[term] = static_cast<uint8_t>(f.decimal());
        servo->termVb[term] = static_cast<uint8_t>(f.decimal());
      }
    }
    if (Cursor at = findKey(line, u"MOTOR_SIGNBIT:")) servo->validity = static_cast<uint8_t>(FieldReader(line, at).decimal());
  }

  void device(std::u16string_view line) {
    if (Cursor at = findKey(line, u"_KP_DEVICE_TYPE:")) {
      ++devicesSeen_;
      if (DeviceEntry* entry = currentDevice()) {
        entry->used = 1;
        entry->type = static_cast<uint16_t>(FieldReader(line, at).hex4());
      }
    }
    DeviceEntry* entry = currentDevice();
    if (!entry) return;
    if (Cursor at = findKey(line, u"_KP_DEVICE_SIZE:")) entry->size = static_cast<uint16_t>(FieldReader(line, at).decimal());
    if (Cursor at = findKey(line, u"_KP_DEVICE_BUSADDR:")) entry->busAddress = static_cast<uint8_t>(FieldReader(line, at).hex4());
    if (Cursor at = findKey(line, u"_KP_DEVICE_VALUEINDEX:")) {
      entry->statusVariable = static_cast<uint8_t>(FieldReader(line, at).decimal());
    }
    if (Cursor at = findKey(line, u"_KP_DEVICE_PARAMETER:")) {
      // As many values as the parameter field holds, so that every list
      // the writer produces reads back whole.
      forEachItem(FieldReader(line, at).value(), kDeviceParameterCapacity, [&](size_t i, std::u16string_view item) {
        entry->parameters[i] = static_cast<uint8_t>(parseDecimal(item));
      });
    }
  }

  ServoRecord* current() {
    return servosSeen_ >= 1 && servosSeen_ <= kServoOutputCount ? &s_.servos[servosSeen_ - 1] : nullptr;
  }
  DeviceEntry* currentDevice() {
    return devicesSeen_ >= 1 && devicesSeen_ <= kDeviceSlotCount ? &s_.devices[devicesSeen_ - 1] : nullptr;
  }

  CpuSettings& s_;
  int servosSeen_ = 0;
  int devicesSeen_ = 0;
};

}  // namespace

uint16_t millivoltsFromVolts(double volts) {
  if (!(volts > 0.0)) return 0;  // negative, zero and not-a-number
  const double millivolts = std::round(volts * 1000.0);
  return millivolts >= 65535.0 ? uint16_t{65535} : static_cast<uint16_t>(millivolts);
}

void setTorqueOffDefaults(CpuSettings& settings) {
  for (int channel = 0; channel < kServoOutputCount; ++channel) {
    ServoRecord& servo = settings.servos[channel];
    servo.torqueOffVariable = static_cast<uint8_t>(kServoEnableVariable + channel / 16);
    servo.torqueOffBits = static_cast<uint8_t>(kTorqueOffEnabled | channel % 16);
  }
}

bool loadRomSettings(const std::filesystem::path& file, CpuSettings& settings) {
  setTorqueOffDefaults(settings);
  settings.devices = {};
  RomSettingsReader reader(settings);
  if (!readTaggedFile(file, kLineCapacity, [&](std::u16string_view line) { reader.line(line); })) return false;
  reader.finish();
  return true;
}

bool saveRomSettings(const std::filesystem::path& file, const CpuSettings& settings) {
  TaggedFileWriter out(file);
  out.line(u"MASTER_CLOCK:[%d]\n", {static_cast<unsigned>(settings.controlPeriod)});
  out.line(u"BATTERY_SETTING:[%.4f]-[%.4f]\n", {settings.batteryAlarm / 1000.0, settings.batteryShutdown / 1000.0});
  out.line(u"VOICE_SETTING:[%d]-[%d]-[%d]\n", {static_cast<int>(settings.voiceOutput),
                                                static_cast<int>(settings.amplifier),
                                                static_cast<int>(settings.voiceVariable)});
  out.line(u"BOOTTIMER:[%d]\n", {static_cast<int>(settings.bootTimer)});
  out.line(u"DEFAULT_PADTYPE:[%d]\n", {static_cast<int>(settings.padType)});
  out.line(u"DEFAULT_CN6_7_TYPE:[%d]-[%d]\n", {static_cast<int>(settings.cn6Type), static_cast<int>(settings.cn7Type)});
  out.line(u"CTRLSVONMODE:[%d]\n", {static_cast<int>(settings.controllerServoOn)});
  out.line(u"INTERPOlATION_SETTING:[%s]\n\n", {joined(settings.interpolation.data(), kInterpolationCount)});

  for (const ServoRecord& servo : settings.servos) {
    out.line(u"MOTORNAME:[[%s]]\n", {fitField(servo.name, kNameFieldSize)});
    out.line(u"MOTOR_VARINDEX:[%d]-[%d]-[%d]\n",
             {static_cast<int>(servo.variableA), static_cast<int>(servo.term1Va), static_cast<int>(servo.term1Vb)});
    out.line(u"MOTOR_LIMIT:[%d]-[%d]\n", {static_cast<int>(servo.lowerLimit), static_cast<int>(servo.upperLimit)});
    out.line(u"MOTOR_PWON_DELAY:[%d]\n", {static_cast<int>(servo.powerOnTimer)});
    out.line(u"MOTOR_COEFFICIENT:[%d]-[%d]\n",
             {static_cast<int>(servo.coefficient), static_cast<int>(servo.term1Coefficient)});
    out.line(u"MOTOR_BASE:[%d]\n", {static_cast<int>(servo.base)});
    out.line(u"MOTOR_ENABLEVALUE:[%d]-[%d]\n",
             {static_cast<int>(servo.torqueOffVariable), static_cast<int>(servo.torqueOffBits)});
    for (int term = 0; term < kTermCount; ++term) {
      out.line(u"MOTOR_ADDCALC:[%d]-[%d]-[%d]-[%d]\n",
               {term, static_cast<int>(servo.termCoefficient[term]), static_cast<int>(servo.termVa[term]),
                static_cast<int>(servo.termVb[term])});
    }
    out.line(u"MOTOR_SIGNBIT:[%d]\n\n", {static_cast<int>(servo.validity)});
  }
  out.line(u"\n");

  for (const DeviceEntry& entry : settings.devices) {
    if (!entry.used || !entry.sizeValid()) break;
    out.line(u"_KP_DEVICE_TYPE:[0x%04x]\n", {static_cast<unsigned>(entry.type)});
    out.line(u"_KP_DEVICE_SIZE:[%d]\n", {static_cast<int>(entry.size)});
    out.line(u"_KP_DEVICE_BUSADDR:[0x%04x]\n", {static_cast<unsigned>(entry.busAddress)});
    out.line(u"_KP_DEVICE_VALUEINDEX:[%d]\n", {static_cast<int>(entry.statusVariable)});
    out.line(u"_KP_DEVICE_PARAMETER:[%s]\n\n",
             {joined(entry.parameters.data(), static_cast<size_t>(entry.size - kDeviceHeaderSize))});
  }
  return out.finish();
}

bool saveProjectRomSettings(const ProjectRecord& project, const CpuSettings& settings) {
  return saveRomSettings(settingsFileToWrite(project, kRomSettingsFileName), settings);
}

}  // namespace kv
