// Expansion devices on the virtual board's bus: the device table the pointer
// names, device status, data variables from raw readings, digital channels,
// and the refusal of malformed tables.
#include <gtest/gtest.h>

#include "host.h"
#include "kpbus.h"
#include "memory_map.h"

namespace boardtest {
namespace {

using namespace boardsim;

// One packed table entry.
struct TableEntry {
  uint16_t size;
  uint16_t type;
  uint8_t busAddress;
  uint8_t statusVariable;
  Bytes parameters;
};

Bytes packed(const std::vector<TableEntry>& entries) {
  Bytes table;
  for (const TableEntry& e : entries) {
    for (const Bytes& part : {le16(e.size), le16(e.type)}) table.insert(table.end(), part.begin(), part.end());
    table.push_back(e.busAddress);
    table.push_back(e.statusVariable);
    table.insert(table.end(), e.parameters.begin(), e.parameters.end());
  }
  table.push_back(0);
  table.push_back(0);
  return table;
}

// Sensor parameters: data variables, then offsets, then gains.
Bytes sensorParameters(const std::vector<uint8_t>& variables, int16_t offset, int16_t gain, int outputs) {
  Bytes p(variables.begin(), variables.end());
  p.resize(static_cast<size_t>(outputs), 0);
  for (int i = 0; i < outputs; ++i) p.insert(p.end(), {static_cast<uint8_t>(offset), static_cast<uint8_t>(offset >> 8)});
  for (int i = 0; i < outputs; ++i) p.insert(p.end(), {static_cast<uint8_t>(gain), static_cast<uint8_t>(gain >> 8)});
  return p;
}

// Writes a table into bank 0x200500 and then points the board at it.
void installTable(Board& board, const Bytes& table) {
  send(board, WriteRequest().add(kDeviceBank1, table).payload());
  send(board, WriteRequest().add(kDeviceTablePointer, le32(kDeviceBank1)).payload());
}

BoardConfig withDevices(std::vector<std::string> specs) {
  BoardConfig config;
  for (const std::string& spec : specs) {
    KpbusDevice device;
    std::string error;
    EXPECT_TRUE(parseKpbusDevice(spec, &device, &error)) << error;
    config.kpbus.push_back(device);
  }
  return config;
}

TEST(Kpbus, DataVariablesFollowRawReadingsByOffsetAndGain) {
  Board board(withDevices({"KP-G1@0x90:raw=2148,1948,2048,0,1655", "gc@0xD0:raw=0,0,0,-680"}));
  const TableEntry gyro{46, kKpG1, 0x90, 128, sensorParameters({129, 130, 0, 0, 132}, 2048, 256, 8)};
  Bytes gcParameters = sensorParameters({0, 0, 0, 152}, 0, 256, 10);
  gcParameters[30 + 2 * 3] = 128;  // output 3 at half gain
  gcParameters[30 + 2 * 3 + 1] = 0;
  const TableEntry compass{56, kKpGc, 0xD0, 150, gcParameters};
  board.memory().setVariable(131, 99);
  installTable(board, packed({gyro, compass}));
  runCycles(board, 1);
  EXPECT_EQ(board.memory().variable(128), 0) << "the device answers";
  EXPECT_EQ(board.memory().variable(129), 100);
  EXPECT_EQ(board.memory().variable(130), -100);
  EXPECT_EQ(board.memory().variable(131), 99) << "an output with variable 0 is unused";
  EXPECT_EQ(board.memory().variable(132), 1655 - 2048);
  EXPECT_EQ(board.memory().variable(150), 0);
  EXPECT_EQ(board.memory().variable(152), -340);

  // The readings move, the variables follow at the next cycle.
  board.kpbus().device(0x90)->raw[0] = 2048 + 7;
  runCycles(board, 1);
  EXPECT_EQ(board.memory().variable(129), 7);
  EXPECT_EQ(board.memory().u16(kErrorCode), kErrorNone);
}

TEST(Kpbus, ADeviceThatDoesNotAnswerShowsItInItsStatusVariable) {
  // Listed at 0x92 while the device sits at 0x90; a KP-AIN at 0x94 where the
  // table expects a KP-G1; a type the board has no driver for.
  Board board(withDevices({"G1@0x90:raw=3000", "AIN@0x94:raw=3000", "0x0200@0x96"}));
  board.memory().setVariable(129, 55);
  installTable(board, packed({{46, kKpG1, 0x92, 140, sensorParameters({129}, 0, 256, 8)},
                              {46, kKpG1, 0x94, 141, sensorParameters({129}, 0, 256, 8)},
                              {8, 0x0200, 0x96, 142, {1, 2}}}));
  runCycles(board, 1);
  EXPECT_EQ(board.memory().variable(140), 1);
  EXPECT_EQ(board.memory().variable(141), 1);
  EXPECT_EQ(board.memory().variable(142), 1);
  EXPECT_EQ(board.memory().variable(129), 55) << "no reading from a device that did not answer";
}

TEST(Kpbus, DigitalInputsAndOutputsFollowTheirMasksAndInversion) {
  Board board(withDevices({"DIO@0x40:raw=0x0F,0x80"}));
  // Inputs of group 0 into v[160], group 1 into v[161]; outputs from v[162]
  // and v[163]; group 0 inverted on channels 0 and 4; channels 0-3 of group
  // 0 and channel 7 of group 1 are inputs.
  installTable(board, packed({{14, kKpDio, 0x40, 135, {160, 161, 162, 163, 0x11, 0x00, 0x0F, 0x80}}}));
  board.memory().setVariable(162, 0xF0);
  board.memory().setVariable(163, 0xFF);
  runCycles(board, 1);
  EXPECT_EQ(board.memory().variable(135), 0);
  EXPECT_EQ(board.memory().variable(160), 0x0E);
  EXPECT_EQ(board.memory().variable(161), 0x80);
  EXPECT_EQ(board.kpbus().device(0x40)->outputs[0], 0xE0);
  EXPECT_EQ(board.kpbus().device(0x40)->outputs[1], 0x7F);

  board.kpbus().device(0x40)->raw[0] = 0x00;  // a test sets the inputs
  runCycles(board, 1);
  EXPECT_EQ(board.memory().variable(160), 0x01);
}

TEST(Kpbus, AMalformedTableIsNotUsedAndReportedOnce) {
  Board board(withDevices({"G1@0x90:raw=300"}));
  const TableEntry good{46, kKpG1, 0x90, 128, sensorParameters({129}, 0, 256, 8)};
  board.memory().setVariable(128, 77);
  struct Case {
    const char* what;
    Bytes table;
    uint32_t faultAt;
  };
  Bytes noEnd(256, 0);
  const Bytes first = packed({good});
  std::copy(first.begin(), first.end() - 2, noEnd.begin());
  for (size_t at = 46; at + 6 <= 256; at += 6) {
    const Bytes filler = packed({{6, 0x0200, 0x10, 0, {}}});
    std::copy(filler.begin(), filler.end() - 2, noEnd.begin() + static_cast<long>(at));
  }
  const Case cases[] = {
      {"an entry below the header size", packed({good, {5, kKpG1, 0x90, 128, {0}}}), kDeviceBank1 + 46},
      {"parameters that do not match the type", packed({{44, kKpG1, 0x90, 128, Bytes(38, 0)}}), kDeviceBank1},
      {"no room for the end within 256 bytes", noEnd, kDeviceBank1 + 250},
  };
  for (const Case& c : cases) {
    installTable(board, c.table);
    send(board, WriteRequest().add(kErrorCode, le16(0)).payload());
    runCycles(board, 1);
    EXPECT_EQ(board.memory().variable(128), 77) << c.what << ": nothing of it is served";
    EXPECT_EQ(board.memory().u16(kErrorCode), kErrorDeviceTable) << c.what;
    EXPECT_EQ(board.memory().u32(kErrorAddress), c.faultAt) << c.what;
    // Once, not at every cycle.
    send(board, WriteRequest().add(kErrorCode, le16(0)).payload());
    runCycles(board, 3);
    EXPECT_EQ(board.memory().u16(kErrorCode), kErrorNone) << c.what;
    // Back to an empty table, so the next case is seen as a new fault.
    send(board, WriteRequest().add(kDeviceTablePointer, le32(kDeviceBank0)).payload());
    runCycles(board, 1);
  }
  installTable(board, packed({good}));
  runCycles(board, 1);
  EXPECT_EQ(board.memory().variable(128), 0);
  EXPECT_EQ(board.memory().variable(129), 300);
}

TEST(Kpbus, DeviceOptionsAreParsedStrictly) {
  KpbusDevice device;
  std::string error;
  ASSERT_TRUE(parseKpbusDevice("kp-gc@208:raw=1,-2", &device, &error)) << error;
  EXPECT_EQ(device.type, kKpGc);
  EXPECT_EQ(device.busAddress, 0xD0);
  EXPECT_EQ(device.raw, (std::vector<int16_t>{1, -2, 0, 0, 0, 0, 0, 0, 0, 0}));
  for (const char* bad : {"G1", "G1@", "G1@0x100", "XY@0x90", "G1@0x90:raw=1,,2", "G1@0x90:raw=40000",
                          "G1@0x90:gain=1", "DIO@0x40:raw=1,2,3", "MP3@0xBE:raw=1"}) {
    EXPECT_FALSE(parseKpbusDevice(bad, &device, &error)) << bad;
  }
}

}  // namespace
}  // namespace boardtest
