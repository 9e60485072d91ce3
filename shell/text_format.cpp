#include "shell/text_format.h"

#include <cstdio>
#include <string>

namespace kv {
namespace {

bool isFlag(char16_t c) { return c == u'-' || c == u'+' || c == u' ' || c == u'#' || c == u'0'; }
bool isDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

// Pads `text` to `width` units, on the right when left-justified.
void appendPadded(std::u16string& out, std::u16string_view text, int width, bool leftJustify) {
  size_t pad = width > 0 && static_cast<size_t>(width) > text.size() ? width - text.size() : 0;
  if (!leftJustify) out.append(pad, u' ');
  out.append(text);
  if (leftJustify) out.append(pad, u' ');
}

// Makes the C locale current on this thread while numbers are converted.
class ClassicNumbers {
 public:
  ClassicNumbers() : previous_(uselocale(classicNumberLocale())) {}
  ~ClassicNumbers() { uselocale(previous_); }
  ClassicNumbers(const ClassicNumbers&) = delete;
  ClassicNumbers& operator=(const ClassicNumbers&) = delete;

 private:
  locale_t previous_;
};

}  // namespace

locale_t classicNumberLocale() {
  static const locale_t locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
  return locale;
}

int formatText(std::u16string& out, std::u16string_view format, std::initializer_list<FormatArg> args) {
  out.clear();
  const ClassicNumbers classic;
  auto next = args.begin();
  size_t i = 0;
  while (i < format.size()) {
    char16_t c = format[i];
    if (c != u'%') {
      out.push_back(c);
      ++i;
      continue;
    }
    ++i;
    if (i < format.size() && format[i] == u'%') {
      out.push_back(u'%');
      ++i;
      continue;
    }
    // %[flags][width][.precision][length]conversion
    std::string spec = "%";
    bool leftJustify = false;
    while (i < format.size() && isFlag(format[i])) {
      if (format[i] == u'-') leftJustify = true;
      spec.push_back(static_cast<char>(format[i++]));
    }
    int width = 0;
    while (i < format.size() && isDigit(format[i])) {
      width = width * 10 + (format[i] - u'0');
      if (width > 4096) width = 4096;
      spec.push_back(static_cast<char>(format[i++]));
    }
    int precision = -1;
    if (i < format.size() && format[i] == u'.') {
      spec.push_back('.');
      ++i;
      precision = 0;
      while (i < format.size() && isDigit(format[i])) {
        precision = precision * 10 + (format[i] - u'0');
        if (precision > 4096) precision = 4096;
        spec.push_back(static_cast<char>(format[i++]));
      }
    }
    // Length modifiers carry no meaning here: arguments keep their own width.
    while (i < format.size() && (format[i] == u'h' || format[i] == u'l' || format[i] == u'L' ||
                                 format[i] == u'z' || format[i] == u'j' || format[i] == u't'))
      ++i;
    if (i >= format.size()) {
      out.clear();
      return -1;
    }
    char16_t conv = format[i++];
    if (next == args.end()) {
      out.clear();
      return -1;
    }
    const FormatArg& arg = *next++;
    char buf[8192];
    switch (conv) {
      case u'd': case u'i': case u'u': case u'x': case u'X': case u'o': {
        if (arg.kind() != FormatArg::Kind::Integer) {
          out.clear();
          return -1;
        }
        spec += "ll";
        spec.push_back(static_cast<char>(conv));
        long long value = arg.integer();
        if (conv != u'd' && conv != u'i') {
          // Unsigned directives show the 32-bit pattern of a negative int, as C does.
          if (value < 0 && value >= INT32_MIN) value = static_cast<long long>(static_cast<uint32_t>(value));
        }
        std::snprintf(buf, sizeof buf, spec.c_str(), value);
        for (const char* p = buf; *p; ++p) out.push_back(static_cast<char16_t>(*p));
        break;
      }
      case u'f': case u'F': case u'e': case u'E': case u'g': case u'G': {
        double value;
        if (arg.kind() == FormatArg::Kind::Real)
          value = arg.real();
        else if (arg.kind() == FormatArg::Kind::Integer)
          value = static_cast<double>(arg.integer());
        else {
          out.clear();
          return -1;
        }
        spec.push_back(static_cast<char>(conv));
        std::snprintf(buf, sizeof buf, spec.c_str(), value);
        for (const char* p = buf; *p; ++p) out.push_back(static_cast<char16_t>(*p));
        break;
      }
      case u's': case u'S': {
        if (arg.kind() != FormatArg::Kind::Text) {
          out.clear();
          return -1;
        }
        std::u16string_view text = arg.text();
        if (precision >= 0 && static_cast<size_t>(precision) < text.size()) text = text.substr(0, precision);
        appendPadded(out, text, width, leftJustify);
        break;
      }
      case u'c': case u'C': {
        if (arg.kind() != FormatArg::Kind::Integer) {
          out.clear();
          return -1;
        }
        char16_t ch = static_cast<char16_t>(arg.integer());
        appendPadded(out, std::u16string_view(&ch, 1), width, leftJustify);
        break;
      }
      default:
        out.clear();
        return -1;
    }
  }
  return static_cast<int>(out.size());
}

std::u16string formatted(std::u16string_view format, std::initializer_list<FormatArg> args) {
  std::u16string out;
  formatText(out, format, args);
  return out;
}

}  // namespace kv
