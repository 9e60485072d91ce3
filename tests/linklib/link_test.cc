// libtavlink's exports against a fake virtual board: finding the board,
// requests on the wire, read transactions, and a board that misbehaves.
#include "tavlink.h"

#include <gtest/gtest.h>

#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "fake_board.h"
#include "tav_protocol.h"

namespace {

using tavtest::FakeBoard;
using Bytes = std::vector<uint8_t>;
using Clock = std::chrono::steady_clock;

constexpr int kRequestArea = 0x200B00;

struct Span {
  int address;
  int length;
};

Bytes image(int address, int length) { return Bytes(tavMemory + address, tavMemory + address + length); }

void fillImage(int address, int length, uint8_t seed) {
  for (int i = 0; i < length; ++i) tavMemory[address + i] = static_cast<uint8_t>(seed + i * 7);
}

// Sends a built read request the way the editor does: the request pointer
// and the request in one write.
int sendReadRequest(int length) {
  const uint32_t area = kRequestArea;
  std::memcpy(&tavMemory[0x200010], &area, 4);
  tavWriteInit();
  tavWritePush(0x200010, 4);
  tavWritePush(kRequestArea, length);
  tavWriteEnd();
  return tavWriteExec();
}

// One read transaction with a single collection of the reply.
int readBlocks(int tag, std::initializer_list<Span> blocks) {
  tavReadInit(kRequestArea, tag);
  for (const Span& block : blocks) {
    if (!tavReadPush(block.address, block.length)) return -1;
  }
  if (!sendReadRequest(tavReadEnd())) return -2;
  return tavReadExec(tag);
}

// The reports a board sends for one reply payload.
std::vector<tav::Report> framed(uint8_t tag, const Bytes& payload) {
  tav::Payload buffer{};
  std::copy(payload.begin(), payload.end(), buffer.begin());
  const int count = tav::reportsFor(payload.size());
  std::vector<tav::Report> reports(count);
  for (int i = 0; i < count; ++i) tav::buildReport(tag, i, count, buffer, reports[i]);
  return reports;
}

double secondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

class Link : public ::testing::Test {
 protected:
  void SetUp() override { setenv("TAVLINK_VIRTUAL_DIR", folder_.path().c_str(), 1); }
  void TearDown() override { tavClose(); }

  std::string socketPath(const std::string& name) const { return folder_.path() + "/" + name; }
  static int open() { return tavOpen(tavtest::kTestVendor, tavtest::kTestProduct, tavtest::kTestLowest, tavtest::kTestHighest); }

  FakeBoard& plugIn() {
    board_ = std::make_unique<FakeBoard>(socketPath("board.sock"));
    EXPECT_EQ(open(), 1);
    EXPECT_TRUE(board_->waitConnected());
    return *board_;
  }

  tavtest::TempFolder folder_;
  std::unique_ptr<FakeBoard> board_;
};

// ---------------------------------------------------------------- finding the board

TEST_F(Link, OpensTheFirstMatchingBoardAndSkipsEverythingElse) {
  std::ofstream(socketPath("0-notes.sock")) << "not a socket";
  FakeBoard stale(socketPath("1-stale.sock"));
  stale.stop(/*keepSocketFile=*/true);
  FakeBoard::Identity oldVersion;
  oldVersion.version = 0xFD00;
  FakeBoard old(socketPath("2-old.sock"), oldVersion);
  FakeBoard::Identity otherProduct;
  otherProduct.productId = 0x1001;
  FakeBoard other(socketPath("3-other.sock"), otherProduct);
  FakeBoard::Identity named;
  named.product = u"MARLO\u30dc";
  FakeBoard match(socketPath("4-match.sock"), named);
  FakeBoard second(socketPath("5-second.sock"));

  ASSERT_EQ(open(), 1);
  EXPECT_EQ(tavCheckAlive(), 1);
  EXPECT_TRUE(match.waitConnected());

  char name[200];
  std::memset(name, 0x7F, sizeof(name));
  ASSERT_EQ(tavGetName(name, 200), 1);
  EXPECT_EQ(std::string(name, 6), "MARLO\xDC");        // each unit narrowed to its low byte
  EXPECT_EQ(std::string(name + 6, 122), std::string(122, '\0'));  // padded, no more than 128 units
  EXPECT_EQ(name[128], 0x7F);
}

TEST_F(Link, WithoutABoardEveryDeviceOperationFailsAtOnce) {
  FakeBoard::Identity oldVersion;
  oldVersion.version = 0x0100;
  FakeBoard old(socketPath("old.sock"), oldVersion);
  EXPECT_EQ(open(), 0);
  EXPECT_EQ(tavCheckAlive(), 0);

  const auto start = Clock::now();
  char name[8];
  unsigned char report[65] = {};
  int count = -1;
  EXPECT_EQ(tavGetName(name, 8), 0);
  EXPECT_EQ(tavRawRead(report, 65, &count), 0);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(tavRawWrite(report, 65, &count), 0);
  tavWriteInit();
  tavWriteEnd();
  EXPECT_EQ(tavWriteExec(), 0);
  EXPECT_EQ(tavReadExec(9), 0);
  EXPECT_LT(secondsSince(start), 0.5);

  setenv("TAVLINK_VIRTUAL_DIR", socketPath("missing").c_str(), 1);
  EXPECT_EQ(open(), 0);
}

// ---------------------------------------------------------------- write requests

TEST_F(Link, WriteRequestsGoOutAsReportsOf62Bytes) {
  FakeBoard& board = plugIn();
  fillImage(0x201A00, 1000, 3);
  auto indexBytes = [&board] {
    Bytes bytes;
    for (const Bytes& message : board.received()) {
      EXPECT_EQ(message.size(), 65u);
      EXPECT_EQ(message[0], 0);
      EXPECT_EQ(message[1], 0x55);
      bytes.push_back(message[2]);
    }
    board.clearReceived();
    return bytes;
  };

  // 4-byte header + 57 bytes + terminator = 62 bytes.
  tavWriteInit();
  ASSERT_EQ(tavWritePush(0x201A00, 57), 1);
  ASSERT_EQ(tavWriteEnd(), 1);
  ASSERT_EQ(tavWriteExec(), 1);
  ASSERT_TRUE(board.waitReceived(1));
  EXPECT_EQ(indexBytes(), Bytes{0x01});

  tavWriteInit();
  tavWritePush(0x201A00, 58);
  tavWriteEnd();
  ASSERT_EQ(tavWriteExec(), 1);
  ASSERT_TRUE(board.waitReceived(2));
  EXPECT_EQ(indexBytes(), (Bytes{0x02, 0x12}));

  // 516 + 259 + 216 + terminator = 992 bytes.
  tavWriteInit();
  ASSERT_EQ(tavWritePush(0x201A00, 512), 1);
  ASSERT_EQ(tavWritePush(0x201C00, 256), 1);
  ASSERT_EQ(tavWritePush(0x201D00, 213), 1);
  ASSERT_EQ(tavWriteEnd(), 1);
  EXPECT_EQ(tavWriteEnd(), 0);  // full
  ASSERT_EQ(tavWriteExec(), 1);
  ASSERT_TRUE(board.waitReceived(16));
  const Bytes expected{0x00, 0x10, 0x20, 0x30, 0x40, 0x50, 0x60, 0x70,
                       0x80, 0x90, 0xA0, 0xB0, 0xC0, 0xD0, 0xE0, 0xF0};
  EXPECT_EQ(indexBytes(), expected);
  EXPECT_EQ(board.memory(0x201A00, 981), image(0x201A00, 981));

  // The request stays built: a second call sends it again.
  ASSERT_EQ(tavWriteExec(), 1);
  ASSERT_TRUE(board.waitReceived(16));
  EXPECT_EQ(indexBytes(), expected);
}

TEST_F(Link, WritePushRefusesABlockThatMightNotFit) {
  FakeBoard& board = plugIn();
  fillImage(0x201A00, 1000, 11);
  tavWriteInit();
  ASSERT_EQ(tavWritePush(0x201A00, 512), 1);  // 516 bytes used
  ASSERT_EQ(tavWritePush(0x201C00, 256), 1);  // 775
  // 775 + 214 + 4 > 992 although the real 3-byte header would leave room.
  EXPECT_EQ(tavWritePush(0x201D00, 214), 0);
  EXPECT_EQ(tavWritePush(0x201D00, 251), 0);
  EXPECT_EQ(tavWritePush(0x400000, 1), 0);
  EXPECT_EQ(tavWritePush(-1, 1), 0);
  // The refusals changed nothing: the next block still follows directly.
  ASSERT_EQ(tavWritePush(0x201D00, 213), 1);
  ASSERT_EQ(tavWriteEnd(), 1);
  ASSERT_EQ(tavWriteExec(), 1);
  ASSERT_TRUE(board.waitReceived(16));
  EXPECT_EQ(board.received().size(), 16u);
  EXPECT_EQ(board.memory(0x201A00, 981), image(0x201A00, 981));
}

// ---------------------------------------------------------------- read requests

TEST_F(Link, ReadRequestIsBuiltInTheImage) {
  ASSERT_EQ(tavReadInit(kRequestArea, 0x11), 1);
  ASSERT_EQ(tavReadPush(0x200000, 4), 1);
  ASSERT_EQ(tavReadPush(0x200004, 4), 1);
  ASSERT_EQ(tavReadPush(0x20000C, 4), 1);  // 4 bytes on
  EXPECT_EQ(tavReadPush(0x200010, 251), 0);
  EXPECT_EQ(tavReadPush(0x400000, 1), 0);
  ASSERT_EQ(tavReadPush(0x200010, 2), 1);  // refusals left the previous end at 0x200010
  ASSERT_EQ(tavReadEnd(), 14);
  EXPECT_EQ(image(kRequestArea, 14),
            (Bytes{0x11, 0xE0, 0x00, 0x00, 0x04, 0x80, 0x00, 0x04, 0x04, 0x04, 0x80, 0x00, 0x02, 0x00}));

  EXPECT_EQ(tavReadInit(-1, 1), 0);
  EXPECT_EQ(tavReadInit(TAV_MEMORY_SIZE - 991, 1), 0);  // a full request would run off the image
  EXPECT_EQ(tavReadPush(0x200000, 4), 0);
  EXPECT_EQ(tavReadEnd(), 0);
  EXPECT_EQ(tavReadInit(TAV_MEMORY_SIZE - 992, 1), 1);
}

TEST_F(Link, ReadPushKeepsTheReplyWithin992Bytes) {
  ASSERT_EQ(tavReadInit(kRequestArea, 0x21), 1);
  ASSERT_EQ(tavReadPush(0x201000, 250), 1);  // reply 254
  ASSERT_EQ(tavReadPush(0x2010FA, 250), 1);  // 507
  ASSERT_EQ(tavReadPush(0x2011F4, 250), 1);  // 760
  EXPECT_EQ(tavReadPush(0x2012EE, 228), 0);  // 760 + 3 + 228 + 2 > 992
  ASSERT_EQ(tavReadPush(0x2012EE, 227), 1);  // exactly 992
  EXPECT_EQ(tavReadPush(0x2013D1, 0), 0);
  EXPECT_EQ(tavReadEnd(), 15);
}

TEST_F(Link, ReadTransactionBringsBoardMemoryIntoTheImage) {
  FakeBoard& board = plugIn();
  Bytes values(1024);
  for (size_t i = 0; i < values.size(); ++i) values[i] = static_cast<uint8_t>(i * 5 + 1);
  board.setMemory(0x200180, Bytes(values.begin(), values.begin() + 4));
  board.setMemory(0x200800, values);
  board.setMemory(0x201A00, values);

  ASSERT_EQ(readBlocks(0x09, {{0x200182, 2}, {0x200800, 124}, {0x2009DE, 2}, {0x2009E0, 24}}), 1);
  EXPECT_EQ(image(0x200182, 2), board.memory(0x200182, 2));
  EXPECT_EQ(image(0x200800, 124), board.memory(0x200800, 124));
  EXPECT_EQ(image(0x2009DE, 26), board.memory(0x2009DE, 26));

  // 990 bytes of reply: 16 reports, the first saying count 0.
  std::memset(&tavMemory[0x201A00], 0, 1000);
  board.clearReceived();
  ASSERT_EQ(readBlocks(0x11, {{0x201A00, 250}, {0x201AFA, 250}, {0x201BF4, 250}, {0x201CEE, 227}}), 1);
  EXPECT_EQ(image(0x201A00, 977), board.memory(0x201A00, 977));
  EXPECT_EQ(tavMemory[0x201A00 + 977], 0);

  // Blocks the board answers in several records.
  std::memset(&tavMemory[0x201A00], 0, 1000);
  ASSERT_EQ(readBlocks(0x19, {{0x201A00, 512}, {0x201C00, 256}}), 1);
  EXPECT_EQ(image(0x201A00, 768), board.memory(0x201A00, 768));
}

TEST_F(Link, GivesUpAtThe65thBadReport) {
  FakeBoard& board = plugIn();
  board.setMemory(0x200800, {1, 2});
  board.badReportsBeforeReply = 64;
  EXPECT_EQ(readBlocks(0x09, {{0x200800, 2}}), 1);
  EXPECT_EQ(image(0x200800, 2), (Bytes{1, 2}));

  board.badReportsBeforeReply = 65;
  EXPECT_EQ(readBlocks(0x11, {{0x200800, 2}}), 0);
  EXPECT_EQ(tavCheckAlive(), 1);
}

// ---------------------------------------------------------------- faults of a board

TEST_F(Link, SilentBoardEndsTheReadInsteadOfHangingAndKeepsTheLink) {
  FakeBoard& board = plugIn();
  board.silent = true;
  auto start = Clock::now();
  EXPECT_EQ(readBlocks(0x09, {{0x200800, 2}}), 0);
  EXPECT_LT(secondsSince(start), 4.0);
  EXPECT_EQ(tavCheckAlive(), 1);

  unsigned char report[65];
  int count = -1;
  start = Clock::now();
  EXPECT_EQ(tavRawRead(report, 65, &count), 0);
  EXPECT_LT(secondsSince(start), 3.0);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(tavCheckAlive(), 1);

  board.silent = false;
  board.setMemory(0x200800, {5, 6});
  EXPECT_EQ(readBlocks(0x11, {{0x200800, 2}}), 1);
  EXPECT_EQ(image(0x200800, 2), (Bytes{5, 6}));
}

TEST_F(Link, RepliesLeftFromEarlierRequestsDoNotUseUpTheBadReads) {
  FakeBoard& board = plugIn();
  board.setMemory(0x200800, {7, 8});
  // A board that went on answering an older request: 80 of its reports wait in the queue.
  const tav::Report stale = framed(0x01, Bytes(62, 0x10))[0];
  for (int i = 0; i < 80; ++i) board.inject(stale);
  EXPECT_EQ(readBlocks(0x09, {{0x200800, 2}}), 1);
  EXPECT_EQ(image(0x200800, 2), (Bytes{7, 8}));
}

TEST_F(Link, ReplyCannotWriteOutsideTheImage) {
  FakeBoard& board = plugIn();
  board.silent = true;
  std::memset(&tavMemory[TAV_MEMORY_SIZE - 200], 0xAB, 200);

  Bytes reply{0xFF, 0xFF, 0xFF, 0};                                 // 0x3FFFFF, empty
  for (int i = 0; i < 51; ++i) reply.insert(reply.end(), {0xBF, 0xFF, 0});  // + 51 * 0x3FFF
  reply.insert(reply.end(), {0x8E, 0x38, 200});                     // 100 bytes below the image end
  reply.insert(reply.end(), 200, 0xEE);
  reply.insert(reply.end(), {0xE0, 0x10, 0x00, 4, 1, 2, 3, 4, 0});  // back inside: still copied

  tavReadInit(kRequestArea, 0x19);
  tavReadPush(0x201000, 4);
  ASSERT_EQ(sendReadRequest(tavReadEnd()), 1);
  for (const tav::Report& report : framed(0x19, reply)) board.inject(report);
  EXPECT_EQ(tavReadExec(0x19), 1);
  EXPECT_EQ(image(TAV_MEMORY_SIZE - 200, 200), Bytes(200, 0xAB));
  EXPECT_EQ(image(0x201000, 4), (Bytes{1, 2, 3, 4}));
}

// A reply shorter than the one before must not replay the older one's tail.
TEST_F(Link, OnlyTheReportsOfThisReplyAreUnpacked) {
  FakeBoard& board = plugIn();
  board.silent = true;
  Bytes first{0xE0, 0x10, 0x00, 58};
  first.insert(first.end(), 58, 0x11);  // fills report 0 exactly: 0x201000..0x201039
  first.insert(first.end(), {0x80, 0xC6, 4, 9, 9, 9, 9, 0});  // 0x201100 in report 1
  for (const tav::Report& report : framed(0x21, first)) board.inject(report);
  ASSERT_EQ(tavReadExec(0x21), 1);
  ASSERT_EQ(image(0x201100, 4), (Bytes{9, 9, 9, 9}));

  std::memset(&tavMemory[0x201100], 0, 4);
  const Bytes second(first.begin(), first.begin() + 62);  // one report, no terminator
  for (const tav::Report& report : framed(0x29, second)) board.inject(report);
  ASSERT_EQ(tavReadExec(0x29), 1);
  EXPECT_EQ(image(0x201100, 4), (Bytes{0, 0, 0, 0}));
}

TEST_F(Link, FailedRawReadLosesTheLinkButAFailedRawWriteDoesNot) {
  FakeBoard& board = plugIn();
  unsigned char report[65] = {0, 0x55, 0x01, 0xE0, 0x10, 0x00, 1, 0x42, 0};
  int count = 0;
  ASSERT_EQ(tavRawWrite(report, 65, &count), 1);
  EXPECT_EQ(count, 65);
  ASSERT_TRUE(board.waitReceived(1));
  EXPECT_EQ(board.memory(0x201000, 1), Bytes{0x42});

  tav::Report sent{};
  sent[1] = 0x31;
  sent[2] = 0x01;
  sent[64] = 0x77;
  board.inject(sent);
  unsigned char got[65] = {};
  ASSERT_EQ(tavRawRead(got, 65, &count), 1);
  EXPECT_EQ(count, 65);
  EXPECT_EQ(Bytes(got, got + 65), Bytes(sent.begin(), sent.end()));

  board.stop();  // unplugged
  EXPECT_EQ(tavRawWrite(report, 65, &count), 0);
  EXPECT_EQ(tavCheckAlive(), 1);
  EXPECT_EQ(tavRawRead(got, 65, &count), 0);
  EXPECT_EQ(tavCheckAlive(), 0);
  EXPECT_EQ(open(), 0);

  // Plugged in again.
  FakeBoard again(socketPath("board.sock"));
  EXPECT_EQ(open(), 1);
  EXPECT_EQ(tavCheckAlive(), 1);
}

}  // namespace
