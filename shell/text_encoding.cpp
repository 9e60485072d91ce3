#include "shell/text_encoding.h"

#include <cerrno>
#include <iconv.h>

namespace kv {
namespace {

// One iconv descriptor per direction and thread: opening one costs far more
// than converting a line, and descriptors carry state so threads cannot share.
class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Converter() {
    if (valid()) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  bool valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

  // Converts input; on an invalid sequence emits `replacement` and skips
  // `skipOnError` input bytes.
  std::string run(std::string_view input, std::string_view replacement, size_t skipOnError) {
    std::string out;
    if (!valid()) return out;
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    char* in = const_cast<char*>(input.data());
    size_t inLeft = input.size();
    char chunk[4096];
    while (inLeft > 0) {
      char* dst = chunk;
      size_t dstLeft = sizeof chunk;
      size_t rc = iconv(cd_, &in, &inLeft, &dst, &dstLeft);
      out.append(chunk, sizeof chunk - dstLeft);
      if (rc != static_cast<size_t>(-1)) continue;
      if (errno == E2BIG) continue;
      // EILSEQ or EINVAL (truncated sequence at the end): replace and go on.
      out.append(replacement);
      size_t skip = std::min(skipOnError, inLeft);
      in += skip;
      inLeft -= skip;
    }
    return out;
  }

 private:
  iconv_t cd_;
};

std::u16string bytesToUtf16(const std::string& bytes) {
  std::u16string out(bytes.size() / 2, u'\0');
  for (size_t i = 0; i < out.size(); ++i)
    out[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                   (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
  return out;
}

std::string utf16ToBytes(std::u16string_view text) {
  std::string bytes(text.size() * 2, '\0');
  for (size_t i = 0; i < text.size(); ++i) {
    bytes[2 * i] = static_cast<char>(text[i] & 0xFF);
    bytes[2 * i + 1] = static_cast<char>(text[i] >> 8);
  }
  return bytes;
}

const std::string kReplacementUtf16 = std::string("\xFD\xFF", 2);

}  // namespace

std::u16string utf8ToUtf16(std::string_view text) {
  thread_local Converter conv("UTF-16LE", "UTF-8");
  return bytesToUtf16(conv.run(text, kReplacementUtf16, 1));
}

std::string utf16ToUtf8(std::u16string_view text) {
  thread_local Converter conv("UTF-8", "UTF-16LE");
  return conv.run(utf16ToBytes(text), "\xEF\xBF\xBD", 2);
}

std::u16string ansiToUtf16(std::string_view bytes) {
  thread_local Converter conv("UTF-16LE", "CP932");
  return bytesToUtf16(conv.run(bytes, kReplacementUtf16, 1));
}

std::string utf16ToAnsi(std::u16string_view text) {
  thread_local Converter conv("CP932", "UTF-16LE");
  return conv.run(utf16ToBytes(text), "?", 2);
}

std::filesystem::path toPath(std::u16string_view text) {
  return std::filesystem::path(utf16ToUtf8(text));
}

std::u16string fromPath(const std::filesystem::path& path) {
  return utf8ToUtf16(path.string());
}

}  // namespace kv
