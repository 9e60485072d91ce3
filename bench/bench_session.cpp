// The online session against the virtual board served in-process, with the
// real protocol pacing: how long a pose shown in the editor takes to land in
// the board's live pose area (the connect cycle is about 32 ms plus its
// transfers), and a full playback upload of a motion of about 9,000 bytes.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <thread>

#include "board_server.h"
#include "motion/motion_edit.h"
#include "pose/show_pose.h"
#include "rom/compiled_motion.h"
#include "session/board_link.h"
#include "session/link_state.h"
#include "session/memory_map.h"
#include "session/online_session.h"
#include "session/playback.h"
#include "shell/editor_state.h"
#include "shell/undo_commands.h"

namespace {

using Clock = std::chrono::steady_clock;

// The playback upload's pacing: the motion goes out in writes of this
// size with a pause after each, and a pause after the loop setting.
constexpr size_t kProgramWrite = 250;
constexpr size_t kAfterWriteMs = 80;
constexpr size_t kAfterLoopMs = 80;

struct Online {
  std::filesystem::path folder = std::filesystem::temp_directory_path() / "kv-bench-session";
  std::unique_ptr<boardsim::BoardServer> board;
  kv::EditorState state;
  kv::TavBoardLink link;
  kv::LinkState linkState;
  kv::SessionEvents events;
  std::unique_ptr<kv::OnlineSession> session;
  std::unique_ptr<kv::Playback> playback;

  Online() {
    std::filesystem::create_directories(folder);
    setenv("TAVLINK_VIRTUAL_DIR", folder.c_str(), 1);
    boardsim::ServerOptions options;
    options.socketPath = "bench";
    board = std::make_unique<boardsim::BoardServer>(options);
    board->start();
    state.project.modelName = u"DemoHumanoid";
    for (kv::PoseSlider& s : state.sliders.sliders) {
      s.lowerLimit = -2000;
      s.upperLimit = 2000;
    }
    kv::newMotion(state, 400);
    session = std::make_unique<kv::OnlineSession>(link, linkState, state, events);
    playback = std::make_unique<kv::Playback>(*session);
    session->hookLivePose();
    session->startSession();
    while (!session->connected()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  ~Online() {
    session->endSession();
    playback.reset();
    session.reset();
    board->stop();
  }
};

Online& online() {
  static Online instance;
  return instance;
}

// From showPose until the value is in the board's live pose area. The
// connect thread sends a queued pose at its next cycle, so the figure
// depends on where in the cycle the pose arrives. With arg 0 each pose
// follows the moment the previous one landed, as in a continuous drag: it
// waits out the pause after a sent pose and a whole cycle, the worst case.
// With arg 1 each pose comes after an unmeasured pause spread over 0 to
// 150 ms, as a single edit does: the average over the cycle.
void BM_LivePoseToBoardMemory(benchmark::State& st) {
  Online& o = online();
  const bool spread = st.range(0) != 0;
  std::minstd_rand random(12);
  std::uniform_int_distribution<int> pauseMs(0, 150);
  int16_t value = 100;
  for (auto _ : st) {
    if (spread) std::this_thread::sleep_for(std::chrono::milliseconds(pauseMs(random)));
    value = static_cast<int16_t>(value == 100 ? -100 : 100);
    kv::PoseValues pose = kv::currentPose(o.state);
    pose.values[7] = value;
    auto start = Clock::now();
    kv::showPose(o.state, pose, kv::kPoseAreaTime, false);
    auto landed = [&o, value] {
      std::vector<uint8_t> bytes = o.board->read(kv::board_addr::kLivePose + 2 * 7, 2);
      return static_cast<int16_t>(bytes[0] | (bytes[1] << 8)) == value;
    };
    const auto deadline = start + std::chrono::seconds(5);
    while (!landed() && Clock::now() < deadline) std::this_thread::sleep_for(std::chrono::microseconds(200));
    st.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
    if (!landed()) {
      st.SkipWithError("the pose did not reach the board");
      break;
    }
  }
}
BENCHMARK(BM_LivePoseToBoardMemory)
    ->ArgName("spread")
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(40);

// Until the board runs the motion: compile, take the link, 37 writes of 250
// bytes with 80 ms after each, the loop setting with 80 ms after it, and the
// start address. The pacing alone is the floor no upload can beat; it is
// reported beside the figure (pacing_floor_ms). Every iteration begins with
// the playback thread ended, the board stopped and its motion area blanked,
// and ends by checking that the board holds the whole program, so each one
// measures a complete upload.
void BM_PlaybackUpload9000Bytes(benchmark::State& st) {
  Online& o = online();
  // 68 pose blocks: 68 x (4 + 130) bytes of code and poses, about 9,100 bytes.
  kv::Motion& motion = o.state.motion;
  while (motion.count() < 70) {
    auto block = std::make_unique<kv::MotionBlock>();
    block->kind = kv::KindPose;
    motion.blocks.insert(motion.blocks.end() - 1, std::move(block));
  }
  for (size_t i = 0; i + 1 < motion.blocks.size(); ++i) motion.blocks[i]->link[0] = motion.blocks[i + 1].get();
  const std::vector<uint8_t> program =
      kv::compileMotion(kv::board_addr::kMotionArea, motion, kv::kPoseHeaderByte, 100).bytes;
  const size_t writes = (program.size() + kProgramWrite - 1) / kProgramWrite;
  st.counters["bytes"] = static_cast<double>(program.size());
  st.counters["writes"] = static_cast<double>(writes);
  st.counters["pacing_floor_ms"] = static_cast<double>(writes * kAfterWriteMs + kAfterLoopMs);
  const std::vector<uint8_t> blank(program.size(), 0);
  auto boardRuns = [&o] { return o.board->withBoard([](boardsim::Board& b) { return b.motionRunning(); }); };

  for (auto _ : st) {
    if (boardRuns() || o.playback->threadRunning()) {
      st.SkipWithError("the previous playback has not ended");
      break;
    }
    o.board->write(kv::board_addr::kMotionArea, blank);

    auto start = Clock::now();
    if (o.playback->startPlayback(1, 100) != 1) {
      st.SkipWithError("playback did not start");
      break;
    }
    // Uploaded and started once the board runs the motion.
    const auto deadline = start + std::chrono::seconds(30);
    while (!boardRuns() && Clock::now() < deadline) std::this_thread::sleep_for(std::chrono::microseconds(200));
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    st.SetIterationTime(seconds);

    if (seconds * 1000 < st.counters["pacing_floor_ms"]) {
      st.SkipWithError("faster than the pacing allows: no complete upload was measured");
      break;
    }
    const bool started = boardRuns();
    const bool uploaded = o.board->read(kv::board_addr::kMotionArea, program.size()) == program;
    // Stopped the way the user stops it: the thread clears the start
    // address, asks the board to stop and ends; both are waited for, so the
    // next iteration starts from an idle board and a free thread slot.
    o.playback->stopPlayback();
    while (o.playback->threadRunning()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    const bool stopped = o.board->waitUntil([](boardsim::Board& b) { return !b.motionRunning(); }, 5000);
    if (!started || !uploaded || !stopped) {
      st.SkipWithError(!started   ? "the board did not start the motion"
                       : !uploaded ? "the board does not hold the program"
                                   : "the board did not stop");
      break;
    }
  }
}
BENCHMARK(BM_PlaybackUpload9000Bytes)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

BENCHMARK_MAIN();
