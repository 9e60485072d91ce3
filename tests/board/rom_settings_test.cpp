#include "board/rom_settings.h"

#include <gtest/gtest.h>

#include <string>

#include "shell/text_encoding.h"
#include "support/comma_locale.h"
#include "shell/textfile.h"
#include "support/temp_dir.h"

namespace kv {
namespace {

using testing::readBytes;
using testing::TempDir;
using testing::utf16File;
using testing::writeBytes;

std::u16string servoBlock(std::u16string_view name, int base) {
  std::u16string block = u"MOTORNAME:[[" + std::u16string(name) + u"]]\r\nMOTOR_BASE:[";
  for (char c : std::to_string(base)) block += static_cast<char16_t>(c);
  return block + u"]\r\n\r\n";
}

size_t occurrences(const std::u16string& text, std::u16string_view key) {
  size_t count = 0;
  for (size_t at = text.find(key); at != std::u16string::npos; at = text.find(key, at + 1)) ++count;
  return count;
}

// The saved file as text (UTF-16LE after its byte order mark).
std::u16string savedText(const std::filesystem::path& file) {
  const std::string bytes = readBytes(file);
  std::u16string text;
  for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
    text += static_cast<char16_t>(static_cast<uint8_t>(bytes[i]) | static_cast<uint8_t>(bytes[i + 1]) << 8);
  }
  return text;
}

DeviceEntry device(uint16_t type, uint16_t size) {
  DeviceEntry entry;
  entry.used = 1;
  entry.type = type;
  entry.size = size;
  return entry;
}

TEST(RomSettingsFile, LoadOverAnOlderRecordAndSaveKeepValuesAndAreStable) {
  // Volts are read and written with a point under a comma-decimal user locale too.
  testing::CommaLocale comma;
  TempDir dir;
  std::u16string text = u"MASTER_CLOCK:[10000]\r\nBATTERY_SETTING:[4.0040]-[6.5000]\r\n\r\n";
  text += servoBlock(u"ABCDEFGHIJKLMNOPQ", 100);  // 17 characters
  for (int i = 1; i < 32; ++i) text += servoBlock(u"s", 1000 + i);
  text += u"\r\n_KP_DEVICE_TYPE:[0x0100]\r\n_KP_DEVICE_SIZE:[8]\r\n_KP_DEVICE_BUSADDR:[0x0090]\r\n"
          u"_KP_DEVICE_VALUEINDEX:[128]\r\n_KP_DEVICE_PARAMETER:[7,255]\r\n\r\n";
  writeBytes(dir / "in.ini", utf16File(text));

  // The record held three devices before: none of them may survive.
  CpuSettings settings;
  for (int i = 0; i < 3; ++i) settings.devices[i] = device(0x0400, 12);
  ASSERT_TRUE(loadRomSettings(dir / "in.ini", settings));
  EXPECT_EQ(settings.batteryAlarm, 4004);  // not 4003
  EXPECT_EQ(settings.batteryShutdown, 6500);
  EXPECT_EQ(settings.servos[0].name, u"ABCDEFGHIJKLMNO");
  EXPECT_EQ(settings.servos[29].base, 1029);  // the 31st and 32nd blocks are ignored
  EXPECT_TRUE(settings.devices[0].used);
  EXPECT_EQ(settings.devices[0].parameters[1], 255);
  EXPECT_FALSE(settings.devices[1].used);

  ASSERT_TRUE(saveRomSettings(dir / "first.ini", settings));
  const std::u16string saved = savedText(dir / "first.ini");
  EXPECT_NE(saved.find(u"BATTERY_SETTING:[4.0040]-[6.5000]\r\n"), std::u16string::npos);
  EXPECT_EQ(occurrences(saved, u"MOTORNAME:"), 30u);
  EXPECT_NE(saved.find(u"MOTORNAME:[[ABCDEFGHIJKLMNO]]\r\n"), std::u16string::npos);
  EXPECT_EQ(occurrences(saved, u"_KP_DEVICE_TYPE:"), 1u);

  CpuSettings again;
  ASSERT_TRUE(loadRomSettings(dir / "first.ini", again));
  ASSERT_TRUE(saveRomSettings(dir / "second.ini", again));
  EXPECT_EQ(readBytes(dir / "second.ini"), readBytes(dir / "first.ini"));
}

TEST(RomSettingsFile, VoltsWithFourDecimalsGiveBackEveryMillivolt) {
  for (int mv = 0; mv < 65535; mv += 2) {
    // Straight through the conversion the file uses: volts with four decimals.
    ASSERT_EQ(millivoltsFromVolts(parseReal(formatted(u"%.4f", {mv / 1000.0}))), mv);
    ASSERT_EQ(millivoltsFromVolts(parseReal(formatted(u"%.4f", {(mv + 1) / 1000.0}))), mv + 1);
  }
  EXPECT_EQ(millivoltsFromVolts(65.536), 65535);
  EXPECT_EQ(millivoltsFromVolts(-1.0), 0);
}

TEST(RomSettingsFile, ReaderChecksConnectorsServoKeysAndDeviceSizes) {
  TempDir dir;
  writeBytes(dir / "in.ini",
             utf16File(u"DEFAULT_CN6_7_TYPE:[2]-[2]\r\n"
                       u"MOTOR_BASE:[5]\r\n"  // before the first name: ignored
                       u"MOTORNAME:[[a]]\r\nMOTOR_ADDCALC:[3]-[9]-[9]-[9]\r\nMOTOR_ADDCALC:[1]-[-7]-[4]-[5]\r\n"
                       u"MOTOR_LIMIT:[-100]-[200]\r\n"
                       u"_KP_DEVICE_TYPE:[0x0400]\r\n_KP_DEVICE_SIZE:[12]\r\n"
                       u"_KP_DEVICE_TYPE:[0x0100]\r\n_KP_DEVICE_SIZE:[265]\r\n"  // too large: the list ends
                       u"_KP_DEVICE_TYPE:[0x0700]\r\n_KP_DEVICE_SIZE:[14]\r\n"));
  CpuSettings settings;
  ASSERT_TRUE(loadRomSettings(dir / "in.ini", settings));
  EXPECT_EQ(settings.cn6Type, 2);
  EXPECT_EQ(settings.cn7Type, 0);
  EXPECT_EQ(settings.servos[0].base, 0);
  EXPECT_EQ(settings.servos[0].termCoefficient, (std::array<int16_t, 3>{0, -7, 0}));
  EXPECT_EQ(settings.servos[0].termVb[1], 5);
  EXPECT_EQ(settings.servos[0].lowerLimit, -100);
  EXPECT_EQ(settings.servos[0].upperLimit, 200);
  EXPECT_TRUE(settings.devices[0].used);
  EXPECT_FALSE(settings.devices[1].used);
  EXPECT_FALSE(settings.devices[2].used);

  writeBytes(dir / "mixed.ini", utf16File(u"DEFAULT_CN6_7_TYPE:[1]-[2]\r\n"));
  ASSERT_TRUE(loadRomSettings(dir / "mixed.ini", settings));
  EXPECT_EQ(settings.cn6Type, 1);
  EXPECT_EQ(settings.cn7Type, 2);
  EXPECT_FALSE(settings.devices[0].used);  // cleared before reading
}

TEST(RomSettingsFile, ShiftJisFileAndMissingFile) {
  TempDir dir;
  writeBytes(dir / "sjis.ini", utf16ToAnsi(u"MOTORNAME:[[右ひじ]]\r\nMOTOR_BASE:[22500]\r\n"));
  CpuSettings settings;
  ASSERT_TRUE(loadRomSettings(dir / "sjis.ini", settings));
  EXPECT_EQ(settings.servos[0].name, u"右ひじ");
  EXPECT_EQ(settings.servos[0].base, 22500);

  // A missing file leaves the caller's record with the torque-off defaults:
  // channel n is switched by bit n of v[62], v[63].
  CpuSettings missing;
  missing.controlPeriod = 1234;
  EXPECT_FALSE(loadRomSettings(dir / "none.ini", missing));
  EXPECT_EQ(missing.controlPeriod, 1234u);
  EXPECT_EQ(missing.servos[3].torqueOffVariable, 62);
  EXPECT_EQ(missing.servos[3].torqueOffBits, 0x83);
  EXPECT_EQ(missing.servos[17].torqueOffVariable, 63);
  EXPECT_EQ(missing.servos[17].torqueOffBits, 0x81);
}

}  // namespace
}  // namespace kv
