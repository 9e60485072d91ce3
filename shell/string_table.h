// The user-interface string table: every user-visible text has a number
// (40000 to 40459). The program's own Japanese table is built in; a language
// file chosen at start-up can replace it.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <string_view>

namespace kv {

inline constexpr int kTitleFormatString = 40000;   // "%s -Quorvex2-"
inline constexpr int kMessageCaptionString = 40001;

using StringTable = std::map<int, std::u16string>;

// Parses table text: one entry a line, "NUMBER<TAB>TEXT", UTF-8, where the
// text's \r, \n, \t and \\ stand for CR, LF, TAB and a backslash.
StringTable parseStringTable(std::string_view utf8);

// The built-in table.
const StringTable& builtinStringTable();

// Reads a language file in the table format; false when it cannot be read or
// holds no entry. On success its texts are used from then on; numbers it lacks
// keep their built-in text.
bool loadLanguageFile(const std::filesystem::path& path);
// Back to the built-in table only.
void resetLanguage();

// The text with the given number; empty for an unknown number. Safe to call
// from any thread once start-up has chosen the language.
std::u16string loadUiString(int id);

}  // namespace kv
