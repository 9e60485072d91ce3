#include "display/ui/fonts.h"

#include <QFontInfo>
#include <QStringList>
#include <algorithm>
#include <cmath>

#include "shell/textfile.h"
#include "shell/ui/qt_text.h"

namespace kv {

QFont toQFont(const LogicalFont& font) {
  QFont qfont;
  QStringList families;
  if (!font.faceName.empty()) families << toQString(font.faceName);
  families << kFallbackFace;
  qfont.setFamilies(families);
  if (font.height < 0)
    qfont.setPixelSize(-font.height);
  else if (font.height > 0)
    qfont.setPixelSize(std::max(1, static_cast<int>(std::lround(font.height * 0.85))));  // cell height includes leading
  if (font.weight > 0) qfont.setWeight(static_cast<QFont::Weight>(std::clamp(font.weight, 1, 1000)));
  qfont.setItalic(font.italic != 0);
  qfont.setUnderline(font.underline != 0);
  qfont.setStrikeOut(font.strikeOut != 0);
  return qfont;
}

LogicalFont fromQFont(const QFont& qfont, const LogicalFont& base) {
  LogicalFont font = base;
  int pixels = qfont.pixelSize();
  if (pixels <= 0) pixels = static_cast<int>(std::lround(qfont.pointSizeF() * 96.0 / 72.0));
  font.height = -std::max(1, pixels);
  font.weight = qfont.weight();
  font.italic = qfont.italic() ? 1 : 0;
  font.underline = qfont.underline() ? 1 : 0;
  font.strikeOut = qfont.strikeOut() ? 1 : 0;
  font.faceName = fitField(fromQString(qfont.family()), kFaceNameFieldSize);
  return font;
}

}  // namespace kv
