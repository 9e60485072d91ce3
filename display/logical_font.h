// Fonts and colours as the settings files store them: a font is the record
// of the Windows logical font (height, weight, face name, ...), a colour is
// a 32-bit 0x00BBGGRR value.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kv {

using Colour = uint32_t;  // 0x00BBGGRR

// Each component keeps its low 8 bits, so -1 gives 255.
inline Colour colourFromRgb(int red, int green, int blue) {
  return static_cast<Colour>(red & 0xFF) | (static_cast<Colour>(green & 0xFF) << 8) |
         (static_cast<Colour>(blue & 0xFF) << 16);
}
inline int colourRed(Colour c) { return static_cast<int>(c & 0xFF); }
inline int colourGreen(Colour c) { return static_cast<int>((c >> 8) & 0xFF); }
inline int colourBlue(Colour c) { return static_cast<int>((c >> 16) & 0xFF); }

// Reads a colour field "r,g,b".
Colour parseColourField(std::u16string_view field);

inline constexpr size_t kFaceNameFieldSize = 32;

struct LogicalFont {
  int32_t height = 0;       // negative: character height in pixels; positive: cell height
  int32_t width = 0;
  int32_t escapement = 0;
  int32_t orientation = 0;
  int32_t weight = 0;       // 400 normal, 700 bold
  uint8_t italic = 0;
  uint8_t underline = 0;
  uint8_t strikeOut = 0;
  uint8_t charSet = 0;      // 128: Shift-JIS
  uint8_t outPrecision = 0;
  uint8_t clipPrecision = 0;
  uint8_t quality = 0;
  uint8_t pitchAndFamily = 0;
  std::u16string faceName;  // at most 31 units

  // Style bits as the files store them: italic 4, underline 2, strike-out 1.
  int styleBits() const { return (italic ? 4 : 0) | (underline ? 2 : 0) | (strikeOut ? 1 : 0); }
  void setStyleBits(int bits) {
    italic = (bits & 4) ? 1 : 0;
    underline = (bits & 2) ? 1 : 0;
    strikeOut = (bits & 1) ? 1 : 0;
  }
  bool operator==(const LogicalFont&) const = default;
};

class FieldReader;

// The font fields as the settings files order them: first height, width, one
// value for escapement and orientation, quality, pitch and family, character
// set, output and clip precision ...
void readFontMetrics(FieldReader& fields, LogicalFont& font);
// ... and, after whatever the file puts between, weight, style bits and face.
void readFontStyle(FieldReader& fields, LogicalFont& font);

}  // namespace kv
