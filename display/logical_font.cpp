#include "display/logical_font.h"

#include "shell/textfile.h"

namespace kv {

Colour parseColourField(std::u16string_view field) {
  // Split at the first two commas; missing parts read as 0.
  size_t first = field.find(u',');
  std::u16string_view red = field.substr(0, first);
  std::u16string_view green, blue;
  if (first != std::u16string_view::npos) {
    std::u16string_view rest = field.substr(first + 1);
    size_t second = rest.find(u',');
    green = rest.substr(0, second);
    if (second != std::u16string_view::npos) blue = rest.substr(second + 1);
  }
  return colourFromRgb(parseDecimal(red), parseDecimal(green), parseDecimal(blue));
}

void readFontMetrics(FieldReader& fields, LogicalFont& font) {
  font.height = fields.decimal();
  font.width = fields.decimal();
  font.escapement = font.orientation = fields.decimal();
  font.quality = static_cast<uint8_t>(fields.decimal());
  font.pitchAndFamily = static_cast<uint8_t>(fields.decimal());
  font.charSet = static_cast<uint8_t>(fields.decimal());
  font.outPrecision = static_cast<uint8_t>(fields.decimal());
  font.clipPrecision = static_cast<uint8_t>(fields.decimal());
}

void readFontStyle(FieldReader& fields, LogicalFont& font) {
  font.weight = fields.decimal();
  font.setStyleBits(fields.decimal());
  font.faceName = fitField(fields.text(), kFaceNameFieldSize);
}

}  // namespace kv
