#include "shell/textfile.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>
#include <vector>

#include "shell/text_encoding.h"
#include "support/temp_dir.h"

namespace kv {
namespace {

using testing::TempDir;
using testing::readBytes;
using testing::utf16File;
using testing::writeBytes;

std::vector<std::u16string> readAllLines(const std::filesystem::path& path, int capacity = kDefaultLineCapacity) {
  std::vector<std::u16string> lines;
  TextFileHandle file = openTextFile(path, "r");
  if (!file) return lines;
  std::u16string line;
  while (readTextLine(line, capacity, file.get()) > 0) lines.push_back(line);
  closeTextFile(file);
  return lines;
}

TEST(TextFile, WrittenFileHasByteOrderMarkAndCrLfAndReadsBackWithTrailingCr) {
  TempDir dir;
  TaggedFileWriter out(dir / "a.ini");
  out.line(u"MOTOR_LIMIT:[%d]-[%d]\n", {-1200, 1200});
  out.line(u"_WINDOW_SIZW:[%d]-[%d]\n\n", {880, 640});
  out.line(u"NAME:[[%s]]\n", {u"右腕"});
  ASSERT_TRUE(out.finish());

  std::string bytes = readBytes(dir / "a.ini");
  ASSERT_GE(bytes.size(), 2u);
  EXPECT_EQ(bytes.substr(0, 2), std::string("\xFF\xFE", 2));
  EXPECT_EQ(bytes.substr(2, 4), std::string("M\0O\0", 4));
  EXPECT_NE(bytes.find(std::string("\r\0\n\0\r\0\n\0", 8)), std::string::npos);  // the blank line

  std::vector<std::u16string> lines = readAllLines(dir / "a.ini");
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0], u"MOTOR_LIMIT:[-1200]-[1200]\r");
  EXPECT_EQ(lines[2], u"\r");  // a blank line holds its CR and does not end reading
  EXPECT_EQ(lines[3], u"NAME:[[右腕]]\r");
  FieldReader fields(lines[0], findKey(lines[0], u"MOTOR_LIMIT:"));
  EXPECT_EQ(fields.decimal(), -1200);
  EXPECT_EQ(fields.decimal(), 1200);
  EXPECT_EQ(FieldReader(lines[3], findKey(lines[3], u"NAME:")).text(), u"右腕");
}

TEST(TextFile, ShiftJisFileReadsLikeItsUtf16Twin) {
  TempDir dir;
  // "テスト" and "右腕" in Shift-JIS.
  const std::string sjisTest = "\x83\x65\x83\x58\x83\x67";
  const std::string sjisArm = "\x89\x45\x98\x72";
  writeBytes(dir / "lf.ini", "NAME:[[" + sjisTest + "]]\nARM:[[" + sjisArm + "]]-[5]\n");
  writeBytes(dir / "crlf.ini", "NAME:[[" + sjisTest + "]]\r\nARM:[[" + sjisArm + "]]-[5]\r\n");
  writeBytes(dir / "twin.ini", utf16File(u"NAME:[[テスト]]\r\nARM:[[右腕]]-[5]\r\n"));

  std::vector<std::u16string> lf = readAllLines(dir / "lf.ini");
  std::vector<std::u16string> crlf = readAllLines(dir / "crlf.ini");
  std::vector<std::u16string> twin = readAllLines(dir / "twin.ini");
  EXPECT_EQ(crlf, twin);
  ASSERT_EQ(lf.size(), 2u);
  EXPECT_EQ(lf[0], u"NAME:[[テスト]]");
  EXPECT_EQ(FieldReader(lf[1], findKey(lf[1], u"ARM:")).text(), u"右腕");
  FieldReader armFields(twin[1], findKey(twin[1], u"ARM:"));
  EXPECT_EQ(armFields.text(), u"右腕");
  EXPECT_EQ(armFields.decimal(), 5);
}

TEST(TextFile, EmptyLfOnlyLineEndsReadingButCrOnlyLineDoesNot) {
  TempDir dir;
  writeBytes(dir / "u16.ini", utf16File(u"A:[1]\r\n\r\nB:[2]\n\nC:[3]\n"));
  writeBytes(dir / "ansi.ini", "A:[1]\r\n\r\nB:[2]\n\nC:[3]\n");
  for (const char* name : {"u16.ini", "ansi.ini"}) {
    std::vector<std::u16string> lines = readAllLines(dir / name);
    ASSERT_EQ(lines.size(), 3u) << name;
    EXPECT_EQ(lines[1], u"\r") << name;
    EXPECT_EQ(lines[2], u"B:[2]") << name;
  }
}

TEST(TextFile, LongLinesAreCutToCapacityAndTheRestSkipped) {
  TempDir dir;
  std::u16string longLine(5000, u'x');
  writeBytes(dir / "u16.ini", utf16File(u"A:[1]\n" + longLine + u"\nB:[2]\n"));
  writeBytes(dir / "ansi.ini", "A:[1]\n" + std::string(5000, 'x') + "\nB:[2]\n");
  for (const char* name : {"u16.ini", "ansi.ini"}) {
    std::vector<std::u16string> lines = readAllLines(dir / name, 16);
    ASSERT_EQ(lines.size(), 3u) << name;
    EXPECT_EQ(lines[1], std::u16string(16, u'x')) << name;
    EXPECT_EQ(lines[2], u"B:[2]") << name;
  }
}

TEST(TextFile, LastLineWithoutLineEndAndLinesAcrossTheReadAheadBuffer) {
  TempDir dir;
  // Enough lines of varying length that some straddle every buffer boundary.
  std::u16string text;
  std::vector<std::u16string> expected;
  for (int i = 0; i < 9000; ++i) {
    std::u16string line = u"_POSE:[" + utf8ToUtf16(std::to_string(i)) + u"]-[[" + std::u16string(i % 37, u'あ') + u"]]";
    expected.push_back(line);
    text += line;
    if (i + 1 < 9000) text += u"\n";
  }
  writeBytes(dir / "big.txt", utf16File(text));
  EXPECT_EQ(readAllLines(dir / "big.txt", kMotionFileLineCapacity), expected);
}

TEST(TextFile, NulUnitEndsTheLineTextButNotTheLine) {
  TempDir dir;
  writeBytes(dir / "nul.ini", utf16File(std::u16string(u"A:[1]\0junk\nB:[2]\n", 17)));
  std::vector<std::u16string> lines = readAllLines(dir / "nul.ini");
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], u"A:[1]");
  EXPECT_EQ(lines[1], u"B:[2]");
}

TEST(TextFile, OpenModesAndBadArguments) {
  TempDir dir;
  EXPECT_EQ(openTextFile(dir / "missing.ini", "r"), nullptr);
  EXPECT_EQ(openTextFile(dir / "x.ini", "wb"), nullptr);
  EXPECT_EQ(openTextFile(dir / "x.ini", "a"), nullptr);
  EXPECT_EQ(openTextFile(dir.path(), "r"), nullptr);  // a folder is not a file

  TextFileHandle created = openTextFile(dir / "x.ini", "W");
  ASSERT_NE(created, nullptr);
  EXPECT_EQ(closeTextFile(created), 0);
  EXPECT_EQ(readBytes(dir / "x.ini"), std::string("\xFF\xFE", 2));

  TextFileHandle reading = openTextFile(dir / "x.ini", "R");
  ASSERT_NE(reading, nullptr);
  std::u16string line = u"stale";
  EXPECT_EQ(readTextLine(line, 4097, reading.get()), 0);
  EXPECT_EQ(readTextLine(line, kDefaultLineCapacity, nullptr), 0);
  EXPECT_EQ(readTextLine(line, kDefaultLineCapacity, reading.get()), 0);
  EXPECT_TRUE(line.empty());
  closeTextFile(reading);

  // Writing onto a file replaces it whole.
  writeBytes(dir / "old.ini", utf16File(u"OLD:[1]\nKEEP:[2]\n"));
  TaggedFileWriter out(dir / "old.ini");
  out.line(u"NEW:[%d]\n", {3});
  ASSERT_TRUE(out.finish());
  EXPECT_EQ(readAllLines(dir / "old.ini"), std::vector<std::u16string>{u"NEW:[3]\r"});

  TaggedFileWriter nowhere(dir / "no" / "such" / "folder.ini");
  EXPECT_FALSE(nowhere.isOpen());
  EXPECT_FALSE(nowhere.finish());
}

// Runs `write` with the process's file size limit at `bytes`, as on a full
// disk: a write past it fails (and raises no signal).
template <typename Write>
auto withFileSizeLimit(rlim_t bytes, Write write) {
  auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit limit{};
  getrlimit(RLIMIT_FSIZE, &limit);
  rlimit small = limit;
  small.rlim_cur = bytes;
  setrlimit(RLIMIT_FSIZE, &small);
  auto result = write();
  setrlimit(RLIMIT_FSIZE, &limit);
  std::signal(SIGXFSZ, oldHandler);
  return result;
}

size_t filesIn(const std::filesystem::path& folder) {
  return static_cast<size_t>(std::distance(std::filesystem::directory_iterator(folder), {}));
}

// A write that fails at any point leaves the old file whole, leaves nothing
// behind and says so; only a complete write replaces the file.
TEST(TaggedFileWriter, FailedWriteKeepsTheOldFileWhole) {
  TempDir dir;
  const std::string old = utf16File(u"_CENTER_BAR:[0.600000]-[0]\n_WINDOW_SIZW:[880]-[640]\n");
  writeBytes(dir / "medit_sld.ini", old);

  // The disk fills up in the middle of the file.
  bool written = withFileSizeLimit(64, [&] {
    TaggedFileWriter out(dir / "medit_sld.ini");
    for (int i = 0; i < 62; ++i) out.line(u"_NUMBER:[%02d]\n_AXISNAME:[[axis %d]]\n", {i, i});
    return out.finish();
  });
  EXPECT_FALSE(written);
  EXPECT_EQ(readBytes(dir / "medit_sld.ini"), old);
  EXPECT_EQ(filesIn(dir.path()), 1u);

  // A line that cannot be formatted.
  {
    TaggedFileWriter out(dir / "medit_sld.ini");
    out.line(u"_NUMBER:[%02d]\n", {1});
    out.line(u"_AXISNAME:[[%s]]\n", {1});
    EXPECT_FALSE(out.finish());
  }
  EXPECT_EQ(readBytes(dir / "medit_sld.ini"), old);

  // A writer given up without finish().
  {
    TaggedFileWriter out(dir / "medit_sld.ini");
    out.line(u"_NUMBER:[%02d]\n", {1});
  }
  EXPECT_EQ(readBytes(dir / "medit_sld.ini"), old);
  EXPECT_EQ(filesIn(dir.path()), 1u);
}

TEST(TaggedFileWriter, WritingThroughALinkReplacesItsTargetWithTheSameRights) {
  TempDir dir;
  writeBytes(dir / "real.ini", "old");
  std::filesystem::permissions(dir / "real.ini", std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  std::filesystem::create_symlink("real.ini", dir / "link.ini");

  TaggedFileWriter out(dir / "link.ini");
  out.line(u"NEW:[%d]\n", {1});
  ASSERT_TRUE(out.finish());
  EXPECT_TRUE(std::filesystem::is_symlink(dir / "link.ini"));
  EXPECT_EQ(readAllLines(dir / "real.ini"), std::vector<std::u16string>{u"NEW:[1]\r"});
  EXPECT_EQ(std::filesystem::status(dir / "real.ini").permissions(),
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  EXPECT_EQ(filesIn(dir.path()), 2u);
}

TEST(Fields, ValueAndStringFieldsWithAnySeparator) {
  for (std::u16string_view line : {u"KEY:[12]-[[ab]]", u"KEY:[12]  [[ab]]"}) {
    FieldReader fields(line, findKey(line, u"KEY:"));
    EXPECT_EQ(fields.decimal(), 12);
    EXPECT_EQ(fields.text(), u"ab");
  }
  FieldReader twoValues(u"KEY:[12]", findKey(u"KEY:[12]", u"KEY:"));
  EXPECT_EQ(twoValues.decimal(), 12);
  EXPECT_EQ(twoValues.decimal(), 0);
  EXPECT_FALSE(twoValues.ok());

  std::u16string out;
  EXPECT_EQ(takeValueField(u"[[ab]]", 0, out), Cursor(5));
  EXPECT_EQ(out, u"[ab");
  EXPECT_EQ(takeStringField(u"[[]]", 0, out), Cursor(4));
  EXPECT_EQ(out, u"");
  EXPECT_FALSE(takeStringField(u"[[ab]", 0, out));
  EXPECT_FALSE(takeValueField(u"[ab", 0, out));
  EXPECT_FALSE(takeValueField(u"[a]", std::nullopt, out));

  // A missing field makes the following ones missing, even if brackets follow.
  FieldReader afterMissing(u"K:[[x", findKey(u"K:[[x", u"K:"));
  EXPECT_EQ(afterMissing.text(), u"");
  EXPECT_EQ(afterMissing.value(), u"");

  EXPECT_EQ(findKey(u"x_POSE:[1]", u"_POSE:"), Cursor(7));
  EXPECT_FALSE(findKey(u"_pose:[1]", u"_POSE:"));
}

TEST(Fields, NumberForms) {
  EXPECT_EQ(parseHex4(u"00ff"), 255);
  EXPECT_EQ(parseHex4(u"FFFF"), 65535);
  EXPECT_EQ(parseHex4(u"12"), 0);
  EXPECT_EQ(parseHex4(u"12345"), 0x1234);
  EXPECT_EQ(parseHex4(u"zz00"), 35 * 4096 + 35 * 256);
  FieldReader hex(u"V:[0X00a0]", findKey(u"V:[0X00a0]", u"V:"));
  EXPECT_EQ(hex.hex4(), 0xA0);

  EXPECT_EQ(parseHexRun(u"  1aZ"), 26 * 16 + 35);
  EXPECT_EQ(parseHexRun(u"ff\t12"), 255);
  EXPECT_EQ(parseHexRun(u""), 0);

  EXPECT_DOUBLE_EQ(parseReal(u"0.6000"), 0.6);
  EXPECT_DOUBLE_EQ(parseReal(u" -1.5e2x"), -150.0);
  EXPECT_DOUBLE_EQ(parseReal(u"abc"), 0.0);

  EXPECT_EQ(parseDecimal(u"-05"), -5);
  EXPECT_EQ(parseDecimal(u"abc"), 0);
  EXPECT_EQ(parseDecimal(u"  +42px"), 42);
  EXPECT_EQ(parseDecimal(u"99999999999"), 2147483647);
  EXPECT_EQ(parseDecimal(u"-99999999999"), -2147483647 - 1);
}

TEST(Fields, FitFieldCutsToTheFieldSize) {
  EXPECT_EQ(fitField(u"0123456789ABCDEFGH", kNameFieldSize), u"0123456789ABCDE");
  EXPECT_EQ(fitField(u"short", kNameFieldSize), u"short");
}

TEST(Format, DirectivesOfTheFileAndMessageFormats) {
  std::u16string out;
  EXPECT_EQ(formatText(out, u"_POSE:[%02d]-[0x%04x]-[[%s]]", {7, 0xAB, u"歩く"}), 26);
  EXPECT_EQ(out, u"_POSE:[07]-[0x00ab]-[[歩く]]");
  EXPECT_EQ(formatted(u"%.4f V %f", {7.25, 0.5}), u"7.2500 V 0.500000");
  EXPECT_EQ(formatted(u"ver %.3f (%d)", {8.5, 12}), u"ver 8.500 (12)");
  EXPECT_EQ(formatted(u"[%-4s|%4s|%.2s]", {u"ab", u"cd", u"xyz"}), u"[ab  |  cd|xy]");
  EXPECT_EQ(formatted(u"%03dstep 100%%", {5}), u"005step 100%");
  EXPECT_EQ(formatted(u"0X%04X", {-1}), u"0XFFFFFFFF");
  EXPECT_EQ(formatted(u"%c%c", {static_cast<int>(u'あ'), 65}), u"あA");

  EXPECT_EQ(formatText(out, u"%d %d", {1}), -1);  // missing argument
  EXPECT_TRUE(out.empty());
  EXPECT_EQ(formatText(out, u"%d", {u"text"}), -1);  // wrong kind
  EXPECT_EQ(formatText(out, u"%s", {3}), -1);
  EXPECT_EQ(formatText(out, u"%q", {3}), -1);  // unknown directive
  EXPECT_EQ(formatText(out, u"50%", {}), -1);   // dangling percent
}

TEST(Encoding, ConversionsAndUndecodableInput) {
  EXPECT_EQ(utf8ToUtf16("abc 右腕"), u"abc 右腕");
  EXPECT_EQ(utf16ToUtf8(u"新しいモーション"), "新しいモーション");
  EXPECT_EQ(ansiToUtf16("\x83\x65\x83\x58\x83\x67"), u"テスト");
  EXPECT_EQ(utf16ToAnsi(u"テスト"), "\x83\x65\x83\x58\x83\x67");
  EXPECT_EQ(utf16ToAnsi(u"a\u00e9b"), "a?b");  // not in the code page
  std::u16string broken = ansiToUtf16("a\x83");  // lead byte without its trail byte
  ASSERT_EQ(broken.size(), 2u);
  EXPECT_EQ(broken[0], u'a');
  EXPECT_EQ(broken[1], u'\uFFFD');
}

}  // namespace
}  // namespace kv
