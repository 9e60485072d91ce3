#include "shell/textfile.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <locale.h>
#include <string>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <vector>

#include "shell/text_encoding.h"

namespace kv {

// A file handle with a read-ahead buffer. Reading keeps the position rules of
// the unbuffered reader (every line starts where the previous one ended), it
// only avoids re-reading the same bytes for every line.
class TextFile {
 public:
  explicit TextFile(int fd, bool canRead, bool canWrite)
      : fd_(fd), canRead_(canRead), canWrite_(canWrite) {}
  ~TextFile() { close(); }

  bool canRead() const { return canRead_; }
  bool canWrite() const { return canWrite_; }

  // The byte at `offset`, or -1 past the end of the file.
  int byteAt(uint64_t offset) {
    if (offset < bufferStart_ || offset >= bufferStart_ + buffer_.size()) {
      if (!fill(offset)) return -1;
    }
    return static_cast<unsigned char>(buffer_[offset - bufferStart_]);
  }

  // Copies [from, to) into `out`, stopping at the end of the file.
  void bytes(uint64_t from, uint64_t to, std::string& out) {
    out.clear();
    while (from < to) {
      if (byteAt(from) < 0) return;
      uint64_t available = std::min<uint64_t>(to, bufferStart_ + buffer_.size()) - from;
      out.append(buffer_.data() + (from - bufferStart_), available);
      from += available;
    }
  }

  bool isUtf16() {
    if (!checkedEncoding_) {
      utf16_ = byteAt(0) == 0xFF && byteAt(1) == 0xFE;
      checkedEncoding_ = true;
    }
    return utf16_;
  }

  uint64_t position = 0;

  void write(const std::string& data) {
    pending_ += data;
    if (pending_.size() >= kWriteChunk) flush();
  }

  bool flush() {
    size_t done = 0;
    while (done < pending_.size()) {
      ssize_t n = ::write(fd_, pending_.data() + done, pending_.size() - done);
      if (n < 0) {
        if (errno == EINTR) continue;
        writeFailed_ = true;
        break;
      }
      done += static_cast<size_t>(n);
    }
    pending_.clear();
    // Written bytes may lie inside the read-ahead buffer.
    buffer_.clear();
    checkedEncoding_ = false;
    return !writeFailed_;
  }

  // Writes what is pending and waits until it is on disk.
  bool sync() {
    if (fd_ < 0) return false;
    bool ok = flush();
    if (::fsync(fd_) != 0) ok = false;
    return ok;
  }

  int close() {
    if (fd_ < 0) return 0;
    bool ok = flush();
    if (::close(fd_) != 0) ok = false;
    fd_ = -1;
    return ok ? 0 : -1;
  }

 private:
  static constexpr size_t kReadChunk = 64 * 1024;
  static constexpr size_t kWriteChunk = 64 * 1024;

  bool fill(uint64_t offset) {
    if (fd_ < 0 || !canRead_) return false;
    if (!pending_.empty()) flush();
    buffer_.resize(kReadChunk);
    size_t got = 0;
    while (got < buffer_.size()) {
      ssize_t n = ::pread(fd_, buffer_.data() + got, buffer_.size() - got, static_cast<off_t>(offset + got));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      got += static_cast<size_t>(n);
    }
    buffer_.resize(got);
    bufferStart_ = offset;
    return got > 0;
  }

  int fd_;
  bool canRead_;
  bool canWrite_;
  bool writeFailed_ = false;
  bool checkedEncoding_ = false;
  bool utf16_ = false;
  std::vector<char> buffer_;
  uint64_t bufferStart_ = 0;
  std::string pending_;
};

void TextFileCloser::operator()(TextFile* file) const { delete file; }

TextFileHandle openTextFile(const std::filesystem::path& path, std::string_view mode) {
  std::string m(mode);
  for (char& c : m) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (m.empty() || m.find('b') != std::string::npos) return nullptr;
  bool update = m.find('+') != std::string::npos;
  int flags;
  bool canRead, canWrite;
  if (m[0] == 'r') {
    flags = update ? O_RDWR : O_RDONLY;
    canRead = true;
    canWrite = update;
  } else if (m[0] == 'w') {
    flags = (update ? O_RDWR : O_WRONLY) | O_CREAT | O_TRUNC;
    canRead = update;
    canWrite = true;
  } else {
    return nullptr;
  }
  int fd = ::open(path.c_str(), flags | O_CLOEXEC, 0644);
  if (fd < 0) return nullptr;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    ::close(fd);
    return nullptr;
  }
  TextFileHandle file(new TextFile(fd, canRead, canWrite));
  if (m[0] == 'w') {
    file->write(std::string("\xFF\xFE", 2));
    file->position = 2;
  }
  return file;
}

int readTextLine(std::u16string& line, int capacity, TextFile* file) {
  line.clear();
  if (file == nullptr || !file->canRead() || capacity > kMaxLineCapacity || capacity <= 0) return 0;
  const uint64_t start = file->position;

  if (file->isUtf16()) {
    uint64_t at = start;
    if (file->byteAt(at) == 0xFF && file->byteAt(at + 1) == 0xFE) at += 2;  // byte order mark
    // The line is the units up to the first LF; its text ends early at a NUL.
    bool textEnded = false;
    for (;;) {
      int lo = file->byteAt(at);
      int hi = file->byteAt(at + 1);
      if (lo < 0 || hi < 0) break;  // end of file (an odd last byte is dropped)
      at += 2;
      char16_t unit = static_cast<char16_t>(lo | (hi << 8));
      if (unit == u'\n') break;
      if (unit == u'\0') textEnded = true;
      if (!textEnded && line.size() < static_cast<size_t>(capacity)) line.push_back(unit);
    }
    file->position = at;
    return static_cast<int>(line.size());
  }

  // Shift-JIS: an LF byte never occurs inside a double-byte character.
  uint64_t end = start;
  int b;
  while ((b = file->byteAt(end)) >= 0 && b != '\n') ++end;
  std::string raw;
  file->bytes(start, end, raw);
  size_t nul = raw.find('\0');
  if (nul != std::string::npos) raw.resize(nul);
  line = ansiToUtf16(raw);
  if (line.size() > static_cast<size_t>(capacity)) line.resize(capacity);
  file->position = b < 0 ? end : end + 1;
  return static_cast<int>(line.size());
}

void writeText(TextFile* file, std::u16string_view text) {
  if (file == nullptr || !file->canWrite()) return;
  std::string bytes;
  bytes.reserve(text.size() * 2 + 16);
  auto put = [&bytes](char16_t unit) {
    bytes.push_back(static_cast<char>(unit & 0xFF));
    bytes.push_back(static_cast<char>(unit >> 8));
  };
  for (char16_t unit : text) {
    if (unit == u'\n') put(u'\r');
    put(unit);
  }
  file->write(bytes);
  file->position += bytes.size();
}

int closeTextFile(TextFileHandle& file) {
  if (!file) return -1;
  int rc = file->close();
  file.reset();
  return rc;
}

Cursor takeValueField(std::u16string_view line, Cursor cursor, std::u16string& out) {
  out.clear();
  if (!cursor || *cursor > line.size()) return std::nullopt;
  size_t open = line.find(u'[', *cursor);
  if (open == std::u16string_view::npos) return std::nullopt;
  size_t close = line.find(u']', open + 1);
  if (close == std::u16string_view::npos) return std::nullopt;
  out.assign(line.substr(open + 1, close - open - 1));
  return close + 1;
}

Cursor takeStringField(std::u16string_view line, Cursor cursor, std::u16string& out) {
  out.clear();
  if (!cursor || *cursor > line.size()) return std::nullopt;
  size_t open = line.find(u"[[", *cursor);
  if (open == std::u16string_view::npos) return std::nullopt;
  size_t close = line.find(u"]]", open + 2);
  if (close == std::u16string_view::npos) return std::nullopt;
  out.assign(line.substr(open + 2, close - open - 2));
  return close + 2;
}

namespace {

bool isBlank(char16_t c) { return c == u' ' || (c >= u'\t' && c <= u'\r'); }

// Digit value of the hexadecimal forms: 0-9, then A-Z / a-z as 10-35, other 0.
int digitValue(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'A' && c <= u'Z') return c - u'A' + 10;
  if (c >= u'a' && c <= u'z') return c - u'a' + 10;
  return 0;
}

}  // namespace

int parseDecimal(std::u16string_view text) {
  size_t i = 0;
  while (i < text.size() && isBlank(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) negative = text[i++] == u'-';
  long long value = 0;
  for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
    value = value * 10 + (text[i] - u'0');
    if (value > static_cast<long long>(INT_MAX) + 1) value = static_cast<long long>(INT_MAX) + 1;
  }
  if (negative) value = -value;
  // Out-of-range numbers saturate, as the C conversion does for a 32-bit long.
  return static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX));
}

double parseReal(std::u16string_view text) {
  std::string narrow = utf16ToAnsi(text);
  if (narrow.size() > 255) narrow.resize(255);
  return strtod_l(narrow.c_str(), nullptr, classicNumberLocale());
}

int parseHex4(std::u16string_view text) {
  if (text.size() < 4) return 0;
  int value = 0;
  for (size_t i = 0; i < 4; ++i) {
    if (text[i] == u'\0') return 0;
    value = value * 16 + digitValue(text[i]);
  }
  return value;
}

int64_t parseHexRun(std::u16string_view text) {
  size_t i = 0;
  while (i < text.size() && isBlank(text[i])) ++i;
  uint64_t value = 0;
  for (; i < text.size() && !isBlank(text[i]) && text[i] != u'\0'; ++i)
    value = value * 16 + static_cast<uint64_t>(digitValue(text[i]));
  return static_cast<int64_t>(value);
}

Cursor findKey(std::u16string_view line, std::u16string_view key) {
  size_t at = line.find(key);
  if (at == std::u16string_view::npos) return std::nullopt;
  return at + key.size();
}

std::u16string FieldReader::value() {
  std::u16string out;
  cursor_ = takeValueField(line_, cursor_, out);
  return out;
}

std::u16string FieldReader::text() {
  std::u16string out;
  cursor_ = takeStringField(line_, cursor_, out);
  return out;
}

int FieldReader::hex4() {
  std::u16string field = value();
  return field.size() >= 2 ? parseHex4(std::u16string_view(field).substr(2)) : 0;
}

std::u16string fitField(std::u16string text, size_t fieldSize) {
  if (fieldSize > 0 && text.size() > fieldSize - 1) text.resize(fieldSize - 1);
  return text;
}

bool readTaggedFile(const std::filesystem::path& path, int capacity,
                    const std::function<void(std::u16string_view line)>& onLine) {
  TextFileHandle file = openTextFile(path, "r");
  if (!file) return false;
  std::u16string line;
  while (readTextLine(line, capacity, file.get()) > 0) onLine(line);
  closeTextFile(file);
  return true;
}

namespace {

// Where a file really lives: writing through a symbolic link (or a chain of
// them) replaces the file it points to, not the link.
std::filesystem::path writeTarget(std::filesystem::path path) {
  for (int hops = 0; hops < 40; ++hops) {
    std::error_code ec;
    if (!std::filesystem::is_symlink(path, ec)) break;
    std::filesystem::path target = std::filesystem::read_symlink(path, ec);
    if (ec) break;
    path = target.is_absolute() ? target : path.parent_path() / target;
  }
  return path;
}

// A hidden name beside the target, unique to this process and write.
std::filesystem::path temporaryBeside(const std::filesystem::path& target) {
  static std::atomic<unsigned> serial{0};
  std::string hidden(".");
  hidden += target.filename().string();
  hidden += ".saving-" + std::to_string(::getpid()) + "-" + std::to_string(serial++);
  std::filesystem::path temporary = target;
  temporary.replace_filename(hidden);
  return temporary;
}

// Makes a rename in `folder` survive a crash.
void syncFolder(const std::filesystem::path& folder) {
  int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

}  // namespace

TaggedFileWriter::TaggedFileWriter(const std::filesystem::path& path)
    : target_(writeTarget(path)), temporary_(temporaryBeside(target_)), file_(openTextFile(temporary_, "w")) {}

TaggedFileWriter::~TaggedFileWriter() {
  if (file_) discard();
}

void TaggedFileWriter::discard() {
  closeTextFile(file_);
  std::error_code ec;
  std::filesystem::remove(temporary_, ec);
}

void TaggedFileWriter::line(std::u16string_view format, std::initializer_list<FormatArg> args) {
  if (!file_) return;
  std::u16string text;
  if (formatText(text, format, args) < 0) {
    failed_ = true;
    return;
  }
  writeText(file_.get(), text);
}

bool TaggedFileWriter::finish() {
  if (!file_) return false;
  if (failed_ || !file_->sync()) {
    discard();
    return false;
  }
  if (closeTextFile(file_) != 0) {
    discard();
    return false;
  }
  std::error_code ec;
  // The new file keeps the access rights of the one it replaces.
  std::filesystem::file_status old = std::filesystem::status(target_, ec);
  if (!ec && std::filesystem::exists(old)) std::filesystem::permissions(temporary_, old.permissions(), ec);
  ec.clear();
  std::filesystem::rename(temporary_, target_, ec);
  if (ec) {
    discard();
    return false;
  }
  syncFolder(target_.parent_path());
  return true;
}

}  // namespace kv
