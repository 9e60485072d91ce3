#include "board/device_values.h"

#include <algorithm>

#include "session/memory_access.h"
#include "session/memory_map.h"

namespace kv {

namespace a = board_addr;

DeviceValueReading BoardDeviceValues::readVariables(std::span<const uint8_t> variables) {
  DeviceValueReading reading;
  LinkState& state = access_.state();
  if (!state.online.load() || state.communicationError.load() || state.playbackOwnsLink()) return reading;
  if (variables.empty()) {
    reading.status = DeviceValuesStatus::Read;
    return reading;
  }
  // One try at the link: while another thread holds it this tick is skipped,
  // so the GUI thread never waits behind the connect thread.
  LinkHold hold(state);
  if (!hold) {
    reading.status = DeviceValuesStatus::Skipped;
    return reading;
  }
  // Adjacent variables share a block, so the request stays short.
  std::vector<uint8_t> sorted(variables.begin(), variables.end());
  std::sort(sorted.begin(), sorted.end());
  sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
  std::vector<BoardBlock> blocks;
  for (uint8_t n : sorted) {
    const uint32_t address = a::variableAddress(n);
    if (!blocks.empty() && blocks.back().address + static_cast<uint32_t>(blocks.back().length) == address) {
      blocks.back().length += 2;
    } else {
      blocks.push_back({address, 2});
    }
  }
  if (access_.readTransaction(blocks) != ReadOutcome::Replied) return reading;
  reading.status = DeviceValuesStatus::Read;
  for (uint8_t n : variables) reading.values.push_back(static_cast<int16_t>(access_.link().load16(a::variableAddress(n))));
  return reading;
}

std::string deviceValueText(std::optional<int16_t> value) {
  return value ? std::to_string(*value) : std::string("--------");
}

DeviceConnection deviceConnection(uint8_t statusVariable, std::optional<int16_t> statusValue) {
  if (statusVariable == 0 || !statusValue) return DeviceConnection::Unknown;
  return *statusValue == 0 ? DeviceConnection::Ok : DeviceConnection::Fault;
}

}  // namespace kv
