#include "session/memory_access.h"

#include <algorithm>

#include "session/memory_map.h"
#include "shell/messages.h"
#include "shell/pacing.h"
#include "shell/text_encoding.h"

namespace kv {

namespace a = board_addr;

namespace {

constexpr int kReplyRetryMs = 16;
constexpr int kErrorClearMs = 16;
constexpr int kRestartMs = 64;
constexpr int kSettingsWriteMs = 64;
constexpr int kServoWriteMs = 32;
constexpr int kReportPayload = 62;
// Apply's settings blocks: 0x200028-0x200035 (battery, voice word, boot
// timer, control period, voice bytes) and 0x20003C-0x20003F (pad type,
// controller servo-on, connector types).
constexpr int kSettingsBlockSize = 14;
constexpr int kControllerBlockSize = 4;
constexpr int kTableBlock = 250;  // large writes go out in blocks of this size
constexpr uint32_t kNameBytes = 15;          // robot name bytes at the name pointer
constexpr uint32_t kNameBlock = 16;          // read as one 16-byte block
constexpr uint32_t kDeviceTableRead = 256;   // bytes read at the device table pointer
constexpr uint32_t kDeviceTableWindow = 512;  // entries must end within this many bytes

}  // namespace

int flashStepMessageId(FlashStepResult result) {
  switch (result) {
    case FlashStepResult::ClearFailed: return kMsgClearFlashState;
    case FlashStepResult::WriteFailed: return kMsgWriteExec;
    case FlashStepResult::WaitFailed: return kMsgWaitFlashState;
    case FlashStepResult::Done: break;
  }
  return 0;
}

void showFlashStepError(FlashStepResult result) {
  if (int id = flashStepMessageId(result)) showMessage(id, MessageIcon::Error, MessageButtons::Ok);
}

MemoryAccess::MemoryAccess(BoardLink& link, LinkState& state, LinkTimeouts timeouts)
    : link_(link), state_(state), timeouts_(timeouts) {}

// ---------------------------------------------------------------- the link

int MemoryAccess::execWrite() {
  if (!state_.online.load()) return 0;
  if (!link_.writeExec()) {
    state_.communicationError = true;
    return 0;
  }
  return 1;
}

int MemoryAccess::send(WriteRoute route) {
  if (route == WriteRoute::Session) return execWrite();
  return link_.writeExec() ? 1 : 0;
}

int MemoryAccess::writeBlocks(std::span<const BoardBlock> blocks, WriteRoute route) {
  link_.writeInit();
  for (const BoardBlock& block : blocks) {
    if (!link_.writePush(static_cast<int>(block.address), block.length)) return 0;
  }
  if (!link_.writeEnd()) return 0;
  return send(route);
}

int MemoryAccess::waitFree(int limit, Clock::time_point deadline, bool needSession) {
  for (int rounds = 0;; ++rounds) {
    if (state_.playbackOwnsLink()) return 0;
    if (needSession) {
      if (state_.communicationError.load()) return 0;
      if (!state_.online.load()) return -1;
    }
    if (!state_.linkBusy.load()) return 1;
    if (limit >= 0 && rounds >= limit) return 0;
    if (Clock::now() >= deadline) return 0;
    sleepMs(0);
  }
}

int MemoryAccess::waitLinkFree(int limit) { return waitFree(limit, Clock::now() + timeouts_.linkWait, true); }

int MemoryAccess::takeLink(LinkHold& hold) {
  const Clock::time_point deadline = Clock::now() + timeouts_.linkWait;
  for (;;) {
    const int free = waitFree(kNoRoundLimit, deadline, true);
    if (free != 1) return free;
    // Another thread may take it between the check and here; wait again.
    LinkHold taken(state_);
    if (taken) {
      hold = std::move(taken);
      return 1;
    }
  }
}

int MemoryAccess::takeLinkOffline(LinkHold& hold) {
  const Clock::time_point deadline = Clock::now() + timeouts_.linkWait;
  for (;;) {
    if (waitFree(kNoRoundLimit, deadline, false) != 1) return 0;
    LinkHold taken(state_);
    if (taken) {
      hold = std::move(taken);
      return 1;
    }
  }
}

void MemoryAccess::reportLinkUnavailable() {
  if (!state_.playbackOwnsLink()) showMessage(kMsgLinkTimedOut, MessageIcon::Error, MessageButtons::Ok);
}

bool MemoryAccess::boardRangeValid(uint32_t address, uint32_t length) {
  return address != 0 && address < a::kAddressLimit && length <= a::kAddressLimit - address &&
         link_.contains(address, length);
}

// ---------------------------------------------------------------- reads

ReadOutcome MemoryAccess::readTransaction(std::span<const BoardBlock> blocks, WriteRoute route,
                                          std::span<const BoardBlock> carried) {
  const int tag = state_.advanceReadTag();
  if (!link_.readInit(static_cast<int>(a::kReadRequestArea), tag)) return ReadOutcome::Refused;
  for (const BoardBlock& block : blocks) {
    if (!link_.readPush(static_cast<int>(block.address), block.length)) return ReadOutcome::Refused;
  }
  const int length = link_.readEnd();
  if (length <= 0 || length > kLargestRequest) return ReadOutcome::Refused;

  link_.store32(a::kReadPointer, a::kReadRequestArea);
  link_.writeInit();
  bool built = link_.writePush(static_cast<int>(a::kReadPointer), 4) != 0;
  for (const BoardBlock& block : carried) {
    built = built && link_.writePush(static_cast<int>(block.address), block.length) != 0;
  }
  built = built && link_.writePush(static_cast<int>(a::kReadRequestArea), length) != 0 && link_.writeEnd() != 0;
  if (!built) return ReadOutcome::Refused;
  if (!send(route)) return ReadOutcome::WriteFailed;

  const int tries = length / kReportPayload + 1;
  for (int i = 0; i < tries; ++i) {
    if (link_.readExec(tag)) return ReadOutcome::Replied;
    sleepMs(kReplyRetryMs);
  }
  return ReadOutcome::NoReply;
}

int MemoryAccess::readBlocks(std::span<const BoardBlock> blocks) {
  return readTransaction(blocks) == ReadOutcome::Replied ? 1 : 0;
}

int MemoryAccess::readBoardError(uint32_t* errorAddress) {
  const BoardBlock registers[] = {{a::kErrorAddress, 4}, {a::kErrorCode, 2}};
  const ReadOutcome outcome = readTransaction(registers);
  if (outcome == ReadOutcome::WriteFailed || outcome == ReadOutcome::Refused) return -1;
  int result = 0;
  if (outcome == ReadOutcome::Replied) {
    result = link_.load16(a::kErrorCode);
    if (errorAddress) *errorAddress = link_.load32(a::kErrorAddress);
  }
  // Cleared whether or not the board answered, so an old error is not
  // reported twice.
  link_.store32(a::kErrorAddress, 0);
  link_.store16(a::kErrorCode, 0);
  if (!writeBlocks(registers)) return -1;
  sleepMs(kErrorClearMs);
  return result;
}

int MemoryAccess::readLiveState(LiveSnapshot& snapshot) {
  const BoardBlock blocks[] = {{a::kOperatingState, 2},
                               {a::kSliderValues, 2 * kLiveSliderCount},
                               {a::kBatteryVoltage, 2},
                               {a::kControllerState, 24}};
  if (readTransaction(blocks) != ReadOutcome::Replied) return 0;
  for (int i = 0; i < kLiveSliderCount; ++i) {
    snapshot.boardValues[i] = static_cast<int16_t>(link_.load16(a::variableAddress(i)));
  }
  snapshot.batteryVoltage = static_cast<int16_t>(link_.load16(a::kBatteryVoltage));
  snapshot.controllerKind = link_.load16(a::kControllerState);
  // The digital word follows the kind; the word after it is not a
  // controller value, the other nine come after that.
  snapshot.controllerWords[0] = link_.load16(a::kControllerState + 2);
  for (int i = 1; i < 10; ++i) {
    snapshot.controllerWords[i] = link_.load16(a::kControllerState + 4 + 2 * static_cast<uint32_t>(i));
  }
  return link_.load16(a::kOperatingState);
}

// ---------------------------------------------------------------- operations that take the link

int MemoryAccess::readBoardWord(uint32_t address) {
  if (address >= a::kAddressLimit || !link_.contains(address, 2)) return 0;
  LinkHold hold;
  if (takeLink(hold) != 1) return 0;
  if (!readBlocks({{address, 2}})) return 0;
  return link_.load16(address);
}

int MemoryAccess::setServoPower(int on) {
  LinkHold hold;
  if (takeLink(hold) != 1) {
    reportLinkUnavailable();
    return 0;
  }
  link_.store16(a::kServoPower, on ? 1 : 0);
  return writeBlocks({{a::kServoPower, 2}});
}

int MemoryAccess::sendStopRequest() {
  LinkHold hold;
  if (takeLink(hold) != 1) {
    reportLinkUnavailable();
    return 0;
  }
  state_.posePending = false;
  link_.store16(a::kStopRequest, 1);
  return writeBlocks({{a::kStopRequest, 2}});
}

int MemoryAccess::applySettingsToRam(const CpuSettings& settings) {
  LinkHold hold;
  if (takeLink(hold) != 1) {
    reportLinkUnavailable();
    return 0;
  }
  bool ok = true;

  // What the CPU settings dialog edits, and nothing else: the settings from
  // 0x200028 up to the voice bytes, the controller and connector bytes from
  // 0x20003C, and the interpolation types. The device table pointer between
  // them is set only by the device table's own write below.
  link_.store16(a::kBatteryAlarm, settings.batteryAlarm);
  link_.store16(a::kBatteryShutdown, settings.batteryShutdown);
  link_.store16(a::kVoiceVariable, settings.voiceVariable);
  link_.store16(a::kBootTimer, static_cast<uint16_t>(settings.bootTimer));
  link_.store32(a::kControlPeriod, settings.controlPeriod);
  link_.store8(a::kVoiceOutput, settings.voiceOutput);
  link_.store8(a::kAmplifier, settings.amplifier);
  link_.store8(a::kPadType, settings.padType);
  link_.store8(a::kControllerServoOn, settings.controllerServoOn);
  link_.store8(a::kCn6Type, settings.cn6Type);
  link_.store8(a::kCn7Type, settings.cn7Type);
  link_.storeBytes(a::kInterpolation, settings.interpolation);
  ok = writeBlocks({{a::kBatteryAlarm, kSettingsBlockSize},
                    {a::kPadType, kControllerBlockSize},
                    {a::kInterpolation, kInterpolationCount}}) &&
       ok;
  sleepMs(kSettingsWriteMs);

  // Servo outputs: table A with its torque-off bytes, then table B, one
  // write per record.
  for (int i = 0; i < kServoOutputCount; ++i) {
    const ServoRecord& servo = settings.servos[i];
    const uint32_t at = a::kServoTableA + a::kServoRecordSize * static_cast<uint32_t>(i);
    link_.store8(at, servo.powerOnTimer);
    link_.store8(at + 1, servo.variableA);
    link_.store8(at + 2, servo.term1Va);
    link_.store8(at + 3, servo.term1Vb);
    link_.store16(at + 4, servo.base);
    link_.store16(at + 6, static_cast<uint16_t>(servo.coefficient));
    link_.store16(at + 8, static_cast<uint16_t>(servo.term1Coefficient));
    link_.store16(at + 10, static_cast<uint16_t>(servo.lowerLimit));
    link_.store16(at + 12, static_cast<uint16_t>(servo.upperLimit));
    link_.store8(at + 14, servo.torqueOffVariable);
    link_.store8(at + 15, servo.torqueOffBits);
    if (!writeBlocks({{at, static_cast<int>(a::kServoRecordSize)}})) {
      ok = false;
      break;
    }
    sleepMs(kServoWriteMs);
  }
  for (int i = 0; i < kServoOutputCount; ++i) {
    const ServoRecord& servo = settings.servos[i];
    const uint32_t at = a::kServoTableB + a::kServoRecordSize * static_cast<uint32_t>(i);
    for (uint32_t t = 0; t < 3; ++t) {
      link_.store16(at + 4 * t, static_cast<uint16_t>(servo.termCoefficient[t]));
      link_.store8(at + 4 * t + 2, servo.termVa[t]);
      link_.store8(at + 4 * t + 3, servo.termVb[t]);
    }
    link_.store8(at + 12, servo.validity);
    for (uint32_t unused = 13; unused < a::kServoRecordSize; ++unused) link_.store8(at + unused, 0);
    if (!writeBlocks({{at, static_cast<int>(a::kServoRecordSize)}})) {
      ok = false;
      break;
    }
    sleepMs(kServoWriteMs);
  }

  // Expansion devices: the new table goes into the bank the board is not
  // using, and only a completely written table is switched to.
  ok = writeDeviceTable(*this, settings.devices) && ok;
  return ok ? 1 : 0;
}

// ---------------------------------------------------------------- writers outside the session

int MemoryAccess::restartBoard() {
  link_.store16(a::kRestartRequest, 1);
  if (!writeBlocks({{a::kRestartRequest, 2}}, WriteRoute::Direct)) return 0;
  sleepMs(kRestartMs);
  return 1;
}

int MemoryAccess::startStatusRead() {
  const int tag = state_.advanceReadTag();
  link_.readInit(static_cast<int>(a::kFlashRequestArea), tag);
  link_.readPush(static_cast<int>(a::kStatusHeader), static_cast<int>(a::kStatusHeaderSize));
  const int length = link_.readEnd();
  link_.store32(a::kReadPointer, a::kFlashRequestArea);
  const BoardBlock blocks[] = {{a::kFlashRequestArea, length}, {a::kReadPointer, 4}};
  if (!writeBlocks(blocks, WriteRoute::Direct)) return 0;
  return tag;
}

int MemoryAccess::clearFlashState(int tag, const std::atomic<bool>* continueFlag) {
  link_.store16(a::kFlashState, 0);
  if (!writeBlocks({{a::kFlashState, 2}}, WriteRoute::Direct)) return 0;
  const Clock::time_point deadline = Clock::now() + timeouts_.flashState;
  for (int round = 0; round < kClearFlashRounds; ++round) {
    // Only a reply tells the state; the image still holds the 0 stored
    // above. The board answers the standing request at every poll, so the
    // first replies may still show the state from before the clear (a
    // failure left by an earlier operation): only the cleared state ends
    // the wait.
    if (link_.readExec(tag) && static_cast<int16_t>(link_.load16(a::kFlashState)) == a::kFlashCleared) return 1;
    if (continueFlag && !continueFlag->load()) return 0;
    if (Clock::now() >= deadline) return 0;
    sleepMs(0);
  }
  return 0;
}

int MemoryAccess::waitFlashState(int tag) {
  const Clock::time_point deadline = Clock::now() + timeouts_.flashState;
  for (int round = 0; round < kWaitFlashRounds; ++round) {
    // Replies from before the operation started show the cleared state and
    // are read past; replies come in order, so once the clear has been seen
    // a done or failed state belongs to this operation.
    if (link_.readExec(tag)) {
      const int16_t flash = static_cast<int16_t>(link_.load16(a::kFlashState));
      if (flash == a::kFlashDone) return 1;
      if (flash == a::kFlashFailed) return 0;
    }
    if (Clock::now() >= deadline) return 0;
    sleepMs(0);
  }
  return 0;
}

int MemoryAccess::eraseFlashSector(uint32_t address) { return writeBlocks({{address, 0}}, WriteRoute::Direct); }

int MemoryAccess::programFlashBlock(uint32_t address) {
  return writeBlocks({{address, static_cast<int>(a::kFlashBlockSize)}}, WriteRoute::Direct);
}

FlashStepResult MemoryAccess::flashStep(int tag, BoardBlock operation, const std::atomic<bool>* continueFlag) {
  if (!clearFlashState(tag, continueFlag)) return FlashStepResult::ClearFailed;
  if (!writeBlocks({operation}, WriteRoute::Direct)) return FlashStepResult::WriteFailed;
  if (!waitFlashState(tag)) return FlashStepResult::WaitFailed;
  return FlashStepResult::Done;
}

// ---------------------------------------------------------------- board settings

int MemoryAccess::readBoardSettings(CpuSettings& settings, std::u16string* robotName) {
  bool ok = true;
  auto read = [&](std::span<const BoardBlock> blocks) {
    const ReadOutcome outcome = readTransaction(blocks, WriteRoute::Direct);
    if (outcome == ReadOutcome::WriteFailed || outcome == ReadOutcome::Refused) ok = false;
    return outcome == ReadOutcome::Replied;
  };

  // 1. The name and device table pointers, each until it is known. A board
  // that does not answer this first request at all is not checked further:
  // its silence would otherwise pass for a board without settings.
  uint32_t namePointer = 0;
  uint32_t tablePointer = 0;
  for (int attempt = 0; attempt < 2 && (namePointer == 0 || tablePointer == 0); ++attempt) {
    std::vector<BoardBlock> blocks;
    if (namePointer == 0) blocks.push_back({a::kNamePointer, 4});
    if (tablePointer == 0) blocks.push_back({a::kDeviceTablePointer, 4});
    if (!read(blocks)) {
      if (attempt == 0) return 0;
      continue;
    }
    if (namePointer == 0) namePointer = link_.load32(a::kNamePointer);
    if (tablePointer == 0) tablePointer = link_.load32(a::kDeviceTablePointer);
  }
  // A pointer that names no readable memory is not followed.
  const bool nameValid = boardRangeValid(namePointer, kNameBlock);
  const bool tableValid = boardRangeValid(tablePointer, kDeviceTableRead) &&
                          link_.contains(tablePointer, kDeviceTableWindow);

  // 2. Settings, firmware identification and the name in one request.
  std::vector<BoardBlock> blocks = {{a::kBatteryAlarm, 14}, {a::kRomBootTimer, 2}, {a::kFirmwareVersion, 2},
                                    {a::kFirmwareRevision, 4}};
  if (nameValid) blocks.push_back({namePointer, static_cast<int>(kNameBlock)});
  blocks.insert(blocks.end(), {{a::kPadType, 1}, {a::kCn7Type, 1}, {a::kCn6Type, 1}, {a::kControllerServoOn, 1}});
  if (read(blocks)) {
    settings.controlPeriod = link_.load32(a::kControlPeriod);
    settings.batteryAlarm = link_.load16(a::kBatteryAlarm);
    settings.batteryShutdown = link_.load16(a::kBatteryShutdown);
    settings.voiceVariable = link_.load16(a::kVoiceVariable);
    settings.voiceOutput = link_.load8(a::kVoiceOutput);
    settings.amplifier = link_.load8(a::kAmplifier);
    settings.bootTimer = static_cast<int16_t>(link_.load16(a::kRomBootTimer));
    settings.firmwareVersion = link_.load16(a::kFirmwareVersion);
    settings.firmwareRevision = static_cast<int32_t>(link_.load32(a::kFirmwareRevision));
    settings.padType = link_.load8(a::kPadType);
    settings.controllerServoOn = link_.load8(a::kControllerServoOn);
    settings.cn6Type = link_.load8(a::kCn6Type);
    settings.cn7Type = link_.load8(a::kCn7Type);
    if (robotName) {
      robotName->clear();
      if (nameValid) {
        std::span<const uint8_t> raw = link_.bytes(namePointer, kNameBytes);
        const auto end = std::find(raw.begin(), raw.end(), uint8_t{0});
        const std::string ansi(raw.begin(), end);
        *robotName = ansiToUtf16(ansi).substr(0, 16);
      }
    }
  }

  // 3. Interpolation types.
  const BoardBlock interpolation[] = {{a::kInterpolation, kInterpolationCount}};
  if (read(interpolation)) {
    std::span<const uint8_t> types = link_.bytes(a::kInterpolation, kInterpolationCount);
    std::copy(types.begin(), types.end(), settings.interpolation.begin());
  }

  // 4. Servo output records, table A then table B, one request each.
  for (int i = 0; i < kServoOutputCount; ++i) {
    const uint32_t at = a::kServoTableA + a::kServoRecordSize * static_cast<uint32_t>(i);
    const BoardBlock record[] = {{at, static_cast<int>(a::kServoRecordSize)}};
    if (!read(record)) continue;
    ServoRecord& servo = settings.servos[i];
    servo.powerOnTimer = link_.load8(at);
    servo.variableA = link_.load8(at + 1);
    servo.term1Va = link_.load8(at + 2);
    servo.term1Vb = link_.load8(at + 3);
    servo.base = link_.load16(at + 4);
    servo.coefficient = static_cast<int16_t>(link_.load16(at + 6));
    servo.term1Coefficient = static_cast<int16_t>(link_.load16(at + 8));
    servo.lowerLimit = static_cast<int16_t>(link_.load16(at + 10));
    servo.upperLimit = static_cast<int16_t>(link_.load16(at + 12));
    servo.torqueOffVariable = link_.load8(at + 14);
    servo.torqueOffBits = link_.load8(at + 15);
  }
  for (int i = 0; i < kServoOutputCount; ++i) {
    const uint32_t at = a::kServoTableB + a::kServoRecordSize * static_cast<uint32_t>(i);
    const BoardBlock record[] = {{at, static_cast<int>(a::kServoRecordSize)}};
    if (!read(record)) continue;
    ServoRecord& servo = settings.servos[i];
    for (uint32_t t = 0; t < 3; ++t) {
      servo.termCoefficient[t] = static_cast<int16_t>(link_.load16(at + 4 * t));
      servo.termVa[t] = link_.load8(at + 4 * t + 2);
      servo.termVb[t] = link_.load8(at + 4 * t + 3);
    }
    servo.validity = link_.load8(at + 12);
  }

  // 5. The expansion device table.
  if (tableValid) {
    const BoardBlock table[] = {{tablePointer, static_cast<int>(kDeviceTableRead)}};
    if (read(table)) parseDeviceTable(link_.bytes(tablePointer, kDeviceTableWindow), settings.devices);
  }
  return ok ? 1 : 0;
}

}  // namespace kv
