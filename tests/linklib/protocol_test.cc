// The wire format on its own: headers, report framing, reply unpacking,
// board-side parsing and the virtual board's hello.
#include "tav_protocol.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

namespace tav {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes header(int64_t previousEnd, int32_t address, int32_t length) {
  uint8_t out[kMaxHeader] = {};
  const int size = encodeHeader(previousEnd, address, length, out);
  return Bytes(out, out + size);
}

TEST(BlockHeader, PicksTheFirstFormThatFits) {
  // A first block at 0x200000, then one directly behind it, then one 4 bytes on.
  EXPECT_EQ(header(0, 0x200000, 4), (Bytes{0xE0, 0x00, 0x00, 0x04}));
  EXPECT_EQ(header(0x200004, 0x200004, 4), (Bytes{0x80, 0x00, 0x04}));
  EXPECT_EQ(header(0x200004, 0x200008, 4), (Bytes{0x04, 0x04}));

  const int32_t end = 0x201000;
  EXPECT_EQ(header(end, end + 1, 7), (Bytes{0x01, 0x07}));
  EXPECT_EQ(header(end, end + 127, 7), (Bytes{0x7F, 0x07}));
  EXPECT_EQ(header(end, end + 128, 7), (Bytes{0x80, 0x80, 0x07}));
  EXPECT_EQ(header(end, end + 0x3FFF, 7), (Bytes{0xBF, 0xFF, 0x07}));
  EXPECT_EQ(header(end, end + 0x4000, 7), (Bytes{0xE0, 0x50, 0x00, 0x07}));
  EXPECT_EQ(header(end, end - 1, 7), (Bytes{0xE0, 0x0F, 0xFF, 0x07}));
  EXPECT_EQ(header(0, 0x3FFFFF, 0), (Bytes{0xFF, 0xFF, 0xFF, 0x00}));
}

TEST(BlockHeader, SendsOnlyLengthsWithACode) {
  for (int32_t length : {251, 255, 257, 300, 511, 513, -1}) EXPECT_EQ(header(0, 0x10, length), Bytes{}) << length;
  EXPECT_EQ(header(0, 0x10, 0), (Bytes{0x10, 0}));
  EXPECT_EQ(header(0, 0x10, 250), (Bytes{0x10, 250}));
  EXPECT_EQ(header(0, 0x10, 256), (Bytes{0x10, 252}));
  EXPECT_EQ(header(0, 0x10, 512), (Bytes{0x10, 253}));
  for (int code = 0; code < 256; ++code) {
    const int length = lengthFromCode(static_cast<uint8_t>(code));
    if (length >= 0) {
      EXPECT_EQ(lengthCode(length), code);
    }
  }
  EXPECT_EQ(lengthFromCode(251), -1);
  EXPECT_EQ(lengthFromCode(254), -1);
}

TEST(BlockHeader, RefusesAddressesOutside22Bits) {
  EXPECT_EQ(header(0, 0x400000, 4), Bytes{});
  EXPECT_EQ(header(0x3FFFFC, 0x400000, 4), Bytes{});  // even where a delta would reach it
  EXPECT_EQ(header(0, -1, 4), Bytes{});
  EXPECT_EQ(header(0, 0x3FFFFF, 4), (Bytes{0xFF, 0xFF, 0xFF, 4}));
}

// Whatever the host packs, the board's parser reads back block for block.
TEST(BlockHeader, BoardParsesWhatTheHostPacks) {
  std::mt19937 random(7);
  const int32_t lengths[] = {0, 1, 2, 62, 250, 256, 512};
  for (int round = 0; round < 200; ++round) {
    HeaderEncoder encoder;
    Bytes request;
    std::vector<Block> expected;
    for (;;) {
      const int32_t length = lengths[random() % 7];
      int32_t address = 0;
      switch (random() % 4) {
        case 0: address = encoder.previousEnd(); break;
        case 1: address = encoder.previousEnd() + 1 + static_cast<int32_t>(random() % 0x5000); break;
        case 2: address = static_cast<int32_t>(random() % (kMaxBlockAddress + 1)); break;
        default: address = encoder.previousEnd() - 1 - static_cast<int32_t>(random() % 300); break;
      }
      uint8_t bytes[kMaxHeader];
      const int size = encoder.peek(address, length, bytes);
      if (size == 0) continue;
      if (request.size() + size + length + 1 > kMaxPayload) break;
      encoder.commit(address, length);
      request.insert(request.end(), bytes, bytes + size);
      expected.push_back({address, length, request.size()});
      for (int32_t i = 0; i < length; ++i) request.push_back(static_cast<uint8_t>(random()));
    }
    request.push_back(0);

    std::vector<Block> blocks;
    ASSERT_TRUE(parseWriteRequest(request.data(), request.size(), blocks));
    ASSERT_EQ(blocks.size(), expected.size());
    for (size_t i = 0; i < blocks.size(); ++i) {
      EXPECT_EQ(blocks[i].address, expected[i].address);
      EXPECT_EQ(blocks[i].length, expected[i].length);
      EXPECT_EQ(blocks[i].dataOffset, expected[i].dataOffset);
    }
  }
}

TEST(RequestParser, RefusesTruncatedAndUncodedBlocks) {
  std::vector<Block> blocks;
  const Bytes badCode{0x10, 251, 0};
  EXPECT_FALSE(parseReadRequest(badCode.data(), badCode.size(), blocks));
  const Bytes shortData{0x10, 4, 1, 2, 3};
  EXPECT_FALSE(parseWriteRequest(shortData.data(), shortData.size(), blocks));
  const Bytes endsEarly{0x10, 4, 0, 0xE0};  // the list ends at the 0, before the cut header
  blocks.clear();
  EXPECT_TRUE(parseReadRequest(endsEarly.data(), endsEarly.size(), blocks));
  EXPECT_EQ(blocks.size(), 1u);
  const Bytes noTerminator{0x10, 2, 0xE0, 0x00};
  EXPECT_FALSE(parseReadRequest(noTerminator.data(), noTerminator.size(), blocks));
}

TEST(ReportFraming, CountsReportsAndWritesSixteenAsZero) {
  EXPECT_EQ(reportsFor(0), 0);
  EXPECT_EQ(reportsFor(1), 1);
  EXPECT_EQ(reportsFor(62), 1);
  EXPECT_EQ(reportsFor(63), 2);
  EXPECT_EQ(reportsFor(992), 16);
  EXPECT_EQ(indexCountByte(0, 1), 0x01);
  EXPECT_EQ(indexCountByte(1, 2), 0x12);
  EXPECT_EQ(indexCountByte(0, 16), 0x00);
  EXPECT_EQ(indexCountByte(15, 16), 0xF0);
  EXPECT_EQ(reportCount(0x00), 16);
  EXPECT_EQ(reportCount(0x52), 2);
  EXPECT_EQ(reportIndex(0x52), 5);

  Payload payload{};
  for (size_t i = 0; i < payload.size(); ++i) payload[i] = static_cast<uint8_t>(i * 3);
  Report report;
  buildReport(0x55, 2, 3, payload, report);
  EXPECT_EQ(report[0], 0);
  EXPECT_EQ(report[1], 0x55);
  EXPECT_EQ(report[2], 0x23);
  EXPECT_EQ(report[3], payload[124]);
  EXPECT_EQ(report[64], payload[185]);
}

TEST(ReportAssembler, TakesCountZeroAsSixteenReports) {
  Payload payload{};
  for (size_t i = 0; i < payload.size(); ++i) payload[i] = static_cast<uint8_t>(i);
  ReportAssembler assembler;
  assembler.reset(0x21);
  Report report;
  for (int index = 0; index < 15; ++index) {
    buildReport(0x21, index, 16, payload, report);
    ASSERT_EQ(assembler.feed(report.data(), report.size()), ReportAssembler::Step::Accepted) << index;
  }
  buildReport(0x21, 15, 16, payload, report);
  EXPECT_EQ(assembler.feed(report.data(), report.size()), ReportAssembler::Step::Complete);
  EXPECT_EQ(assembler.receivedBytes(), 992u);
  EXPECT_EQ(assembler.payload(), payload);
}

TEST(ReportAssembler, RefusesForeignShortAndOutOfOrderReports) {
  Payload payload{};
  ReportAssembler assembler;
  assembler.reset(0x21);
  Report report;
  buildReport(0x29, 0, 2, payload, report);  // another request's tag
  EXPECT_EQ(assembler.feed(report.data(), report.size()), ReportAssembler::Step::Refused);
  buildReport(0x21, 1, 2, payload, report);  // index 1 before index 0
  EXPECT_EQ(assembler.feed(report.data(), report.size()), ReportAssembler::Step::Refused);
  buildReport(0x21, 0, 2, payload, report);
  EXPECT_EQ(assembler.feed(report.data(), 64), ReportAssembler::Step::Refused);
  EXPECT_EQ(assembler.feed(report.data(), report.size()), ReportAssembler::Step::Accepted);
  // Once a report is lost the rest count as bad: no restart at index 0.
  EXPECT_EQ(assembler.feed(report.data(), report.size()), ReportAssembler::Step::Refused);
  buildReport(0x21, 1, 2, payload, report);
  EXPECT_EQ(assembler.feed(report.data(), report.size()), ReportAssembler::Step::Complete);
  EXPECT_EQ(assembler.receivedBytes(), 124u);
}

TEST(ReplyUnpacking, PlacesRecordsRelativeToThePreviousOne) {
  Bytes memory(0x300, 0xEE);
  const Bytes reply{0x10, 2, 0xA1, 0xA2,          // 0x10..0x11
                    0x04, 1, 0xB1,                // 0x16
                    0x80, 0x00, 1, 0xC1,          // 0x17, delta 0
                    0x81, 0x00, 0,                // 0x118, an empty record
                    0xC0, 0x02, 0x00, 1, 0xD1,    // 0x200 absolute
                    0, 0x05, 1, 0xFF};            // after the terminator: ignored
  const UnpackResult result = unpackReply(reply.data(), reply.size(), memory.data(), memory.size());
  EXPECT_EQ(result.copied, 5);
  EXPECT_EQ(result.dropped, 0);
  EXPECT_EQ(memory[0x10], 0xA1);
  EXPECT_EQ(memory[0x11], 0xA2);
  EXPECT_EQ(memory[0x12], 0xEE);
  EXPECT_EQ(memory[0x16], 0xB1);
  EXPECT_EQ(memory[0x17], 0xC1);
  EXPECT_EQ(memory[0x200], 0xD1);
  EXPECT_EQ(memory[0x206], 0xEE);
}

// A board's reply must not write outside the image or read outside the
// received bytes; the buffers are exactly sized so AddressSanitizer sees any
// stray byte.
TEST(ReplyUnpacking, DropsRecordsOutsideMemoryAndStopsAtTheReplyEnd) {
  Bytes memory(0x100, 0);
  Bytes reply{0xC0, 0x00, 0xFC, 8, 1, 2, 3, 4, 5, 6, 7, 8,  // 0xFC..0x103 straddles the end: dropped
              0xC0, 0x00, 0x20, 2, 0x5A, 0x5B};              // still read and copied
  for (int i = 0; i < 40; ++i) reply.insert(reply.end(), {0xBF, 0xFF, 0});  // walks the address far past memory
  reply.insert(reply.end(), {0x01, 3, 9, 9, 9});
  UnpackResult result = unpackReply(reply.data(), reply.size(), memory.data(), memory.size());
  EXPECT_EQ(result.copied, 1);
  EXPECT_EQ(result.dropped, 42);
  EXPECT_EQ(memory[0x20], 0x5A);
  EXPECT_EQ(memory[0xFC], 0);

  // Cut inside the address part, before the count, inside the data.
  for (const Bytes& cut : {Bytes{0x10, 1, 7, 0xC0, 0x00}, Bytes{0x10, 1, 7, 0x80, 0x10}, Bytes{0x10, 1, 7, 0x05},
                           Bytes{0x10, 1, 7, 0x05, 4, 1, 2}}) {
    std::fill(memory.begin(), memory.end(), 0);
    result = unpackReply(cut.data(), cut.size(), memory.data(), memory.size());
    EXPECT_EQ(result.copied, 1);
    EXPECT_EQ(memory[0x10], 7);
    EXPECT_EQ(std::count(memory.begin(), memory.end(), 0), 0xFF);
  }
}

TEST(ReplyPacker, PacksWhatTheHostUnpacks) {
  Bytes board(0x400200);
  for (size_t i = 0; i < board.size(); i += 97) board[i] = static_cast<uint8_t>(i >> 3);
  ReplyPacker packer;
  packer.reset(0x39);
  const int64_t addresses[] = {0x200182, 0x200800, 0x2009DE, 0x2009E0, 0x000100, 0x3FFF00};
  const int counts[] = {2, 124, 2, 24, 255, 255};
  for (int i = 0; i < 6; ++i) ASSERT_TRUE(packer.add(addresses[i], &board[addresses[i]], counts[i]));
  EXPECT_EQ(packer.finish(), reportsFor(packer.used()));

  Bytes host(board.size(), 0);
  const UnpackResult result = unpackReply(packer.payload().data(), packer.used(), host.data(), host.size());
  EXPECT_EQ(result.copied, 6);
  for (int i = 0; i < 6; ++i) {
    EXPECT_TRUE(std::equal(&host[addresses[i]], &host[addresses[i]] + counts[i], &board[addresses[i]])) << i;
  }
}

TEST(ReplyPacker, KeepsRoomForTheTerminator) {
  ReplyPacker packer;
  packer.reset(1);
  Bytes data(255, 1);
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(packer.add(0x1000 + 255 * i, data.data(), 255));  // 3 * (2 + 1 + 255)
  ASSERT_EQ(packer.used(), 774u);
  EXPECT_FALSE(packer.add(0x12FD, data.data(), 215));  // 774 + 3 + 215 + terminator = 993
  EXPECT_FALSE(packer.add(0x12FD, data.data(), 256));
  EXPECT_TRUE(packer.add(0x12FD, data.data(), 214));
  EXPECT_EQ(packer.finish(), 16);
  EXPECT_EQ(packer.used(), 992u);
}

TEST(Hello, CarriesIdentityAndProductString) {
  const Hello sent{0x1962, 0x1000, 0x0123, u"MARLO-3 \u30dc\u30fc\u30c9"};
  const std::vector<uint8_t> message = encodeHello(sent);
  EXPECT_EQ(message.size(), kHelloHeader + 2 * sent.product.size());
  EXPECT_EQ(message[5], 0x62);
  EXPECT_EQ(message[6], 0x19);
  Hello got;
  ASSERT_TRUE(decodeHello(message.data(), message.size(), &got));
  EXPECT_EQ(got.vendorId, 0x1962);
  EXPECT_EQ(got.productId, 0x1000);
  EXPECT_EQ(got.version, 0x0123);
  EXPECT_EQ(got.product, sent.product);

  EXPECT_FALSE(decodeHello(message.data(), message.size() - 1, &got));
  std::vector<uint8_t> wrong = message;
  wrong[0] = 'X';
  EXPECT_FALSE(decodeHello(wrong.data(), wrong.size(), &got));

  const Hello longName{1, 2, 3, std::u16string(300, u'x')};
  const std::vector<uint8_t> cut = encodeHello(longName);
  ASSERT_TRUE(decodeHello(cut.data(), cut.size(), &got));
  EXPECT_EQ(got.product.size(), kMaxHelloName);
}

}  // namespace
}  // namespace tav
