#include "board/device_values.h"

#include <algorithm>

#include "board/devices.h"
#include "motion/block_properties.h"
#include "session/memory_access.h"
#include "session/memory_map.h"
#include "shell/string_table.h"
#include "shell/text_format.h"

namespace kv {

void DeviceLiveView::watch(uint8_t statusVariable, std::vector<uint8_t> outputs) {
  statusVariable_ = statusVariable;
  outputs_ = std::move(outputs);
  status_.reset();
  values_.assign(outputs_.size(), std::nullopt);
}

void DeviceLiveView::refresh(DeviceValueSource& source) {
  // One read for the status variable and every used output.
  std::vector<uint8_t> variables;
  if (statusVariable_ != 0) variables.push_back(statusVariable_);
  for (uint8_t variable : outputs_)
    if (variable != 0) variables.push_back(variable);
  if (variables.empty()) return;

  std::vector<int16_t> read(variables.size());
  switch (source.readVariables(variables, read)) {
    case LiveRead::Busy: return;
    case LiveRead::Unavailable:
      status_.reset();
      values_.assign(outputs_.size(), std::nullopt);
      return;
    case LiveRead::Read: break;
  }
  size_t next = 0;
  if (statusVariable_ != 0) status_ = read[next++];
  for (size_t n = 0; n < outputs_.size(); ++n)
    values_[n] = outputs_[n] != 0 ? std::optional<int16_t>(read[next++]) : std::nullopt;
}

std::u16string DeviceLiveView::valueText(size_t output) const { return liveValueText(value(output), false); }

std::u16string DeviceLiveView::stateText() const {
  if (!status_) return u"--";
  return loadUiString(*status_ == 0 ? kStateOkString : kStateNgString);
}

std::u16string temperatureText(std::optional<int16_t> raw) {
  if (!raw) return kNoLiveValue;
  return formatted(loadUiString(kGcTemperatureFormat), {int{*raw}, *raw / 340.0 + 35.0});
}


LiveRead BoardDeviceValues::readVariables(std::span<const uint8_t> variables, std::span<int16_t> values) {
  LinkState& state = access_.state();
  if (!state.online.load() || state.communicationError.load() || state.playbackOwnsLink()) return LiveRead::Unavailable;
  if (variables.empty()) return LiveRead::Read;
  // One try at the link: while another thread holds it this tick is skipped,
  // so the GUI thread never waits behind the connect thread.
  LinkHold hold(state);
  if (!hold) return LiveRead::Busy;
  // Adjacent variables share a block, so the request stays short.
  std::vector<uint8_t> sorted(variables.begin(), variables.end());
  std::sort(sorted.begin(), sorted.end());
  sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
  std::vector<BoardBlock> blocks;
  for (uint8_t n : sorted) {
    const uint32_t address = board_addr::variableAddress(n);
    if (!blocks.empty() && blocks.back().address + static_cast<uint32_t>(blocks.back().length) == address) {
      blocks.back().length += 2;
    } else {
      blocks.push_back({address, 2});
    }
  }
  if (access_.readTransaction(blocks) != ReadOutcome::Replied) return LiveRead::Unavailable;
  for (size_t i = 0; i < variables.size() && i < values.size(); ++i)
    values[i] = static_cast<int16_t>(access_.link().load16(board_addr::variableAddress(variables[i])));
  return LiveRead::Read;
}

}  // namespace kv
