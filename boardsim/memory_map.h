// The virtual board's address space: flash ROM below 0x200000, RAM from
// 0x200000, and the registers, tables and areas the editor reads and writes
// there. Numbers in memory are little-endian.
#pragma once

#include <cstdint>

namespace boardsim {

// ---------------------------------------------------------------- layout --
inline constexpr uint32_t kFlashBase = 0x000000;
inline constexpr uint32_t kFlashSize = 0x200000;  // 2 MiB
inline constexpr uint32_t kSectorSize = 0x8000;   // erase unit, 32 KiB
inline constexpr uint32_t kPageSize = 512;        // programming unit
inline constexpr uint32_t kRamBase = 0x200000;
inline constexpr uint32_t kRamSize = 0x10000;  // 64 KiB; the rest of the 22-bit space is unmapped
inline constexpr uint32_t kAddressSpace = 0x400000;

// ---------------------------------------------------------------- status header (0x200000-0x20000F)
inline constexpr uint32_t kBoardId = 0x200000;          // u16, read-only: kBoardIdValue
inline constexpr uint32_t kBootCount = 0x200002;        // u16, read-only: boots since power-on
inline constexpr uint32_t kFirmwareVersion = 0x200004;  // u16, read-only, 8.8 fixed point
inline constexpr uint32_t kRestartRequest = 0x200006;   // u16: 1 restarts the board
inline constexpr uint32_t kErrorAddress = 0x200008;     // u32
inline constexpr uint32_t kFlashState = 0x20000C;       // u16, kFlash*
inline constexpr uint32_t kErrorCode = 0x20000E;        // u16, kError*
inline constexpr uint32_t kReadPointer = 0x200010;      // u32: address of the standing read request
inline constexpr uint32_t kFirmwareRevision = 0x200014;  // u32, read-only
inline constexpr uint32_t kFirmwareStart = 0x200018;    // u32: flash address of a new firmware image
inline constexpr uint32_t kFirmwareLength = 0x20001C;   // u32: its length; both in one block start it
inline constexpr uint16_t kBoardIdValue = 0x0003;

// ---------------------------------------------------------------- settings (mirror of ROM 0x120-0x13F)
inline constexpr uint32_t kNamePointer = 0x200020;      // u32 -> kNameCopy
inline constexpr uint32_t kMotionAreaSize = 0x200024;   // u32, from the ROM header
inline constexpr uint32_t kBatteryAlarm = 0x200028;     // u16 mV
inline constexpr uint32_t kBatteryShutdown = 0x20002A;  // u16 mV
inline constexpr uint32_t kVoiceVariable = 0x20002C;    // u16
inline constexpr uint32_t kBootTimer = 0x20002E;        // s16
inline constexpr uint32_t kControlPeriod = 0x200030;    // u32 microseconds
inline constexpr uint32_t kVoiceOutput = 0x200034;      // u8
inline constexpr uint32_t kAmplifier = 0x200035;        // u8
inline constexpr uint32_t kDeviceTablePointer = 0x200038;  // u32 -> kDeviceBank0 or kDeviceBank1
inline constexpr uint32_t kPadType = 0x20003C;          // u8
inline constexpr uint32_t kControllerServoOn = 0x20003D;  // u8
inline constexpr uint32_t kCn7Type = 0x20003E;          // u8
inline constexpr uint32_t kCn6Type = 0x20003F;          // u8

// ---------------------------------------------------------------- motion registers
inline constexpr uint32_t kMotionStart = 0x200080;     // u32: write an address to start, 0 to stop
inline constexpr uint32_t kMotionNext = 0x200084;      // u32: address of the next instruction while running
inline constexpr uint32_t kMotionWait = 0x200088;      // u32: control cycles left in the current transition
inline constexpr uint32_t kMotionPosition = 0x20008C;  // u32: code address of the block being run
inline constexpr uint32_t kLoopSetting = 0x200090;     // s16, taken when a motion starts
inline constexpr uint32_t kNameCopy = 0x2000E0;        // 16 bytes: robot name read from ROM at boot
inline constexpr uint32_t kNameSize = 16;

// ---------------------------------------------------------------- live pose
inline constexpr uint32_t kLivePose = 0x200100;        // 62 x s16
inline constexpr uint32_t kLiveServoBits = 0x20017C;   // u32
inline constexpr uint32_t kLiveTime = 0x200180;        // u16 steps
inline constexpr uint32_t kLiveEnd = 0x200182;         // one past the live pose area
inline constexpr uint32_t kOperatingState = 0x200182;  // u16, kState*
inline constexpr uint32_t kStopRequest = 0x200184;     // u16: 1 stops the running motion

// ---------------------------------------------------------------- tables
inline constexpr uint32_t kInterpolation = 0x2001C0;  // 62 x u8
inline constexpr uint32_t kServoTableA = 0x200200;    // 30 x 16
inline constexpr uint32_t kDeviceBank0 = 0x200400;    // 256
inline constexpr uint32_t kDeviceBank1 = 0x200500;    // 256
inline constexpr uint32_t kDeviceBankSize = 256;
inline constexpr uint32_t kServoTableB = 0x200600;  // 30 x 16
inline constexpr uint32_t kServoRecordSize = 16;
inline constexpr int kServoOutputs = 30;

// ---------------------------------------------------------------- variables
inline constexpr uint32_t kVariables = 0x200800;  // v[0..255], s16 each
inline constexpr int kVariableCount = 256;
inline constexpr int kSliderCount = 62;         // v[0..61]: the pose sliders
inline constexpr int kServoEnableLow = 62;      // v[62]: servo-enable bits of outputs 0..15
inline constexpr int kServoEnableHigh = 63;     // v[63]: outputs 16..29
inline constexpr int kBatteryVariable = 239;    // mV
inline constexpr int kControllerVariable = 240;  // v[240..251]: controller state, v[240] its kind
inline constexpr int kServoPowerVariable = 252;  // 1 on, 0 off
constexpr uint32_t variableAddress(int n) { return kVariables + 2 * static_cast<uint32_t>(n); }

// ---------------------------------------------------------------- areas
inline constexpr uint32_t kFlashRequestArea = 0x200A00;
inline constexpr uint32_t kReadRequestArea = 0x200B00;
inline constexpr uint32_t kMotionArea = 0x201A00;
inline constexpr uint32_t kMotionAreaEnd = 0x204000;

// ---------------------------------------------------------------- values
inline constexpr uint16_t kFlashCleared = 0;
inline constexpr uint16_t kFlashErasing = 1;
inline constexpr uint16_t kFlashProgramming = 2;
inline constexpr uint16_t kFlashDone = 4;
inline constexpr uint16_t kFlashFailed = 5;

inline constexpr uint16_t kStateIdle = 1;        // servos off
inline constexpr uint16_t kStateServosOn = 2;    // servos on, holding the pose
inline constexpr uint16_t kStateMovingLive = 3;  // moving to a live pose
inline constexpr uint16_t kStateRunning = 6;     // running a motion program
inline constexpr uint16_t kStateFlash = 7;       // a flash operation is under way

inline constexpr uint16_t kErrorNone = 0x00;
inline constexpr uint16_t kErrorBadRequest = 0x01;      // address: offset in the request
inline constexpr uint16_t kErrorWriteRefused = 0x02;    // address: the block's address
inline constexpr uint16_t kErrorBadReadRequest = 0x03;  // address: the read-request pointer
inline constexpr uint16_t kErrorFlashRefused = 0x04;    // address: the operation's address
inline constexpr uint16_t kErrorFlashVerify = 0x05;     // address: the page's address
inline constexpr uint16_t kErrorFirmware = 0x06;        // address: the image's start address
inline constexpr uint16_t kErrorMotion = 0x08;          // address: the instruction's address
inline constexpr uint16_t kErrorDeviceTable = 0x09;     // address: the malformed device entry (or the pointer)

// ---------------------------------------------------------------- ROM image header (offsets)
namespace rom {
inline constexpr uint32_t kMagic0 = 0x000;  // u32 0x00000100
inline constexpr uint32_t kMagic1 = 0x004;  // u32 0x00000800
inline constexpr uint32_t kMagic0Value = 0x00000100;
inline constexpr uint32_t kMagic1Value = 0x00000800;
inline constexpr uint32_t kNameOffset = 0x120;      // u32, 0x8E0
inline constexpr uint32_t kMotionAreaSize = 0x124;  // u32
inline constexpr uint32_t kSettings = 0x128;        // 0x128-0x13F: laid out as RAM 0x200028-0x20003F
inline constexpr uint32_t kDeviceOffset = 0x138;    // u32, 0x500
inline constexpr uint32_t kModeTable = 0x140;
inline constexpr uint32_t kInterpolation = 0x2C0;
inline constexpr uint32_t kServoRecords = 0x300;  // table A layout
inline constexpr uint32_t kDeviceBlock = 0x500;
inline constexpr uint32_t kDeviceBlockMax = 512;
inline constexpr uint32_t kServoCalc = 0x700;  // table B layout
inline constexpr uint32_t kName = 0x8E0;
inline constexpr uint32_t kHeaderEnd = 0x8F2;
inline constexpr uint32_t kDefaultMotionAreaSize = 65536;
}  // namespace rom

// ---------------------------------------------------------------- motion program
namespace op {
inline constexpr uint8_t kEnd = 0xFF;
inline constexpr uint8_t kJump = 0xFE;
inline constexpr uint8_t kLoop = 0xFD;
inline constexpr uint8_t kBranch = 0xFC;
inline constexpr uint8_t kCalcConstant = 0xFB;
inline constexpr uint8_t kCalcVariable = 0xFA;
inline constexpr uint8_t kMaxPoseTime = 239;  // a pose instruction starts with its time byte 1..239
inline constexpr uint32_t kPoseRecordSize = 130;
}  // namespace op

}  // namespace boardsim
