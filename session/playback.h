// Playback on the board: the edited motion is compiled for the board RAM at
// 0x201A00, sent in blocks, started with its loop setting and followed by
// the board's position, so that the motion area shows the pose the robot is
// at. A playback thread owns the link for the whole run; the connect thread
// keeps the session alive meanwhile without transfers.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <span>
#include <thread>
#include <vector>

#include "session/memory_map.h"
#include "session/online_session.h"

namespace kv {

struct MotionBlock;

inline constexpr int kMsgMotionWriteFailed = 40274;
inline constexpr int kMsgNoStartPose = 40379;
inline constexpr int kMsgMotionTooLarge = 40380;

// The longest compiled motion that is played: it must end below 0x204000.
inline constexpr size_t kMaxPlaybackBytes = board_addr::kMotionAreaEnd - board_addr::kMotionArea - 1;  // 9,727
// The loop setting when the toolbar has no loop control, and the override
// when it has no override control.
inline constexpr int kLoopControlAbsent = -2;
inline constexpr int kOverrideControlAbsent = 100;
// A board error code that ends playback: the motion program is broken.
inline constexpr int kMotionProgramError = 8;

// The loop value sent to the board: values below -1 become 3.
int loopValueSent(int loopSetting);

// Where each block of a compiled motion lies on the board, to tell which
// block the board is at from its position register.
class PositionTable {
 public:
  struct Entry {
    uint32_t address;  // base + the block's code offset
    int index;         // list position
    int kind;
  };

  PositionTable() = default;
  // From the compiler's code offset of every block (list order) and the
  // blocks' kinds.
  PositionTable(uint32_t baseAddress, std::span<const uint32_t> blockOffsets, std::span<const int> kinds);

  // The list position of the pose block whose code lies at `address`, or -1
  // when no pose block lies there. Where several blocks share the address
  // (a start block, which has no code, and the block after it), the pose
  // block is the one the board runs.
  int poseAt(uint32_t address) const;
  const std::vector<Entry>& entries() const { return entries_; }

 private:
  std::vector<Entry> entries_;
};

// Makes the block that playback reports the board at current in the motion
// area (SessionEvents::positionReached), without handing its pose to the
// live output: the robot is there already. GUI thread.
MotionBlock* showReachedBlock(EditorState& state, int listIndex);

class Playback {
 public:
  explicit Playback(OnlineSession& session);
  // Asks a running playback to stop and joins its thread. Destroy it before
  // the session; where the thread's messages are answered by the destroying
  // thread, call shutDown first.
  ~Playback();
  Playback(const Playback&) = delete;
  Playback& operator=(const Playback&) = delete;

  // 40039, GUI thread: compiles the edited motion and starts the playback
  // thread. 1 when the thread was started; 0 when not connected, already
  // playing, without a pose to start from (40379) or too large (40380).
  // `loopSetting` is the loop control's value (kLoopControlAbsent without
  // one), `timeOverridePercent` the override control's.
  int startPlayback(int loopSetting, int timeOverridePercent = kOverrideControlAbsent);
  // At exit, on the thread that answers the playback thread's messages:
  // asks a playing motion to stop and waits for the thread to end, calling
  // `serve` meanwhile to run the work the thread waits for on this thread
  // (its messages); then joins it.
  void shutDown(const std::function<void()>& serve);
  // 40040, GUI thread: asks a playing motion to stop; when nothing plays,
  // sends the board the stop request for a motion it runs by itself.
  void stopPlayback();

  bool playing() const;
  bool threadRunning() const { return !threadFinished_.load(); }
  // The board position the playback thread saw last.
  uint32_t lastPosition() const { return lastPosition_.load(); }

 private:
  struct Job {
    std::vector<uint8_t> program;
    PositionTable table;
    int loopValue = 0;
  };

  void run(Job job);
  bool sendProgram(const std::vector<uint8_t>& program);
  void follow(const PositionTable& table);
  // One read of the motion start and position registers, carrying a
  // pending servo power change. False when the motion has ended or the
  // link failed.
  bool readPosition(const PositionTable& table);
  void stopOnBoard();
  void finish();
  void joinIfFinished();

  OnlineSession& session_;
  MemoryAccess& access_;
  LinkState& linkState_;
  EditorState& editor_;
  SessionEvents& events_;

  std::atomic<bool> threadFinished_{true};
  std::atomic<uint32_t> lastPosition_{0};
  std::mutex threadMutex_;
  std::thread thread_;
};

}  // namespace kv
