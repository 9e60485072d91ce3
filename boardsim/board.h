// The virtual board's logic without any transport: memory, the write
// requests and the standing read request of the report protocol, the flash
// handshake, restarts, the motion interpreter and live poses, all on a
// virtual clock that the caller advances. One thread at a time.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "board_memory.h"
#include "kpbus.h"
#include "motion_runner.h"
#include "tav_protocol.h"

namespace boardsim {

struct BoardConfig {
  std::string robotName = "DemoHumanoid";  // bytes in the system code page; written only into a blank flash
  uint16_t firmwareVersion = 0x0100;       // 8.8 fixed point
  int32_t firmwareRevision = 20;
  int batteryMilliVolts = 7400;  // with the servos off; they draw it down by kServoLoadMilliVolts
  // Virtual durations in microseconds.
  uint32_t eraseMicros = 20000;          // one 32 KiB sector
  uint32_t programMicros = 2000;         // one 512-byte page
  uint64_t restartMicros = 200000;       // off the bus while restarting
  uint64_t firmwareMicros = 3000000;     // off the bus while a new firmware starts
  int failFlashOperation = 0;            // fault: the n-th flash operation (1-based) fails; 0 none
  std::vector<KpbusDevice> kpbus;        // expansion devices attached to the bus (one per bus address)
};

inline constexpr int kServoLoadMilliVolts = 120;
inline constexpr uint32_t kMinControlPeriod = 1000;     // shorter periods (0 too) run at this one
inline constexpr uint32_t kMaxControlPeriod = 1000000;

// A firmware image whose first bytes are this record tells the board the
// version it carries: 'F' 'W' 'I' 'D', version (u16), revision (u32).
inline constexpr char kFirmwareIdMagic[4] = {'F', 'W', 'I', 'D'};
inline constexpr size_t kFirmwareIdSize = 10;

class Board {
 public:
  explicit Board(BoardConfig config = {});

  // Flash contents to power on with (exactly 2 MiB, else false and nothing
  // changes). Without it the board starts with a factory ROM image that
  // carries config.robotName.
  bool setFlash(const std::vector<uint8_t>& image);
  // Erases the flash and writes the factory ROM image.
  void formatFlash();
  // Boots: RAM cleared, identification set, settings loaded from ROM.
  void powerOn();

  // Called with (address, length) after every flash change.
  void setFlashListener(std::function<void(uint32_t, uint32_t)> listener) { flashListener_ = std::move(listener); }

  // ------------------------------------------------------------ host side
  enum class Received {
    Partial,  // a report of a request that is not complete yet
    Applied,  // the report completed a request, which was applied
    Refused,  // the report completed a malformed request; nothing was applied
    Ignored,  // not a request report, or out of order (the request being assembled is lost)
  };
  // One host-to-board message (a 65-byte report; shorter ones are padded with 0).
  Received receiveReport(const uint8_t* data, size_t size);
  // Applies one write request payload: every block in order, then the side
  // effects. False when it is malformed (error code 1, nothing applied).
  bool applyRequest(const uint8_t* payload, size_t size);

  enum class ReplyStatus { None, Malformed, Ready };
  // A fresh reply to the standing read request (pointer at 0x200010).
  ReplyStatus buildReply(tav::ReplyPacker& reply) const;
  // The same after a request: a malformed read request sets error code 3.
  ReplyStatus replyAfterRequest(tav::ReplyPacker& reply);

  // ------------------------------------------------------------ time
  void advance(uint64_t micros);
  uint64_t now() const { return now_; }
  uint64_t nextEvent() const;  // virtual time of the next thing the board will do
  uint32_t controlPeriod() const;

  // ------------------------------------------------------------ state
  bool onBus() const { return now_ >= offBusUntil_; }
  uint32_t busDrops() const { return busDrops_; }  // grows each time the board leaves the bus
  bool motionRunning() const { return runner_.running(); }
  bool flashBusy() const { return !flashQueue_.empty(); }
  int flashOperations() const { return flashOperations_; }
  uint64_t controlCycles() const { return cycles_; }
  uint16_t firmwareVersion() const { return version_; }
  int32_t firmwareRevision() const { return revision_; }
  BoardMemory& memory() { return memory_; }
  const BoardMemory& memory() const { return memory_; }
  BoardConfig& config() { return config_; }
  // The expansion devices on the bus; a test changes their raw readings here.
  Kpbus& kpbus() { return kpbus_; }

 private:
  struct FlashOp {
    bool erase = false;
    uint32_t address = 0;
    std::vector<uint8_t> data;
  };

  void boot();
  void leaveBus(uint64_t micros);
  void raiseError(uint16_t code, uint32_t address);
  void writeRam(uint32_t address, const uint8_t* data, uint32_t length);
  void startFirmware();
  void startLivePose();
  void startNextFlashOp();
  void completeFlashOp();
  void controlCycle();
  void serveDevices();
  void updateState();
  bool servosOn() const { return memory_.variable(kServoPowerVariable) != 0; }

  BoardConfig config_;
  BoardMemory memory_;
  uint16_t version_;
  int32_t revision_;
  uint16_t bootCount_ = 0;

  tav::ReportAssembler assembler_;

  uint64_t now_ = 0;
  uint64_t nextCycle_ = 0;
  uint64_t cycles_ = 0;
  uint64_t offBusUntil_ = 0;
  uint32_t busDrops_ = 0;

  std::deque<FlashOp> flashQueue_;
  uint64_t flashDoneAt_ = 0;
  int flashOperations_ = 0;
  std::function<void(uint32_t, uint32_t)> flashListener_;

  MotionRunner runner_;
  SliderTransition live_;

  Kpbus kpbus_;
  bool deviceTableFault_ = false;  // the malformed table has been reported
};

}  // namespace boardsim
