// The board's side of the report protocol and its registers, in-process.
#include <gtest/gtest.h>

#include "host.h"
#include "memory_map.h"

namespace boardtest {
namespace {

using namespace boardsim;
using Received = Board::Received;

TEST(BoardRequests, BlocksAreAppliedInRequestOrder) {
  Board board;
  // The same word written twice: the later block wins.
  send(board, WriteRequest().add(variableAddress(100), le16(1)).add(variableAddress(100), le16(2)).payload());
  EXPECT_EQ(board.memory().variable(100), 2);
  send(board, WriteRequest().add(variableAddress(100), le16(3)).add(variableAddress(101), le16(4)).payload());
  EXPECT_EQ(board.memory().variable(100), 3);
  EXPECT_EQ(board.memory().variable(101), 4);
}

TEST(BoardRequests, SideEffectsWaitForTheWholeRequest) {
  Board board;
  Bytes pose;
  for (int i = 0; i < kSliderCount; ++i) pose.insert(pose.end(), {static_cast<uint8_t>(i), 0});
  // The live pose comes before servo power in the request; servo power is
  // on by the time the board acts on the pose, so the sliders move.
  send(board, WriteRequest()
                  .add(kLivePose, pose)
                  .add(kLiveServoBits, le32(0x3FFFFFFF))
                  .add(kLiveTime, le16(1))
                  .add(variableAddress(kServoPowerVariable), le16(1))
                  .payload());
  runCycles(board, 1);
  EXPECT_EQ(board.memory().variable(61), 61);
  EXPECT_EQ(board.memory().variable(kServoEnableLow), -1);
  EXPECT_EQ(board.memory().variable(kServoEnableHigh), 0x3FFF);
}

TEST(BoardRequests, ARequestSpreadOverReportsIsAppliedOnceComplete) {
  Board board;
  const Bytes request = WriteRequest().add(kMotionArea, Bytes(250, 0x5A)).payload();
  const auto reports = toReports(request);
  ASSERT_EQ(reports.size(), 5u);
  for (size_t i = 0; i + 1 < reports.size(); ++i) {
    EXPECT_EQ(board.receiveReport(reports[i].data(), reports[i].size()), Received::Partial);
    EXPECT_EQ(board.memory().byte(kMotionArea), 0);
  }
  EXPECT_EQ(board.receiveReport(reports.back().data(), 65), Received::Applied);
  EXPECT_EQ(board.memory().read(kMotionArea, 250), Bytes(250, 0x5A));
}

TEST(BoardRequests, ALostReportLosesTheRequest) {
  Board board;
  const auto reports = toReports(WriteRequest().add(kMotionArea, Bytes(100, 0x11)).payload());
  ASSERT_EQ(reports.size(), 2u);
  tav::Report stray = reports[1];
  EXPECT_EQ(board.receiveReport(stray.data(), 65), Received::Ignored);  // index 1 before index 0
  EXPECT_EQ(board.receiveReport(reports[0].data(), 65), Received::Partial);
  // A new request starts before the old one ended: the old one is dropped.
  const auto other = toReports(WriteRequest().add(variableAddress(5), le16(55)).payload());
  EXPECT_EQ(board.receiveReport(other[0].data(), 65), Received::Applied);
  EXPECT_EQ(board.receiveReport(reports[1].data(), 65), Received::Ignored);
  EXPECT_EQ(board.memory().byte(kMotionArea), 0);
  EXPECT_EQ(board.memory().variable(5), 55);
  // Reports without the request marker are not requests.
  tav::Report reply = other[0];
  reply[1] = 0x09;
  EXPECT_EQ(board.receiveReport(reply.data(), 65), Received::Ignored);
}

TEST(BoardRequests, MalformedRequestChangesNothingAndIsReported) {
  Board board;
  Bytes request = WriteRequest().add(variableAddress(7), le16(77)).payload();
  request.pop_back();
  request.insert(request.end(), {0xC8, 0x00, 0x00, 251, 0});  // a length code that stands for nothing
  EXPECT_EQ(send(board, request), Received::Refused);
  EXPECT_EQ(board.memory().variable(7), 0);
  EXPECT_EQ(board.memory().u16(kErrorCode), kErrorBadRequest);
  EXPECT_EQ(board.memory().u32(kErrorAddress), 6u);  // the offset of the bad header
}

TEST(BoardRequests, IdentificationCannotBeOverwritten) {
  Board board;
  send(board, WriteRequest().add(0x200000, Bytes(16, 0)).add(kFirmwareRevision, le32(0)).payload());
  EXPECT_EQ(board.memory().u16(kFirmwareVersion), 0x0100);
  EXPECT_EQ(board.memory().u32(kFirmwareRevision), 20u);
  EXPECT_EQ(board.memory().u16(kBoardId), kBoardIdValue);
}

TEST(BoardRequests, WritesOutsideRamAreRefused) {
  Board board;
  send(board, WriteRequest().add(0x000120, Bytes(16, 0)).payload());  // ROM, not through the handshake
  EXPECT_EQ(board.memory().u16(kErrorCode), kErrorWriteRefused);
  EXPECT_EQ(board.memory().u32(kErrorAddress), 0x120u);
  EXPECT_EQ(board.memory().u32(0x120), 0x8E0u);
  send(board, WriteRequest().add(0x300000, le16(1)).payload());  // nothing there
  EXPECT_EQ(board.memory().u32(kErrorAddress), 0x300000u);
}

// ---------------------------------------------------------------- the standing read request

TEST(BoardReplies, AnswersTheRequestThePointerNames) {
  Board board;
  EXPECT_EQ([&] { tav::ReplyPacker r; return board.buildReply(r); }(), Board::ReplyStatus::None);
  standRead(board, 0x21, {{kFirmwareVersion, 2}, {kFirmwareRevision, 4}, {kNamePointer, 4}, {kOperatingState, 2}});
  HostImage image;
  uint8_t tag = 0;
  ASSERT_TRUE(collect(board, image, &tag));
  EXPECT_EQ(tag, 0x21);
  EXPECT_EQ(image.u16(kFirmwareVersion), 0x0100);
  EXPECT_EQ(image.u32(kFirmwareRevision), 20u);
  EXPECT_EQ(image.u16(kOperatingState), kStateIdle);
  standRead(board, 0x29, {{image.u32(kNamePointer), 16}});
  ASSERT_TRUE(collect(board, image));
  const Bytes name = image.range(image.u32(kNamePointer), 16);
  EXPECT_EQ(std::string(name.begin(), name.begin() + 12), "DemoHumanoid");
  EXPECT_EQ(name[12], 0);
}

TEST(BoardReplies, EveryReplyIsAFreshSnapshot) {
  Board board;
  standRead(board, 0x31, {{variableAddress(10), 2}, {variableAddress(200), 2}});
  HostImage image;
  ASSERT_TRUE(collect(board, image));
  EXPECT_EQ(image.u16(variableAddress(200)), 0);
  board.memory().setVariable(200, 1234);
  ASSERT_TRUE(collect(board, image));
  EXPECT_EQ(image.u16(variableAddress(200)), 1234);
  // Rewriting the request area alone (same pointer) answers the new request.
  send(board, WriteRequest().add(kReadRequestArea, readRequest(0x39, {{variableAddress(10), 2}})).payload());
  uint8_t tag = 0;
  ASSERT_TRUE(collect(board, image, &tag));
  EXPECT_EQ(tag, 0x39);
}

TEST(BoardReplies, LongBlocksComeBackWhole) {
  Board board;
  Bytes pattern(512);
  for (size_t i = 0; i < pattern.size(); ++i) pattern[i] = static_cast<uint8_t>(i * 7 + 1);
  board.memory().write(kMotionArea, pattern.data(), pattern.size());
  standRead(board, 0x41, {{kMotionArea, 512}, {kMotionArea + 0x400, 256}, {kErrorCode, 2}});
  HostImage image;
  ASSERT_TRUE(collect(board, image));
  EXPECT_EQ(image.range(kMotionArea, 512), pattern);
}

TEST(BoardReplies, AMalformedStandingRequestIsReportedOnTheNextRequest) {
  Board board;
  send(board, WriteRequest().add(kReadRequestArea, Bytes(200, 0xFB)).add(kReadPointer, le32(kReadRequestArea)).payload());
  tav::ReplyPacker reply;
  EXPECT_EQ(board.replyAfterRequest(reply), Board::ReplyStatus::Malformed);
  EXPECT_EQ(board.memory().u16(kErrorCode), kErrorBadReadRequest);
  EXPECT_EQ(board.memory().u32(kErrorAddress), kReadRequestArea);
}

// ---------------------------------------------------------------- registers

TEST(BoardRegisters, OperatingStateFollowsWhatTheBoardDoes) {
  Board board;
  runCycles(board, 1);
  EXPECT_EQ(board.memory().u16(kOperatingState), kStateIdle);
  send(board, WriteRequest().add(variableAddress(kServoPowerVariable), le16(1)).payload());
  runCycles(board, 1);
  EXPECT_EQ(board.memory().u16(kOperatingState), kStateServosOn);
  send(board, WriteRequest().add(kLivePose, Bytes(124, 0x10)).add(kLiveTime, le16(5)).payload());
  runCycles(board, 1);
  EXPECT_EQ(board.memory().u16(kOperatingState), kStateMovingLive);
  runCycles(board, 4);
  EXPECT_EQ(board.memory().u16(kOperatingState), kStateServosOn);
  EXPECT_EQ(board.memory().variable(0), 0x1010);
}

TEST(BoardRegisters, LivePosesDoNotMoveTheSlidersWithoutServoPower) {
  Board board;
  send(board, WriteRequest().add(kLivePose, Bytes(124, 0x10)).add(kLiveTime, le16(1)).payload());
  runCycles(board, 3);
  EXPECT_EQ(board.memory().variable(0), 0);
}

TEST(BoardRegisters, BatteryIsPlausibleAndSagsUnderLoad) {
  Board board;
  runCycles(board, 1);
  const int idle = board.memory().variable(kBatteryVariable);
  EXPECT_GT(idle, 6000);
  EXPECT_LT(idle, 9000);
  send(board, WriteRequest().add(variableAddress(kServoPowerVariable), le16(1)).payload());
  runCycles(board, 1);
  EXPECT_LT(board.memory().variable(kBatteryVariable), idle);
}

TEST(BoardRegisters, BelowTheShutdownVoltageServoPowerIsCut) {
  BoardConfig config;
  config.batteryMilliVolts = 6300;  // under the factory shutdown of 6.4 V
  Board board(config);
  send(board, WriteRequest().add(variableAddress(kServoPowerVariable), le16(1)).payload());
  runCycles(board, 1);
  EXPECT_EQ(board.memory().variable(kServoPowerVariable), 0);
}

}  // namespace
}  // namespace boardtest
