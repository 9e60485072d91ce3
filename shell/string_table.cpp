#include "shell/string_table.h"

#include <fstream>
#include <memory>
#include <mutex>
#include <sstream>

#include "shell/text_encoding.h"

extern const unsigned char kBuiltinStringTable[];
extern const std::size_t kBuiltinStringTableSize;

namespace kv {
namespace {

std::string unescape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      out.push_back(text[i]);
      continue;
    }
    char next = text[++i];
    switch (next) {
      case 'r': out.push_back('\r'); break;
      case 'n': out.push_back('\n'); break;
      case 't': out.push_back('\t'); break;
      case '\\': out.push_back('\\'); break;
      default: out.push_back('\\'); out.push_back(next); break;
    }
  }
  return out;
}

std::mutex languageMutex;
std::shared_ptr<const StringTable> languageTable;  // guarded by languageMutex

}  // namespace

StringTable parseStringTable(std::string_view utf8) {
  StringTable table;
  size_t pos = 0;
  while (pos < utf8.size()) {
    size_t end = utf8.find('\n', pos);
    if (end == std::string_view::npos) end = utf8.size();
    std::string_view line = utf8.substr(pos, end - pos);
    pos = end + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    size_t tab = line.find('\t');
    if (tab == std::string_view::npos || tab == 0) continue;
    int id = 0;
    bool digits = true;
    for (char c : line.substr(0, tab)) {
      if (c < '0' || c > '9') {
        digits = false;
        break;
      }
      id = id * 10 + (c - '0');
      if (id > 1000000) digits = false;
    }
    if (!digits) continue;
    table[id] = utf8ToUtf16(unescape(line.substr(tab + 1)));
  }
  return table;
}

const StringTable& builtinStringTable() {
  static const StringTable table = parseStringTable(
      std::string_view(reinterpret_cast<const char*>(kBuiltinStringTable), kBuiltinStringTableSize));
  return table;
}

bool loadLanguageFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::stringstream content;
  content << in.rdbuf();
  auto table = std::make_shared<StringTable>(parseStringTable(content.str()));
  if (table->empty()) return false;
  std::lock_guard lock(languageMutex);
  languageTable = std::move(table);
  return true;
}

void resetLanguage() {
  std::lock_guard lock(languageMutex);
  languageTable.reset();
}

std::u16string loadUiString(int id) {
  std::shared_ptr<const StringTable> language;
  {
    std::lock_guard lock(languageMutex);
    language = languageTable;
  }
  if (language) {
    auto it = language->find(id);
    if (it != language->end()) return it->second.substr(0, 4095);
  }
  const StringTable& builtin = builtinStringTable();
  auto it = builtin.find(id);
  return it == builtin.end() ? std::u16string() : it->second.substr(0, 4095);
}

}  // namespace kv
