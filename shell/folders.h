// The two folders bare file names are resolved against, and how names read
// from files become paths here. Nothing changes the process's current
// directory: worker threads read files too.
#pragma once

#include <filesystem>
#include <string_view>

namespace kv {

struct ProjectRecord;

// Folder of the running executable (program-wide lists, the default project).
std::filesystem::path programFolder();
// Overrides it, for tests and for a program started from another place.
void setProgramFolder(const std::filesystem::path& folder);

// Folder of the open project.
std::filesystem::path projectFolder(const ProjectRecord& project);

// A path as written in a file: '\' is a separator (files made on Windows).
std::filesystem::path pathFromFileText(std::u16string_view text);

// Where a file named in a settings file lives: `name` relative to `folder`
// unless absolute. When that file does not exist, a case-insensitive match of
// each part is tried (Windows does not tell "Medit_Sys.ini" from
// "medit_sys.ini"), and for a path from another machine (a drive letter, or an
// absolute path that is not here) the same file name inside `folder`. Returns
// the plain joined path when nothing is found, so the caller's open fails.
std::filesystem::path resolveFileName(const std::filesystem::path& folder, std::u16string_view name);

// Where the settings file of the fixed name `fixedName` ("medit_sld.ini") is
// written: that name in the project folder. When start-up read a file of that
// name in the project folder in another case ("MEDIT_SLD.INI"), or a file of
// that name in another case exists there, that file is written, so the next
// start reads what was saved.
std::filesystem::path settingsFileToWrite(const ProjectRecord& project, std::u16string_view fixedName);

}  // namespace kv
