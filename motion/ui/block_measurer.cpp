#include "motion/ui/block_measurer.h"

#include <algorithm>

#include "motion/motion_layout.h"
#include "shell/ui/qt_text.h"

namespace kv {

int QtBlockMeasurer::textWidth(const std::u16string& text) const {
  return metrics_.horizontalAdvance(toQString(text));
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
