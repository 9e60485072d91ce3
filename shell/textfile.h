// Tagged-line text files: every settings and data file of the editor is a
// file of lines made of a key and bracketed fields, e.g.
//   MOTOR_LIMIT:[-1200]-[1200]
//   _POSE:[3]-[0x0000]-[[Wave]]-[60]
// Files are written as UTF-16LE with a byte order mark and CR LF line ends;
// they are read as UTF-16LE when they start with FF FE, else as Shift-JIS.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "shell/text_format.h"

namespace kv {

// Line capacities used by the readers.
inline constexpr int kDefaultLineCapacity = 1024;
inline constexpr int kSliderFileLineCapacity = 2048;
inline constexpr int kMotionFileLineCapacity = 4095;
inline constexpr int kMaxLineCapacity = 4096;

// Fixed-size text fields of the file records, in UTF-16 units including the
// terminator the files were designed around; stored texts are cut to size - 1.
inline constexpr size_t kNameFieldSize = 16;
inline constexpr size_t kPathFieldSize = 260;

class TextFile;
struct TextFileCloser {
  void operator()(TextFile* file) const;
};
using TextFileHandle = std::unique_ptr<TextFile, TextFileCloser>;

// Opens a file. Mode (case-insensitive): first character "r" (existing file,
// reading) or "w" (create or truncate, writes FF FE at once); "+" adds the
// other direction; a "b" or any other first character fails. Returns none
// when the file cannot be opened.
TextFileHandle openTextFile(const std::filesystem::path& path, std::string_view mode);

// Reads the next line into `line` (cleared first): the LF is removed, a CR
// before it kept, the text cut to `capacity` units (the rest of a longer line
// is skipped). Returns the line's length; 0 at the end of the file and for a
// line with nothing before its LF, which ends reading. A missing file or a
// capacity above 4096 returns 0.
int readTextLine(std::u16string& line, int capacity, TextFile* file);

// Writes the text's UTF-16 units, with a CR before every LF.
void writeText(TextFile* file, std::u16string_view text);

// Closes the file; 0 on success, -1 when it could not be written or closed.
int closeTextFile(TextFileHandle& file);

// Field operations. A cursor is a position in the line; none means a field
// was missing, after which every further field reads as missing too.
using Cursor = std::optional<size_t>;

// "[text]": the text between the first '[' at or after the cursor and the
// first ']' after it. Returns the position after ']', or none (out empty).
Cursor takeValueField(std::u16string_view line, Cursor cursor, std::u16string& out);
// "[[text]]": the same with "[[" and the first "]]" after it.
Cursor takeStringField(std::u16string_view line, Cursor cursor, std::u16string& out);

// Number forms of the fields.
int parseDecimal(std::u16string_view text);   // "%d": blanks, sign, digits; else 0
double parseReal(std::u16string_view text);   // "%f": C rules, '.' always
int parseHex4(std::u16string_view text);      // exactly four digits after "0x"
int64_t parseHexRun(std::u16string_view text);  // digits up to the first blank

// Where a key occurs in a line (exact, case-sensitive, anywhere), or none.
Cursor findKey(std::u16string_view line, std::u16string_view key);

// Reads the fields of one key in order; after a missing field all further
// fields read as missing (empty text, 0).
class FieldReader {
 public:
  FieldReader(std::u16string_view line, Cursor start) : line_(line), cursor_(start) {}

  std::u16string value();    // "[...]"
  std::u16string text();     // "[[...]]"
  int decimal() { return parseDecimal(value()); }
  double real() { return parseReal(value()); }
  int hex4();                // "[0x....]"
  bool ok() const { return cursor_.has_value(); }

 private:
  std::u16string_view line_;
  Cursor cursor_;
};

// Cuts a text read from a file to the size of the fixed field it fills.
std::u16string fitField(std::u16string text, size_t fieldSize);

// Reads every line of a file and hands it to `onLine`. Returns false when the
// file cannot be opened.
bool readTaggedFile(const std::filesystem::path& path, int capacity,
                    const std::function<void(std::u16string_view line)>& onLine);

// Writes a tagged-line file line by line; the file is rewritten whole. The
// lines go to a hidden file beside the target, which replaces the target
// only once it is complete and on disk: a full disk, a crash or a failed line
// leaves the old file as it was. A target that is a symbolic link has the
// file it points to replaced, and the new file keeps the old one's access
// rights.
class TaggedFileWriter {
 public:
  explicit TaggedFileWriter(const std::filesystem::path& path);
  // Without finish() the target is left alone.
  ~TaggedFileWriter();
  TaggedFileWriter(const TaggedFileWriter&) = delete;
  TaggedFileWriter& operator=(const TaggedFileWriter&) = delete;

  bool isOpen() const { return file_ != nullptr; }
  // Formats one line (its format ends in "\n" or "\n\n") and writes it.
  void line(std::u16string_view format, std::initializer_list<FormatArg> args = {});
  // Puts the written file in the target's place. False, with the target
  // unchanged, when the file could not be created, formatted, written or
  // moved into place.
  bool finish();

 private:
  void discard();

  std::filesystem::path target_;
  std::filesystem::path temporary_;
  TextFileHandle file_;
  bool failed_ = false;
};

}  // namespace kv
