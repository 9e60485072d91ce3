// The exported link: one process-wide device and one transfer of each
// direction. No locks: callers serialise their use of the theLink.
#include "tavlink.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <memory>

#include "tav_device.h"
#include "tav_protocol.h"

static_assert(TAV_MEMORY_SIZE == tav::kMemorySize);

unsigned char tavMemory[TAV_MEMORY_SIZE];

namespace {

using tav::kMaxPayload;
using tav::ReadStatus;
using Clock = std::chrono::steady_clock;

// A report normally follows within a few milliseconds; a timed-out wait is
// one bad read, so the 64 allowed bad reads bound a silent board's cost.
constexpr int kReportTimeoutMs = 20;
constexpr int kReadExecDeadlineMs = 2000;
constexpr int kRawReadTimeoutMs = 1000;
constexpr int kMaxBadReads = 64;
// hidraw queues up to 64 reports; a socket may hold more.
constexpr int kMaxDrainedReports = 1024;
constexpr size_t kNameUnits = 128;

struct Link {
  std::unique_ptr<tav::Device> device;

  tav::HeaderEncoder writeHeaders;
  tav::Payload writeBuffer{};
  size_t writeUsed = 0;

  tav::HeaderEncoder readHeaders;
  bool readStarted = false;
  size_t readStart = 0;
  size_t readCursor = 0;
  int32_t expectedReply = 0;
  // Set by tavReadEnd: the next tavWriteExec carries the new request, so
  // replies to older ones still queued are stale.
  bool readPending = false;

  tav::ReportAssembler reply;

  ~Link() {
    device.reset();
    tav::shutdownHid();
  }
};

Link theLink;
// Why the last tavOpen failed; read by tavOpenError from any thread.
std::atomic<int> lastOpenError{TAV_OPEN_NOT_FOUND};

void loseDevice() { theLink.device.reset(); }

// A read that loses the link on a device error.
ReadStatus readReport(tav::Report& report, size_t& length, int timeoutMs) {
  const ReadStatus status = theLink.device->read(report, length, timeoutMs);
  if (status == ReadStatus::Error) loseDevice();
  return status;
}

// Drops every report already queued.
bool drainInput() {
  tav::Report report;
  size_t length = 0;
  for (int i = 0; i < kMaxDrainedReports; ++i) {
    const ReadStatus status = readReport(report, length, 0);
    if (status == ReadStatus::Error) return false;
    if (status == ReadStatus::Timeout) return true;
  }
  return true;
}

}  // namespace

extern "C" {

int tavOpen(int vendorId, int productId, int lowestVersion, int highestVersion) {
  loseDevice();
  const tav::DeviceMatch match{static_cast<uint16_t>(vendorId), static_cast<uint16_t>(productId),
                               static_cast<uint16_t>(lowestVersion), static_cast<uint16_t>(highestVersion)};
  bool listed = false;
  theLink.device = tav::openHidBoard(match, listed);
  // A real board that is there but cannot be opened is never replaced by a
  // virtual one: the user's robot would silently stay still.
  if (!theLink.device && !listed) theLink.device = tav::openVirtualBoard(match);
  lastOpenError = !theLink.device && listed ? TAV_OPEN_DENIED : TAV_OPEN_NOT_FOUND;
  return theLink.device ? 1 : 0;
}

int tavOpenError(void) { return lastOpenError.load(); }

void tavClose(void) { loseDevice(); }

int tavCheckAlive(void) { return theLink.device ? 1 : 0; }

int tavGetName(char* buffer, int length) {
  if (!theLink.device || (!buffer && length > 0)) return 0;
  std::u16string name;
  if (!theLink.device->productName(name)) return 0;
  const size_t units = std::min(static_cast<size_t>(std::max(length, 0)), kNameUnits);
  for (size_t i = 0; i < units; ++i) buffer[i] = static_cast<char>(i < name.size() ? name[i] & 0xFF : 0);
  return 1;
}

int tavRawRead(unsigned char* buffer, int count, int* bytesRead) {
  if (bytesRead) *bytesRead = 0;
  if (!theLink.device || !buffer || count <= 0) return 0;
  tav::Report report;
  size_t length = 0;
  if (readReport(report, length, kRawReadTimeoutMs) != ReadStatus::Report) return 0;
  const size_t stored = std::min(length, static_cast<size_t>(count));
  std::memcpy(buffer, report.data(), stored);
  if (bytesRead) *bytesRead = static_cast<int>(stored);
  return 1;
}

int tavRawWrite(const unsigned char* buffer, int count, int* bytesWritten) {
  if (bytesWritten) *bytesWritten = 0;
  if (!theLink.device || !buffer || count <= 0) return 0;
  size_t written = 0;
  if (!theLink.device->write(buffer, static_cast<size_t>(count), written)) return 0;
  if (bytesWritten) *bytesWritten = static_cast<int>(written);
  return 1;
}

int tavReadInit(int offset, int tag) {
  theLink.readStarted = false;
  theLink.readPending = false;
  // The request grows to at most 992 bytes and must stay inside the image.
  if (offset < 0 || static_cast<size_t>(offset) > tav::kMemorySize - kMaxPayload) return 0;
  theLink.readStart = static_cast<size_t>(offset);
  tavMemory[theLink.readStart] = static_cast<unsigned char>(tag);
  theLink.readCursor = theLink.readStart + 1;
  theLink.readHeaders.reset();
  theLink.expectedReply = 0;
  theLink.readStarted = true;
  return 1;
}

int tavReadPush(int address, int length) {
  if (!theLink.readStarted) return 0;
  uint8_t header[tav::kMaxHeader];
  const int size = theLink.readHeaders.peek(address, length, header);
  if (size == 0 || theLink.expectedReply + size + length + 2 > static_cast<int32_t>(kMaxPayload)) return 0;
  std::memcpy(&tavMemory[theLink.readCursor], header, size);
  theLink.readCursor += size;
  theLink.readHeaders.commit(address, length);
  theLink.expectedReply += size + length;
  return 1;
}

int tavReadEnd(void) {
  if (!theLink.readStarted || theLink.readCursor - theLink.readStart + 1 > kMaxPayload) return 0;
  tavMemory[theLink.readCursor++] = 0;
  theLink.readPending = true;
  return static_cast<int>(theLink.readCursor - theLink.readStart);
}

int tavReadExec(int tag) {
  theLink.readPending = false;
  if (!theLink.device) return 0;
  theLink.reply.reset(static_cast<uint8_t>(tag));
  const auto deadline = Clock::now() + std::chrono::milliseconds(kReadExecDeadlineMs);
  tav::Report report;
  int badReads = 0;
  for (;;) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) return 0;
    size_t length = 0;
    const ReadStatus status = readReport(report, length, static_cast<int>(std::min<int64_t>(kReportTimeoutMs, left)));
    if (status == ReadStatus::Error) return 0;
    const auto step = status == ReadStatus::Report ? theLink.reply.feed(report.data(), length)
                                                   : tav::ReportAssembler::Step::Refused;
    if (step == tav::ReportAssembler::Step::Complete) {
      // Only the bytes of this reply: the buffer's tail may hold an older one.
      tav::unpackReply(theLink.reply.payload().data(), theLink.reply.receivedBytes(), tavMemory, tav::kMemorySize);
      return 1;
    }
    if (step == tav::ReportAssembler::Step::Refused && ++badReads > kMaxBadReads) return 0;
  }
}

int tavWriteInit(void) {
  theLink.writeHeaders.reset();
  theLink.writeUsed = 0;
  return 1;
}

int tavWritePush(int address, int length) {
  // Room for the longest header is demanded whatever header the block gets.
  if (length < 0 || theLink.writeUsed + static_cast<size_t>(length) + tav::kMaxHeader > kMaxPayload) return 0;
  uint8_t header[tav::kMaxHeader];
  const int size = theLink.writeHeaders.peek(address, length, header);
  if (size == 0) return 0;
  std::memcpy(&theLink.writeBuffer[theLink.writeUsed], header, size);
  theLink.writeUsed += size;
  std::memcpy(&theLink.writeBuffer[theLink.writeUsed], &tavMemory[address], length);
  theLink.writeUsed += length;
  theLink.writeHeaders.commit(address, length);
  return 1;
}

int tavWriteEnd(void) {
  if (theLink.writeUsed + 1 > kMaxPayload) return 0;
  theLink.writeBuffer[theLink.writeUsed++] = 0;
  return 1;
}

int tavWriteExec(void) {
  if (!theLink.device) return 0;
  if (theLink.readPending) {
    theLink.readPending = false;
    if (!drainInput()) return 0;
  }
  const int count = tav::reportsFor(theLink.writeUsed);
  tav::Report report;
  for (int index = 0; index < count; ++index) {
    tav::buildReport(tav::kRequestMarker, index, count, theLink.writeBuffer, report);
    size_t written = 0;
    if (!theLink.device->write(report.data(), report.size(), written)) return 0;
  }
  return 1;
}

}  // extern "C"
