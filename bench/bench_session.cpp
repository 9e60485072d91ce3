// The online session against the virtual board served in-process, with the
// real protocol pacing: how long a pose shown in the editor takes to land in
// the board's live pose area (the connect cycle is about 32 ms plus its
// transfers), and a full playback upload of a motion of about 9,000 bytes.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
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

void BM_LivePoseToBoardMemory(benchmark::State& st) {
  Online& o = online();
  int16_t value = 100;
  for (auto _ : st) {
    value = static_cast<int16_t>(value == 100 ? -100 : 100);
    kv::PoseValues pose = kv::currentPose(o.state);
    pose.values[7] = value;
    auto start = Clock::now();
    kv::showPose(o.state, pose, kv::kPoseAreaTime, false);
    while (true) {
      std::vector<uint8_t> bytes = o.board->read(kv::board_addr::kLivePose + 2 * 7, 2);
      if (static_cast<int16_t>(bytes[0] | (bytes[1] << 8)) == value) break;
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    st.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
  }
}
BENCHMARK(BM_LivePoseToBoardMemory)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(40);

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
  kv::CompiledMotion compiled = kv::compileMotion(0x201A00, motion, 64, 100);
  st.counters["bytes"] = static_cast<double>(compiled.bytes.size());
  for (auto _ : st) {
    auto start = Clock::now();
    o.playback->startPlayback(1, 100);
    // Uploaded and started once the board holds the motion's start address.
    while (!o.board->withBoard([](boardsim::Board& b) { return b.motionRunning(); }))
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    st.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
    o.playback->stopPlayback();
    while (o.state.playing) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}
BENCHMARK(BM_PlaybackUpload9000Bytes)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

BENCHMARK_MAIN();
