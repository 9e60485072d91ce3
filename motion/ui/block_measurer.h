// Sizes blocks with the motion area's font: the wider of name and caption
// plus 8 (plus the time tab for pose blocks), two rows of the taller text
// plus 8 (one row for start and end blocks).
#pragma once

#include <QFont>
#include <QFontMetrics>
#include <string>
#include <unordered_map>

#include "motion/motion.h"

namespace kv {

class QtBlockMeasurer : public BlockMeasurer {
 public:
  explicit QtBlockMeasurer(const QFont& font) : metrics_(font) {}
  void measure(MotionBlock& block) const override;

  // Width of one line of text in this font. Widths are remembered: a paint
  // measures every block, and most names and captions stay as they were.
  int textWidth(const std::u16string& text) const;

 private:
  QFontMetrics metrics_;
  mutable std::unordered_map<std::u16string, int> widths_;
};

}  // namespace kv
