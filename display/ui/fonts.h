// Fonts and colours of the settings files as Qt fonts and colours.
#pragma once

#include <QColor>
#include <QFont>

#include "display/logical_font.h"

namespace kv {

// The CJK face used when the stored face (e.g. "MS UI Gothic") is not
// installed; fontconfig provides it.
inline constexpr const char* kFallbackFace = "Noto Sans CJK JP";

// A negative height is a pixel size; the face name is tried first, then the
// fallback.
QFont toQFont(const LogicalFont& font);
// Takes size, weight, style and face from `font`, the rest from `base`.
LogicalFont fromQFont(const QFont& font, const LogicalFont& base);

inline QColor toQColor(Colour colour) { return QColor(colourRed(colour), colourGreen(colour), colourBlue(colour)); }
inline Colour fromQColor(const QColor& colour) { return colourFromRgb(colour.red(), colour.green(), colour.blue()); }

}  // namespace kv
