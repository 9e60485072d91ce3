// Conversions between the encodings the editor meets: UTF-16 (text in memory
// and the files it writes), UTF-8 (paths and the terminal) and Shift-JIS
// (CP932, the 8-bit code page of older hand-made files).
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace kv {

std::u16string utf8ToUtf16(std::string_view text);
std::string utf16ToUtf8(std::u16string_view text);

// Shift-JIS (CP932) bytes to UTF-16; an undecodable byte becomes U+FFFD.
std::u16string ansiToUtf16(std::string_view bytes);
// UTF-16 to Shift-JIS (CP932); a character the code page lacks becomes '?'.
std::string utf16ToAnsi(std::u16string_view text);

// Paths are UTF-8 bytes on this system.
std::filesystem::path toPath(std::u16string_view text);
std::u16string fromPath(const std::filesystem::path& path);

// Shorthand for ASCII literals in code: u"..." is usually clearer, this is for
// narrow texts that come from the system (environment, argv).
inline std::u16string widen(std::string_view utf8) { return utf8ToUtf16(utf8); }

}  // namespace kv
