// The editor's side of the link to the board: the calls of the link library
// it needs, behind an interface so that memory access can be exercised
// against a simulated board, and checked access to the memory image.
#pragma once

#include <cstdint>
#include <span>

namespace kv {

// One (address, length) block of board memory.
struct BoardBlock {
  uint32_t address = 0;
  int length = 0;
};

class BoardLink {
 public:
  virtual ~BoardLink() = default;

  // The memory image, indexed by board address.
  virtual std::span<uint8_t> memory() = 0;

  virtual int open(int vendorId, int productId, int lowestVersion, int highestVersion) = 0;
  // After a failed open: a matching USB board is there but could not be
  // opened (the user has no access to its device node).
  virtual bool openDenied() { return false; }
  virtual void close() = 0;
  virtual int checkAlive() = 0;

  virtual int writeInit() = 0;
  virtual int writePush(int address, int length) = 0;
  virtual int writeEnd() = 0;
  virtual int writeExec() = 0;

  virtual int readInit(int offset, int tag) = 0;
  virtual int readPush(int address, int length) = 0;
  virtual int readEnd() = 0;
  virtual int readExec(int tag) = 0;

  // Image access by board address, little-endian. A range outside the image
  // is never touched: stores do nothing, loads give 0, contains() says so.
  bool contains(uint32_t address, uint32_t length);
  void store8(uint32_t address, uint8_t value);
  void store16(uint32_t address, uint16_t value);
  void store32(uint32_t address, uint32_t value);
  void storeBytes(uint32_t address, std::span<const uint8_t> bytes);
  uint8_t load8(uint32_t address);
  uint16_t load16(uint32_t address);
  uint32_t load32(uint32_t address);
  // The image bytes of a range; empty when it lies outside the image.
  std::span<uint8_t> bytes(uint32_t address, uint32_t length);
};

// The link through the link library: its exported functions and tavMemory.
class TavBoardLink final : public BoardLink {
 public:
  std::span<uint8_t> memory() override;
  int open(int vendorId, int productId, int lowestVersion, int highestVersion) override;
  bool openDenied() override;
  void close() override;
  int checkAlive() override;
  int writeInit() override;
  int writePush(int address, int length) override;
  int writeEnd() override;
  int writeExec() override;
  int readInit(int offset, int tag) override;
  int readPush(int address, int length) override;
  int readEnd() override;
  int readExec(int tag) override;
};

}  // namespace kv
