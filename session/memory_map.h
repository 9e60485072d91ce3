// The MARLO-3 board's memory as the editor uses it: flash ROM below
// 0x200000, RAM from 0x200000 with the status header, settings, live pose,
// tables, variables and request areas. Numbers in board memory are
// little-endian.
#pragma once

#include <cstdint>

namespace kv::board_addr {

// The board on USB: vendor id, product id and accepted version range.
inline constexpr int kVendorId = 0x1962;
inline constexpr int kProductId = 0x1000;
inline constexpr int kLowestVersion = 0x0100;
inline constexpr int kHighestVersion = 0x01FF;

// Every address a block header can name lies below this.
inline constexpr uint32_t kAddressLimit = 0x400000;
inline constexpr uint32_t kRamBase = 0x200000;  // below: flash ROM
inline constexpr uint32_t kFlashSectorSize = 0x8000;
inline constexpr uint32_t kFlashBlockSize = 512;

inline constexpr uint32_t kRomBootTimer = 0x00012E;  // s16, the boot timer as stored in ROM

// Status header.
inline constexpr uint32_t kStatusHeader = 0x200000;  // 16 bytes, read during flash operations
inline constexpr uint32_t kStatusHeaderSize = 16;
inline constexpr uint32_t kFirmwareVersion = 0x200004;  // u16, 8.8 fixed point
inline constexpr uint32_t kRestartRequest = 0x200006;   // u16: 1 restarts the board
inline constexpr uint32_t kErrorAddress = 0x200008;     // u32
inline constexpr uint32_t kFlashState = 0x20000C;       // u16
inline constexpr uint32_t kErrorCode = 0x20000E;        // u16
inline constexpr uint32_t kReadPointer = 0x200010;      // u32: the read request the board answers
inline constexpr uint32_t kFirmwareRevision = 0x200014;  // s32
inline constexpr uint32_t kFirmwareStart = 0x200018;    // u32 start and u32 length of a new firmware,
inline constexpr uint32_t kFirmwareLength = 0x20001C;   // written together as one 8-byte block

// Settings.
inline constexpr uint32_t kNamePointer = 0x200020;  // u32 -> 15 bytes of robot name
inline constexpr uint32_t kBatteryAlarm = 0x200028;
inline constexpr uint32_t kBatteryShutdown = 0x20002A;
inline constexpr uint32_t kVoiceVariable = 0x20002C;
inline constexpr uint32_t kBootTimer = 0x20002E;
inline constexpr uint32_t kControlPeriod = 0x200030;
inline constexpr uint32_t kVoiceOutput = 0x200034;
inline constexpr uint32_t kAmplifier = 0x200035;
inline constexpr uint32_t kDeviceTablePointer = 0x200038;  // u32 -> the device table bank in use
inline constexpr uint32_t kPadType = 0x20003C;
inline constexpr uint32_t kControllerServoOn = 0x20003D;
inline constexpr uint32_t kCn7Type = 0x20003E;
inline constexpr uint32_t kCn6Type = 0x20003F;

// Motion registers.
inline constexpr uint32_t kMotionStart = 0x200080;     // u32: nonzero while a motion runs
inline constexpr uint32_t kMotionRegister2 = 0x200084;  // cleared with kMotionStart at session start
inline constexpr uint32_t kMotionRegister3 = 0x200088;
inline constexpr uint32_t kMotionPosition = 0x20008C;  // u32
inline constexpr uint32_t kLoopSetting = 0x200090;     // s16

// Live pose.
inline constexpr uint32_t kLivePose = 0x200100;        // 62 x u16
inline constexpr uint32_t kLiveServoBits = 0x20017C;   // u32
inline constexpr uint32_t kLiveTime = 0x200180;        // u16 steps
inline constexpr uint32_t kOperatingState = 0x200182;  // u16
inline constexpr uint32_t kStopRequest = 0x200184;     // u16: 1 stops the running motion

// Tables.
inline constexpr uint32_t kInterpolation = 0x2001C0;  // 62 bytes
inline constexpr uint32_t kServoTableA = 0x200200;    // 30 x 16
inline constexpr uint32_t kServoTableB = 0x200600;    // 30 x 16
inline constexpr uint32_t kServoRecordSize = 16;
inline constexpr uint32_t kDeviceBanks = 0x200400;    // two banks of 256 bytes
inline constexpr uint32_t kDeviceBankSize = 0x100;

// Board variables v[0] to v[255].
inline constexpr uint32_t kVariables = 0x200800;
constexpr uint32_t variableAddress(int n) { return kVariables + 2 * static_cast<uint32_t>(n); }
inline constexpr uint32_t kSliderValues = 0x200800;    // v[0..61]
inline constexpr uint32_t kBatteryVoltage = 0x2009DE;  // v[239], s16 mV
inline constexpr uint32_t kControllerState = 0x2009E0;  // v[240..251], 24 bytes
inline constexpr uint32_t kServoPower = 0x2009F8;      // v[252]: 1 on, 0 off

// Request areas and the playback motion.
inline constexpr uint32_t kFlashRequestArea = 0x200A00;
inline constexpr uint32_t kReadRequestArea = 0x200B00;
inline constexpr uint32_t kMotionArea = 0x201A00;
inline constexpr uint32_t kMotionAreaEnd = 0x204000;

// Flash state values.
inline constexpr int16_t kFlashCleared = 0;
inline constexpr int16_t kFlashDone = 4;
inline constexpr int16_t kFlashFailed = 5;

}  // namespace kv::board_addr
