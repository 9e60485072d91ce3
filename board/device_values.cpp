#include "board/device_values.h"

#include "board/devices.h"
#include "motion/block_properties.h"
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

}  // namespace kv
