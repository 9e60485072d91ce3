// Reads and writes of board memory over the link: the write and read
// transactions, the flash state handshake, the live state, the board's
// settings, and the shared link state that keeps the editor's threads from
// using the link at the same time.
//
// Values travel through the memory image: a write stores them at their
// board addresses and pushes those blocks; a read unpacks the reply into the
// image at the same addresses. Operations that take the link themselves
// (readBoardWord, setServoPower, sendStopRequest, applySettingsToRam) may be
// called from any thread; the others run in a thread that holds the link.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <vector>

#include "board/cpu_settings.h"
#include "board/device_table.h"
#include "session/board_link.h"
#include "session/link_state.h"

namespace kv {

// String numbers of the messages shown here and by the flash writers.
inline constexpr int kMsgLinkTimedOut = 40107;
inline constexpr int kMsgClearFlashState = 40304;
inline constexpr int kMsgWaitFlashState = 40305;
inline constexpr int kMsgWriteExec = 40306;

inline constexpr int kNoRoundLimit = -1;
inline constexpr int kClearFlashRounds = 65536;
inline constexpr int kWaitFlashRounds = 65537;
inline constexpr int kLargestRequest = 250;  // longest read request one write block carries
inline constexpr int kLiveSliderCount = 62;  // v[0..61], one per pose slider

// How long a wait may last before it gives up.
struct LinkTimeouts {
  // waitLinkFree and the operations that take the link.
  std::chrono::milliseconds linkWait{5000};
  // Each of clearFlashState and waitFlashState (besides their round limits).
  std::chrono::milliseconds flashState{30000};
};

// What readLiveState reports besides the operating state.
struct LiveSnapshot {
  std::array<int16_t, kLiveSliderCount> boardValues{};  // the sliders as the board holds them
  int16_t batteryVoltage = 0;                              // mV
  int32_t controllerKind = 0;                              // 1 GamePad, 2 Vimba, 3 TPAD-7, else none
  // Digital inputs, vibration, right stick X and Y, left stick X and Y,
  // map modes MD0 to MD3.
  std::array<uint16_t, 10> controllerWords{};

  uint16_t digitalInputs() const { return controllerWords[0]; }
  uint16_t vibration() const { return controllerWords[1]; }
  uint16_t rightStickX() const { return controllerWords[2]; }
  uint16_t rightStickY() const { return controllerWords[3]; }
  uint16_t leftStickX() const { return controllerWords[4]; }
  uint16_t leftStickY() const { return controllerWords[5]; }
  uint16_t mapMode(int n) const { return controllerWords[6 + n]; }
};

// How the write that carries a read request, or a write transaction, is
// sent: through execWrite (only while online; a failure sets communication
// error) or straight to the link (flash writers and settings reads, which
// run outside the session's flags).
enum class WriteRoute { Session, Direct };

enum class ReadOutcome {
  Replied,      // the values are in the image
  NoReply,      // the request went out, no reply came
  WriteFailed,  // the request could not be sent
  Refused,      // the request could not be built (too long); nothing was sent
};

enum class FlashStepResult { Done, ClearFailed, WriteFailed, WaitFailed };

// The string number reporting a failed flash step (0 for Done).
int flashStepMessageId(FlashStepResult result);
// Shows that string as an error box; nothing for Done.
void showFlashStepError(FlashStepResult result);

class MemoryAccess {
 public:
  MemoryAccess(BoardLink& link, LinkState& state, LinkTimeouts timeouts = {});

  BoardLink& link() { return link_; }
  LinkState& state() { return state_; }

  // ---- the link
  // Sends the write request built on the link, only while online. A failed
  // send sets communication error.
  int execWrite();
  // A write transaction: pushes the blocks in order from the image and sends
  // them. 0 with nothing sent when a block cannot be pushed.
  int writeBlocks(std::span<const BoardBlock> blocks, WriteRoute route = WriteRoute::Session);
  int writeBlocks(std::initializer_list<BoardBlock> blocks, WriteRoute route = WriteRoute::Session) {
    return writeBlocks(std::span<const BoardBlock>(blocks.begin(), blocks.size()), route);
  }
  // 1 when the link is free, 0 when refused (playback owns it, communication
  // error, round limit or deadline reached), -1 when not online. Does not
  // take the link.
  int waitLinkFree(int limit = kNoRoundLimit);
  // Waits as waitLinkFree does and takes the link into `hold`; same results.
  int takeLink(LinkHold& hold);
  // For writers that end the session first: waits for the link to be free
  // (refused while playback owns it, or at the deadline) and takes it,
  // whatever the online and communication error flags say. 1 or 0.
  int takeLinkOffline(LinkHold& hold);
  // Shows 40107 unless playback owns the link.
  void reportLinkUnavailable();

  // ---- reads (the caller holds the link)
  // Read transaction through the request area at 0x200B00. `carried` blocks
  // go out in the same write, between the request pointer and the request.
  ReadOutcome readTransaction(std::span<const BoardBlock> blocks, WriteRoute route = WriteRoute::Session,
                              std::span<const BoardBlock> carried = {});
  int readBlocks(std::span<const BoardBlock> blocks);
  int readBlocks(std::initializer_list<BoardBlock> blocks) {
    return readBlocks(std::span<const BoardBlock>(blocks.begin(), blocks.size()));
  }
  // The board's last error code (0 when no reply, -1 when a write failed);
  // the error address goes to `errorAddress` on a reply. The board's error
  // registers are cleared in every case but a failed request.
  int readBoardError(uint32_t* errorAddress);
  // The board's operating state (0 when no reply); on a reply `snapshot`
  // receives the slider values, voltage and controller state.
  int readLiveState(LiveSnapshot& snapshot);

  // ---- operations that take the link themselves
  // The 16-bit value at `address`, 0 on any failure.
  int readBoardWord(uint32_t address);
  int setServoPower(int on);
  int sendStopRequest();
  // Writes what the CPU settings dialog edits into board RAM: battery
  // thresholds, voice word, boot timer, control period and voice bytes
  // (0x200028-0x200035), pad type, controller servo-on and connector types
  // (0x20003C-0x20003F), the interpolation types, servo tables A (with the
  // torque-off bytes) and B, then the device table. Shows 40107 when the
  // link cannot be had. 1 when every write went out.
  int applySettingsToRam(const CpuSettings& settings);

  // ---- writers that hold the link outside the session
  int restartBoard();
  // Opens the standing status read at 0x200A00 (16 bytes at 0x200000);
  // gives its tag, or 0 when it could not be sent. The board answers it
  // again and again, a fresh copy at every poll, and the host's queue may
  // still hold copies from before the last write: the two waits below read
  // until the board shows the state they wait for.
  int startStatusRead();
  // 1 when the board reports the flash state cleared; 0 when the write
  // fails, `continueFlag` drops to false, or the rounds or the deadline run
  // out. A failed state may be an old copy, so it does not end the wait.
  int clearFlashState(int tag, const std::atomic<bool>* continueFlag = nullptr);
  // 1 when the board reports the operation done, 0 when failed, or when the
  // rounds or the deadline run out.
  int waitFlashState(int tag);
  int eraseFlashSector(uint32_t address);
  int programFlashBlock(uint32_t address);  // 512 bytes of the image
  // clearFlashState, the operation's write, waitFlashState.
  FlashStepResult flashStep(int tag, BoardBlock operation, const std::atomic<bool>* continueFlag = nullptr);

  // Reads the board's settings, robot name (when wanted) and firmware
  // identification into `settings`; fields without a reply keep their
  // values. 1 when every request went out; 0 as well, at once, when the
  // board does not answer the first request (the pointers).
  int readBoardSettings(CpuSettings& settings, std::u16string* robotName);

 private:
  using Clock = std::chrono::steady_clock;
  int waitFree(int limit, Clock::time_point deadline, bool needSession);
  int send(WriteRoute route);
  // A range that board pointers may name: nonzero, addressable, in the image.
  bool boardRangeValid(uint32_t address, uint32_t length);

  BoardLink& link_;
  LinkState& state_;
  LinkTimeouts timeouts_;
};

}  // namespace kv
