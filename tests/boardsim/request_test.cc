// The board's request parsers over hostile bytes.
#include <gtest/gtest.h>

#include <random>

#include "host.h"
#include "request.h"

namespace boardtest {
namespace {

using boardsim::parseHostWrite;
using boardsim::parseStandingRead;

TEST(RequestParser, SplitsAWriteRequestIntoItsBlocks) {
  const Bytes request = WriteRequest()
                            .add(0x200100, Bytes(124, 7))
                            .add(0x20017C, le32(0x3FFFFFFF))
                            .add(0x200180, le16(18))
                            .add(0x010000, Bytes(512, 0xAB))
                            .erase(0x8000)
                            .payload();
  const auto parsed = parseHostWrite(request.data(), request.size());
  ASSERT_TRUE(parsed.ok);
  ASSERT_EQ(parsed.blocks.size(), 5u);
  EXPECT_EQ(parsed.blocks[1].address, 0x20017Cu);
  EXPECT_EQ(parsed.blocks[1].length, 4u);
  EXPECT_EQ(request[parsed.blocks[1].dataOffset + 3], 0x3F);
  EXPECT_EQ(parsed.blocks[3].length, 512u);
  EXPECT_EQ(parsed.blocks[4].address, 0x8000u);
  EXPECT_EQ(parsed.blocks[4].length, 0u);
  EXPECT_EQ(parsed.length, request.size());
}

TEST(RequestParser, StopsAtTheTerminatorAndIgnoresTheReportPadding) {
  Bytes request = WriteRequest().add(0x200006, le16(1)).payload();
  request.resize(62, 0xEE);  // what follows in the report is not significant
  const auto parsed = parseHostWrite(request.data(), request.size());
  ASSERT_TRUE(parsed.ok);
  EXPECT_EQ(parsed.blocks.size(), 1u);
}

TEST(RequestParser, RefusesMalformedWriteRequests) {
  struct Case {
    const char* what;
    Bytes bytes;
    size_t errorOffset;
  };
  const Case cases[] = {
      {"length code without a length", {0xC8, 0x00, 0x00, 251, 0}, 0},
      {"header cut after its address", {0xC8, 0x00, 0x00}, 0},
      {"relative header cut short", {0x04, 0x01, 0xAA, 0x80}, 3},
      {"data running past the end", {0xC8, 0x00, 0x10, 10, 1, 2, 3}, 0},
      {"relative address above the 22-bit space", {0xFF, 0xFF, 0xF0, 4, 1, 2, 3, 4, 0xBF, 0xFF, 1, 9, 0}, 8},
  };
  for (const Case& c : cases) {
    const auto parsed = parseHostWrite(c.bytes.data(), c.bytes.size());
    EXPECT_FALSE(parsed.ok) << c.what;
    EXPECT_TRUE(parsed.blocks.empty()) << c.what;
    EXPECT_EQ(parsed.errorOffset, c.errorOffset) << c.what;
  }
}

TEST(RequestParser, ReadRequestNeedsItsTerminator) {
  Bytes request = readRequest(0x19, {{0x200000, 16}, {0x200182, 2}, {0x200800, 124}});
  auto parsed = parseStandingRead(request.data(), request.size());
  ASSERT_TRUE(parsed.ok);
  EXPECT_EQ(parsed.tag, 0x19);
  ASSERT_EQ(parsed.blocks.size(), 3u);
  EXPECT_EQ(parsed.blocks[2].address, 0x200800u);
  EXPECT_EQ(parsed.length, request.size());

  request.pop_back();  // no 0 byte inside the area
  EXPECT_FALSE(parseStandingRead(request.data(), request.size()).ok);
  EXPECT_FALSE(parseStandingRead(request.data(), 0).ok);
}

// Random and mutated requests: the parsers never read outside their input,
// and whatever they accept lies inside it.
TEST(RequestParser, SurvivesRandomInput) {
  std::mt19937 random(1234);
  const Bytes valid = WriteRequest().add(0x200100, Bytes(124, 1)).add(0x20017C, le32(1)).add(0x200180, le16(5)).payload();
  for (int round = 0; round < 20000; ++round) {
    Bytes bytes;
    if (round % 2 == 0) {
      bytes.resize(random() % 80);
      for (uint8_t& b : bytes) b = static_cast<uint8_t>(random() % 4 == 0 ? 0xC0 | (random() & 0x3F) : random());
    } else {
      bytes = valid;
      bytes[random() % bytes.size()] = static_cast<uint8_t>(random());
      bytes.resize(random() % (bytes.size() + 1));
    }
    // A copy of exactly the size given, so that the sanitizer sees any read past it.
    const std::unique_ptr<uint8_t[]> exact(new uint8_t[bytes.size() + 1]);
    std::copy(bytes.begin(), bytes.end(), exact.get());
    const auto write = parseHostWrite(exact.get(), bytes.size());
    if (write.ok) {
      EXPECT_LE(write.length, bytes.size());
      for (const auto& block : write.blocks) {
        EXPECT_LE(block.address, 0x3FFFFFu);
        EXPECT_LE(block.dataOffset + block.length, bytes.size());
      }
    }
    const auto read = parseStandingRead(exact.get(), bytes.size());
    if (read.ok) {
      EXPECT_LE(read.length, bytes.size());
    }
  }
}

}  // namespace
}  // namespace boardtest
