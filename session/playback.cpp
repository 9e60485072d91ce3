#include "session/playback.h"

#include <algorithm>
#include <chrono>
#include <utility>

#include "motion/block_editing.h"
#include "motion/motion.h"
#include "rom/compiled_motion.h"
#include "shell/editor_state.h"
#include "shell/messages.h"
#include "shell/pacing.h"

namespace kv {

namespace a = board_addr;

namespace {

constexpr size_t kProgramBlock = 250;  // the motion goes out in writes of this size
constexpr int kAfterBlockMs = 80;
constexpr int kAfterLoopMs = 80;
constexpr int kAfterStartMs = 32;
constexpr int kAfterStopMs = 16;
// How often shutDown looks at the thread between serving the caller's work.
constexpr std::chrono::milliseconds kServePeriod{5};

}  // namespace

int loopValueSent(int loopSetting) { return loopSetting < -1 ? 3 : loopSetting; }

// ---------------------------------------------------------------- position table

PositionTable::PositionTable(uint32_t baseAddress, std::span<const uint32_t> blockOffsets,
                             std::span<const int> kinds) {
  const size_t count = std::min(blockOffsets.size(), kinds.size());
  entries_.reserve(count);
  for (size_t i = 0; i < count; ++i) {
    entries_.push_back({baseAddress + blockOffsets[i], static_cast<int>(i), kinds[i]});
  }
}

int PositionTable::poseAt(uint32_t address) const {
  for (const Entry& entry : entries_) {
    if (entry.address == address && entry.kind == KindPose) return entry.index;
  }
  return -1;
}

MotionBlock* showReachedBlock(EditorState& state, int listIndex) {
  // The robot is at this block already: it is shown, not sent as a live
  // pose, which after a stop would send the robot on to it.
  auto livePose = std::exchange(state.views.livePose, nullptr);
  MotionBlock* block = selectCurrent(state, listIndex);
  state.views.livePose = std::move(livePose);
  return block;
}

// ---------------------------------------------------------------- GUI thread

Playback::Playback(OnlineSession& session)
    : session_(session),
      access_(session.access()),
      linkState_(session.linkState()),
      editor_(session.editor()),
      events_(session.events()) {}

Playback::~Playback() {
  editor_.playing = false;
  std::lock_guard lock(threadMutex_);
  if (thread_.joinable()) thread_.join();
}

bool Playback::playing() const { return editor_.playing.load(); }

void Playback::joinIfFinished() {
  std::lock_guard lock(threadMutex_);
  if (threadFinished_.load() && thread_.joinable()) thread_.join();
}

int Playback::startPlayback(int loopSetting, int timeOverridePercent) {
  {
    // Taking the thread slot is one step under the thread lock: a thread
    // seen finished is joined, one still running refuses the start. The slot
    // stays taken (not finished) until the new thread ends or the start is
    // given up, so a start re-entered meanwhile (from a message box's event
    // loop) is refused rather than given a joinable thread_.
    std::lock_guard lock(threadMutex_);
    if (!session_.connected() || editor_.playing.load() || !threadFinished_.load()) return 0;
    if (thread_.joinable()) thread_.join();
    threadFinished_ = false;
  }
  struct GiveUp {
    std::atomic<bool>* finished;
    ~GiveUp() {
      if (finished) *finished = true;
    }
  } giveUp{&threadFinished_};

  // The board enters the program at its first byte: the start block's code.
  Motion& motion = editor_.motion;
  auto start = std::find_if(motion.blocks.begin(), motion.blocks.end(),
                            [](const auto& block) { return block->kind == KindStart; });
  if (start != motion.blocks.end() && start != motion.blocks.begin()) {
    std::rotate(motion.blocks.begin(), start, start + 1);
  }
  const MotionBlock* first = motion.first();
  if (!first || first->kind != KindStart || !first->link[kNextLink]) {
    showMessage(kMsgNoStartPose, MessageIcon::Warning, MessageButtons::Ok);
    return 0;
  }

  editor_.playing = true;
  events_.playbackChanged(true);
  CompiledMotion compiled = compileMotion(a::kMotionArea, motion, kPoseHeaderByte, timeOverridePercent);
  if (!compiled.ok || compiled.bytes.size() > kMaxPlaybackBytes) {
    showMessage(kMsgMotionTooLarge, MessageIcon::Error, MessageButtons::Ok);
    editor_.playing = false;
    events_.playbackChanged(false);
    return 0;
  }

  std::vector<int> kinds;
  kinds.reserve(motion.blocks.size());
  for (const auto& block : motion.blocks) kinds.push_back(block->kind);
  Job job;
  job.table = PositionTable(a::kMotionArea, compiled.blockOffsets, kinds);
  job.program = std::move(compiled.bytes);
  job.loopValue = loopValueSent(loopSetting);

  lastPosition_ = 0;
  std::lock_guard lock(threadMutex_);
  thread_ = std::thread(&Playback::run, this, std::move(job));
  giveUp.finished = nullptr;
  return 1;
}

void Playback::shutDown(const std::function<void()>& serve) {
  // The thread sees the cleared flag in its next follow cycle and stops the
  // board itself.
  editor_.playing = false;
  while (!threadFinished_.load()) {
    serve();
    std::this_thread::sleep_for(kServePeriod);
  }
  joinIfFinished();
}

void Playback::stopPlayback() {
  // The thread sees the cleared flag in its next follow cycle and stops the
  // board itself.
  if (editor_.playing.exchange(false)) return;
  access_.sendStopRequest();
}

// ---------------------------------------------------------------- playback thread

void Playback::run(Job job) {
  struct Finish {
    Playback* playback;
    ~Finish() { playback->finish(); }
  } finish{this};

  if (!session_.connected()) return;
  {
    LinkHold hold;
    if (access_.takeLink(hold) != 1) {
      access_.reportLinkUnavailable();
      return;
    }
    linkState_.playbackOwner = kPlaybackOwnerPlaying;

    events_.positionReached(0);
    const bool sent = sendProgram(job.program);
    job.program = {};
    // A partly written program is never started: the board would run
    // whatever the missing blocks left in its RAM.
    if (sent) {
      access_.link().store16(a::kLoopSetting, static_cast<uint16_t>(job.loopValue));
      if (access_.writeBlocks({{a::kLoopSetting, 2}})) {
        sleepMs(kAfterLoopMs);
        access_.link().store32(a::kMotionStart, a::kMotionArea);
        if (access_.writeBlocks({{a::kMotionStart, 4}})) {
          sleepMs(kAfterStartMs);
          follow(job.table);
        }
      }
    }

    const uint32_t last = lastPosition_.load();
    const int pose = job.table.poseAt(last);
    if (pose >= 0) {
      events_.positionReached(pose);
    } else if (last == 0) {
      events_.positionReached(0);
    }
    // A live pose queued before or during the run is out of date: the motion
    // has moved the robot since. Dropped before the link is released, so
    // the connect thread never sends it after the stop.
    linkState_.posePending = false;
  }
}

void Playback::finish() {
  editor_.playing = false;
  linkState_.playbackOwner = 0;
  // A servo change asked for while the motion was not being followed (it
  // was being sent, or the run ended first) is carried out now.
  const int request = session_.takeServoRequest();
  if (request >= 0) session_.applyServoPower(request);
  events_.playbackChanged(false);
  threadFinished_ = true;
}

bool Playback::sendProgram(const std::vector<uint8_t>& program) {
  BoardLink& link = access_.link();
  link.storeBytes(a::kMotionArea, program);
  for (size_t done = 0; done < program.size(); done += kProgramBlock) {
    const int length = static_cast<int>(std::min(kProgramBlock, program.size() - done));
    if (!access_.writeBlocks({{a::kMotionArea + static_cast<uint32_t>(done), length}})) {
      showMessage(kMsgMotionWriteFailed, MessageIcon::Error, MessageButtons::Ok);
      return false;
    }
    sleepMs(kAfterBlockMs);
  }
  return true;
}

void Playback::follow(const PositionTable& table) {
  for (;;) {
    bool ended = false;
    uint32_t errorAddress = session_.cpuSettings().errorAddress;
    const int code = access_.readBoardError(&errorAddress);
    if (code == -1) {
      ended = true;
    } else {
      session_.storeBoardError(code, errorAddress);
    }

    LiveSnapshot snapshot = session_.liveSnapshot();
    if (access_.readLiveState(snapshot) >= 1) session_.storeLiveSnapshot(snapshot);
    events_.liveStateUpdated();
    if (code == kMotionProgramError) ended = true;

    if (!readPosition(table)) ended = true;

    if (!editor_.playing.load()) {
      stopOnBoard();
      return;
    }
    if (ended) return;
    sleepMs(0);
  }
}

bool Playback::readPosition(const PositionTable& table) {
  BoardLink& link = access_.link();
  // A servo change goes out in the same write as the read request.
  std::vector<BoardBlock> carried;
  const int servo = session_.takeServoRequest();
  bool servosWereOn = false;
  if (servo >= 0) {
    link.store16(a::kServoPower, static_cast<uint16_t>(servo));
    carried.push_back({a::kServoPower, 2});
    servosWereOn = editor_.status.set(status::kServosOn, servo == 1) & status::kServosOn;
  }
  const BoardBlock registers[] = {{a::kMotionStart, 4}, {a::kMotionPosition, 4}};
  const ReadOutcome outcome = access_.readTransaction(registers, WriteRoute::Session, carried);
  if (servo >= 0) {
    if (outcome == ReadOutcome::WriteFailed || outcome == ReadOutcome::Refused) {
      // Not sent: kept for the end of playback, unless a newer one came.
      editor_.status.set(status::kServosOn, servosWereOn);
      session_.restoreServoRequest(servo);
    }
    events_.sessionChanged();
  }
  if (outcome != ReadOutcome::Replied) return false;

  const bool running = link.load32(a::kMotionStart) != 0;
  const uint32_t position = link.load32(a::kMotionPosition);
  if (running && position != lastPosition_.load()) {
    const int pose = table.poseAt(position);
    if (pose >= 0) events_.positionReached(pose);
  }
  lastPosition_ = position;
  return running;
}

void Playback::stopOnBoard() {
  BoardLink& link = access_.link();
  link.store32(a::kMotionStart, 0);
  access_.writeBlocks({{a::kMotionStart, 4}});
  sleepMs(kAfterStopMs);
  link.store16(a::kStopRequest, 1);
  access_.writeBlocks({{a::kStopRequest, 2}});
  const BoardBlock position[] = {{a::kMotionPosition, 4}};
  if (access_.readTransaction(position) == ReadOutcome::Replied) lastPosition_ = link.load32(a::kMotionPosition);
}

}  // namespace kv
