#include "motion/ui/block_measurer.h"

#include <algorithm>

#include "motion/motion_layout.h"
#include "shell/ui/qt_text.h"

namespace kv {

namespace {
constexpr size_t kRememberedWidths = 4096;  // far more texts than a motion shows
}

int QtBlockMeasurer::textWidth(const std::u16string& text) const {
  if (auto known = widths_.find(text); known != widths_.end()) return known->second;
  if (widths_.size() >= kRememberedWidths) widths_.clear();
  const int width = metrics_.horizontalAdvance(toQString(text));
  widths_.emplace(text, width);
  return width;
}

void QtBlockMeasurer::measure(MotionBlock& block) const {
  int width = std::max(textWidth(block.name), textWidth(block.caption)) + 8;
  if (block.isPose()) width += kTimeTabWidth;
  int height = (metrics_.height() + 8) * 2;
  if (block.kind == KindStart || block.kind == KindEnd) height /= 2;
  width = std::min(width, kMotionAreaExtent);
  block.right = block.left + width;
  block.bottom = block.top + height;
}

}  // namespace kv
