// The board on its socket: hello and enumeration, a standing request
// answered at every poll to every host, injected faults, leaving and
// rejoining the bus, the flash file, and the marlo-sim program itself.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <thread>

#include "board_server.h"
#include "host.h"
#include "memory_map.h"

namespace boardtest {
namespace {

using namespace boardsim;
namespace fs = std::filesystem;

bool exists(const std::string& path) {
  struct stat info;
  return lstat(path.c_str(), &info) == 0;
}

bool waitForFile(const std::string& path, bool present, int timeoutMs = 3000) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (exists(path) != present) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

class BoardServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/boardsim-test-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder_ = pattern;
    setenv("TAVLINK_VIRTUAL_DIR", folder_.c_str(), 1);
  }
  void TearDown() override {
    server_.reset();
    fs::remove_all(folder_);
  }
  ServerOptions fast() {
    ServerOptions options;
    options.socketPath = "board";
    options.timeScale = 0.01;
    return options;
  }
  BoardServer& startBoard(ServerOptions options) {
    server_ = std::make_unique<BoardServer>(std::move(options));
    std::string error;
    EXPECT_TRUE(server_->start(&error)) << error;
    return *server_;
  }
  // Writes a standing request for the blocks and collects its reply.
  bool readBlocks(SocketHost& host, uint8_t tag, const std::vector<std::pair<uint32_t, int>>& blocks,
                  HostImage& image, int timeoutMs = 1000) {
    host.drain();
    host.send(WriteRequest().add(kReadPointer, le32(kReadRequestArea)).add(kReadRequestArea, readRequest(tag, blocks)).payload());
    return host.collect(tag, image, timeoutMs);
  }

  std::string folder_;
  std::unique_ptr<BoardServer> server_;
};

TEST_F(BoardServerTest, HelloThenEnumerationThenASession) {
  BoardServer& board = startBoard(fast());
  EXPECT_EQ(board.socketPath(), folder_ + "/board");
  tav::Hello hello;
  SocketHost enumeration;
  ASSERT_TRUE(enumeration.connect(board.socketPath(), &hello));
  EXPECT_EQ(hello.vendorId, 0x1962);
  EXPECT_EQ(hello.productId, 0x1000);
  EXPECT_EQ(hello.version, 0x0100);
  EXPECT_EQ(hello.product, u"MARLO-3");
  enumeration.close();  // the board waits for the next connection

  SocketHost host;
  ASSERT_TRUE(host.connect(board.socketPath()));
  HostImage image;
  ASSERT_TRUE(readBlocks(host, 0x09, {{kFirmwareVersion, 2}, {kOperatingState, 2}, {variableAddress(kBatteryVariable), 2}}, image));
  EXPECT_EQ(image.u16(kFirmwareVersion), 0x0100);
  EXPECT_EQ(image.u16(kOperatingState), kStateIdle);
  EXPECT_GT(image.u16(variableAddress(kBatteryVariable)), 6000);
  EXPECT_EQ(board.stats().connections, 2u);
}

TEST_F(BoardServerTest, AStandingRequestIsAnsweredAfreshWhileTheHostPolls) {
  BoardServer& board = startBoard(fast());
  SocketHost host;
  ASSERT_TRUE(host.connect(board.socketPath()));
  // The flash handshake: one standing status request, then only reads.
  host.send(WriteRequest().add(kFlashRequestArea, readRequest(0x11, {{0x200000, 16}})).add(kReadPointer, le32(kFlashRequestArea)).payload());
  HostImage image;
  // The board goes on answering without being asked again: copy after copy
  // of the same tag, whether or not anything changed.
  for (int copy = 0; copy < 3; ++copy) ASSERT_TRUE(host.collect(0x11, image)) << "copy " << copy;
  host.send(WriteRequest().add(kFlashState, le16(0)).payload());
  ASSERT_TRUE(host.collect(0x11, image));
  EXPECT_EQ(image.u16(kFlashState), 0);
  host.send(WriteRequest().erase(0x40000).payload());
  int reads = 0;
  while (image.u16(kFlashState) != kFlashDone && reads < 50) {
    ASSERT_TRUE(host.collect(0x11, image, 2000)) << "after " << reads << " reads";
    ++reads;
  }
  EXPECT_EQ(image.u16(kFlashState), kFlashDone);
  EXPECT_GE(reads, 2);  // the reply to the erase request itself still says busy
  EXPECT_EQ(board.read(0x40000, 4), Bytes(4, 0xFF));
}

TEST_F(BoardServerTest, EveryHostThatHasTheBoardOpenGetsItsReplies) {
  BoardServer& board = startBoard(fast());
  SocketHost asking;
  SocketHost other;
  ASSERT_TRUE(asking.connect(board.socketPath()));
  ASSERT_TRUE(other.connect(board.socketPath()));
  HostImage image;
  ASSERT_TRUE(readBlocks(asking, 0x61, {{kFirmwareVersion, 2}}, image));
  HostImage overheard;
  ASSERT_TRUE(other.collect(0x61, overheard));
  EXPECT_EQ(overheard.u16(kFirmwareVersion), 0x0100);
}

// A host that does not read finds up to a queue's worth of old copies
// before the answer as it stands now, like a host reading an HID device.
TEST_F(BoardServerTest, CopiesTheHostHasNotReadAreOldWhenItReadsThem) {
  BoardServer& board = startBoard(fast());
  SocketHost host;
  ASSERT_TRUE(host.connect(board.socketPath()));
  HostImage image;
  ASSERT_TRUE(readBlocks(host, 0x69, {{variableAddress(100), 2}}, image));
  for (auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
       board.stats().reportsLost == 0 && std::chrono::steady_clock::now() < until;) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ASSERT_GT(board.stats().reportsLost, 0u) << "the host's queue never filled";
  board.setVariable(100, 7);
  int oldCopies = 0;
  for (; oldCopies <= 64; ++oldCopies) {
    ASSERT_TRUE(host.collect(0x69, image));
    if (image.u16(variableAddress(100)) == 7) break;
  }
  EXPECT_GT(oldCopies, 1);
  EXPECT_LE(oldCopies, 64);
}

TEST_F(BoardServerTest, DroppedAndCorruptedReplies) {
  ServerOptions options = fast();
  options.faults.dropEveryNthReply = 2;
  BoardServer& board = startBoard(options);
  SocketHost host;
  ASSERT_TRUE(host.connect(board.socketPath()));
  HostImage image;
  EXPECT_TRUE(readBlocks(host, 0x01, {{kFirmwareVersion, 2}}, image));
  EXPECT_FALSE(readBlocks(host, 0x09, {{kFirmwareVersion, 2}}, image, 200));
  EXPECT_TRUE(readBlocks(host, 0x11, {{kFirmwareVersion, 2}}, image));
  EXPECT_EQ(board.stats().repliesDropped, 1u);

  Faults corrupt;
  corrupt.corruptEveryNthReply = 1;
  board.setFaults(corrupt);
  EXPECT_FALSE(readBlocks(host, 0x19, {{kMotionArea, 200}}, image, 200));
  EXPECT_EQ(board.stats().repliesCorrupted, 1u);
  board.setFaults({});
  EXPECT_TRUE(readBlocks(host, 0x21, {{kFirmwareVersion, 2}}, image));
}

TEST_F(BoardServerTest, UnplugAfterReportsAndPlugBackIn) {
  ServerOptions options = fast();
  options.faults.unplugAfterReports = 3;
  options.faults.replugAfterMs = 500;
  BoardServer& board = startBoard(options);
  SocketHost host;
  ASSERT_TRUE(host.connect(board.socketPath()));
  host.send(WriteRequest().add(variableAddress(120), le16(4321)).payload());
  host.send(WriteRequest().add(variableAddress(121), le16(1)).payload());
  EXPECT_FALSE(host.hungUp(50));
  host.send(WriteRequest().add(variableAddress(122), le16(1)).payload());
  EXPECT_TRUE(host.hungUp(1000));
  EXPECT_FALSE(exists(board.socketPath()));
  EXPECT_FALSE(host.connect(board.socketPath()));

  ASSERT_TRUE(waitForFile(board.socketPath(), true));
  ASSERT_TRUE(host.connect(board.socketPath()));
  HostImage image;
  ASSERT_TRUE(readBlocks(host, 0x29, {{variableAddress(120), 2}}, image));
  EXPECT_EQ(image.u16(variableAddress(120)), 4321);  // the board kept running meanwhile
  EXPECT_EQ(board.stats().unplugs, 1u);
}

TEST_F(BoardServerTest, ARestartDropsTheHostAndTheBoardComesBack) {
  BoardServer& board = startBoard(fast());
  SocketHost host;
  ASSERT_TRUE(host.connect(board.socketPath()));
  host.send(WriteRequest().add(kRestartRequest, le16(1)).payload());
  EXPECT_TRUE(host.hungUp(1000));
  ASSERT_TRUE(board.waitUntil([](Board& b) { return b.onBus(); }, 3000));
  ASSERT_TRUE(waitForFile(board.socketPath(), true));
  ASSERT_TRUE(host.connect(board.socketPath()));
  HostImage image;
  ASSERT_TRUE(readBlocks(host, 0x31, {{kBootCount, 2}}, image));
  EXPECT_EQ(image.u16(kBootCount), 2);
}

TEST_F(BoardServerTest, TheFlashFileKeepsTheRomAcrossBoards) {
  const std::string file = folder_ + "/flash.bin";
  Bytes page(kPageSize);
  for (size_t i = 0; i < page.size(); ++i) page[i] = static_cast<uint8_t>(i ^ 0x5A);
  {
    ServerOptions options = fast();
    options.flashFile = file;
    BoardServer& board = startBoard(options);
    EXPECT_EQ(fs::file_size(file), kFlashSize);
    SocketHost host;
    ASSERT_TRUE(host.connect(board.socketPath()));
    host.send(WriteRequest().add(kFlashRequestArea, readRequest(0x41, {{0x200000, 16}})).add(kReadPointer, le32(kFlashRequestArea)).payload());
    int done = 0;
    for (const Bytes& operation : {WriteRequest().erase(0x48000).payload(), WriteRequest().add(0x48000, page).payload()}) {
      host.send(WriteRequest().add(kFlashState, le16(0)).payload());
      host.send(operation);
      ++done;
      ASSERT_TRUE(board.waitUntil([done](Board& b) { return b.flashOperations() == done && !b.flashBusy(); }, 3000));
      EXPECT_EQ(board.read(kFlashState, 2), le16(kFlashDone));
    }
    server_.reset();
  }
  ServerOptions options = fast();
  options.flashFile = file;
  BoardServer& board = startBoard(options);
  SocketHost host;
  ASSERT_TRUE(host.connect(board.socketPath()));
  HostImage image;
  ASSERT_TRUE(readBlocks(host, 0x49, {{0x48000, 512}}, image));
  EXPECT_EQ(image.range(0x48000, kPageSize), page);

  // A file of another size is not taken for a flash image.
  server_.reset();
  fs::resize_file(file, 1000);
  ServerOptions broken = fast();
  broken.flashFile = file;
  BoardServer other(broken);
  std::string error;
  EXPECT_FALSE(other.start(&error));
  EXPECT_NE(error.find("2 MiB"), std::string::npos);
}

TEST_F(BoardServerTest, BoardsInOneProcessGetTheirOwnSockets) {
  BoardServer first;
  BoardServer second;
  ASSERT_TRUE(first.start());
  ASSERT_TRUE(second.start());
  EXPECT_NE(first.socketPath(), second.socketPath());
  EXPECT_EQ(fs::path(first.socketPath()).parent_path(), fs::path(folder_));
  // A second board cannot take a socket a live board listens on.
  ServerOptions same;
  same.socketPath = first.socketPath();
  BoardServer clash(same);
  EXPECT_FALSE(clash.start());
  first.stop();
  EXPECT_FALSE(exists(first.socketPath()));
}

TEST_F(BoardServerTest, TheProgramListensUntilItIsStopped) {
  const std::string path = folder_ + "/program";
  int out[2];
  ASSERT_EQ(pipe(out), 0);
  const pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    dup2(out[1], 1);
    execl(MARLO_SIM_PATH, "marlo-sim", "--socket", path.c_str(), "--time-scale", "0.01", "--name", "Tester",
          static_cast<char*>(nullptr));
    _exit(127);
  }
  close(out[1]);
  char line[256] = {};
  FILE* stream = fdopen(out[0], "r");
  ASSERT_NE(std::fgets(line, sizeof(line), stream), nullptr);
  EXPECT_EQ(std::string(line), "marlo-sim: listening on " + path + "\n");
  SocketHost host;
  ASSERT_TRUE(host.connect(path));
  HostImage image;
  ASSERT_TRUE(readBlocks(host, 0x51, {{kNameCopy, 16}}, image));
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(image.range(kNameCopy, 16).data())), "Tester");
  kill(pid, SIGTERM);
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_FALSE(exists(path));
  std::fclose(stream);
}

}  // namespace
}  // namespace boardtest
