// printf-style formatting of UTF-16 text, with the directive meanings the
// editor's file and message formats are written for: "%s" takes a UTF-16
// text, numbers follow the C rules ("%d", "%02d", "%04x", "%f", "%.4f", ...).
// Numbers are always written with a '.' and no grouping, whatever locale the
// program runs under: files and board texts must read the same everywhere.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <locale.h>
#include <string>
#include <string_view>

namespace kv {

class FormatArg {
 public:
  enum class Kind { Integer, Real, Text };

  FormatArg(int v) : kind_(Kind::Integer), integer_(v) {}
  FormatArg(unsigned v) : kind_(Kind::Integer), integer_(v) {}
  FormatArg(long v) : kind_(Kind::Integer), integer_(v) {}
  FormatArg(unsigned long v) : kind_(Kind::Integer), integer_(static_cast<int64_t>(v)) {}
  FormatArg(long long v) : kind_(Kind::Integer), integer_(v) {}
  FormatArg(unsigned long long v) : kind_(Kind::Integer), integer_(static_cast<int64_t>(v)) {}
  FormatArg(double v) : kind_(Kind::Real), real_(v) {}
  FormatArg(std::u16string_view v) : kind_(Kind::Text), text_(v) {}
  FormatArg(const std::u16string& v) : kind_(Kind::Text), text_(v) {}
  FormatArg(const char16_t* v) : kind_(Kind::Text), text_(v) {}

  Kind kind() const { return kind_; }
  int64_t integer() const { return integer_; }
  double real() const { return real_; }
  std::u16string_view text() const { return text_; }

 private:
  Kind kind_;
  int64_t integer_ = 0;
  double real_ = 0.0;
  std::u16string_view text_;
};

// The "C" locale, for converting numbers in files and protocols independently
// of LC_NUMERIC (a comma-decimal user locale must not change a file).
locale_t classicNumberLocale();

// Formats into `out` (replacing its content). Returns the number of UTF-16
// units written, or -1 on a formatting error (unknown directive, missing
// argument, or an argument of the wrong kind); `out` is then empty.
int formatText(std::u16string& out, std::u16string_view format, std::initializer_list<FormatArg> args);

// The formatted text, or an empty text on a formatting error.
std::u16string formatted(std::u16string_view format, std::initializer_list<FormatArg> args);

}  // namespace kv
