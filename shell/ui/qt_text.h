// Text and path conversions at the edge between the core and Qt.
#pragma once

#include <QString>
#include <filesystem>
#include <string>
#include <string_view>

namespace kv {

inline QString toQString(std::u16string_view text) {
  return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

inline std::u16string fromQString(const QString& text) { return text.toStdU16String(); }

inline QString pathToQString(const std::filesystem::path& path) { return QString::fromStdString(path.string()); }

}  // namespace kv
