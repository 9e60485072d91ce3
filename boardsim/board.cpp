#include "board.h"

#include <algorithm>
#include <cstring>

#include "request.h"
#include "rom_boot.h"

namespace boardsim {
namespace {

bool overlaps(const RequestBlock& block, uint32_t address, uint32_t length) {
  return block.length > 0 && block.address < address + length && address < block.address + block.length;
}

// Bytes the board keeps for itself: a write cannot change them.
bool readOnly(uint32_t address) {
  return (address >= kBoardId && address < kFirmwareVersion + 2) ||
         (address >= kFirmwareRevision && address < kFirmwareRevision + 4);
}

}  // namespace

Board::Board(BoardConfig config)
    : config_(std::move(config)), version_(config_.firmwareVersion), revision_(config_.firmwareRevision) {
  for (const KpbusDevice& device : config_.kpbus) kpbus_.attach(device);
  formatFlash();
  powerOn();
}

bool Board::setFlash(const std::vector<uint8_t>& image) {
  if (image.size() != kFlashSize) return false;
  memory_.flash() = image;
  return true;
}

void Board::formatFlash() {
  std::vector<uint8_t>& flash = memory_.flash();
  std::fill(flash.begin(), flash.end(), 0xFF);
  const std::vector<uint8_t> header = makeFactoryRomHeader(config_.robotName);
  std::copy(header.begin(), header.end(), flash.begin());
  if (flashListener_) flashListener_(0, kFlashSize);
}

void Board::powerOn() {
  bootCount_ = 0;
  offBusUntil_ = now_;
  boot();
}

void Board::boot() {
  runner_ = MotionRunner{};
  live_.cancel();
  flashQueue_.clear();
  deviceTableFault_ = false;
  memory_.clearRam();
  ++bootCount_;
  memory_.setU16(kBoardId, kBoardIdValue);
  memory_.setU16(kBootCount, bootCount_);
  memory_.setU16(kFirmwareVersion, version_);
  memory_.setU32(kFirmwareRevision, static_cast<uint32_t>(revision_));
  loadSettingsFromRom(memory_);
  memory_.setVariable(kBatteryVariable, static_cast<int16_t>(std::clamp(config_.batteryMilliVolts, 0, 32767)));
  assembler_.reset(tav::kRequestMarker);
  nextCycle_ = now_ + controlPeriod();
  updateState();
}

void Board::leaveBus(uint64_t micros) {
  boot();
  offBusUntil_ = now_ + micros;
  ++busDrops_;
}

void Board::raiseError(uint16_t code, uint32_t address) {
  memory_.setU16(kErrorCode, code);
  memory_.setU32(kErrorAddress, address);
}

uint32_t Board::controlPeriod() const {
  return std::clamp(memory_.u32(kControlPeriod), kMinControlPeriod, kMaxControlPeriod);
}

// ---------------------------------------------------------------- requests --

Board::Received Board::receiveReport(const uint8_t* data, size_t size) {
  tav::Report report{};
  std::memcpy(report.data(), data, std::min(size, report.size()));
  if (report[1] != tav::kRequestMarker) return Received::Ignored;
  // A report with index 0 always starts a new request; a half-received one is lost.
  if (tav::reportIndex(report[2]) == 0) assembler_.reset(tav::kRequestMarker);
  switch (assembler_.feed(report.data(), report.size())) {
    case tav::ReportAssembler::Step::Refused:
      return Received::Ignored;
    case tav::ReportAssembler::Step::Accepted:
      return Received::Partial;
    case tav::ReportAssembler::Step::Complete:
      break;
  }
  const bool applied = applyRequest(assembler_.payload().data(), assembler_.receivedBytes());
  assembler_.reset(tav::kRequestMarker);
  return applied ? Received::Applied : Received::Refused;
}

void Board::writeRam(uint32_t address, const uint8_t* data, uint32_t length) {
  for (uint32_t i = 0; i < length; ++i) {
    if (!readOnly(address + i)) memory_.setByte(address + i, data[i]);
  }
}

bool Board::applyRequest(const uint8_t* payload, size_t size) {
  const ParsedRequest request = parseHostWrite(payload, size);
  if (!request.ok) {
    raiseError(kErrorBadRequest, static_cast<uint32_t>(request.errorOffset));
    return false;
  }
  bool motionStart = false, stop = false, livePose = false, restart = false, firmware = false;
  std::vector<FlashOp> flashOps;
  for (const RequestBlock& block : request.blocks) {
    const uint8_t* data = payload + block.dataOffset;
    if (BoardMemory::inFlash(block.address, 1)) {
      // Flash changes only through the handshake: an empty block erases the
      // sector it names, a 512-byte block programs one page.
      if (block.length == 0) {
        flashOps.push_back({true, block.address & ~(kSectorSize - 1), {}});
      } else if (block.length == kPageSize && BoardMemory::inFlash(block.address, kPageSize)) {
        if (block.address % kPageSize != 0) {
          raiseError(kErrorFlashRefused, block.address);
          memory_.setU16(kFlashState, kFlashFailed);
        } else {
          flashOps.push_back({false, block.address, std::vector<uint8_t>(data, data + kPageSize)});
        }
      } else {
        raiseError(kErrorWriteRefused, block.address);
      }
      continue;
    }
    if (block.length == 0) continue;
    if (!BoardMemory::inRam(block.address, block.length)) {
      raiseError(kErrorWriteRefused, block.address);
      continue;
    }
    writeRam(block.address, data, block.length);
    motionStart |= overlaps(block, kMotionStart, 4);
    stop |= overlaps(block, kStopRequest, 2);
    livePose |= overlaps(block, kLivePose, kLiveEnd - kLivePose);
    restart |= overlaps(block, kRestartRequest, 2);
    firmware |= block.address <= kFirmwareStart && block.address + block.length >= kFirmwareLength + 4;
  }

  // Side effects, once the whole request is in.
  if (stop) {
    if (memory_.u16(kStopRequest) == 1) runner_.stop(memory_);
    memory_.setU16(kStopRequest, 0);
  }
  if (motionStart) {
    const uint32_t address = memory_.u32(kMotionStart);
    if (address == 0) {
      runner_.stop(memory_);
    } else if (!BoardMemory::mapped(address, 1)) {
      raiseError(kErrorMotion, address);
      runner_.stop(memory_);
    } else {
      live_.cancel();
      runner_.start(memory_, address);
    }
  }
  if (livePose) startLivePose();
  for (FlashOp& op : flashOps) {
    flashQueue_.push_back(std::move(op));
    if (flashQueue_.size() == 1) startNextFlashOp();
  }
  if (firmware) {
    startFirmware();
  } else if (restart && memory_.u16(kRestartRequest) == 1) {
    leaveBus(config_.restartMicros);
  }
  updateState();
  return true;
}

void Board::startLivePose() {
  // A running motion owns the sliders, and without servo power the robot does not move.
  if (runner_.running() || !servosOn()) return;
  std::array<int16_t, kSliderCount> target;
  for (int i = 0; i < kSliderCount; ++i) target[i] = memory_.s16(kLivePose + 2 * static_cast<uint32_t>(i));
  const uint32_t bits = memory_.u32(kLiveServoBits);
  memory_.setVariable(kServoEnableLow, static_cast<int16_t>(bits & 0xFFFF));
  memory_.setVariable(kServoEnableHigh, static_cast<int16_t>((bits >> 16) & 0xFFFF));
  live_.begin(memory_, target, memory_.u16(kLiveTime));
}

void Board::startFirmware() {
  const uint32_t start = memory_.u32(kFirmwareStart);
  const uint32_t length = memory_.u32(kFirmwareLength);
  if (length == 0 || !BoardMemory::inFlash(start, length)) {
    raiseError(kErrorFirmware, start);
    return;
  }
  uint8_t id[kFirmwareIdSize];
  memory_.read(start, id, sizeof(id));
  if (length >= kFirmwareIdSize && std::memcmp(id, kFirmwareIdMagic, 4) == 0) {
    version_ = static_cast<uint16_t>(id[4] | id[5] << 8);
    revision_ = static_cast<int32_t>(id[6] | id[7] << 8 | id[8] << 16 | static_cast<uint32_t>(id[9]) << 24);
  }
  leaveBus(config_.firmwareMicros);
}

Board::ReplyStatus Board::buildReply(tav::ReplyPacker& reply) const {
  const uint32_t pointer = memory_.u32(kReadPointer);
  if (pointer == 0) return ReplyStatus::None;
  size_t available = 0;
  if (BoardMemory::inFlash(pointer, 1)) available = kFlashBase + kFlashSize - pointer;
  if (BoardMemory::inRam(pointer, 1)) available = kRamBase + kRamSize - pointer;
  if (available == 0) return ReplyStatus::Malformed;
  available = std::min(available, tav::kMaxPayload);
  uint8_t bytes[tav::kMaxPayload];
  memory_.read(pointer, bytes, available);
  const ParsedRequest request = parseStandingRead(bytes, available);
  if (!request.ok) return ReplyStatus::Malformed;

  // Each block goes back as records of at most 255 bytes; what does not fit
  // in one reply is left out.
  reply.reset(request.tag);
  uint8_t data[255];
  for (const RequestBlock& block : request.blocks) {
    uint32_t done = 0;
    bool fits = true;
    do {
      const uint32_t count = std::min<uint32_t>(255, block.length - done);
      memory_.read(block.address + done, data, count);
      fits = reply.add(block.address + done, data, static_cast<int>(count));
      done += count;
    } while (fits && done < block.length);
    if (!fits) break;
  }
  reply.finish();
  return ReplyStatus::Ready;
}

Board::ReplyStatus Board::replyAfterRequest(tav::ReplyPacker& reply) {
  const ReplyStatus status = buildReply(reply);
  if (status == ReplyStatus::Malformed) raiseError(kErrorBadReadRequest, memory_.u32(kReadPointer));
  return status;
}

// ---------------------------------------------------------------- flash --

void Board::startNextFlashOp() {
  const FlashOp& op = flashQueue_.front();
  flashDoneAt_ = now_ + (op.erase ? config_.eraseMicros : config_.programMicros);
  memory_.setU16(kFlashState, op.erase ? kFlashErasing : kFlashProgramming);
}

void Board::completeFlashOp() {
  const FlashOp op = std::move(flashQueue_.front());
  flashQueue_.pop_front();
  ++flashOperations_;
  bool ok = true;
  if (config_.failFlashOperation == flashOperations_) {
    ok = false;
    raiseError(kErrorFlashVerify, op.address);
  } else if (op.erase) {
    std::vector<uint8_t>& flash = memory_.flash();
    std::fill_n(flash.begin() + op.address, kSectorSize, 0xFF);
    if (flashListener_) flashListener_(op.address, kSectorSize);
  } else {
    // Programming only clears bits: a page that was not erased first does
    // not take the data, and the board reports it.
    std::vector<uint8_t>& flash = memory_.flash();
    for (uint32_t i = 0; i < kPageSize; ++i) {
      flash[op.address + i] &= op.data[i];
      if (flash[op.address + i] != op.data[i]) ok = false;
    }
    if (!ok) raiseError(kErrorFlashVerify, op.address);
    if (flashListener_) flashListener_(op.address, kPageSize);
  }
  if (!ok) {
    flashQueue_.clear();
    memory_.setU16(kFlashState, kFlashFailed);
  } else if (flashQueue_.empty()) {
    memory_.setU16(kFlashState, kFlashDone);
  } else {
    startNextFlashOp();
  }
  updateState();
}

// ---------------------------------------------------------------- time --

uint64_t Board::nextEvent() const {
  uint64_t next = nextCycle_;
  if (!flashQueue_.empty()) next = std::min(next, flashDoneAt_);
  if (offBusUntil_ > now_) next = std::min(next, offBusUntil_);
  return next;
}

void Board::advance(uint64_t micros) {
  const uint64_t target = now_ + micros;
  for (;;) {
    uint64_t next = nextCycle_;
    if (!flashQueue_.empty()) next = std::min(next, flashDoneAt_);
    if (next > target) break;
    now_ = std::max(now_, next);
    if (!flashQueue_.empty() && flashDoneAt_ <= now_) {
      completeFlashOp();
      continue;
    }
    controlCycle();
    nextCycle_ = now_ + controlPeriod();
  }
  now_ = target;
}

void Board::controlCycle() {
  ++cycles_;
  serveDevices();
  if (runner_.running()) {
    uint32_t fault = 0;
    if (!runner_.cycle(memory_, &fault)) raiseError(kErrorMotion, fault);
  } else if (live_.active()) {
    live_.step(memory_);
  }
  const int battery = config_.batteryMilliVolts - (servosOn() ? kServoLoadMilliVolts : 0);
  memory_.setVariable(kBatteryVariable, static_cast<int16_t>(std::clamp(battery, 0, 32767)));
  // Below the shutdown voltage the board cuts servo power to save the battery.
  const uint16_t shutdown = memory_.u16(kBatteryShutdown);
  if (servosOn() && shutdown > 0 && battery < shutdown) memory_.setVariable(kServoPowerVariable, 0);
  updateState();
}

void Board::serveDevices() {
  uint32_t faultAt = 0;
  if (kpbus_.serve(memory_, &faultAt) == Kpbus::Table::Served) {
    deviceTableFault_ = false;
    return;
  }
  // Reported once, not every cycle, so other errors are not buried.
  if (!deviceTableFault_) raiseError(kErrorDeviceTable, faultAt);
  deviceTableFault_ = true;
}

void Board::updateState() {
  uint16_t state = kStateIdle;
  if (!flashQueue_.empty()) {
    state = kStateFlash;
  } else if (runner_.running()) {
    state = kStateRunning;
  } else if (live_.active()) {
    state = kStateMovingLive;
  } else if (servosOn()) {
    state = kStateServosOn;
  }
  memory_.setU16(kOperatingState, state);
}

}  // namespace boardsim
