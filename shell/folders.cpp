#include "shell/folders.h"

#include <algorithm>
#include <mutex>
#include <string>
#include <system_error>

#include "shell/project.h"
#include "shell/text_encoding.h"

namespace kv {
namespace fs = std::filesystem;

namespace {

std::mutex folderMutex;
fs::path overriddenProgramFolder;  // guarded by folderMutex

std::string asciiLower(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

bool pathExists(const fs::path& path) {
  std::error_code ec;
  return fs::exists(path, ec);
}

// Follows `relative` from `base` one part at a time, taking a case-insensitive
// match wherever the exact name is missing.
fs::path matchIgnoringCase(const fs::path& base, const fs::path& relative) {
  fs::path current = base;
  for (const fs::path& part : relative) {
    fs::path exact = current / part;
    if (part == "." || part == ".." || pathExists(exact)) {
      current = exact;
      continue;
    }
    std::string wanted = asciiLower(part.string());
    std::error_code ec;
    fs::path found;
    for (fs::directory_iterator it(current, ec), end; !ec && it != end; it.increment(ec)) {
      if (asciiLower(it->path().filename().string()) == wanted) {
        found = it->path();
        break;
      }
    }
    if (found.empty()) return {};
    current = found;
  }
  return current;
}

}  // namespace

fs::path programFolder() {
  {
    std::lock_guard lock(folderMutex);
    if (!overriddenProgramFolder.empty()) return overriddenProgramFolder;
  }
  std::error_code ec;
  fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  if (ec) return fs::current_path(ec);
  return exe.parent_path();
}

void setProgramFolder(const fs::path& folder) {
  std::lock_guard lock(folderMutex);
  overriddenProgramFolder = folder;
}

fs::path projectFolder(const ProjectRecord& project) { return project.projectFolder; }

fs::path pathFromFileText(std::u16string_view text) {
  std::u16string converted(text);
  std::replace(converted.begin(), converted.end(), u'\\', u'/');
  return toPath(converted);
}

fs::path resolveFileName(const fs::path& folder, std::u16string_view name) {
  std::u16string text(name);
  std::replace(text.begin(), text.end(), u'\\', u'/');
  bool hasDrive = text.size() >= 2 && text[1] == u':' &&
                  ((text[0] >= u'A' && text[0] <= u'Z') || (text[0] >= u'a' && text[0] <= u'z'));
  fs::path written = toPath(hasDrive ? std::u16string_view(text).substr(2) : std::u16string_view(text));
  fs::path direct = hasDrive ? fs::path() : (written.is_absolute() ? written : folder / written);
  if (!direct.empty() && pathExists(direct)) return direct;

  if (!hasDrive && !written.is_absolute()) {
    fs::path matched = matchIgnoringCase(folder, written);
    if (!matched.empty()) return matched;
  } else if (written.has_filename()) {
    fs::path local = folder / written.filename();
    if (pathExists(local)) return local;
    fs::path matched = matchIgnoringCase(folder, written.filename());
    if (!matched.empty()) return matched;
  }
  return direct.empty() ? folder / written.filename() : direct;
}

fs::path settingsFileToWrite(const ProjectRecord& project, std::u16string_view fixedName) {
  fs::path folder = project.projectFolder.lexically_normal();
  if (!folder.has_filename()) folder = folder.parent_path();
  const std::string wanted = asciiLower(toPath(fixedName).string());
  for (const fs::path& read : project.settingsFilesRead) {
    const fs::path file = read.lexically_normal();
    if (file.parent_path() == folder && asciiLower(file.filename().string()) == wanted) return read;
  }
  return resolveFileName(project.projectFolder, fixedName);
}

}  // namespace kv
